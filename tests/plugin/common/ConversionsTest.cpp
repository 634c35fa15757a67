// Colour packing, words, decimal text of integers and reals, codes and
// Pascal string helpers.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <cstring>
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

TEST(ColourPacking, PackingKeepsHighBytesAndIgnoresAlpha) {
    EXPECT_EQ(RGBColor2LongInt(SetRGBColor(65535, 65535, 65535)), 0x00FFFFFF);
    EXPECT_EQ(RGBColor2LongInt(SetRGBColor(0x12FF, 0x3401, 0x5680)), 0x00123456) << "truncation, no rounding";
    EXPECT_EQ(PixRec2LongInt(PixRec{0x80, 1, 2, 3}), 0x00010203);

    const PixRec p = LongInt2PixRec(static_cast<SInt32>(0xFF123456));
    EXPECT_EQ(p.ALPHA, 0);
    EXPECT_EQ(p.RED, 0x12);
    EXPECT_EQ(p.GREEN, 0x34);
    EXPECT_EQ(p.BLUE, 0x56);

    const RGBColor white = LongInt2RGBColor(0x00FFFFFF);
    EXPECT_EQ(white.red, 65280);
    EXPECT_EQ(white.green, 65280);
    EXPECT_EQ(white.blue, 65280);
}

TEST(ColourPacking, RoundTripsKeepTheLowTwentyFourBits) {
    for (SInt32 v : {0, 1, 0x00ABCDEF, 0x00FF0000, static_cast<SInt32>(0x7F00FF01), -1}) {
        EXPECT_EQ(RGBColor2LongInt(LongInt2RGBColor(v)), v & 0xFFFFFF) << std::hex << v;
        EXPECT_EQ(PixRec2LongInt(LongInt2PixRec(v)), v & 0xFFFFFF) << std::hex << v;
    }
    const RGBColor c = LongInt2RGBColor(RGBColor2LongInt(SetRGBColor(1000, 40000, 65535)));
    EXPECT_EQ(c.red, 768);
    EXPECT_EQ(c.green, 39936);
    EXPECT_EQ(c.blue, 65280);
}

TEST(Words, HiAndLoWordsAndSwap) {
    EXPECT_EQ(CarbonHiWord(static_cast<SInt32>(0x80017FFF)), static_cast<SInt16>(0x8001));
    EXPECT_EQ(CarbonLoWord(static_cast<SInt32>(0x80017FFF)), 0x7FFF);
    EXPECT_EQ(CarbonHiWord(-1), -1);
    EXPECT_EQ(CarbonHiWord(0x00010000), 1);
    EXPECT_EQ(CarbonLoWord(0x0001FFFF), -1);
    SInt16 a = 3, b = -7;
    SwapInt(a, b);
    EXPECT_EQ(a, -7);
    EXPECT_EQ(b, 3);
}

TEST(DecimalText, IntegersInFull) {
    Str255 out;
    Num2Text(INT32_MIN, out);
    EXPECT_EQ(Text(out), "-2147483648");
    Num2Text(INT32_MAX, out);
    EXPECT_EQ(Text(out), "2147483647");
    Num2Text(0, out);
    EXPECT_EQ(Text(out), "0");
    Num2Text(-5, out);
    EXPECT_EQ(Text(out), "-5");
}

TEST(DecimalText, RealsHaveFourTruncatedDecimalsOrNone) {
    EXPECT_EQ(RealText(3.14159), "3.1415") << "no rounding";
    EXPECT_EQ(RealText(-2.25), "-2.2500");
    EXPECT_EQ(RealText(0.05), "0.0500");
    EXPECT_EQ(RealText(-0.5), "-0.5000");
    EXPECT_EQ(RealText(7), "7");
    EXPECT_EQ(RealText(-7), "-7");
    EXPECT_EQ(RealText(0.0001), "0.0001");
    EXPECT_EQ(RealText(12.0123), "12.0123");
    EXPECT_EQ(RealText(-0.00001), "-0");
    EXPECT_EQ(RealText(-0.0), "0");
}

TEST(DecimalText, RealsPrintTheirDecimalValueNotTheRepresentationError) {
    EXPECT_EQ(RealText(0.3), "0.3000");
    EXPECT_EQ(RealText(2.3), "2.3000");
    EXPECT_EQ(RealText(-1.1), "-1.1000");
    EXPECT_EQ(RealText(1234.5678), "1234.5678");
    EXPECT_EQ(RealText(2.9999999999999996), "3") << "a fraction that carries becomes the next integer";
    EXPECT_EQ(RealText(2.99999), "2.9999");
}

