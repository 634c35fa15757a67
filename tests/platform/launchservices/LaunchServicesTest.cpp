// Launch Services: opening documents (recorded by the hook and the log, and
// really started through a stand-in launcher first on the PATH). Item
// information and type identifiers are checked through the plug-in's file
// procedures (imaging and common tests).
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

TEST_F(LaunchServicesTest, LaunchesGoToTheHookOrTheLog) {
    std::vector<std::string> calls;
    QVLSSetLaunchHook(
        [](const char *doc, const char *app, void *v) -> OSStatus {
            static_cast<std::vector<std::string> *>(v)->push_back(std::string(doc) + "|" + (app ? app : "default"));
            return kLSApplicationNotFoundErr;  // handed back to the caller
        },
        &calls);
    const std::string doc = Write("manual.pdf", "%PDF");
    const FSRef docRef = Ref(doc);
    EXPECT_EQ(LSOpenFSRef(&docRef, nullptr), kLSApplicationNotFoundErr);
    EXPECT_EQ(calls, (std::vector<std::string>{doc + "|default"}));

    // Without a hook the log records instead of launching.
    QVLSSetLaunchHook(nullptr, nullptr);
    setenv("QUELVANE_LAUNCH_LOG", (dir_ / "launches.log").c_str(), 1);
    EXPECT_EQ(LSOpenFSRef(&docRef, nullptr), noErr);
    EXPECT_EQ(WaitForFile(dir_ / "launches.log"), "\t" + doc + "\n");
}

TEST_F(LaunchServicesTest, DocumentsReallyStartTheDesktopLauncher) {
    // A stand-in "xdg-open" first on the PATH shows what the desktop gets.
    fs::create_directories(dir_ / "bin");
    const std::string reporter = "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n";
    Write("bin/xdg-open", reporter, true);
    const std::string doc = Write("my manual.pdf", "%PDF");
    const FSRef ref = Ref(doc);
    const std::string oldPath = std::getenv("PATH");
    setenv("PATH", ((dir_ / "bin").string() + ":" + oldPath).c_str(), 1);
    const OSStatus status = LSOpenFSRef(&ref, nullptr);
    setenv("PATH", (dir_ / "empty").c_str(), 1);
    const OSStatus noLauncher = LSOpenFSRef(&ref, nullptr);
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_EQ(status, noErr);
    EXPECT_EQ(WaitForFile(dir_ / "bin/xdg-open.out"), doc + "\n");
    EXPECT_EQ(noLauncher, kLSApplicationNotFoundErr);
}

} // namespace
