// Graphics importers beyond what the plug-in's image-loading tests cover:
// refused files, closed importers, and images wider than a QuickDraw world.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "quicktime/ImageCompression.h"
#include "resources/Files.h"

namespace fs = std::filesystem;

namespace {

FSSpec FileAt(const fs::path &path) {
    FSSpec file{};
    QVFSSpecFromPath(path.c_str(), &file);
    return file;
}

TEST(Importer, RefusedFilesClosedImportersAndImagesWiderThanAWorld) {
    const fs::path text = fs::temp_directory_path() / ("qv-importer-" + std::to_string(getpid()) + ".png");
    std::ofstream(text) << "words, not pixels";
    FSSpec file = FileAt(text);
    ComponentInstance gi = reinterpret_cast<ComponentInstance>(1);
    EXPECT_EQ(GetGraphicsImporterForFile(&file, &gi), noCodecErr);
    EXPECT_EQ(gi, nullptr);
    fs::remove(text);
    EXPECT_EQ(GetGraphicsImporterForFile(&file, &gi), fnfErr);

    // 4096 x 2: an image, but one pixel too wide for a picture.
    file = FileAt(fs::path(std::getenv("QUELVANE_SOURCE_DIR")) / "tests/plugin/imaging/data/wide.png");
    ASSERT_EQ(GetGraphicsImporterForFile(&file, &gi), noErr);
    Rect bounds;
    EXPECT_EQ(GraphicsImportGetNaturalBounds(gi, &bounds), noErr);
    EXPECT_TRUE(bounds.right == kMaxGWorldWidth32 + 1 && bounds.bottom == 2);
    PicHandle pic = reinterpret_cast<PicHandle>(1);
    EXPECT_EQ(GraphicsImportGetAsPicture(gi, &pic), memFullErr);
    EXPECT_EQ(pic, nullptr);
    CGImageRef image = nullptr;
    EXPECT_EQ(GraphicsImportCreateCGImage(gi, &image, 0), noErr);
    EXPECT_EQ(CGImageGetWidth(image), size_t(kMaxGWorldWidth32 + 1));
    CGImageRelease(image);

    // A closed importer is recognised, never used.
    EXPECT_EQ(CloseComponent(gi), noErr);
    EXPECT_EQ(CloseComponent(gi), invalidComponentID);
    EXPECT_EQ(GraphicsImportCreateCGImage(gi, &image, 0), badComponentInstance);
    EXPECT_EQ(GraphicsImportGetAsPicture(gi, &pic), badComponentInstance);
}

} // namespace
