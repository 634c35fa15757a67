// CoreFoundation bundles: look-up by identifier (the caller's own bundle,
// bundles made with CFBundleCreate, the search path), resource URLs, the
// bundle's resource file, and the built Quelvane bundle itself.
#include <gtest/gtest.h>

#include <dlfcn.h>
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

CFStringRef S(const std::string &utf8) {
    return CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
}

// Writes a bundle folder with an Info file and a few resources.
void MakeBundle(const std::string &folder, const std::string &identifier) {
    std::filesystem::create_directories(folder + "/Contents/Resources/en.lproj");
    std::filesystem::create_directories(folder + "/Contents/Resources/nibs/quelvane.nib");
    std::filesystem::create_directories(folder + "/Contents/Linux");
    TempDir::Write(folder + "/Contents/Info", "# test bundle\n  CFBundleIdentifier =  " + identifier +
                                                  "  \nCFBundleExecutable = Linux/Probe.so\nbroken line\n"
                                                  "CFBundleName=Probe\n");
    TempDir::Write(folder + "/Contents/Resources/manual.pdf", "%PDF");
    TempDir::Write(folder + "/Contents/Resources/en.lproj/help.txt", "help");
}

std::string Unique(const char *stem) { return std::string(stem) + "." + std::to_string(getpid()); }

} // namespace

TEST(CFBundle, CreatedBundlesAnswerInfoAndResourceURLs) {
    TempDir dir;
    std::string folder = dir / "Test.plugin";
    std::string id = Unique("com.example.created");
    MakeBundle(folder, id);
    CFStringRef idString = S(id);
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(idString), nullptr) << "not known yet";

    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(folder.c_str()),
                                                           static_cast<CFIndex>(folder.size()), true);
    CFBundleRef b = CFBundleCreate(nullptr, url);
    ASSERT_NE(b, nullptr);
    CFBundleRef again = CFBundleCreate(nullptr, url);
    EXPECT_EQ(again, b) << "one object per folder";
    CFRelease(again);
    CFRelease(url);
    EXPECT_TRUE(CFEqual(CFBundleGetIdentifier(b), idString)) << "blanks around values are trimmed";
    EXPECT_TRUE(CFEqual(CFBundleGetValueForInfoDictionaryKey(b, CFSTR("CFBundleName")), CFSTR("Probe")));
    EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(b, CFSTR("broken line")), nullptr);
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(idString), b) << "a created bundle is known by its identifier";
    EXPECT_EQ(TakePath(CFBundleCopyBundleURL(b)), folder);

    EXPECT_EQ(TakePath(CFBundleCopyResourceURL(b, CFSTR("manual"), CFSTR("pdf"), nullptr)),
              folder + "/Contents/Resources/manual.pdf");
    EXPECT_EQ(TakePath(CFBundleCopyResourceURL(b, CFSTR("help"), CFSTR(".txt"), nullptr)),
              folder + "/Contents/Resources/en.lproj/help.txt");
    EXPECT_EQ(TakePath(CFBundleCopyResourceURL(b, CFSTR("quelvane"), CFSTR("nib"), CFSTR("nibs"))),
              folder + "/Contents/Resources/nibs/quelvane.nib");
    EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR("manual"), CFSTR("doc"), nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR(".."), nullptr, nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyExecutableURL(b), nullptr) << "no library in this bundle";

    // No resource file: the map cannot be opened and nothing changes.
    ResFileRefNum before = CurResFile();
    EXPECT_EQ(CFBundleOpenBundleResourceMap(b), -1);
    EXPECT_EQ(CurResFile(), before);
    CFRelease(b);
    CFRelease(idString);

    CFURLRef nowhere = CFURLCreateWithString(nullptr, CFSTR("file:///no/such/bundle/"), nullptr);
    EXPECT_EQ(CFBundleCreate(nullptr, nowhere), nullptr);
    CFRelease(nowhere);
}

TEST(CFBundle, TheSearchPathAndTheCallersOwnBundle) {
    TempDir dir;
    std::string id = Unique("com.example.probe");
    MakeBundle(dir / "Listed/Probe.plugin", id);
    MakeBundle(dir / "Own.plugin", id);
    std::filesystem::copy_file(QV_PROBE_LIBRARY, dir / "Own.plugin/Contents/Linux/Probe.so");
    CFStringRef idString = S(id);

    // A folder of bundles on the search path.
    std::string saved = getenv("QUELVANE_BUNDLE") ? getenv("QUELVANE_BUNDLE") : "";
    setenv("QUELVANE_BUNDLE", ("/no/such/folder::" + dir / "Listed").c_str(), 1);
    CFBundleRef listed = CFBundleGetBundleWithIdentifier(idString);
    setenv("QUELVANE_BUNDLE", saved.c_str(), 1);
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(TakePath(CFBundleCopyBundleURL(listed)), dir / "Listed/Probe.plugin");

    // A library inside the other copy finds its own bundle first.
    void *probe = dlopen((dir / "Own.plugin/Contents/Linux/Probe.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(probe, nullptr) << dlerror();
    auto find = reinterpret_cast<CFBundleRef (*)(const char *)>(dlsym(probe, "ProbeFindBundle"));
    ASSERT_NE(find, nullptr);
    CFBundleRef own = find(id.c_str());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(TakePath(CFBundleCopyBundleURL(own)), dir / "Own.plugin");
    EXPECT_EQ(TakePath(CFBundleCopyExecutableURL(own)), dir / "Own.plugin/Contents/Linux/Probe.so");
    dlclose(probe);
    CFRelease(idString);
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.example.nobody")), nullptr);

    CFBundleRef main = CFBundleGetMainBundle();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(CFBundleGetIdentifier(main), nullptr) << "a test program lies in no bundle";
    EXPECT_EQ(TakePath(CFBundleCopyBundleURL(main)),
              std::filesystem::canonical("/proc/self/exe").parent_path().string());
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
