// Image and file access through the plug-in's procedures: every format of
// the test data (an animated GIF gives its first frame, a two-page TIFF its
// first page: the second of each is green), other files give no image and
// no alert; pictures, scaled buffers, folder paths and type conformance, one
// test each group.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "ImageTestSupport.h"
#include "common/commonprocs.h"
#include "imaging/EasyFile.h"
#include "imaging/offscreen.h"
#include "resources/Files.h"
#include "toolbox/Alerts.h"

using namespace imgtest;
namespace fs = std::filesystem;

namespace {

const Px kRed = Opaque(220, 30, 30), kBlue = Opaque(30, 40, 210);

Px ImagePixel(CGImageRef image, int x, int y) {
    const UInt8 *p = QVCGImageGetPixels(image) + size_t(y) * CGImageGetBytesPerRow(image) + size_t(x) * 4;
    return Px{p[0], p[1], p[2], p[3]};
}

bool Near(const Px &a, const Px &b, int tolerance) {
    return std::abs(a.a - b.a) <= tolerance && std::abs(a.r - b.r) <= tolerance &&
           std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::string Text(const unsigned char *p) { return std::string(reinterpret_cast<const char *>(p + 1), p[0]); }

class EasyFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        data_ = fs::path(std::getenv("QUELVANE_SOURCE_DIR")) / "tests/plugin/imaging/data";
        dir_ = fs::temp_directory_path() / ("qv-easyfile-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    static FSSpec FileAt(const fs::path &path) {
        FSSpec fss{};
        QVFSSpecFromPath(path.c_str(), &fss);
        return fss;
    }
    static FSRef Ref(const fs::path &path) {
        FSRef ref{};
        FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr);
        return ref;
    }
    static CFURLRef Url(const fs::path &path) {
        const std::string s = path.string();
        return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(s.c_str()),
                                                       CFIndex(s.size()), false);
    }
    fs::path data_, dir_;
};

TEST_F(EasyFileTest, EveryFormatLoadsItsFirstImage) {
    for (const char *name : {"halves.png", "halves.bmp", "halves.jpg", "pages.tif", "anim.gif"}) {
        SCOPED_TRACE(name);
        const int tolerance = std::strstr(name, ".jpg") ? 12 : 0;
        CGImageRef viaFss = GetCGImageFromFSSUsingCG(FileAt(data_ / name));
        CGImageRef viaImporter = GetCGImageFromFSS(FileAt(data_ / name));
        for (CGImageRef image : {viaFss, viaImporter}) {
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(CGImageGetWidth(image), 32u);
            EXPECT_EQ(CGImageGetHeight(image), 16u);
            EXPECT_TRUE(Near(ImagePixel(image, 3, 8), kRed, tolerance)) << ImagePixel(image, 3, 8);
            EXPECT_TRUE(Near(ImagePixel(image, 28, 2), kBlue, tolerance)) << ImagePixel(image, 28, 2);
            CGImageRelease(image);
        }
    }
}

TEST_F(EasyFileTest, FilesThatAreNoImagesGiveNoImageAndShowNothing) {
    std::ofstream(dir_ / "notes.png") << "not an image at all";
    std::ofstream(dir_ / "empty.gif").flush();
    fs::copy_file(data_ / "halves.png", dir_ / "cut.png");
    fs::resize_file(dir_ / "cut.png", 60);
    int alerts = 0;
    QVSetAlertPresenter([](const QVAlertContent *, void *n) -> DialogItemIndex { return ++*static_cast<int *>(n), 1; },
                        &alerts);
    for (const char *name : {"notes.png", "empty.gif", "cut.png", "missing.png"}) {
        Str255 fileName;
        EXPECT_EQ(GetCGImageFromFSSUsingCG(FileAt(dir_ / name)), nullptr) << name;
        EXPECT_EQ(GetCGImageFromFSS(FileAt(dir_ / name)), nullptr) << name;
        EXPECT_EQ(ReadPictureFromFSS(FileAt(dir_ / name), fileName), nullptr) << name;
        CFURLRef url = Url(dir_ / name);
        EXPECT_EQ(GetPictFromURLUsingCG(url), nullptr) << name;
        CFRelease(url);
    }
    EXPECT_EQ(GetCGImageFromURLUsingCG(nullptr), nullptr);
    QVSetAlertPresenter(nullptr, nullptr);
    EXPECT_EQ(alerts, 0);
}

TEST_F(EasyFileTest, PicturesAndScaledBuffersHoldTheWholeImage) {
    Str255 name;
    CFURLRef url = Url(data_ / "halves.bmp");
    PicHandle pics[] = {ReadPictureFromFSRef(Ref(data_ / "pages.tif"), name), GetPictFromURLUsingCG(url)};
    CFRelease(url);
    EXPECT_EQ(Text(name), "pages.tif");
    for (PicHandle p : pics) {
        ASSERT_NE(p, nullptr);
        GW gw(AllocateGWorld(32, 16));
        DrawPictureInGW(gw.get(), p, GetPortRect(gw.get()));
        EXPECT_TRUE(Get(gw.get(), 15, 0) == kRed && Get(gw.get(), 16, 15) == kBlue);
        KillPicture(p);
    }
    // Reduced by 2 across and 4 down: 16 x 4, the blue half reaching the right edge.
    GW small(GetScaledGWImageFromFSRef(Ref(data_ / "halves.png"), 2, 4));
    ASSERT_TRUE(small);
    EXPECT_TRUE(Width(small.get()) == 16 && Height(small.get()) == 4);
    EXPECT_TRUE(Get(small.get(), 7, 3) == kRed && Get(small.get(), 15, 3) == kBlue);
    EXPECT_EQ(GetScaledGWImageFromFSRef(Ref(data_ / "halves.png"), 0, 1), nullptr);
    EXPECT_EQ(GetScaledGWImageFromFSRef(Ref(data_ / "halves.png"), 33, 1), nullptr);  // nothing left
}

TEST_F(EasyFileTest, FolderPathsAndTypeConformance) {
    FSCatalogInfo info{};
    const FSRef dirRef = Ref(dir_);
    FSGetCatalogInfo(&dirRef, kFSCatInfoNodeID, &info, nullptr, nullptr, nullptr);
    Str255 path;
    GetFullPath(SInt32(info.nodeID), 0, path);
    std::string expected = kQVVolumeName;
    for (const auto &part : fs::canonical(dir_).relative_path()) expected += ":" + part.string();
    EXPECT_EQ(Text(path), expected + ":");
    GetFullPath(0x7FFF0000, 0, path);  // no such directory
    EXPECT_EQ(path[0], 0);

    std::ofstream(dir_ / "photo.JPG") << "anything";
    fs::copy_file(data_ / "halves.png", dir_ / "picture");  // no extension: the type from its bytes
    auto conforms = [&](const char *name, const char *uti) {
        Str255 text;
        CString2PString(uti, text);
        return bool(FileConformsTo(Ref(dir_ / name), text));
    };
    EXPECT_TRUE(conforms("photo.JPG", "public.image") && conforms("picture", "public.png"));
    EXPECT_FALSE(conforms("photo.JPG", "public.text") || conforms("missing", "public.data"));
}

}  // namespace
