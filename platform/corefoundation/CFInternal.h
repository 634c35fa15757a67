// CFInternal.h: what the CoreFoundation stand-in's units share inside the
// platform library (not exported): the string object, text conversions
// between UTF-8, UTF-16 and Mac Roman, and the URL comparison CFEqual uses.
#ifndef QUELVANE_CFINTERNAL_H
#define QUELVANE_CFINTERNAL_H

#include <optional>
#include <string>
#include <string_view>

#include "corefoundation/CFRuntime.h"
#include "corefoundation/CFString.h"
#include "corefoundation/CFURL.h"

struct __CFString : CFRuntimeBase {
    std::u16string chars;
};

namespace qv::cf {

// The string object behind a reference, or nullptr when it is not a live string.
const __CFString *AsString(CFStringRef s);

// A new string holding these UTF-16 code units (one reference), or nullptr
// when memory runs out.
CFStringRef NewString(std::u16string chars);

// Decoding; nullopt when the bytes are not valid in the encoding.
std::optional<std::u16string> DecodeUTF8(std::string_view bytes);
std::optional<std::u16string> DecodeMacRoman(std::string_view bytes);
std::optional<std::u16string> Decode(std::string_view bytes, CFStringEncoding encoding);

// Encoding; nullopt when a character cannot be represented (for UTF-8: an
// unpaired surrogate).
std::optional<std::string> EncodeUTF8(std::u16string_view chars);
std::optional<std::string> EncodeMacRoman(std::u16string_view chars);
std::optional<std::string> Encode(std::u16string_view chars, CFStringEncoding encoding);

// The Unicode character of a Mac Roman byte, and the byte of a character
// (nullopt when Mac Roman has none).
char16_t MacRomanToUnicode(unsigned char byte);
std::optional<unsigned char> UnicodeToMacRoman(char16_t ch);

// UTF-8 of a string, unpaired surrogates replaced by U+FFFD; "" for nullptr.
std::string ToUTF8(CFStringRef s);
// A new string from UTF-8 text (nullptr when invalid).
CFStringRef StringFromUTF8(std::string_view text);

// URL equality for CFEqual (same text and equal bases).
bool URLEqual(CFTypeRef a, CFTypeRef b);

} // namespace qv::cf

#endif // QUELVANE_CFINTERNAL_H
