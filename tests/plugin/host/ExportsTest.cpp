// The bundle library exports its entry point and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "TestHost.h"

TEST(BundleExports, OnlyMainIsDefinedInTheDynamicSymbolTable) {
    const std::string library = qvtest::PluginBundle::LibraryPath();
    ASSERT_FALSE(library.empty()) << "QUELVANE_BUNDLE is not set";
    const std::string command = "nm -D --defined-only '" + library + "' 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    ASSERT_EQ(pclose(pipe), 0) << output;

    std::vector<std::string> symbols;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string address, kind, name;
        fields >> address >> kind >> name;
        // Version nodes of the version script are absolute symbols, not code.
        if (kind == "A") continue;
        symbols.push_back(name);
    }
    EXPECT_EQ(symbols, std::vector<std::string>{"main"}) << output;
}
