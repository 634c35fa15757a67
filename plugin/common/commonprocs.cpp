// Colour packing, words, decimal text, four-character codes and Pascal
// string helpers.
#include "common/commonprocs.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

bool IsDigit(unsigned char ch) { return ch >= '0' && ch <= '9'; }

void SetPString(Str255 theDest, const char *text, size_t length) {
    if (length > 255) length = 255;
    std::memcpy(theDest + 1, text, length);
    theDest[0] = static_cast<unsigned char>(length);
}

} // namespace

RGBColor SetRGBColor(UInt16 R, UInt16 G, UInt16 B) {
    RGBColor color;
    color.red = R;
    color.green = G;
    color.blue = B;
    return color;
}

SInt32 PixRec2LongInt(const PixRec &ThePixRec) {
    return static_cast<SInt32>(ThePixRec.RED) * 65536 + static_cast<SInt32>(ThePixRec.GREEN) * 256 +
           static_cast<SInt32>(ThePixRec.BLUE);
}

PixRec LongInt2PixRec(SInt32 TheLong) {
    const UInt32 bits = static_cast<UInt32>(TheLong);
    PixRec pix;
    pix.ALPHA = 0;
    pix.RED = static_cast<UInt8>((bits >> 16) & 255);
    pix.GREEN = static_cast<UInt8>((bits >> 8) & 255);
    pix.BLUE = static_cast<UInt8>(bits & 255);
    return pix;
}

SInt32 RGBColor2LongInt(const RGBColor &TheColor) {
    PixRec pix;
    pix.ALPHA = 0;
    pix.RED = static_cast<UInt8>(TheColor.red >> 8);
    pix.GREEN = static_cast<UInt8>(TheColor.green >> 8);
    pix.BLUE = static_cast<UInt8>(TheColor.blue >> 8);
    return PixRec2LongInt(pix);
}

RGBColor LongInt2RGBColor(SInt32 TheLong) {
    const PixRec pix = LongInt2PixRec(TheLong);
    return SetRGBColor(static_cast<UInt16>(pix.RED * 256), static_cast<UInt16>(pix.GREEN * 256),
                       static_cast<UInt16>(pix.BLUE * 256));
}

SInt16 CarbonHiWord(SInt32 X) { return static_cast<SInt16>(static_cast<UInt32>(X) >> 16); }

SInt16 CarbonLoWord(SInt32 X) { return static_cast<SInt16>(static_cast<UInt32>(X) & 0xFFFF); }

void SwapInt(SInt16 &I1, SInt16 &I2) {
    const SInt16 t = I1;
    I1 = I2;
    I2 = t;
}

void Num2Text(SInt32 TheNum, Str255 TheText) {
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(TheNum));
    SetPString(TheText, digits, static_cast<size_t>(n));
}

void ZeroDelimitString(Str255 TheStr) {
    const int length = TheStr[0];
    TheStr[(length < 254 ? length : 254) + 1] = 0;
}

void Command2String(FourCharCode TheCommand, Str32 TheString) {
    TheString[0] = 4;
    TheString[1] = static_cast<unsigned char>(TheCommand >> 24);
    TheString[2] = static_cast<unsigned char>(TheCommand >> 16);
    TheString[3] = static_cast<unsigned char>(TheCommand >> 8);
    TheString[4] = static_cast<unsigned char>(TheCommand);
}

FourCharCode String2Command(ConstStr255Param TheString) {
    FourCharCode code = 0;
    for (int i = 1; i <= 4; ++i) {
        const unsigned char ch = i <= TheString[0] ? TheString[i] : ' ';
        code = (code << 8) | ch;
    }
    return code;
}

