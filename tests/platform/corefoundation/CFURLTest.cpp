// CoreFoundation URLs: file URLs and paths, percent-encoding, file
// references, URL text with and without a base.
#include <gtest/gtest.h>

#include <string>

#include "../resources/TempDir.h"
#include "corefoundation/CoreFoundation.h"
#include "resources/Files.h"

namespace {

std::string Text(CFStringRef s) {
    char buf[4096];
    if (!s || !CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8)) return "<null>";
    return buf;
}

// Text of a string the caller owns, which is released.
std::string Take(CFStringRef s) {
    std::string t = Text(s);
    if (s) CFRelease(s);
    return t;
}

CFStringRef S(const char *utf8) { return CFStringCreateWithCString(nullptr, utf8, kCFStringEncodingUTF8); }

CFURLRef FromPath(const char *path, bool dir = false) {
    CFStringRef s = S(path);
    CFURLRef u = CFURLCreateWithFileSystemPath(nullptr, s, kCFURLPOSIXPathStyle, dir);
    CFRelease(s);
    return u;
}

} // namespace

TEST(CFURL, FilePathsArePercentEncodedAndDecodedBack) {
    const char *path = "/tmp/My Clips/Ärger #2 100%.mov";
    CFURLRef u = FromPath(path);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(Text(CFURLGetString(u)), "file:///tmp/My%20Clips/%C3%84rger%20%232%20100%25.mov");
    EXPECT_EQ(Take(CFURLCopyFileSystemPath(u, kCFURLPOSIXPathStyle)), path);
    UInt8 buf[256];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(u, true, buf, sizeof buf));
    EXPECT_STREQ(reinterpret_cast<char *>(buf), path);
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(u, true, buf, 10)) << "too small a buffer";
    EXPECT_EQ(Take(CFURLCopyLastPathComponent(u)), "Ärger #2 100%.mov");
    EXPECT_EQ(Take(CFURLCopyPathExtension(u)), "mov");
    EXPECT_EQ(CFURLCopyFileSystemPath(u, kCFURLHFSPathStyle), nullptr);
    CFRelease(u);

    CFURLRef dir = FromPath("/tmp/My Clips/", true);
    EXPECT_TRUE(CFURLHasDirectoryPath(dir));
    EXPECT_EQ(Take(CFURLCopyFileSystemPath(dir, kCFURLPOSIXPathStyle)), "/tmp/My Clips");
    CFStringRef name = S("manual.pdf");
    CFURLRef child = CFURLCreateCopyAppendingPathComponent(nullptr, dir, name, false);
    EXPECT_EQ(Text(CFURLGetString(child)), "file:///tmp/My%20Clips/manual.pdf");
    CFURLRef parent = CFURLCreateCopyDeletingLastPathComponent(nullptr, child);
    EXPECT_TRUE(CFEqual(parent, dir));
    CFRelease(name);
    CFRelease(child);
    CFRelease(parent);
    CFRelease(dir);

    CFURLRef root = FromPath("/", true);
    EXPECT_EQ(Text(CFURLGetString(root)), "file:///");
    EXPECT_EQ(Take(CFURLCopyLastPathComponent(root)), "/");
    CFRelease(root);
}

TEST(CFURL, FileReferencesRoundTripForExistingFilesOnly) {
    TempDir dir;
    std::string path = dir / "picture one.png";
    TempDir::Write(path, "png");
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr), noErr);
    CFURLRef u = CFURLCreateFromFSRef(nullptr, &ref);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(Take(CFURLCopyFileSystemPath(u, kCFURLPOSIXPathStyle)), path);
    FSRef back;
    ASSERT_TRUE(CFURLGetFSRef(u, &back));
    EXPECT_EQ(FSCompareFSRefs(&ref, &back), noErr);
    CFRelease(u);

    FSRef dirRef;
    FSPathMakeRef(reinterpret_cast<const UInt8 *>(dir.Path().c_str()), &dirRef, nullptr);
    CFURLRef d = CFURLCreateFromFSRef(nullptr, &dirRef);
    EXPECT_TRUE(CFURLHasDirectoryPath(d)) << "a folder's URL ends with /";
    CFRelease(d);

    CFURLRef missing = FromPath((dir / "missing.png").c_str());
    EXPECT_FALSE(CFURLGetFSRef(missing, &back));
    CFRelease(missing);
    CFURLRef web = CFURLCreateWithString(nullptr, CFSTR("http://example.com/a.png"), nullptr);
    EXPECT_FALSE(CFURLGetFSRef(web, &back));
    EXPECT_EQ(CFURLCopyFileSystemPath(web, kCFURLPOSIXPathStyle), nullptr);
    CFRelease(web);
    FSRef bogus{};
    EXPECT_EQ(CFURLCreateFromFSRef(nullptr, &bogus), nullptr);
}

TEST(CFURL, TextIsValidatedAndResolvedAgainstABase) {
    for (const char *bad : {"file:///tmp/a b.jpg", "http://x/%zz", "http://x/%4", "file:///tmp/\xC3\xA4.png"}) {
        CFStringRef s = S(bad);
        EXPECT_EQ(CFURLCreateWithString(nullptr, s, nullptr), nullptr) << bad;
        CFRelease(s);
    }
    CFURLRef good = CFURLCreateWithString(nullptr, CFSTR("file:///tmp/a%20b.jpg"), nullptr);
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(Take(CFURLCopyFileSystemPath(good, kCFURLPOSIXPathStyle)), "/tmp/a b.jpg");
    CFURLRef same = FromPath("/tmp/a b.jpg");
    EXPECT_TRUE(CFEqual(good, same));
    CFRelease(same);
    CFRelease(good);

    // Reference resolution examples of RFC 3986, section 5.4.
    CFURLRef base = CFURLCreateWithString(nullptr, CFSTR("http://a/b/c/d;p?q"), nullptr);
    const std::pair<const char *, const char *> cases[] = {
        {"g", "http://a/b/c/g"},       {"./g", "http://a/b/c/g"},      {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},          {"//g", "http://g"},            {"?y", "http://a/b/c/d;p?y"},
        {"#s", "http://a/b/c/d;p?q#s"}, {"..", "http://a/b/"},          {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},  {"g;x=1/../y", "http://a/b/c/y"}, {"", "http://a/b/c/d;p?q"},
    };
    for (auto [rel, expected] : cases) {
        CFStringRef s = S(rel);
        CFURLRef r = CFURLCreateWithString(nullptr, s, base);
        ASSERT_NE(r, nullptr) << rel;
        EXPECT_EQ(Text(CFURLGetString(r)), rel) << "a relative URL keeps its own text";
        CFURLRef abs = CFURLCopyAbsoluteURL(r);
        EXPECT_EQ(Text(CFURLGetString(abs)), expected) << rel;
        CFRelease(abs);
        CFRelease(r);
        CFRelease(s);
    }
    CFRelease(base);

    CFURLRef relFile = CFURLCreateWithString(nullptr, CFSTR("sub/x%2Ey"), nullptr);
    CFURLRef fileBase = CFURLCreateWithString(nullptr, CFSTR("file:///data/clips/"), nullptr);
    CFURLRef joined = CFURLCreateWithString(nullptr, CFURLGetString(relFile), fileBase);
    UInt8 buf[128];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(joined, true, buf, sizeof buf));
    EXPECT_STREQ(reinterpret_cast<char *>(buf), "/data/clips/sub/x.y");
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(joined, false, buf, sizeof buf));
    EXPECT_STREQ(reinterpret_cast<char *>(buf), "sub/x.y");
    CFRelease(joined);
    CFRelease(fileBase);
    CFRelease(relFile);
}
