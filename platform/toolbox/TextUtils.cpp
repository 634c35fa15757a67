// TextUtils.cpp: number text and font family names.
#include "toolbox/TextUtils.h"
#include "quickdraw/QuickDraw.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {

QV_API void NumToString(long theNum, Str255 theString)
{
    if (!theString)
        return;
    char text[32];
    int n = std::snprintf(text, sizeof text, "%ld", theNum);
    if (n < 0)
        n = 0;
    theString[0] = static_cast<unsigned char>(n);
    std::memcpy(theString + 1, text, static_cast<size_t>(n));
}

QV_API void StringToNum(ConstStr255Param theString, long *theNum)
{
    if (!theNum)
        return;
    *theNum = 0;
    if (!theString)
        return;
    const int length = theString[0];
    int i = 1;
    bool negative = false;
    if (i <= length && (theString[i] == '-' || theString[i] == '+')) {
        negative = theString[i] == '-';
        ++i;
    }
    UInt32 value = 0;
    for (; i <= length && std::isdigit(theString[i]); ++i)
        value = value * 10u + static_cast<UInt32>(theString[i] - '0');
    if (negative)
        value = 0u - value;
    *theNum = static_cast<SInt32>(value);
}

QV_API FMFontFamily FMGetFontFamilyFromName(ConstStr255Param iName)
{
    if (!iName)
        return kInvalidFontFamily;
    std::string name(reinterpret_cast<const char *>(iName + 1), iName[0]);
    for (char &ch : name)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (name == "system")
        return systemFont;
    if (name == "application")
        return applFont;
    return kInvalidFontFamily;
}

} // extern "C"
