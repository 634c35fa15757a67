// Image and file access: every image format through the plug-in's loading
// path (first frame of an animation, first page of a multi-page file, no
// image and no alert for other files), the picture path through graphics
// importers, scaled pictures, file writing helpers, directory paths, type
// conformance and opening documents.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ImageFiles.h"
#include "ImageTestSupport.h"
#include "common/commonprocs.h"
#include "imaging/EasyFile.h"
#include "imaging/offscreen.h"
#include "resources/Files.h"
#include "toolbox/Alerts.h"
#include "toolbox/LaunchServices.h"

using namespace imgtest;
namespace fs = std::filesystem;

namespace {

struct ImageRelease {
    void operator()(CGImage *i) const { CGImageRelease(i); }
};
using Img = std::unique_ptr<CGImage, ImageRelease>;

Px ImagePixel(CGImageRef image, int x, int y) {
    const UInt8 *p = QVCGImageGetPixels(image) + size_t(y) * CGImageGetBytesPerRow(image) + size_t(x) * 4;
    return Px{p[0], p[1], p[2], p[3]};
}

void ExpectNear(const Px &got, const Px &want, int tolerance) {
    EXPECT_NEAR(got.a, want.a, tolerance);
    EXPECT_NEAR(got.r, want.r, tolerance) << got << " vs " << want;
    EXPECT_NEAR(got.g, want.g, tolerance) << got << " vs " << want;
    EXPECT_NEAR(got.b, want.b, tolerance) << got << " vs " << want;
}

const Px kRed = Opaque(220, 30, 30), kBlue = Opaque(30, 40, 210);
Px Halves(int x, int) { return x < 16 ? kRed : kBlue; }

class EasyFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qv-easyfile-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        QVLSSetLaunchHook(nullptr, nullptr);
        fs::remove_all(dir_);
    }
    std::string PathOf(const std::string &name) const { return (dir_ / name).string(); }
    static FSSpec Spec(const std::string &path) {
        FSSpec spec{};
        QVFSSpecFromPath(path.c_str(), &spec);
        return spec;
    }
    static FSRef Ref(const std::string &path) {
        FSRef ref{};
        EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr), noErr) << path;
        return ref;
    }
    static CFURLRef Url(const std::string &path) {
        return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                       CFIndex(path.size()), false);
    }
    static std::string ReadAll(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Writes the two-halves picture in every format; answers name -> path.
    std::vector<std::pair<std::string, std::string>> WriteAllFormats() {
        const Image halves = MakeImage(32, 16, Halves);
        const Image other = MakeImage(32, 16, [](int, int) { return Opaque(0, 200, 0); });
        const std::string png = PathOf("halves.png"), bmp = PathOf("halves.bmp"), tif = PathOf("pages.tif"),
                          gif = PathOf("anim.gif"), jpg = PathOf("halves.jpg");
        EXPECT_TRUE(WritePNGImage(png, halves));
        EXPECT_TRUE(WriteBMP(bmp, halves));
        EXPECT_TRUE(WriteTIFF(tif, {halves, other}));
        EXPECT_TRUE(WriteGIF(gif, {halves, other}, {kRed, kBlue, Opaque(0, 200, 0)}));
        fs::copy_file(fs::path(std::getenv("QUELVANE_SOURCE_DIR")) / "tests/plugin/imaging/data/halves.jpg", jpg);
        return {{"PNG", png}, {"BMP", bmp}, {"two-page TIFF", tif}, {"animated GIF", gif}, {"JPEG", jpg}};
    }
    fs::path dir_;
};

TEST_F(EasyFileTest, EveryFormatLoadsItsFirstImageThroughTheSpecification) {
    for (const auto &[format, path] : WriteAllFormats()) {
        SCOPED_TRACE(format);
        Img image(GetCGImageFromFSSUsingCG(Spec(path)));
        ASSERT_TRUE(image);
        EXPECT_EQ(CGImageGetWidth(image.get()), 32u);
        EXPECT_EQ(CGImageGetHeight(image.get()), 16u);
        // The first frame or page: red and blue halves, not the green one.
        const int tolerance = format == "JPEG" ? 12 : 0;
        ExpectNear(ImagePixel(image.get(), 3, 8), kRed, tolerance);
        ExpectNear(ImagePixel(image.get(), 28, 2), kBlue, tolerance);

        // The same through a URL and through a file reference.
        CFURLRef url = Url(path);
        Img viaUrl(GetCGImageFromURLUsingCG(url));
        CFRelease(url);
        ASSERT_TRUE(viaUrl);
        EXPECT_EQ(ImagePixel(viaUrl.get(), 30, 15), ImagePixel(image.get(), 30, 15));
        Img viaRef(GetCGImageFromFSRefUsingCG(Ref(path)));
        ASSERT_TRUE(viaRef);
    }
}

