// Launch Services: opening documents (recorded through the hook or the log,
// and really started through a stand-in launcher on the PATH), item
// information from the file system, and type identifiers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "resources/Files.h"
#include "toolbox/LaunchServices.h"

namespace fs = std::filesystem;

namespace {

struct Launch {
    std::string document, application;
};

struct Recorder {
    std::vector<Launch> launches;
    OSStatus answer = noErr;
    static OSStatus Proc(const char *doc, const char *app, void *refCon) {
        auto *self = static_cast<Recorder *>(refCon);
        self->launches.push_back({doc ? doc : "<none>", app ? app : "<default>"});
        return self->answer;
    }
};

class LaunchServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qv-ls-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        unsetenv("QUELVANE_LAUNCH_LOG");
    }
    void TearDown() override {
        QVLSSetLaunchHook(nullptr, nullptr);
        unsetenv("QUELVANE_LAUNCH_LOG");
        fs::remove_all(dir_);
    }
    std::string Write(const std::string &name, const std::string &bytes, bool executable = false) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        if (executable) chmod(p.c_str(), 0755);
        return p.string();
    }
    static FSRef Ref(const std::string &path) {
        FSRef ref{};
        EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr), noErr) << path;
        return ref;
    }
    static std::string Str(CFStringRef s) {
        if (!s) return "<null>";
        char buffer[512];
        QVCFStringGetUTF8(s, buffer, sizeof buffer);
        return buffer;
    }
    static std::string ReadAll(const std::string &path) {
        std::ifstream in(path);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Waits for a file that a started process writes.
    static std::string WaitForFile(const std::string &path) {
        for (int i = 0; i < 200; ++i) {
            const std::string text = ReadAll(path);
            if (!text.empty() && text.back() == '\n') return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return std::string();
    }
    fs::path dir_;
};

TEST_F(LaunchServicesTest, OpeningDocumentsGoesToTheHookWithPathsAndStatus) {
    Recorder rec;
    QVLSSetLaunchHook(&Recorder::Proc, &rec);
    const std::string doc = Write("manual.pdf", "%PDF-1.4\n");
    const FSRef docRef = Ref(doc);
    EXPECT_EQ(LSOpenFSRef(&docRef, nullptr), noErr);

    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(doc.c_str()),
                                                           CFIndex(doc.size()), false);
    EXPECT_EQ(LSOpenCFURLRef(url, nullptr), noErr);
    CFRelease(url);

    const std::string app = Write("viewer", "#!/bin/sh\n", true);
    const FSRef appRef = Ref(app);
    FSRef launched{};
    LSLaunchFSRefSpec spec = {&appRef, 1, &docRef, nullptr, kLSLaunchDefaults, nullptr};
    EXPECT_EQ(LSOpenFromRefSpec(&spec, &launched), noErr);
    EXPECT_EQ(FSCompareFSRefs(&launched, &appRef), noErr);

    ASSERT_EQ(rec.launches.size(), 3u);
    EXPECT_EQ(rec.launches[0].document, doc);
    EXPECT_EQ(rec.launches[0].application, "<default>");
    EXPECT_EQ(rec.launches[1].document, doc);
    EXPECT_EQ(rec.launches[2].application, app);

    // The hook's status is the caller's.
    rec.answer = kLSApplicationNotFoundErr;
    EXPECT_EQ(LSOpenFSRef(&docRef, nullptr), kLSApplicationNotFoundErr);
}

TEST_F(LaunchServicesTest, BadRequestsAreRefusedWithoutLaunching) {
    Recorder rec;
    QVLSSetLaunchHook(&Recorder::Proc, &rec);
    const FSRef invalid{};
    EXPECT_EQ(LSOpenFSRef(&invalid, nullptr), paramErr);
    EXPECT_EQ(LSOpenFSRef(nullptr, nullptr), paramErr);
    EXPECT_EQ(LSOpenCFURLRef(nullptr, nullptr), paramErr);

    CFURLRef web = CFURLCreateWithString(nullptr, CFSTR("http://example.org/a.pdf"), nullptr);
    ASSERT_NE(web, nullptr);
    EXPECT_EQ(LSOpenCFURLRef(web, nullptr), paramErr);
    CFRelease(web);
    const std::string gone = (dir_ / "gone.pdf").string();
    CFURLRef missing = CFURLCreateFromFileSystemRepresentation(
        nullptr, reinterpret_cast<const UInt8 *>(gone.c_str()), CFIndex(gone.size()), false);
    EXPECT_EQ(LSOpenCFURLRef(missing, nullptr), fnfErr);
    CFRelease(missing);

    // An application that is not executable is not run.
    const FSRef doc = Ref(Write("a.txt", "text"));
    const FSRef notApp = Ref(Write("notes", "plain"));
    LSLaunchFSRefSpec spec = {&notApp, 1, &doc, nullptr, kLSLaunchDefaults, nullptr};
    EXPECT_EQ(LSOpenFromRefSpec(&spec, nullptr), kLSNotAnApplicationErr);
    LSLaunchFSRefSpec nothing = {nullptr, 0, nullptr, nullptr, kLSLaunchDefaults, nullptr};
    EXPECT_EQ(LSOpenFromRefSpec(&nothing, nullptr), paramErr);
    EXPECT_TRUE(rec.launches.empty());
}

