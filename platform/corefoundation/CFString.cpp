// Immutable strings of UTF-16 code units and their conversions to and from
// UTF-8, ASCII and Mac Roman.
#include "corefoundation/CFString.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "corefoundation/CFInternal.h"

namespace qv::cf {

namespace {

// Characters of the Mac Roman bytes 0x80 to 0xFF (0x00 to 0x7F are ASCII).
constexpr std::array<char16_t, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

// The reverse mapping, sorted by character, built once.
struct ReverseEntry {
    char16_t ch;
    unsigned char byte;
};
const std::array<ReverseEntry, 128> &ReverseMacRoman() {
    static const std::array<ReverseEntry, 128> table = [] {
        std::array<ReverseEntry, 128> t{};
        for (int i = 0; i < 128; ++i) t[i] = {kMacRomanHigh[i], static_cast<unsigned char>(0x80 + i)};
        std::sort(t.begin(), t.end(), [](const ReverseEntry &a, const ReverseEntry &b) { return a.ch < b.ch; });
        return t;
    }();
    return table;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void FinalizeString(CFRuntimeBase *object) { delete static_cast<__CFString *>(object); }

char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 0x20);
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return static_cast<char16_t>(c + 0x20);
    return c;
}

} // namespace

char16_t MacRomanToUnicode(unsigned char byte) { return byte < 0x80 ? byte : kMacRomanHigh[byte - 0x80]; }

std::optional<unsigned char> UnicodeToMacRoman(char16_t ch) {
    if (ch < 0x80) return static_cast<unsigned char>(ch);
    const auto &table = ReverseMacRoman();
    auto it = std::lower_bound(table.begin(), table.end(), ch,
                               [](const ReverseEntry &e, char16_t c) { return e.ch < c; });
    if (it != table.end() && it->ch == ch) return it->byte;
    return std::nullopt;
}

std::optional<std::u16string> DecodeUTF8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        int extra;
        char32_t cp, min;
        if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + extra >= bytes.size()) return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

std::optional<std::u16string> DecodeMacRoman(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = MacRomanToUnicode(static_cast<unsigned char>(bytes[i]));
    return out;
}

std::optional<std::u16string> Decode(std::string_view bytes, CFStringEncoding encoding) {
    switch (encoding) {
    case kCFStringEncodingMacRoman:
        return DecodeMacRoman(bytes);
    case kCFStringEncodingUTF8:
        return DecodeUTF8(bytes);
    case kCFStringEncodingASCII:
        for (char c : bytes)
            if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
        return std::u16string(bytes.begin(), bytes.end());
    default:
        return std::nullopt;
    }
}