TEST_F(EasyFileTest, FilesThatAreNoImagesGiveNoImageAndShowNothing) {
    const std::string text = PathOf("notes.png"), empty = PathOf("empty.gif"), cut = PathOf("cut.png");
    std::ofstream(text) << "not an image at all";
    std::ofstream(empty).flush();
    WritePNGImage(cut, MakeImage(40, 40, Halves));
    fs::resize_file(cut, 60);
    int alerts = 0;
    QVSetAlertPresenter(
        [](const QVAlertContent *, void *refCon) -> DialogItemIndex {
            ++*static_cast<int *>(refCon);
            return 1;
        },
        &alerts);
    for (const std::string &path : {text, empty, cut, PathOf("missing.png")}) {
        EXPECT_EQ(GetCGImageFromFSSUsingCG(Spec(path)), nullptr) << path;
        EXPECT_EQ(GetCGImageFromFSS(Spec(path)), nullptr) << path;
        Str255 name;
        EXPECT_EQ(ReadPictureFromFSS(Spec(path), name), nullptr) << path;
    }
    EXPECT_EQ(GetCGImageFromURLUsingCG(nullptr), nullptr);
    QVSetAlertPresenter(nullptr, nullptr);
    EXPECT_EQ(alerts, 0);
}

TEST_F(EasyFileTest, GraphicsImportersGiveTheSameImageAndPictures) {
    const auto files = WriteAllFormats();
    const std::string png = files[0].second;
    Img viaCG(GetCGImageFromFSSUsingCG(Spec(png)));
    Img viaQT(GetCGImageFromFSS(Spec(png)));
    ASSERT_TRUE(viaQT);
    EXPECT_EQ(ImagePixel(viaQT.get(), 5, 5), ImagePixel(viaCG.get(), 5, 5));
    CFURLRef url = Url(png);
    Img viaQTUrl(GetCGImageFromURLUsingQT(url));
    EXPECT_TRUE(viaQTUrl);

    // Pictures: the file's name, the image's frame, its pixels when drawn.
    Str255 name;
    PicHandle pic = ReadPictureFromFSS(Spec(files[2].second), name);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(name + 1), name[0]), "pages.tif");
    Rect frame;
    QDGetPictureBounds(pic, &frame);
    EXPECT_EQ(frame.right - frame.left, 32);
    EXPECT_EQ(frame.bottom - frame.top, 16);
    GW gw(AllocateGWorld(32, 16));
    DrawPictureInGW(gw.get(), pic, GetPortRect(gw.get()));
    EXPECT_EQ(Get(gw.get(), 2, 2), kRed);
    EXPECT_EQ(Get(gw.get(), 20, 2), kBlue);
    KillPicture(pic);

    // A picture made by drawing the image through Quartz.
    PicHandle drawn = GetPictFromURLUsingCG(url);
    CFRelease(url);
    ASSERT_NE(drawn, nullptr);
    GW gw2(AllocateGWorld(32, 16));
    DrawPictureInGW(gw2.get(), drawn, GetPortRect(gw2.get()));
    EXPECT_EQ(Get(gw2.get(), 15, 0), kRed);
    EXPECT_EQ(Get(gw2.get(), 16, 15), kBlue);
    KillPicture(drawn);
    CFURLRef nothing = Url(PathOf("missing.png"));
    EXPECT_EQ(GetPictFromURLUsingCG(nothing), nullptr);
    CFRelease(nothing);
}

TEST_F(EasyFileTest, ScaledPicturesAreReducedIntoTheirWholeBuffer) {
    const std::string path = PathOf("grid.bmp");
    WriteBMP(path, MakeImage(40, 20, [](int x, int y) { return Opaque(UInt8(x * 6), UInt8(y * 12), 0); }));
    GW gw(GetScaledGWImageFromFSRef(Ref(path), 2, 4));
    ASSERT_TRUE(gw);
    EXPECT_EQ(Width(gw.get()), 20);
    EXPECT_EQ(Height(gw.get()), 5);
    // The whole picture, reduced: nearest pixels from across all of it.
    EXPECT_EQ(Get(gw.get(), 0, 0), Opaque(0, 0, 0));
    EXPECT_EQ(Get(gw.get(), 19, 4), Opaque(38 * 6, 16 * 12, 0));
    EXPECT_EQ(GetScaledGWImageFromFSRef(Ref(path), 0, 1), nullptr);
    EXPECT_EQ(GetScaledGWImageFromFSRef(Ref(path), 1, -2), nullptr);
    // Reduced to nothing: no buffer rather than a fatal stop.
    EXPECT_EQ(GetScaledGWImageFromFSRef(Ref(path), 41, 1), nullptr);
}

