// CoreFoundation strings: Mac Roman, UTF-8 and Pascal conversions,
// comparison, constant strings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "corefoundation/CoreFoundation.h"

namespace {

// A Pascal string from C text (bytes taken as they are).
std::basic_string<unsigned char> P(const char *text) {
    std::basic_string<unsigned char> s(1, static_cast<unsigned char>(std::strlen(text)));
    s.append(reinterpret_cast<const unsigned char *>(text), std::strlen(text));
    return s;
}

std::string UTF8(CFStringRef s) {
    char buf[1024];
    EXPECT_TRUE(CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8));
    return buf;
}

} // namespace

TEST(CFString, MacRomanMapsAllBytesBothWays) {
    // Every byte is a character, no two bytes share one, and the text comes
    // back byte for byte.
    unsigned char all[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
    CFStringRef s = CFStringCreateWithBytes(nullptr, all, 256, kCFStringEncodingMacRoman, false);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(CFStringGetLength(s), 256);
    UniChar chars[256];
    CFStringGetCharacters(s, CFRange{0, 256}, chars);
    for (int i = 0; i < 256; ++i)
        for (int j = i + 1; j < 256; ++j) ASSERT_NE(chars[i], chars[j]) << i << " and " << j;
    for (int i = 0; i < 128; ++i) EXPECT_EQ(chars[i], i);
    // Characters that moved in or out of the set over the years.
    EXPECT_EQ(chars[0xC9], 0x2026); // ellipsis
    EXPECT_EQ(chars[0xDB], 0x20AC); // euro, formerly the currency sign
    EXPECT_EQ(chars[0xF0], 0xF8FF); // the private-use logo
    EXPECT_EQ(chars[0xFF], 0x02C7); // caron

    // Byte 0 cannot go into C text: compare the other 255 through the Pascal form.
    Str255 pascal;
    CFStringRef tail = CFStringCreateWithBytes(nullptr, all + 1, 255, kCFStringEncodingMacRoman, false);
    ASSERT_TRUE(CFStringGetPascalString(tail, pascal, sizeof pascal, kCFStringEncodingMacRoman));
    EXPECT_EQ(pascal[0], 255);
    EXPECT_EQ(std::memcmp(pascal + 1, all + 1, 255), 0);
    CFRelease(tail);
    CFRelease(s);
}

TEST(CFString, PascalStringsRoundTripThroughUTF8) {
    auto text = P("Settings\xC9 \x80rger \xDB"); // "Settings… Ärger €" in Mac Roman
    CFStringRef s = CFStringCreateWithPascalString(nullptr, text.c_str(), kCFStringEncodingMacRoman);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(UTF8(s), "Settings\u2026 \u00C4rger \u20AC");
    Str255 back;
    ASSERT_TRUE(CFStringGetPascalString(s, back, sizeof back, kCFStringEncodingMacRoman));
    EXPECT_EQ(std::basic_string<unsigned char>(back, back[0] + 1), text);
    CFRelease(s);
}

TEST(CFString, PascalConversionFailsInsteadOfTruncatingOrSubstituting) {
    Str255 out;
    out[0] = 7;
    std::string long300(300, 'x');
    CFStringRef big = CFStringCreateWithCString(nullptr, long300.c_str(), kCFStringEncodingUTF8);
    EXPECT_FALSE(CFStringGetPascalString(big, out, sizeof out, kCFStringEncodingMacRoman));
    EXPECT_EQ(out[0], 0);
    CFRelease(big);

    std::string exact(255, 'y');
    CFStringRef fits = CFStringCreateWithCString(nullptr, exact.c_str(), kCFStringEncodingUTF8);
    EXPECT_TRUE(CFStringGetPascalString(fits, out, sizeof out, kCFStringEncodingMacRoman));
    EXPECT_EQ(out[0], 255);
    Str32 small;
    EXPECT_FALSE(CFStringGetPascalString(fits, small, sizeof small, kCFStringEncodingMacRoman))
        << "a buffer of 33 bytes holds at most 32 characters";
    CFRelease(fits);

    // Greek has no Mac Roman form (pi and Omega do).
    CFStringRef greek = CFStringCreateWithCString(nullptr, "\u03B1\u03B2", kCFStringEncodingUTF8);
    ASSERT_NE(greek, nullptr);
    EXPECT_FALSE(CFStringGetPascalString(greek, out, sizeof out, kCFStringEncodingMacRoman));
    char c[8];
    EXPECT_FALSE(CFStringGetCString(greek, c, sizeof c, kCFStringEncodingASCII));
    CFRelease(greek);
    CFStringRef pi = CFStringCreateWithCString(nullptr, "\u03C0\u03A9", kCFStringEncodingUTF8);
    ASSERT_TRUE(CFStringGetPascalString(pi, out, sizeof out, kCFStringEncodingMacRoman));
    EXPECT_EQ(out[1], 0xB9);
    EXPECT_EQ(out[2], 0xBD);
    CFRelease(pi);
}

TEST(CFString, InvalidUTF8IsRefusedAndSupplementaryCharactersKept) {
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xC3", kCFStringEncodingUTF8), nullptr);   // cut short
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xC0\xAF", kCFStringEncodingUTF8), nullptr); // overlong
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xED\xA0\x80", kCFStringEncodingUTF8), nullptr); // surrogate
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xF4\x90\x80\x80", kCFStringEncodingUTF8), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "x", 0x1234), nullptr) << "unknown encoding";

    CFStringRef emoji = CFStringCreateWithCString(nullptr, "a\U0001F600b", kCFStringEncodingUTF8);
    ASSERT_NE(emoji, nullptr);
    EXPECT_EQ(CFStringGetLength(emoji), 4) << "two UTF-16 units for the emoji";
    EXPECT_EQ(UTF8(emoji), "a\U0001F600b");
    char tiny[4];
    EXPECT_FALSE(CFStringGetCString(emoji, tiny, sizeof tiny, kCFStringEncodingUTF8));
    EXPECT_EQ(QVCFStringGetUTF8(emoji, tiny, sizeof tiny), 6);
    EXPECT_STREQ(tiny, "a") << "never cuts a character in half";
    CFRelease(emoji);

    // An unpaired surrogate has no UTF-8 form.
    UniChar lone[] = {0x61, 0xD800};
    CFStringRef bad = CFStringCreateWithCharacters(nullptr, lone, 2);
    char buf[16];
    EXPECT_FALSE(CFStringGetCString(bad, buf, sizeof buf, kCFStringEncodingUTF8));
    CFRelease(bad);
}

TEST(CFString, CompareEqualAndAffixes) {
    CFStringRef a = CFStringCreateWithCString(nullptr, "\u00C4pfel", kCFStringEncodingUTF8);
    CFStringRef b = CFStringCreateWithCString(nullptr, "\u00E4PFEL", kCFStringEncodingUTF8);
    EXPECT_EQ(CFStringCompare(a, b, 0), kCFCompareLessThan);
    EXPECT_EQ(CFStringCompare(a, b, kCFCompareCaseInsensitive), kCFCompareEqualTo);
    EXPECT_EQ(CFStringCompare(CFSTR("ab"), CFSTR("abc"), 0), kCFCompareLessThan);
    EXPECT_FALSE(CFEqual(a, b));
    EXPECT_FALSE(CFEqual(a, nullptr));
    EXPECT_FALSE(CFStringHasSuffix(CFSTR("pdf"), CFSTR(".pdf"))) << "a suffix longer than the string";
    CFRelease(a);
    CFRelease(b);
}

TEST(CFString, ConstantStringsAreSharedAndSurviveBalancedReleases) {
    CFStringRef id1 = CFSTR("com.dranwick.quillor.quelvane");
    CFStringRef id2 = CFSTR("com.dranwick.quillor.quelvane");
    EXPECT_EQ(id1, id2);
    CFRetain(id1);
    CFRelease(id1);
    CFRelease(id1); // a caller that releases what it did not create must not free it
    EXPECT_EQ(CFStringGetLength(id2), 29);
    EXPECT_EQ(UTF8(CFSTR("Settings\u2026")), "Settings\u2026");
}