void String2Real(ConstStr255Param TheString, double &TheNumber) {
    TheNumber = 0;
    const int len = TheString[0];
    int i = 0;
    unsigned char ch = 0;
    // A read past the end gives a character that is neither digit nor separator.
    const auto read = [&] {
        ++i;
        ch = i <= len ? TheString[i] : 0;
    };
    const auto isSeparator = [](unsigned char c) { return c == '.' || c == ','; };

    read();
    if (len < 1) return;
    if (!(ch == '-' || isSeparator(ch) || IsDigit(ch))) return;
    const bool negative = ch == '-';
    if (negative) ch = '0'; // a lone sign reads as zero; "-.5" stays valid

    double val = 0;
    if (!isSeparator(ch)) {
        do {
            val = val * 10 + (ch - 48);
            read();
        } while (i <= len && IsDigit(ch));
    }
    if (isSeparator(ch)) {
        double factor = 0.1;
        read();
        while (i <= len && IsDigit(ch)) {
            val += (ch - 48) * factor;
            factor /= 10;
            read();
        }
    }
    // No negative zero for "-" or "-0".
    TheNumber = negative && val != 0 ? -val : val;
}

void Real2String(double TheReal, Str255 TheText) {
    if (std::isnan(TheReal)) return SetPString(TheText, "NaN", 3);
    if (std::isinf(TheReal)) return TheReal < 0 ? SetPString(TheText, "-Inf", 4) : SetPString(TheText, "Inf", 3);

    constexpr double kScale = 10000; // four decimals
    double whole = std::trunc(TheReal);
    double fract = std::fabs(TheReal - whole) * kScale;
    // The subtraction and the product carry the rounding error of the value's
    // own representation: 2.3 is stored as 2.29999999999999982, which would
    // print as 2.2999. A product within a few units of the value's precision
    // below the next integer is taken as that integer. Values too large to
    // carry four decimals at all are left as they are.
    const double slack = std::fmax(1.0, std::fabs(TheReal)) * kScale * 8 * 2.220446049250313e-16;
    double fractInt = std::trunc(fract);
    if (slack < 0.01 && fract + slack >= fractInt + 1) fractInt += 1;
    if (fractInt >= kScale) { // the fraction carried into the integer part
        fractInt = 0;
        whole += TheReal < 0 ? -1 : 1;
    }

    char text[64];
    int n;
    // Between -1 and 0 the integer part alone would lose the sign.
    const char *sign = whole == 0 && TheReal < 0 ? "-" : "";
    if (std::fabs(whole) < 2147483648.0)
        n = std::snprintf(text, sizeof text, "%s%ld", sign, static_cast<long>(whole));
    else
        n = std::snprintf(text, sizeof text, "%s%.15g", sign, whole);
    const long f = static_cast<long>(fractInt);
    if (f > 0) n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), ".%04ld", f);
    SetPString(TheText, text, static_cast<size_t>(n));
}

void PStrCopy(Str255 TheDest, ConstStr255Param TheSource) { std::memmove(TheDest, TheSource, TheSource[0] + 1u); }

void PStrAppend(Str255 TheDest, ConstStr255Param TheTail) {
    size_t room = 255u - TheDest[0];
    size_t count = TheTail[0] < room ? TheTail[0] : room;
    std::memmove(TheDest + 1 + TheDest[0], TheTail + 1, count);
    TheDest[0] = static_cast<unsigned char>(TheDest[0] + count);
}

void PStrAppendC(Str255 TheDest, const char *TheTail) {
    size_t room = 255u - TheDest[0];
    if (!TheTail) return;
    size_t count = strnlen(TheTail, room);
    std::memcpy(TheDest + 1 + TheDest[0], TheTail, count);
    TheDest[0] = static_cast<unsigned char>(TheDest[0] + count);
}

void CString2PString(const char *TheSource, Str255 TheDest) {
    TheDest[0] = 0;
    PStrAppendC(TheDest, TheSource);
}

void PString2CString(ConstStr255Param TheSource, char *TheDest, size_t destSize) {
    if (!TheDest || destSize == 0) return;
    size_t count = TheSource[0] < destSize - 1 ? TheSource[0] : destSize - 1;
    std::memmove(TheDest, TheSource + 1, count);
    TheDest[count] = 0;
}
