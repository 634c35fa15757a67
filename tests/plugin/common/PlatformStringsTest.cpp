// Platform string objects from and to length-prefixed Mac Roman text, and
// the file-reference wrappers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/commonprocs.h"
#include "resources/Files.h"

namespace {

std::string Text(ConstStr255Param s) { return std::string(reinterpret_cast<const char *>(s + 1), s[0]); }

} // namespace

TEST(PlatformStrings, MacRomanTextRoundTrips) {
    Str255 all;
    all[0] = 255;
    for (int i = 1; i <= 255; ++i) all[i] = static_cast<unsigned char>(i); // every Mac Roman character but NUL
    CFStringRef s = MakeCFString(all);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(CFStringGetLength(s), 255);
    // Every byte its own character; some that moved in or out of the set.
    UniChar chars[256] = {0};
    CFStringGetCharacters(s, CFRange{0, 255}, chars + 1);
    for (int i = 1; i < 256; ++i)
        for (int j = i + 1; j < 256; ++j) ASSERT_NE(chars[i], chars[j]) << i << " and " << j;
    for (int i = 1; i < 128; ++i) ASSERT_EQ(chars[i], i);
    EXPECT_TRUE(chars[0xC9] == 0x2026 && chars[0xDB] == 0x20AC && chars[0xF0] == 0xF8FF && chars[0xFF] == 0x02C7)
        << "ellipsis, euro, the private-use logo, caron";
    Str255 back;
    CF2PString(s, back);
    EXPECT_EQ(Text(back), Text(all));
    CFRelease(s);

    const Str255 empty = {0};
    s = MakeCFString(empty);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(CFStringGetLength(s), 0);
    CFRelease(s);
}

TEST(PlatformStrings, TextThatDoesNotFitGivesTheEmptyString) {
    Str255 out = {3, 'o', 'l', 'd'};
    CFStringRef longer = CFStringCreateWithCString(kCFAllocatorDefault, std::string(300, 'a').c_str(),
                                                   kCFStringEncodingUTF8);
    CF2PString(longer, out);
    EXPECT_EQ(out[0], 0) << "no truncation";
    CFRelease(longer);

    out[0] = 3;
    CFStringRef exact = CFStringCreateWithCString(kCFAllocatorDefault, std::string(255, 'b').c_str(),
                                                  kCFStringEncodingUTF8);
    CF2PString(exact, out);
    EXPECT_EQ(out[0], 255);
    CFRelease(exact);

    out[0] = 3;
    CFStringRef greek = CFStringCreateWithCString(kCFAllocatorDefault, "alpha \xCE\xB1", kCFStringEncodingUTF8);
    CF2PString(greek, out);
    EXPECT_EQ(out[0], 0) << "a character Mac Roman lacks";
    CFRelease(greek);
    CFStringRef pi = CFStringCreateWithCString(kCFAllocatorDefault, "\u03C0\u03A9", kCFStringEncodingUTF8);
    CF2PString(pi, out);
    EXPECT_TRUE(out[0] == 2 && out[1] == 0xB9 && out[2] == 0xBD) << "pi and Omega are Mac Roman";
    CFRelease(pi);

    out[0] = 3;
    CF2PString(nullptr, out);
    EXPECT_EQ(out[0], 0);
}

// ---- File references ---------------------------------------------------------

namespace {

// A file and a folder in a fresh temporary folder, removed afterwards.
class FileRefs : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quelvane-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        file = folder + "/Clip picture.png";
        std::FILE *f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(file.c_str()), &fileRef, nullptr), noErr);
        ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(folder.c_str()), &folderRef, nullptr), noErr);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string folder, file;
    FSRef fileRef, folderRef;
};

} // namespace

TEST_F(FileRefs, FSSpecsAndReferencesNameTheSameObject) {
    const FSSpec fss = FSRef2FSSpec(fileRef);
    EXPECT_EQ(Text(fss.name), "Clip picture.png");
    FSRef back;
    std::memset(&back, 0xEE, sizeof back);
    FSSpec2FSRef(fss, back);
    EXPECT_EQ(FSCompareFSRefs(&back, &fileRef), noErr);

    EXPECT_TRUE(IsFileAFolder(folderRef));
    EXPECT_FALSE(IsFileAFolder(fileRef));

    // An FSSpec of no file leaves the reference as it was.
    FSSpec missing = fss;
    missing.name[0] = 4;
    std::memcpy(missing.name + 1, "gone", 4);
    FSRef untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    FSSpec2FSRef(missing, untouched);
    for (UInt8 b : untouched.hidden) ASSERT_EQ(b, 0x5A);

    // A reference to nothing gives the neutral answers.
    FSRef bogus;
    std::memset(&bogus, 0, sizeof bogus);
    EXPECT_EQ(FSRef2FSSpec(bogus).name[0], 0);
    EXPECT_FALSE(IsFileAFolder(bogus));
}
