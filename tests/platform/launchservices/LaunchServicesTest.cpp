// Launch Services: opening documents (recorded by the hook and the log, and
// really started through a stand-in launcher first on the PATH), item
// information from the file system, and type identifiers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "resources/Files.h"
#include "toolbox/LaunchServices.h"

namespace fs = std::filesystem;

namespace {

class LaunchServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qv-ls-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        QVLSSetLaunchHook(nullptr, nullptr);
        unsetenv("QUELVANE_LAUNCH_LOG");
        fs::remove_all(dir_);
    }
    std::string Write(const std::string &name, const std::string &bytes, bool executable = false) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        if (executable) chmod((dir_ / name).c_str(), 0755);
        return (dir_ / name).string();
    }
    static FSRef Ref(const std::string &path) {
        FSRef ref{};
        EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr), noErr) << path;
        return ref;
    }
    // The text a started process writes (it renames the file when done).
    static std::string WaitForFile(const fs::path &path) {
        for (int i = 0; i < 200 && !fs::exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::stringstream ss;
        ss << std::ifstream(path).rdbuf();
        return ss.str();
    }
    fs::path dir_;
};

TEST_F(LaunchServicesTest, LaunchesGoToTheHookOrTheLogAndBadRequestsToNeither) {
    std::vector<std::string> calls;
    QVLSSetLaunchHook(
        [](const char *doc, const char *app, void *v) -> OSStatus {
            static_cast<std::vector<std::string> *>(v)->push_back(std::string(doc) + "|" + (app ? app : "default"));
            return kLSApplicationNotFoundErr;  // handed back to the caller
        },
        &calls);
    const std::string doc = Write("manual.pdf", "%PDF"), app = Write("viewer", "#!/bin/sh\n", true);
    const FSRef docRef = Ref(doc), appRef = Ref(app), invalid{};
    EXPECT_EQ(LSOpenFSRef(&docRef, nullptr), kLSApplicationNotFoundErr);
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(doc.c_str()),
                                                           CFIndex(doc.size()), false);
    LSOpenCFURLRef(url, nullptr);
    CFRelease(url);
    LSLaunchFSRefSpec spec = {&appRef, 1, &docRef, nullptr, kLSLaunchDefaults, nullptr};
    LSOpenFromRefSpec(&spec, nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{doc + "|default", doc + "|default", doc + "|" + app}));

    calls.clear();
    EXPECT_EQ(LSOpenFSRef(&invalid, nullptr), paramErr);
    CFURLRef web = CFURLCreateWithString(nullptr, CFSTR("http://example.org/a.pdf"), nullptr);
    EXPECT_EQ(LSOpenCFURLRef(web, nullptr), paramErr);
    CFRelease(web);
    const FSRef notApp = Ref(Write("notes", "plain"));
    spec.appRef = &notApp;
    EXPECT_EQ(LSOpenFromRefSpec(&spec, nullptr), kLSNotAnApplicationErr);
    EXPECT_TRUE(calls.empty());

    // Without a hook the log records instead of launching.
    QVLSSetLaunchHook(nullptr, nullptr);
    setenv("QUELVANE_LAUNCH_LOG", (dir_ / "launches.log").c_str(), 1);
    EXPECT_EQ(LSOpenFSRef(&docRef, nullptr), noErr);
    EXPECT_EQ(WaitForFile(dir_ / "launches.log"), "\t" + doc + "\n");
}

TEST_F(LaunchServicesTest, DocumentsReallyStartTheDesktopLauncherOrTheApplication) {
    // A stand-in "xdg-open" first on the PATH shows what the desktop gets.
    fs::create_directories(dir_ / "bin");
    const std::string reporter = "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n";
    Write("bin/xdg-open", reporter, true);
    const std::string app = Write("viewer", reporter, true);
    const std::string doc = Write("my manual.pdf", "%PDF");
    const FSRef ref = Ref(doc), appRef = Ref(app);
    const std::string oldPath = std::getenv("PATH");
    setenv("PATH", ((dir_ / "bin").string() + ":" + oldPath).c_str(), 1);
    const OSStatus status = LSOpenFSRef(&ref, nullptr);
    setenv("PATH", (dir_ / "empty").c_str(), 1);
    const OSStatus noLauncher = LSOpenFSRef(&ref, nullptr);
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_EQ(status, noErr);
    EXPECT_EQ(WaitForFile(dir_ / "bin/xdg-open.out"), doc + "\n");
    EXPECT_EQ(noLauncher, kLSApplicationNotFoundErr);

    LSLaunchFSRefSpec spec = {&appRef, 1, &ref, nullptr, kLSLaunchDefaults, nullptr};
    ASSERT_EQ(LSOpenFromRefSpec(&spec, nullptr), noErr);
    EXPECT_EQ(WaitForFile(dir_ / "viewer.out"), doc + "\n");
}