TEST_F(EasyFileTest, FileWritingHelpersWriteTextAndLines) {
    const std::string path = PathOf("log.txt");
    std::ofstream(path) << "old content that must go";
    SInt16 ref = 0;
    PSPRewrite(ref, Spec(path), QV_FOURCC('T', 'E', 'X', 'T'), QV_FOURCC('q', 'r', 'v', 't'));
    ASSERT_NE(ref, 0);
    FileWrite(ref, reinterpret_cast<ConstStr255Param>("\3abc"));
    FileWrite(ref, reinterpret_cast<ConstStr255Param>("\0"));
    FileWriteLn(ref, reinterpret_cast<ConstStr255Param>("\3def"));
    Str255 longText;
    longText[0] = 255;
    std::memset(longText + 1, 'x', 255);
    FileWriteLn(ref, longText);
    FSClose(ref);
    EXPECT_EQ(ReadAll(path), "abcdef\r" + std::string(254, 'x') + "\r");

    // Opening again starts at the beginning.
    PSPPascalOpenFile(ref, Spec(path));
    ASSERT_NE(ref, 0);
    FileWrite(ref, reinterpret_cast<ConstStr255Param>("\2AB"));
    FSClose(ref);
    EXPECT_EQ(ReadAll(path).substr(0, 7), "ABcdef\r");
    PSPPascalOpenFile(ref, Spec(PathOf("missing.txt")));
    EXPECT_EQ(ref, 0);
}

TEST_F(EasyFileTest, DirectoryNamesAndFullPaths) {
    const FSRef dirRef = Ref(dir_.string());
    FSCatalogInfo info{};
    ASSERT_EQ(FSGetCatalogInfo(&dirRef, kFSCatInfoNodeID, &info, nullptr, nullptr, nullptr), noErr);
    Str255 path;
    GetFullPath(SInt32(info.nodeID), 0, path);
    std::string expected = kQVVolumeName;
    for (const auto &part : fs::canonical(dir_).relative_path()) expected += ":" + part.string();
    EXPECT_EQ(std::string(reinterpret_cast<char *>(path + 1), path[0]), expected + ":");
    GetFullPath(0x7FFF0000, 0, path);  // no such directory
    EXPECT_EQ(path[0], 0);

    const fs::path cwd = fs::current_path();
    fs::current_path(dir_);
    Str255 name;
    GetAppDirName(name);
    fs::current_path(cwd);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(name + 1), name[0]), dir_.filename().string() + ":");
}

TEST_F(EasyFileTest, ConformanceComesFromTheExtensionOrElseTheFileType) {
    std::ofstream(PathOf("photo.JPG")) << "anything";
    WritePNGImage(PathOf("picture"), MakeImage(2, 2, Halves));
    std::ofstream(PathOf("notes")) << "plain words";
    auto conforms = [&](const char *name, const char *uti) {
        Str255 text;
        CString2PString(uti, text);
        return bool(FileConformsTo(Ref(PathOf(name)), text));
    };
    EXPECT_TRUE(conforms("photo.JPG", "public.jpeg"));
    EXPECT_TRUE(conforms("photo.JPG", "public.image"));
    EXPECT_FALSE(conforms("photo.JPG", "public.text"));
    EXPECT_TRUE(conforms("picture", "public.png"));
    EXPECT_TRUE(conforms("picture", "public.image"));
    EXPECT_FALSE(conforms("notes", "public.image"));
    EXPECT_TRUE(conforms("notes", "public.data"));
    const FSRef invalid{};
    Str255 image;
    CString2PString("public.image", image);
    EXPECT_FALSE(FileConformsTo(invalid, image));
}

TEST_F(EasyFileTest, DocumentsOpenInTheDefaultOrAGivenApplication) {
    std::vector<std::pair<std::string, std::string>> launches;
    QVLSSetLaunchHook(
        [](const char *doc, const char *app, void *refCon) -> OSStatus {
            static_cast<decltype(launches) *>(refCon)->emplace_back(doc ? doc : "", app ? app : "<default>");
            return noErr;
        },
        &launches);
    const std::string doc = PathOf("manual.pdf"), app = PathOf("reader");
    std::ofstream(doc) << "%PDF";
    std::ofstream(app) << "#!/bin/sh\n";
    fs::permissions(app, fs::perms::owner_all);
    EXPECT_EQ(OpenDocumentInSpecificApp(Ref(doc), nullptr), noErr);
    const FSRef appRef = Ref(app);
    EXPECT_EQ(OpenDocumentInSpecificApp(Ref(doc), &appRef), noErr);
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[0], std::make_pair(doc, std::string("<default>")));
    EXPECT_EQ(launches[1], std::make_pair(doc, app));
}

} // namespace
