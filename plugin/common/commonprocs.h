// commonprocs.h: the small, stateless conversions every unit of the plug-in
// shares: colour records and their packed 32-bit form, pixel records, words
// of a 32-bit value, decimal text of integers and reals, four-character codes
// as text, and length-prefixed (Pascal) string helpers.
//
// Text parameters and results are length-prefixed strings (one length byte,
// at most 255 characters, Mac Roman) unless a parameter says otherwise.
// Results are written into caller-owned buffers; nothing here allocates or
// keeps state, and no procedure shows an alert: conversion failures give the
// neutral result named at the procedure.
#ifndef QUELVANE_COMMONPROCS_H
#define QUELVANE_COMMONPROCS_H

#include "MacTypes.h"

// One pixel of a 32-bit offscreen buffer: alpha at the lowest address, then
// red, green, blue.
struct PixRec {
    UInt8 ALPHA;
    UInt8 RED;
    UInt8 GREEN;
    UInt8 BLUE;
};
static_assert(sizeof(PixRec) == 4, "a PixRec is one 32-bit pixel");

// ---- Colours ----------------------------------------------------------------

// An RGBColor of the three 16-bit intensities (0 to 65535), taken as they are.
RGBColor SetRGBColor(UInt16 R, UInt16 G, UInt16 B);

// Packed colour 0x00RRGGBB; alpha is not carried. The packing is arithmetic,
// so the number is the same on every byte order.
SInt32 PixRec2LongInt(const PixRec &ThePixRec);
// ALPHA 0 and the three low bytes of TheLong; bits 24 to 31 are ignored.
PixRec LongInt2PixRec(SInt32 TheLong);
// Packs the high byte of each 16-bit channel (truncated, not rounded).
SInt32 RGBColor2LongInt(const RGBColor &TheColor);
// Unpacks each byte times 256: 0xFF becomes 65280, not 65535.
RGBColor LongInt2RGBColor(SInt32 TheLong);

// ---- Words and integers -----------------------------------------------------

// Bits 16 to 31 (logical shift) and bits 0 to 15 of X.
SInt16 CarbonHiWord(SInt32 X);
SInt16 CarbonLoWord(SInt32 X);
void SwapInt(SInt16 &I1, SInt16 &I2);

// Decimal text of TheNum: a leading "-" for negative values, no leading
// zeros, no grouping.
void Num2Text(SInt32 TheNum, Str255 TheText);

// ---- Strings and codes ------------------------------------------------------

// Writes a zero byte right after the last character (index min(length, 254)
// + 1) so that the characters from index 1 read as zero-terminated text. The
// length byte is unchanged; a 255-character string loses its last character.
void ZeroDelimitString(Str255 TheStr);

// The four characters of a code, most significant byte first (length 4).
void Command2String(FourCharCode TheCommand, Str32 TheString);
// Characters 1 to 4 as a code, character 1 most significant. Positions past
// the end of a shorter string read as spaces; further characters are ignored.
FourCharCode String2Command(ConstStr255Param TheString);

// Reads a decimal number from the front of TheString: an optional "-",
// digits, and "." or "," as the decimal separator. Reading stops at the
// first character that does not fit; no blanks, "+", grouping or exponent.
// Never fails: unreadable text gives 0.
void String2Real(ConstStr255Param TheString, double &TheNumber);

// Decimal text of TheReal with exactly four decimals, truncated (2.5 gives
// "2.5000", 3.14159 gives "3.1415"), or none when they are all zero (2.0
// gives "2"); a value between -1 and 0 starts with "-0" (-0.00001 gives
// "-0"). The fraction is taken to the value's own precision, so 2.3 gives
// "2.3000", not "2.2999". Integer parts beyond 32 bits are written with 15
// significant digits ("3000000000", "1e+300"); not-finite values give "NaN",
// "Inf" or "-Inf".
void Real2String(double TheReal, Str255 TheText);

// ---- Length-prefixed string helpers -----------------------------------------

// Copies a Pascal string.
void PStrCopy(Str255 TheDest, ConstStr255Param TheSource);
// Appends as much of TheTail as fits in 255 characters.
void PStrAppend(Str255 TheDest, ConstStr255Param TheTail);
// Appends as much of the zero-terminated TheTail as fits in 255 characters.
void PStrAppendC(Str255 TheDest, const char *TheTail);
// The zero-terminated TheSource as a Pascal string, cut at 255 characters.
void CString2PString(const char *TheSource, Str255 TheDest);
// The characters of TheSource followed by a zero byte; TheDest holds at
// least destSize bytes (at most destSize - 1 characters are copied).
void PString2CString(ConstStr255Param TheSource, char *TheDest, size_t destSize);

#endif // QUELVANE_COMMONPROCS_H