TEST_F(LaunchServicesTest, TheLaunchLogRecordsInsteadOfLaunching) {
    const std::string log = (dir_ / "launches.log").string();
    setenv("QUELVANE_LAUNCH_LOG", log.c_str(), 1);
    const std::string doc = Write("manual.pdf", "%PDF");
    const FSRef ref = Ref(doc);
    EXPECT_EQ(LSOpenFSRef(&ref, nullptr), noErr);
    EXPECT_EQ(LSOpenFSRef(&ref, nullptr), noErr);
    EXPECT_EQ(ReadAll(log), "\t" + doc + "\n\t" + doc + "\n");
}

TEST_F(LaunchServicesTest, DocumentsReallyStartTheDesktopLauncherOrTheApplication) {
    // A stand-in "xdg-open" first on the PATH shows what the desktop would get.
    const fs::path bin = dir_ / "bin";
    fs::create_directories(bin);
    const std::string out = (dir_ / "opened.txt").string();
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" << out << ".tmp' && mv '" << out
                                    << ".tmp' '" << out << "'\n";
    chmod((bin / "xdg-open").c_str(), 0755);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);

    const std::string doc = Write("my manual.pdf", "%PDF");
    const FSRef ref = Ref(doc);
    const OSStatus status = LSOpenFSRef(&ref, nullptr);
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_EQ(status, noErr);
    EXPECT_EQ(WaitForFile(out), doc + "\n");

    // A named application gets the document as its argument.
    const std::string appOut = (dir_ / "app.txt").string();
    const std::string app = Write("viewer", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + appOut + ".tmp' && mv '" +
                                                appOut + ".tmp' '" + appOut + "'\n",
                                  true);
    const FSRef appRef = Ref(app);
    LSLaunchFSRefSpec spec = {&appRef, 1, &ref, nullptr, kLSLaunchDefaults, nullptr};
    ASSERT_EQ(LSOpenFromRefSpec(&spec, nullptr), noErr);
    EXPECT_EQ(WaitForFile(appOut), doc + "\n");

    // No launcher at all: the failure is reported.
    setenv("PATH", (dir_ / "empty").c_str(), 1);
    EXPECT_EQ(LSOpenFSRef(&ref, nullptr), kLSApplicationNotFoundErr);
    setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(LaunchServicesTest, ItemInfoDescribesFilesFoldersAndTheirTypes) {
    LSItemInfoRecord info;
    const FSRef folder = Ref(dir_.string());
    ASSERT_EQ(LSCopyItemInfoForRef(&folder, kLSRequestBasicFlagsOnly, &info), noErr);
    EXPECT_TRUE(info.flags & kLSItemInfoIsContainer);
    EXPECT_FALSE(info.flags & kLSItemInfoIsPlainFile);

    // The file type comes from the first bytes; the extension from the name.
    const FSRef png = Ref(Write("picture", std::string("\x89PNG\r\n\x1a\n....", 12)));
    ASSERT_EQ(LSCopyItemInfoForRef(&png, kLSRequestExtension | kLSRequestTypeCreator | kLSRequestBasicFlagsOnly,
                                   &info),
              noErr);
    EXPECT_EQ(info.filetype, QV_FOURCC('P', 'N', 'G', 'f'));
    EXPECT_EQ(info.creator, OSType(kLSUnknownCreator));
    EXPECT_EQ(info.extension, nullptr);
    EXPECT_EQ(info.flags, LSItemInfoFlags(kLSItemInfoIsPlainFile));

    const FSRef jpg = Ref(Write("Photo.Holiday.JPG", "\xFF\xD8\xFF\xE0"));
    ASSERT_EQ(LSCopyItemInfoForRef(&jpg, kLSRequestExtension, &info), noErr);
    EXPECT_EQ(Str(info.extension), "JPG");
    EXPECT_EQ(info.flags, 0u);  // not asked for
    EXPECT_EQ(info.filetype, OSType(kLSUnknownType));
    CFRelease(info.extension);

    const FSRef hidden = Ref(Write(".settings", "x"));
    ASSERT_EQ(LSCopyItemInfoForRef(&hidden, kLSRequestAllInfo, &info), noErr);
    EXPECT_TRUE(info.flags & kLSItemInfoIsInvisible);
    EXPECT_EQ(info.extension, nullptr);  // a leading dot is no extension
    EXPECT_EQ(info.filetype, OSType(kLSUnknownType));

    const std::string tool = Write("tool", "#!/bin/sh\n", true);
    fs::create_symlink(tool, dir_ / "link");
    const FSRef link = Ref((dir_ / "link").string());
    ASSERT_EQ(LSCopyItemInfoForRef(&link, kLSRequestAllFlags, &info), noErr);
    EXPECT_TRUE(info.flags & kLSItemInfoIsApplication);
    EXPECT_TRUE(info.flags & kLSItemInfoIsSymlink);

    const FSRef invalid{};
    EXPECT_EQ(LSCopyItemInfoForRef(&invalid, kLSRequestAllInfo, &info), paramErr);
}

