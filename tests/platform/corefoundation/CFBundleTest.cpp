// CoreFoundation bundles: resource URLs that stay inside the bundle, and
// the built Quelvane bundle with its resource file. (Finding the bundle by
// identifier from inside the plug-in is exercised by every test that loads
// it through a host.)
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "../resources/TempDir.h"
#include "corefoundation/CoreFoundation.h"
#include "memory/MacMemory.h"
#include "resources/Resources.h"

namespace {

std::string Path(CFURLRef u) {
    UInt8 buf[4096];
    if (!u || !CFURLGetFileSystemRepresentation(u, true, buf, sizeof buf)) return "<none>";
    return reinterpret_cast<char *>(buf);
}

// Path of a URL the caller owns, which is released.
std::string TakePath(CFURLRef u) {
    std::string p = Path(u);
    if (u) CFRelease(u);
    return p;
}

// Writes a bundle folder with an Info file and a few resources.
void MakeBundle(const std::string &folder) {
    std::filesystem::create_directories(folder + "/Contents/Resources/en.lproj");
    std::filesystem::create_directories(folder + "/Contents/Resources/nibs/quelvane.nib");
    TempDir::Write(folder + "/Contents/Info", "CFBundleIdentifier = com.example.created." + std::to_string(getpid()));
    TempDir::Write(folder + "/Contents/Resources/manual.pdf", "%PDF");
    TempDir::Write(folder + "/Contents/Resources/en.lproj/help.txt", "help");
}

} // namespace

TEST(CFBundle, ResourceURLsAreFoundInTheBundleOnly) {
    TempDir dir;
    std::string folder = dir / "Test.plugin";
    MakeBundle(folder);
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(folder.c_str()),
                                                           static_cast<CFIndex>(folder.size()), true);
    CFBundleRef b = CFBundleCreate(nullptr, url);
    CFRelease(url);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(TakePath(CFBundleCopyResourceURL(b, CFSTR("manual"), CFSTR("pdf"), nullptr)),
              folder + "/Contents/Resources/manual.pdf");
    EXPECT_EQ(TakePath(CFBundleCopyResourceURL(b, CFSTR("help"), CFSTR(".txt"), nullptr)),
              folder + "/Contents/Resources/en.lproj/help.txt");
    EXPECT_EQ(TakePath(CFBundleCopyResourceURL(b, CFSTR("quelvane"), CFSTR("nib"), CFSTR("nibs"))),
              folder + "/Contents/Resources/nibs/quelvane.nib");
    EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR("manual"), CFSTR("doc"), nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR(".."), nullptr, nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR("../../Contents/Info"), nullptr, nullptr), nullptr);
    ResFileRefNum before = CurResFile();
    EXPECT_EQ(CFBundleOpenBundleResourceMap(b), -1) << "no resource file";
    EXPECT_EQ(CurResFile(), before);
    CFRelease(b);
}

TEST(CFBundle, TheBuiltBundleHoldsTheStringLists) {
    ASSERT_NE(getenv("QUELVANE_BUNDLE"), nullptr) << "run through ctest";
    CFBundleRef b = CFBundleGetBundleWithIdentifier(CFSTR("com.dranwick.quillor.quelvane"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(TakePath(CFBundleCopyBundleURL(b)), std::filesystem::canonical(getenv("QUELVANE_BUNDLE")).string());
    EXPECT_NE(TakePath(CFBundleCopyExecutableURL(b)).find("Contents/Linux/Quelvane.so"), std::string::npos);

    ResFileRefNum before = CurResFile();
    ResFileRefNum ref = CFBundleOpenBundleResourceMap(b);
    ASSERT_GT(ref, 0) << ResError();
    EXPECT_EQ(CurResFile(), ref);
    struct List {
        SInt16 id;
        int count;
        unsigned maxLength; // what the host's fields hold
    };
    for (List list : {List{128, 3, 127}, List{129, 6, 127}, List{130, 1, 31}, List{17000, 1, 127}}) {
        Handle h = Get1Resource(kQVStringListResType, list.id);
        ASSERT_NE(h, nullptr) << list.id;
        EXPECT_EQ((UInt8((*h)[0]) << 8) | UInt8((*h)[1]), list.count) << list.id;
        for (SInt16 i = 1; i <= list.count; ++i) {
            Str255 s;
            GetIndString(s, list.id, i);
            EXPECT_GT(s[0], 0) << list.id << "/" << i;
            EXPECT_LE(s[0], list.maxLength) << list.id << "/" << i;
        }
    }
    Str255 caption;
    GetIndString(caption, 130, 1);
    EXPECT_EQ(caption[caption[0]], 0xC9) << "the caption ends with the Mac Roman ellipsis";
    Str255 label;
    GetIndString(label, 128, 1);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(label + 1), label[0]), "Zoom horizontal");
    CFBundleCloseBundleResourceMap(b, ref);
    EXPECT_EQ(CurResFile(), before);
}
