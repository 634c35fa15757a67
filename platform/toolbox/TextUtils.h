/*
 * TextUtils.h: the toolbox's number-text conversions (NumToString,
 * StringToNum) and the Font Manager's look-up of a font family by name.
 * Nothing is allocated or kept; results go into the caller's buffers.
 *
 * The stand-in's QuickDraw draws one built-in font, reachable as systemFont
 * (0) and applFont (1); FMGetFontFamilyFromName knows it under the names
 * "System" and "Application" (any case) and answers kInvalidFontFamily for
 * every other name.
 */
#ifndef QUELVANE_TEXTUTILS_H
#define QUELVANE_TEXTUTILS_H

#include "MacTypes.h"

QV_EXTERN_C_BEGIN

typedef SInt16 FMFontFamily;
enum { kInvalidFontFamily = -1 };

/* Decimal text of theNum: "-" for negative values, no leading zeros. */
QV_API void NumToString(long theNum, Str255 theString);
/* The number at the front of theString: an optional "+" or "-", then
   decimal digits; reading stops at the first other character. Values beyond
   32 bits wrap as the platform's did (the low 32 bits, sign-extended). */
QV_API void StringToNum(ConstStr255Param theString, long *theNum);

/* The family of the font named iName (a Pascal string). */
QV_API FMFontFamily FMGetFontFamilyFromName(ConstStr255Param iName);

QV_EXTERN_C_END

#endif /* QUELVANE_TEXTUTILS_H */