namespace {

// UTF-8 of the code units; unpaired surrogates fail, or become U+FFFD when
// `replace` is set.
std::optional<std::string> EncodeUTF8Impl(std::u16string_view chars, bool replace) {
    std::string out;
    out.reserve(chars.size());
    for (size_t i = 0; i < chars.size(); ++i) {
        char32_t cp = chars[i];
        if (IsHighSurrogate(chars[i]) && i + 1 < chars.size() && IsLowSurrogate(chars[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (chars[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(chars[i]) || IsLowSurrogate(chars[i])) {
            if (!replace) return std::nullopt;
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace

std::optional<std::string> EncodeUTF8(std::u16string_view chars) { return EncodeUTF8Impl(chars, false); }

std::optional<std::string> EncodeMacRoman(std::u16string_view chars) {
    std::string out(chars.size(), '\0');
    for (size_t i = 0; i < chars.size(); ++i) {
        auto b = UnicodeToMacRoman(chars[i]);
        if (!b) return std::nullopt;
        out[i] = static_cast<char>(*b);
    }
    return out;
}

std::optional<std::string> Encode(std::u16string_view chars, CFStringEncoding encoding) {
    switch (encoding) {
    case kCFStringEncodingMacRoman:
        return EncodeMacRoman(chars);
    case kCFStringEncodingUTF8:
        return EncodeUTF8(chars);
    case kCFStringEncodingASCII: {
        std::string out(chars.size(), '\0');
        for (size_t i = 0; i < chars.size(); ++i) {
            if (chars[i] >= 0x80) return std::nullopt;
            out[i] = static_cast<char>(chars[i]);
        }
        return out;
    }
    default:
        return std::nullopt;
    }
}

const __CFString *AsString(CFStringRef s) {
    return static_cast<const __CFString *>(CFRuntimeCast(s, kQVTypeIDString));
}

CFStringRef NewString(std::u16string chars) {
    auto *s = new (std::nothrow) __CFString;
    if (!s) return nullptr;
    CFRuntimeInit(s, kQVTypeIDString, FinalizeString);
    s->chars = std::move(chars);
    return s;
}

std::string ToUTF8(CFStringRef s) {
    const __CFString *str = AsString(s);
    if (!str) return {};
    return *EncodeUTF8Impl(str->chars, true);
}

CFStringRef StringFromUTF8(std::string_view text) {
    auto chars = DecodeUTF8(text);
    return chars ? NewString(std::move(*chars)) : nullptr;
}

} // namespace qv::cf

using namespace qv::cf;

namespace {

CFStringRef CreateFromBytes(std::string_view bytes, CFStringEncoding encoding) {
    try {
        auto chars = Decode(bytes, encoding);
        return chars ? NewString(std::move(*chars)) : nullptr;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

// The text in an encoding, or nullopt when it cannot be represented or
// memory runs out.
std::optional<std::string> EncodedText(CFStringRef s, CFStringEncoding encoding) {
    const __CFString *str = AsString(s);
    if (!str) return std::nullopt;
    try {
        return Encode(str->chars, encoding);
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

} // namespace

extern "C" {

CFTypeID CFStringGetTypeID(void) { return kQVTypeIDString; }

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef, ConstStr255Param pStr, CFStringEncoding encoding) {
    if (!pStr) return nullptr;
    return CreateFromBytes(std::string_view(reinterpret_cast<const char *>(pStr + 1), pStr[0]), encoding);
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char *cStr, CFStringEncoding encoding) {
    if (!cStr) return nullptr;
    return CreateFromBytes(std::string_view(cStr), encoding);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8 *bytes, CFIndex numBytes, CFStringEncoding encoding,
                                    Boolean) {
    if (numBytes < 0 || (!bytes && numBytes > 0)) return nullptr;
    return CreateFromBytes(std::string_view(reinterpret_cast<const char *>(bytes), static_cast<size_t>(numBytes)),
                           encoding);
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar *chars, CFIndex numChars) {
    if (numChars < 0 || (!chars && numChars > 0)) return nullptr;
    try {
        return NewString(std::u16string(reinterpret_cast<const char16_t *>(chars), static_cast<size_t>(numChars)));
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef theString) {
    const __CFString *s = AsString(theString);
    if (!s) return nullptr;
    try {
        return NewString(s->chars);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

CFIndex CFStringGetLength(CFStringRef theString) {
    const __CFString *s = AsString(theString);
    return s ? static_cast<CFIndex>(s->chars.size()) : 0;
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar *buffer) {
    const __CFString *s = AsString(theString);
    if (!s || !buffer || range.location < 0 || range.length < 0 ||
        static_cast<size_t>(range.location) + static_cast<size_t>(range.length) > s->chars.size())
        return;
    std::memcpy(buffer, s->chars.data() + range.location, static_cast<size_t>(range.length) * sizeof(UniChar));
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx) {
    const __CFString *s = AsString(theString);
    if (!s || idx < 0 || static_cast<size_t>(idx) >= s->chars.size()) return 0;
    return s->chars[static_cast<size_t>(idx)];
}

Boolean CFStringGetPascalString(CFStringRef theString, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding) {
    if (!buffer || bufferSize < 1) return false;
    buffer[0] = 0;
    auto text = EncodedText(theString, encoding);
    if (!text) return false;
    CFIndex capacity = std::min<CFIndex>(bufferSize - 1, 255);
    if (static_cast<CFIndex>(text->size()) > capacity) return false;
    std::memcpy(buffer + 1, text->data(), text->size());
    buffer[0] = static_cast<unsigned char>(text->size());
    return true;
}

Boolean CFStringGetCString(CFStringRef theString, char *buffer, CFIndex bufferSize, CFStringEncoding encoding) {
    if (!buffer || bufferSize < 1) return false;
    buffer[0] = 0;
    auto text = EncodedText(theString, encoding);
    if (!text || static_cast<CFIndex>(text->size()) >= bufferSize) return false;
    std::memcpy(buffer, text->data(), text->size());
    buffer[text->size()] = 0;
    return true;
}

const char *CFStringGetCStringPtr(CFStringRef, CFStringEncoding) { return nullptr; }

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
    if (length < 0) return kCFNotFound;
    if (encoding == kCFStringEncodingUTF8) return length > LONG_MAX / 3 ? kCFNotFound : length * 3;
    return length;
}

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                   CFStringCompareFlags compareOptions) {
    const __CFString *a = AsString(theString1);
    const __CFString *b = AsString(theString2);
    static const std::u16string kEmpty;
    const std::u16string &x = a ? a->chars : kEmpty;
    const std::u16string &y = b ? b->chars : kEmpty;
    bool fold = (compareOptions & kCFCompareCaseInsensitive) != 0;
    size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t c = fold ? FoldCase(x[i]) : x[i];
        char16_t d = fold ? FoldCase(y[i]) : y[i];
        if (c != d) return c < d ? kCFCompareLessThan : kCFCompareGreaterThan;
    }
    if (x.size() == y.size()) return kCFCompareEqualTo;
    return x.size() < y.size() ? kCFCompareLessThan : kCFCompareGreaterThan;
}

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
    if (cf1 == cf2) return true;
    if (!cf1 || !cf2 || CFGetTypeID(cf1) != CFGetTypeID(cf2)) return false;
    if (const __CFString *a = AsString(static_cast<CFStringRef>(cf1))) {
        const __CFString *b = AsString(static_cast<CFStringRef>(cf2));
        return b && a->chars == b->chars;
    }
    return URLEqual(cf1, cf2);
}

Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix) {
    const __CFString *s = AsString(theString);
    const __CFString *p = AsString(prefix);
    return s && p && s->chars.starts_with(p->chars);
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix) {
    const __CFString *s = AsString(theString);
    const __CFString *p = AsString(suffix);
    return s && p && s->chars.ends_with(p->chars);
}

CFStringRef __QVCFStringMakeConstantString(const char *cStr) {
    static std::mutex lock;
    // Never destroyed: the strings outlive every static destructor that
    // may still use them, and stay reachable for leak checkers.
    static auto &constants = *new std::map<std::string, CFStringRef, std::less<>>;
    if (!cStr) return nullptr;
    std::lock_guard<std::mutex> guard(lock);
    auto it = constants.find(std::string_view(cStr));
    if (it != constants.end()) return it->second;
    std::string_view text(cStr);
    auto chars = DecodeUTF8(text);
    if (!chars) chars = DecodeMacRoman(text);
    CFStringRef s = NewString(std::move(*chars));
    if (!s) return nullptr;
    // Constant strings live for the whole process: no balanced release can
    // bring this count to zero.
    static_cast<__CFString *>(const_cast<__CFString *>(AsString(s)))->retainCount.store(CFIndex(1) << 40);
    constants.emplace(std::string(text), s);
    return s;
}

CFIndex QVCFStringGetUTF8(CFStringRef theString, char *buffer, CFIndex bufferSize) {
    if (!AsString(theString)) {
        if (buffer && bufferSize > 0) buffer[0] = 0;
        return 0;
    }
    std::string text;
    try {
        text = ToUTF8(theString);
    } catch (const std::bad_alloc &) {
        if (buffer && bufferSize > 0) buffer[0] = 0;
        return 0;
    }
    if (buffer && bufferSize > 0) {
        size_t n = std::min(text.size(), static_cast<size_t>(bufferSize - 1));
        // Never cut a UTF-8 sequence in half.
        while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = 0;
    }
    return static_cast<CFIndex>(text.size());
}

} // extern "C"
