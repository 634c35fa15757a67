// commonprocs.h: the small, stateless conversions every unit of the plug-in
// shares: the alerts and fatal stops (Assert, Terminate, StandardStop,
// StandardWarning, Notify), colour records and their packed 32-bit form,
// pixel records, words of a 32-bit value, decimal text of integers and
// reals, four-character codes as text, platform string objects, and
// length-prefixed (Pascal) string helpers.
//
// Text parameters and results are length-prefixed strings (one length byte,
// at most 255 characters, Mac Roman) unless a parameter says otherwise; the
// overloads taking `const char *` take zero-terminated Mac Roman (or ASCII)
// text, cut at 255 characters. Results are written into caller-owned
// buffers. Nothing here keeps state. Only the alert procedures show
// anything; conversions never do: their failures give the neutral result
// named at the procedure. Objects returned by Make/Create-style procedures
// (MakeCFString) are the caller's to release.
#ifndef QUELVANE_COMMONPROCS_H
#define QUELVANE_COMMONPROCS_H

#include "MacTypes.h"
#include "corefoundation/CFString.h"
#include "corefoundation/CFURL.h"

// One pixel of a 32-bit offscreen buffer: alpha at the lowest address, then
// red, green, blue.
struct PixRec {
    UInt8 ALPHA;
    UInt8 RED;
    UInt8 GREEN;
    UInt8 BLUE;
};
static_assert(sizeof(PixRec) == 4, "a PixRec is one 32-bit pixel");

// ---- Alerts and fatal stops -------------------------------------------------
// Each shows an application-modal alert through the toolbox and waits for the
// user (headless: the text goes to standard error and the default button
// answers).

// A caution alert with Headline as message, Description as explanation, an
// OK button (item 1) titled OKText and, when CancelText is not empty, a
// cancel button (item 2). Answers the item hit: 1 or 2.
SInt16 StandardWarning(ConstStr255Param Headline, ConstStr255Param Description, ConstStr255Param OKText,
                       ConstStr255Param CancelText);
SInt16 StandardWarning(const char *Headline, const char *Description, const char *OKText, const char *CancelText);

// A stop alert with the platform's single OK button.
void StandardStop(ConstStr255Param Headline, ConstStr255Param Description);
void StandardStop(const char *Headline, const char *Description);

// The stop alert of StandardStop, then the process ends (ExitToShell, exit
// status kQVExitToShellStatus). Does not return.
[[noreturn]] void Terminate(ConstStr255Param Headline, ConstStr255Param Description);
[[noreturn]] void Terminate(const char *Headline, const char *Description);

// Returns when thePtr is not empty. Otherwise Terminate with the headline
// "Assertion Failure" and the description "Assertion failed in: " followed
// by FailLocation (cut at 255 characters).
void Assert(const void *thePtr, ConstStr255Param FailLocation);
void Assert(const void *thePtr, const char *FailLocation);

// A one-button caution alert: headline "Internal Notification:", theMessage
// as description, button "ok". The caller goes on afterwards.
void Notify(ConstStr255Param theMessage);
void Notify(const char *theMessage);

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

// ---- Platform strings -------------------------------------------------------

// A new string object from the Mac Roman text, owned by the caller; NULL
// when the platform cannot make it.
CFStringRef MakeCFString(ConstStr255Param TheString);
// The object's text in Mac Roman. Empty (no truncation) when it needs more
// than 255 bytes or holds characters Mac Roman cannot represent, and for a
// NULL reference.
void CF2PString(CFStringRef TheCFRef, Str255 TheText);

// ---- File references --------------------------------------------------------
// Thin wrappers over the File Manager and the URL calls; none reports an
// error: failures give the neutral result named.

// The FSSpec of the object TheRef names (zero-filled when there is
// none).
FSSpec FSRef2FSSpec(const FSRef &TheRef);
// TheRef = the reference of the existing object TheFSS names; TheRef is not
// written when there is none.
void FSSpec2FSRef(const FSSpec &TheFSS, FSRef &TheRef);
// The text of the object's file URL, owned by the caller; NULL when none.
CFStringRef FSRef2CFString(const FSRef &TheFSRef);
CFStringRef FSSpec2CFString(const FSSpec &TheFSS);
// The text of the object's file URL as Mac Roman; empty when there is none
// or it does not fit.
void FSRef2Str255(const FSRef &TheFSRef, Str255 TheText);
// The URL's own text as Mac Roman; empty for NULL or text that does not fit.
void URL2Str255(CFURLRef TheURL, Str255 TheText);
// A URL from its text, owned by the caller; NULL when it is not a URL.
CFURLRef PString2URL(ConstStr255Param TheString);
// The object's name (at most 63 characters).
void GetNameFromFSRef(const FSRef &TheFSRef, Str255 TheName);
// Whether the object is a container (a folder), as Launch Services sees it.
Boolean IsFileAFolder(const FSRef &TheFile);

// ---- Text in the current QuickDraw port ---------------------------------------
// Font, size and colour are the port's; nothing is saved or restored.
// Justification: 1 left, 2 centred, 3 right; other codes draw as left and
// paint the whole box.
enum : SInt16 { kJustifyLeft = 1, kJustifyCentre = 2, kJustifyRight = 3 };

// Draws TheText in TheBox, placed horizontally by TheJustification and
// centred vertically for a text of TheTextHeight pixels (descent one fifth).
void DrawJustifiedTextInBox(const Rect &TheBox, SInt16 TheJustification, double TheTextHeight,
                            ConstStr255Param TheText);
// Paints the strip of TheBox that DrawJustifiedTextInBox covers with the
// same box and code, one pixel wider on each side.
void PaintJustifiedRect(const Rect &TheBox, SInt16 TheJustification, ConstStr255Param TheText);

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
