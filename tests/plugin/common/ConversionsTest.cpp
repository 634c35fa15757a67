// Colour packing, decimal text of integers and reals, codes and
// Pascal string helpers.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "common/commonprocs.h"

namespace {

std::string Text(ConstStr255Param s) { return std::string(reinterpret_cast<const char *>(s + 1), s[0]); }

struct P {
    Str255 s;
    explicit P(const std::string &text) {
        s[0] = static_cast<unsigned char>(text.size());
        std::memcpy(s + 1, text.data(), text.size());
    }
};

std::string RealText(double v) {
    Str255 out;
    Real2String(v, out);
    return Text(out);
}

double ReadReal(const std::string &text) {
    double v = 12345; // must be overwritten
    String2Real(P(text).s, v);
    return v;
}

} // namespace

TEST(ColourPacking, HighBytesAreKeptAlphaIgnoredAndRoundTripsKeepTwentyFourBits) {
    EXPECT_EQ(RGBColor2LongInt(SetRGBColor(0x12FF, 0x3401, 0x5680)), 0x00123456) << "truncation, no rounding";
    EXPECT_EQ(PixRec2LongInt(PixRec{0x80, 1, 2, 3}), 0x00010203);
    const PixRec p = LongInt2PixRec(static_cast<SInt32>(0xFF123456));
    EXPECT_TRUE(p.ALPHA == 0 && p.RED == 0x12 && p.GREEN == 0x34 && p.BLUE == 0x56);
    EXPECT_EQ(LongInt2RGBColor(0x00FFFFFF).red, 65280) << "each byte times 256";
    for (SInt32 v : {0, 1, 0x00ABCDEF, 0x00FF0000, static_cast<SInt32>(0x7F00FF01), -1}) {
        EXPECT_EQ(RGBColor2LongInt(LongInt2RGBColor(v)), v & 0xFFFFFF) << std::hex << v;
        EXPECT_EQ(PixRec2LongInt(LongInt2PixRec(v)), v & 0xFFFFFF) << std::hex << v;
    }
}

TEST(DecimalText, IntegersAndRealsAsText) {
    Str255 out;
    Num2Text(INT32_MIN, out);
    EXPECT_EQ(Text(out), "-2147483648");
    Num2Text(0, out);
    EXPECT_EQ(Text(out), "0");

    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        const char *text;
    } reals[] = {
        {3.14159, "3.1415"}, // truncated, not rounded
        {-2.25, "-2.2500"},
        {0.05, "0.0500"},
        {7, "7"},
        {-7, "-7"},
        {0.0001, "0.0001"},
        {-0.00001, "-0"},
        {-0.0, "0"},
        {0.3, "0.3000"}, // the decimal value, not the representation error
        {2.3, "2.3000"},
        {-1.1, "-1.1000"},
        {1234.5678, "1234.5678"},
        {2.9999999999999996, "3"}, // a fraction that carries becomes the next integer
        {2.99999, "2.9999"},
        {3e9, "3000000000"},
        {-4294967296.5, "-4294967296.5000"},
        {1e300, "1e+300"},
        {inf, "Inf"},
        {-inf, "-Inf"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
    };
    for (const auto &r : reals) EXPECT_EQ(RealText(r.value), r.text) << r.value;
    for (double v : {0.0, 1.5, -2.25, 1234.5678, -0.0625, 99999.9999})
        EXPECT_DOUBLE_EQ(ReadReal(RealText(v)), v) << "reads back: " << v;
}

TEST(DecimalText, ReadingRealsStopsAtTheFirstMisfit) {
    const struct {
        const char *text;
        double value;
    } cases[] = {
        {"", 0},      {"x1", 0},     {" 1", 0},    {"+1", 0},   {"-3,25", -3.25}, {".5", 0.5}, {",5", 0.5},
        {"-.5", -0.5}, {"1.2.3", 1.2}, {"7x9", 7}, {"12.", 12}, {"0042", 42},     {"--5", 0},
    };
    for (const auto &c : cases) EXPECT_DOUBLE_EQ(ReadReal(c.text), c.value) << '"' << c.text << '"';
    EXPECT_FALSE(std::signbit(ReadReal("-"))) << "a lone minus sign is plain zero";

    // Characters beyond the length byte are not part of the string.
    Str255 s = {3, '1', '.', '5', '9'};
    double v = 0;
    String2Real(s, v);
    EXPECT_DOUBLE_EQ(v, 1.5);
}

TEST(Codes, CommandsAndTextMostSignificantByteFirst) {
    Str32 text;
    Command2String(0x436F6C31, text);
    EXPECT_EQ(Text(text), "Col1");
    EXPECT_EQ(String2Command(P("Sldr-and-more").s), QV_FOURCC('S', 'l', 'd', 'r'));
    EXPECT_EQ(String2Command(P("ok").s), QV_FOURCC('o', 'k', ' ', ' ')) << "short strings pad with spaces";
    EXPECT_EQ(String2Command(P("").s), QV_FOURCC(' ', ' ', ' ', ' '));
    Command2String(QV_FOURCC('\xA9', 'a', 0, 'z'), text);
    EXPECT_EQ(text[0], 4);
    EXPECT_EQ(String2Command(text), QV_FOURCC('\xA9', 'a', 0, 'z'));
}

TEST(Strings, HelpersNeverPassTwoHundredFiftyFiveCharacters) {
    Str255 s;
    CString2PString(std::string(300, 'a').c_str(), s);
    EXPECT_EQ(s[0], 255);
    CString2PString("Assertion failed in: ", s);
    PStrAppend(s, P("here").s);
    EXPECT_EQ(Text(s), "Assertion failed in: here");
    PStrAppendC(s, std::string(400, 'b').c_str());
    EXPECT_EQ(s[0], 255);
    EXPECT_EQ(s[255], 'b');

    char small[5];
    PString2CString(P("abcdefg").s, small, sizeof small);
    EXPECT_STREQ(small, "abcd");
}