TEST(UTType, ExtensionsAndFileTypesMapToIdentifiersThatConform) {
    auto idFor = [](CFStringRef tagClass, CFStringRef tag, CFStringRef conforming = nullptr) {
        CFStringRef id = UTTypeCreatePreferredIdentifierForTag(tagClass, tag, conforming);
        char buffer[128] = "<null>";
        if (id) {
            QVCFStringGetUTF8(id, buffer, sizeof buffer);
            CFRelease(id);
        }
        return std::string(buffer);
    };
    EXPECT_EQ(idFor(kUTTagClassFilenameExtension, CFSTR("jpg")), "public.jpeg");
    EXPECT_EQ(idFor(kUTTagClassFilenameExtension, CFSTR("JPEG")), "public.jpeg");
    EXPECT_EQ(idFor(kUTTagClassFilenameExtension, CFSTR("tif")), "public.tiff");
    EXPECT_EQ(idFor(kUTTagClassMIMEType, CFSTR("image/png")), "public.png");
    EXPECT_EQ(idFor(kUTTagClassFilenameExtension, CFSTR("png"), CFSTR("public.text")).rfind("dyn.", 0), 0u);
    EXPECT_EQ(idFor(CFSTR("no.such.class"), CFSTR("png")), "<null>");

    CFStringRef gifType = UTCreateStringForOSType(QV_FOURCC('G', 'I', 'F', 'f'));
    EXPECT_EQ(UTGetOSTypeFromString(gifType), QV_FOURCC('G', 'I', 'F', 'f'));
    EXPECT_EQ(idFor(kUTTagClassOSType, gifType), "com.compuserve.gif");
    CFRelease(gifType);

    EXPECT_TRUE(UTTypeConformsTo(CFSTR("public.jpeg"), CFSTR("public.image")));
    EXPECT_TRUE(UTTypeConformsTo(CFSTR("public.jpeg"), CFSTR("public.item")));
    EXPECT_TRUE(UTTypeConformsTo(CFSTR("Public.JPEG"), CFSTR("public.jpeg")));
    EXPECT_FALSE(UTTypeConformsTo(CFSTR("public.jpeg"), CFSTR("public.text")));
    EXPECT_FALSE(UTTypeConformsTo(CFSTR("public.image"), CFSTR("public.jpeg")));
    EXPECT_TRUE(UTTypeConformsTo(CFSTR("com.adobe.pdf"), CFSTR("public.content")));

    // Unknown tags get a dynamic identifier that is data, but not an image.
    CFStringRef dyn = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, CFSTR("xyz"), nullptr);
    EXPECT_TRUE(UTTypeConformsTo(dyn, CFSTR("public.data")));
    EXPECT_FALSE(UTTypeConformsTo(dyn, CFSTR("public.image")));
    CFStringRef dyn2 = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, CFSTR("xyw"), nullptr);
    EXPECT_FALSE(UTTypeEqual(dyn, dyn2));
    CFRelease(dyn);
    CFRelease(dyn2);

    CFStringRef ext = UTTypeCopyPreferredTagWithClass(CFSTR("public.jpeg"), kUTTagClassFilenameExtension);
    char buffer[16];
    QVCFStringGetUTF8(ext, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "jpg");
    CFRelease(ext);
}

} // namespace
