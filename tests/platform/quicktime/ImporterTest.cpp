// Graphics importers: an image file as natural bounds, a picture and an
// image; files that are no images, missing files and closed importers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "ImageFiles.h"
#include "ImageTestSupport.h"
#include "quicktime/ImageCompression.h"
#include "resources/Files.h"

using namespace imgtest;
namespace fs = std::filesystem;

namespace {

class ImporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qv-importer-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    // Specifications live in the fixture so that their address can be taken.
    const FSSpec *Spec(const std::string &name) {
        specs_.emplace_back();
        QVFSSpecFromPath((dir_ / name).c_str(), &specs_.back());
        return &specs_.back();
    }
    std::deque<FSSpec> specs_;
    std::string PathOf(const std::string &name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

TEST_F(ImporterTest, AnImageComesOutAsPictureAndImage) {
    ASSERT_TRUE(WriteBMP(PathOf("p.bmp"), MakeImage(7, 5, [](int x, int y) { return Opaque(UInt8(x * 30), UInt8(y * 50), 9); })));
    ComponentInstance gi = nullptr;
    ASSERT_EQ(GetGraphicsImporterForFile(Spec("p.bmp"), &gi), noErr);
    ASSERT_NE(gi, nullptr);
    Rect bounds;
    EXPECT_EQ(GraphicsImportGetNaturalBounds(gi, &bounds), noErr);
    EXPECT_EQ(bounds.right, 7);
    EXPECT_EQ(bounds.bottom, 5);

    PicHandle pic = nullptr;
    ASSERT_EQ(GraphicsImportGetAsPicture(gi, &pic), noErr);
    CGImageRef image = nullptr;
    ASSERT_EQ(GraphicsImportCreateCGImage(gi, &image, kGraphicsImportCreateCGImageUsingCurrentSettings), noErr);
    // Both outlive the importer.
    EXPECT_EQ(CloseComponent(gi), noErr);

    Rect frame;
    QDGetPictureBounds(pic, &frame);
    EXPECT_EQ(frame.right - frame.left, 7);
    GW gw = MakeGW(14, 10);
    {
        UsePort use(gw.get());
        const Rect twice = {0, 0, 10, 14};
        DrawPicture(pic, &twice);
    }
    EXPECT_EQ(Get(gw.get(), 13, 9), Opaque(180, 200, 9));  // doubled
    KillPicture(pic);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image), 7u);
    const UInt8 *p = QVCGImageGetPixels(image) + CGImageGetBytesPerRow(image) * 4 + 6 * 4;
    EXPECT_EQ((Px{p[0], p[1], p[2], p[3]}), Opaque(180, 200, 9));
    CGImageRelease(image);
}

TEST_F(ImporterTest, NoImporterForOtherFilesAndNoUseOfClosedOnes) {
    std::ofstream(PathOf("text.png")) << "words, not pixels";
    ComponentInstance gi = reinterpret_cast<ComponentInstance>(1);
    EXPECT_EQ(GetGraphicsImporterForFile(Spec("text.png"), &gi), noCodecErr);
    EXPECT_EQ(gi, nullptr);
    EXPECT_EQ(GetGraphicsImporterForFile(Spec("missing.png"), &gi), fnfErr);
    EXPECT_EQ(gi, nullptr);
    EXPECT_EQ(GetGraphicsImporterForFile(nullptr, &gi), paramErr);

    WritePNGImage(PathOf("ok.png"), MakeImage(2, 2, [](int, int) { return Opaque(1, 2, 3); }));
    ASSERT_EQ(GetGraphicsImporterForFile(Spec("ok.png"), &gi), noErr);
    EXPECT_EQ(CloseComponent(gi), noErr);
    EXPECT_EQ(CloseComponent(gi), invalidComponentID);
    PicHandle pic = nullptr;
    CGImageRef image = nullptr;
    Rect bounds;
    EXPECT_EQ(GraphicsImportGetAsPicture(gi, &pic), badComponentInstance);
    EXPECT_EQ(GraphicsImportCreateCGImage(gi, &image, 0), badComponentInstance);
    EXPECT_EQ(GraphicsImportGetNaturalBounds(gi, &bounds), badComponentInstance);
    EXPECT_EQ(pic, nullptr);
    EXPECT_EQ(image, nullptr);
}

TEST_F(ImporterTest, ImagesWiderThanAWorldGiveNoPictureButAnImage) {
    WritePNGImage(PathOf("wide.png"), MakeImage(kMaxGWorldWidth32 + 1, 1, [](int, int) { return Opaque(5, 5, 5); }));
    ComponentInstance gi = nullptr;
    ASSERT_EQ(GetGraphicsImporterForFile(Spec("wide.png"), &gi), noErr);
    PicHandle pic = reinterpret_cast<PicHandle>(1);
    EXPECT_EQ(GraphicsImportGetAsPicture(gi, &pic), memFullErr);
    EXPECT_EQ(pic, nullptr);
    CGImageRef image = nullptr;
    EXPECT_EQ(GraphicsImportCreateCGImage(gi, &image, 0), noErr);
    EXPECT_EQ(CGImageGetWidth(image), size_t(kMaxGWorldWidth32 + 1));
    CGImageRelease(image);
    CloseComponent(gi);
}

} // namespace
