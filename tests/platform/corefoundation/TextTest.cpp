// CoreFoundation text from outside: invalid UTF-8 is refused, characters
// beyond 16 bits are kept and never cut in half, and file paths with
// characters that need percent-encoding come back out of their URLs
// unchanged. (Mac Roman and Pascal conversions, and file references, are
// checked through the plug-in's string, file and image procedures.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "corefoundation/CoreFoundation.h"

namespace {

std::string UTF8(CFStringRef s) {
    char buf[1024];
    EXPECT_TRUE(CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8));
    return buf;
}

// Text of a string the caller owns, which is released.
std::string Take(CFStringRef s) {
    std::string t = UTF8(s);
    CFRelease(s);
    return t;
}

} // namespace

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
    char six[6];
    EXPECT_FALSE(CFStringGetCString(emoji, six, sizeof six, kCFStringEncodingUTF8)) << "no room for the terminator";
    CFRelease(emoji);

    // An unpaired surrogate has no UTF-8 form.
    UniChar lone[] = {0x61, 0xD800};
    CFStringRef bad = CFStringCreateWithCharacters(nullptr, lone, 2);
    char buf[16];
    EXPECT_FALSE(CFStringGetCString(bad, buf, sizeof buf, kCFStringEncodingUTF8));
    CFRelease(bad);
}

TEST(CFURL, FilePathsArePercentEncodedAndDecodedBack) {
    const char *path = "/tmp/My Clips/Ärger #2 100%.mov";
    CFStringRef text = CFStringCreateWithCString(nullptr, path, kCFStringEncodingUTF8);
    CFURLRef u = CFURLCreateWithFileSystemPath(nullptr, text, kCFURLPOSIXPathStyle, false);
    CFRelease(text);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(UTF8(CFURLGetString(u)), "file:///tmp/My%20Clips/%C3%84rger%20%232%20100%25.mov");
    EXPECT_EQ(Take(CFURLCopyFileSystemPath(u, kCFURLPOSIXPathStyle)), path);
    UInt8 buf[256];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(u, true, buf, sizeof buf));
    EXPECT_STREQ(reinterpret_cast<char *>(buf), path);
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(u, true, buf, static_cast<CFIndex>(std::strlen(path))))
        << "no room for the terminator";
    CFRelease(u);
}