TEST_F(LaunchServicesTest, ItemInfoDescribesFilesFoldersAndTheirTypes) {
    LSItemInfoRecord info;
    const FSRef folder = Ref(dir_.string());
    ASSERT_EQ(LSCopyItemInfoForRef(&folder, kLSRequestBasicFlagsOnly, &info), noErr);
    EXPECT_EQ(info.flags & (kLSItemInfoIsContainer | kLSItemInfoIsPlainFile), LSItemInfoFlags(kLSItemInfoIsContainer));

    // The file type comes from the first bytes, the extension from the name,
    // and only what was asked for is filled.
    const FSRef png = Ref(Write("picture", std::string("\x89PNG\r\n\x1a\n....", 12)));
    ASSERT_EQ(LSCopyItemInfoForRef(&png, kLSRequestExtension | kLSRequestTypeCreator, &info), noErr);
    EXPECT_EQ(info.filetype, QV_FOURCC('P', 'N', 'G', 'f'));
    EXPECT_EQ(info.extension, nullptr);
    EXPECT_EQ(info.flags, 0u);
    const FSRef jpg = Ref(Write("Photo.Holiday.JPG", "\xFF\xD8\xFF\xE0"));
    ASSERT_EQ(LSCopyItemInfoForRef(&jpg, kLSRequestAllInfo, &info), noErr);
    EXPECT_TRUE(info.extension && CFEqual(info.extension, CFSTR("JPG")));
    EXPECT_EQ(info.flags, LSItemInfoFlags(kLSItemInfoIsPlainFile));
    CFRelease(info.extension);
    const FSRef hidden = Ref(Write(".settings", "x"));
    ASSERT_EQ(LSCopyItemInfoForRef(&hidden, kLSRequestAllInfo, &info), noErr);
    EXPECT_TRUE((info.flags & kLSItemInfoIsInvisible) && !info.extension);  // a leading dot is no extension
    const FSRef invalid{};
    EXPECT_EQ(LSCopyItemInfoForRef(&invalid, kLSRequestAllInfo, &info), paramErr);
}

TEST(UTType, TagsMapToIdentifiersThatConformThroughTheHierarchy) {
    CFStringRef jpeg = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, CFSTR("JPEG"), nullptr);
    CFStringRef gifType = UTCreateStringForOSType(QV_FOURCC('G', 'I', 'F', 'f'));
    CFStringRef gif = UTTypeCreatePreferredIdentifierForTag(kUTTagClassOSType, gifType, nullptr);
    CFStringRef xyz = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, CFSTR("xyz"), nullptr);
    CFStringRef xyw = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, CFSTR("xyw"), nullptr);
    EXPECT_TRUE(UTTypeEqual(jpeg, CFSTR("Public.JPEG")) && UTTypeEqual(gif, CFSTR("com.compuserve.gif")));
    EXPECT_TRUE(UTTypeConformsTo(jpeg, CFSTR("public.item")));
    EXPECT_FALSE(UTTypeConformsTo(jpeg, CFSTR("public.text")));
    EXPECT_FALSE(UTTypeConformsTo(CFSTR("public.image"), CFSTR("public.jpeg")));
    // Unknown tags: distinct dynamic identifiers that are data, not images.
    EXPECT_TRUE(UTTypeConformsTo(xyz, CFSTR("public.data")) && !UTTypeConformsTo(xyz, CFSTR("public.image")));
    EXPECT_FALSE(UTTypeEqual(xyz, xyw));
    EXPECT_EQ(UTTypeCreatePreferredIdentifierForTag(CFSTR("no.such.class"), CFSTR("png"), nullptr), nullptr);
    for (CFStringRef s : {jpeg, gifType, gif, xyz, xyw}) CFRelease(s);
}

} // namespace
