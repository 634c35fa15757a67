// The resource source language of qvrez: string lists, raw data, names,
// Mac Roman conversion, and errors with their line numbers.
#include <gtest/gtest.h>

#include <string>

#include "RezParser.h"

namespace {

constexpr ResType kSTRList = QV_FOURCC('S', 'T', 'R', '#');

} // namespace

TEST(RezCompiler, ParsesStringListsStringsAndData) {
    RezResult r = ParseRezSource(R"(# comment
resource 'STR#' 128 "Slider labels" {
    "Zoom horizontal"   # trailing comment
    "Café \"quoted\" \\ end"
    ""
}
resource 'STR ' -5 { "Settings…" }
resource 'Pref' 1 { hex "00 01 0a FF" "ab" hex "" "\x80\t" }
)");
    ASSERT_EQ(r.error, "") << "line " << r.errorLine;
    ASSERT_EQ(r.resources.size(), 3u);
    const RezResource &list = r.resources[0];
    EXPECT_EQ(list.type, kSTRList);
    EXPECT_EQ(list.id, 128);
    EXPECT_TRUE(list.hasName);
    EXPECT_EQ(list.name, "Slider labels");
    EXPECT_EQ(list.data, std::string("\0\3", 2) + "\x0FZoom horizontal" + "\x13" "Caf\x8E \"quoted\" \\ end" +
                             std::string(1, '\0'));
    EXPECT_EQ(r.resources[1].id, -5);
    EXPECT_FALSE(r.resources[1].hasName);
    EXPECT_EQ(r.resources[1].data, "\x09Settings\xC9");
    EXPECT_EQ(r.resources[2].type, QV_FOURCC('P', 'r', 'e', 'f'));
    EXPECT_EQ(r.resources[2].data, std::string("\x00\x01\x0A\xFF" "ab\x80\t", 8));
}

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
