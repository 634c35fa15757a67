// Images and documents from the main bundle. This program is built inside a
// bundle folder of its own (EasyFileHost.app) whose resources are copied
// from the test data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/EasyFile.h"
#include "toolbox/LaunchServices.h"

namespace {

TEST(BundleFiles, ImagesAndPicturesComeFromTheMainBundle) {
    CGImageRef image = GetCGImageFromBundle("halves", "jpg", nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image), 32u);
    CGImageRelease(image);
    image = GetCGImageFromBundle("halves", "jpg", "images");
    ASSERT_NE(image, nullptr);
    CGImageRelease(image);
    EXPECT_EQ(GetCGImageFromBundle("halves", "png", nullptr), nullptr);
    EXPECT_EQ(GetCGImageFromBundle("manual", "pdf", "docs"), nullptr);  // there, but no image

    PicHandle pic = LoadPictureFromBundle("halves", "jpg");
    ASSERT_NE(pic, nullptr);
    Rect frame;
    QDGetPictureBounds(pic, &frame);
    EXPECT_EQ(frame.bottom - frame.top, 16);
    KillPicture(pic);
    EXPECT_EQ(LoadPictureFromBundle("absent", "jpg"), nullptr);
}

TEST(BundleFiles, DocumentsOfTheBundleOpenInTheirApplication) {
    std::vector<std::string> opened;
    QVLSSetLaunchHook(
        [](const char *doc, const char *, void *refCon) -> OSStatus {
            static_cast<std::vector<std::string> *>(refCon)->push_back(doc);
            return noErr;
        },
        &opened);
    LaunchFileFromBundle("manual", "pdf", "docs");
    LaunchFileFromBundle("manual", "pdf", nullptr);  // not at the top level
    LaunchFileFromBundle("missing", "pdf", "docs");
    QVLSSetLaunchHook(nullptr, nullptr);
    ASSERT_EQ(opened.size(), 1u);
    const std::string suffix = "EasyFileHost.app/Contents/Resources/docs/manual.pdf";
    EXPECT_EQ(opened[0].substr(opened[0].size() - suffix.size()), suffix);
}

} // namespace
