// The resource source language of qvrez: errors with their line numbers.
// (What it compiles is checked in the built bundle's string lists.)
#include <gtest/gtest.h>

#include <string>

#include "RezParser.h"

TEST(RezCompiler, ReportsErrorsWithTheirLine) {
    struct Case {
        const char *source;
        int line;
        const char *message;
    };
    const Case cases[] = {
        {"resource 'STR#' 1 {\n\"\xCE\xB1\"\n}", 2, "Mac Roman"},
        {"resource 'STR' 1 { }", 1, "four characters"},
        {"\n\nresource 'STR#' 40000 { }", 3, "out of range"},
        {"resource 'STR#' 1 {\n \"open\n}", 2, "unterminated string"},
        {"resource 'STR#' 1 { \"a\" }\nresource 'STR#' 1 { }", 2, "appears twice"},
        {"resource 'STR ' 1 { \"a\" \"b\" }", 1, "exactly one string"},
        {"resource 'DATA' 1 { hex \"ABC\" }", 1, "odd number"},
        {"resource 'STR#' 1 { hex \"00\" }", 1, "strings only"},
        {"resource 'STR#' 1 { \"\\q\" }", 1, "unknown escape"},
        {"resource 'STR#' 1 { \"a\"", 1, "not closed"},
        {"resources 'STR#' 1 { }", 1, "expected 'resource'"},
        {"resource 'STR#' x { }", 1, "resource ID"},
    };
    for (const Case &c : cases) {
        RezResult r = ParseRezSource(c.source);
        EXPECT_TRUE(r.resources.empty()) << c.source;
        EXPECT_EQ(r.errorLine, c.line) << c.source << " -> " << r.error;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << c.source << " -> " << r.error;
    }
    std::string tooLong = "resource 'STR#' 1 { \"" + std::string(256, 'x') + "\" }";
    EXPECT_NE(ParseRezSource(tooLong).error.find("255"), std::string::npos);
    std::string fits = "resource 'STR#' 1 { \"" + std::string(255, 'x') + "\" }";
    EXPECT_EQ(ParseRezSource(fits).error, "");
}