TEST(DecimalText, RealsOutsideTheIntegerRange) {
    EXPECT_EQ(RealText(3e9), "3000000000");
    EXPECT_EQ(RealText(-4294967296.5), "-4294967296.5000");
    EXPECT_EQ(RealText(1e300), "1e+300");
    EXPECT_EQ(RealText(-1e20), "-1e+20");
    EXPECT_EQ(RealText(std::numeric_limits<double>::infinity()), "Inf");
    EXPECT_EQ(RealText(-std::numeric_limits<double>::infinity()), "-Inf");
    EXPECT_EQ(RealText(std::numeric_limits<double>::quiet_NaN()), "NaN");
}

TEST(DecimalText, ReadingRealsStopsAtTheFirstMisfit) {
    EXPECT_EQ(ReadReal(""), 0);
    EXPECT_EQ(ReadReal("x1"), 0);
    EXPECT_EQ(ReadReal(" 1"), 0);
    EXPECT_EQ(ReadReal("+1"), 0);
    EXPECT_DOUBLE_EQ(ReadReal("-3,25"), -3.25);
    EXPECT_DOUBLE_EQ(ReadReal(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ReadReal(",5"), 0.5);
    EXPECT_DOUBLE_EQ(ReadReal("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(ReadReal("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(ReadReal("7x9"), 7);
    EXPECT_DOUBLE_EQ(ReadReal("12."), 12);
    EXPECT_DOUBLE_EQ(ReadReal("0042"), 42);
    const double lone = ReadReal("-");
    EXPECT_EQ(lone, 0);
    EXPECT_FALSE(std::signbit(lone)) << "a lone minus sign is plain zero";
    EXPECT_DOUBLE_EQ(ReadReal("--5"), 0);
}

TEST(DecimalText, ReadingStopsAtTheLengthByte) {
    // Characters beyond the length byte are not part of the string.
    Str255 s = {2, '1', '2', '3', '4'};
    double v = 0;
    String2Real(s, v);
    EXPECT_DOUBLE_EQ(v, 12);
    Str255 frac = {3, '1', '.', '5', '9'};
    String2Real(frac, v);
    EXPECT_DOUBLE_EQ(v, 1.5);
}

TEST(DecimalText, RealTextReadsBack) {
    for (double v : {0.0, 1.5, -2.25, 1234.5678, -0.0625, 99999.9999}) {
        EXPECT_DOUBLE_EQ(ReadReal(RealText(v)), v) << v;
    }
}

TEST(Codes, CommandsAndTextMostSignificantByteFirst) {
    Str32 text;
    Command2String(0x436F6C31, text);
    EXPECT_EQ(Text(text), "Col1");
    EXPECT_EQ(String2Command(P("Col1").s), 0x436F6C31u);
    EXPECT_EQ(String2Command(P("Sldr-and-more").s), QV_FOURCC('S', 'l', 'd', 'r'));
    EXPECT_EQ(String2Command(P("ok").s), QV_FOURCC('o', 'k', ' ', ' ')) << "short strings pad with spaces";
    EXPECT_EQ(String2Command(P("").s), QV_FOURCC(' ', ' ', ' ', ' '));
    Command2String(QV_FOURCC('\xA9', 'a', 0, 'z'), text);
    EXPECT_EQ(text[0], 4);
    EXPECT_EQ(text[1], 0xA9);
    EXPECT_EQ(text[3], 0);
    EXPECT_EQ(String2Command(text), QV_FOURCC('\xA9', 'a', 0, 'z'));
}

TEST(Strings, ZeroDelimitWritesRightAfterTheText) {
    Str255 s;
    std::memset(s, 'x', sizeof s);
    s[0] = 3;
    ZeroDelimitString(s);
    EXPECT_EQ(s[4], 0);
    EXPECT_EQ(s[3], 'x');
    EXPECT_STREQ(reinterpret_cast<char *>(s + 1), "xxx");

    std::memset(s, 'y', sizeof s);
    s[0] = 255;
    ZeroDelimitString(s);
    EXPECT_EQ(s[0], 255) << "the length stays";
    EXPECT_EQ(s[255], 0) << "the last character gives way to the terminator";
    EXPECT_EQ(s[254], 'y');

    s[0] = 0;
    ZeroDelimitString(s);
    EXPECT_EQ(s[1], 0);
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
    Str255 copy;
    PStrCopy(copy, s);
    EXPECT_EQ(Text(copy), Text(s));

    char small[5];
    PString2CString(P("abcdefg").s, small, sizeof small);
    EXPECT_STREQ(small, "abcd");
    PString2CString(P("").s, small, sizeof small);
    EXPECT_STREQ(small, "");
}
