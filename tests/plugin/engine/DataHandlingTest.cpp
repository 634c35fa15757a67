// The configuration record's lifecycle: defaults, copies and their images,
// the edited rectangle, start-up from the saved configuration, and the
// assertions that end the process.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "TestHost.h"
#include "common/commonprocs.h"
#include "engine/DataHandling.h"
#include "memory/MacMemory.h"
#include "store/prefsloader.h"
#include "toolbox/Alerts.h"

namespace {

struct Block {
    PluginDataRec *rec;
    explicit Block(Size size = sizeof(PluginDataRec)) : rec(reinterpret_cast<PluginDataRec *>(NewPtrClear(size))) {}
    ~Block() { DisposePtr(reinterpret_cast<Ptr>(rec)); }
};

CGImageRef SmallImage() {
    const std::vector<UInt8> pixels(4 * 3 * 2, 0x7F);
    return QVCGImageCreateWithARGB(3, 2, 12, pixels.data());
}

void ExpectColor(const RGBColor &c, UInt16 r, UInt16 g, UInt16 b) {
    EXPECT_EQ(c.red, r);
    EXPECT_EQ(c.green, g);
    EXPECT_EQ(c.blue, b);
}

void ExpectFullFrame(const RelRect &r) {
    EXPECT_EQ(r.Left, 0.0);
    EXPECT_EQ(r.Right, 1.0);
    EXPECT_EQ(r.Top, 0.0);
    EXPECT_EQ(r.Bottom, 1.0);
}

} // namespace

TEST(ConfigDefaults, FirstResetSetsEveryDefault) {
    Block b;
    std::memset(b.rec, 0xA5, sizeof(PluginDataRec));
    ResetConfig(b.rec, true);
    ExpectFullFrame(b.rec->StartRel);
    ExpectFullFrame(b.rec->EndRel);
    ExpectColor(b.rec->Colors[0], 65535, 65535, 65535);
    ExpectColor(b.rec->Colors[1], 65535, 65535, 65535);
    for (int n = 2; n < kColorCount; ++n) ExpectColor(b.rec->Colors[n], 0, 0, 0);
    for (SInt16 s : b.rec->Sliders) EXPECT_EQ(s, 0);
    ExpectColor(b.rec->FrameStartColor, 65535, 0, 0);
    ExpectColor(b.rec->FrameEndColor, 0xA5A5, 0xA5A5, 0xA5A5);
    EXPECT_EQ(b.rec->MediaType, 1);
    EXPECT_EQ(b.rec->TheOriginalImage, nullptr);
    EXPECT_EQ(b.rec->TheRendered, nullptr);
    EXPECT_FALSE(b.rec->KeepProps);
    EXPECT_EQ(b.rec->BlendMode, 1);
    EXPECT_FALSE(b.rec->Sync);
    EXPECT_TRUE(b.rec->Outside);
    EXPECT_FALSE(b.rec->ClipActive);
}

TEST(ConfigDefaults, LaterResetsKeepFormatImagesAndFrameEndColor) {
    Block b;
    CGImageRef image = SmallImage();
    b.rec->MediaType = kMediaHD;
    b.rec->TheOriginalImage = image;
    b.rec->TheRendered = image;
    b.rec->FrameEndColor = SetRGBColor(1, 2, 3);
    b.rec->Sliders[1] = 55;
    b.rec->KeepProps = true;
    ResetConfig(b.rec, false);
    EXPECT_EQ(b.rec->MediaType, kMediaHD);
    EXPECT_EQ(b.rec->TheOriginalImage, image);
    EXPECT_EQ(b.rec->TheRendered, image);
    ExpectColor(b.rec->FrameEndColor, 1, 2, 3);
    EXPECT_EQ(b.rec->Sliders[1], 0);
    EXPECT_FALSE(b.rec->KeepProps);
    EXPECT_EQ(CFGetRetainCount(image), 1) << "resetting releases nothing";
    CGImageRelease(image);
}

TEST(ConfigCopy, CopyOwnsItsOwnRenderedImageAndNoOriginal) {
    Block source, dest;
    ResetConfig(source.rec, true);
    CGImageRef rendered = SmallImage();
    CGImageRef original = SmallImage();
    source.rec->TheRendered = rendered;
    source.rec->TheOriginalImage = original;
    source.rec->StartRel = SetRelRect(0.1, 0.2, 0.3, 0.4);
    source.rec->Sliders[0] = 250;
    source.rec->Colors[3] = SetRGBColor(9, 8, 7);
    source.rec->BlendMode = 5;

    pCopyConfig(source.rec, dest.rec);
    EXPECT_EQ(dest.rec->StartRel.Left, 0.1);
    EXPECT_EQ(dest.rec->StartRel.Bottom, 0.4);
    EXPECT_EQ(dest.rec->Sliders[0], 250);
    ExpectColor(dest.rec->Colors[3], 9, 8, 7);
    EXPECT_EQ(dest.rec->BlendMode, 5);
    EXPECT_EQ(dest.rec->TheOriginalImage, nullptr);
    ASSERT_NE(dest.rec->TheRendered, nullptr);
    EXPECT_NE(dest.rec->TheRendered, rendered) << "a duplicate, not a shared reference";
    EXPECT_EQ(CGImageGetWidth(dest.rec->TheRendered), 3u);
    EXPECT_EQ(CFGetRetainCount(rendered), 1);
    EXPECT_EQ(CFGetRetainCount(dest.rec->TheRendered), 1);

    pUncopyConfig(dest.rec);
    EXPECT_EQ(dest.rec->TheRendered, nullptr);
    EXPECT_EQ(CFGetRetainCount(rendered), 1) << "the source's image is untouched";
    pUncopyConfig(dest.rec); // nothing left to release
    CGImageRelease(rendered);
    CGImageRelease(original);
}

TEST(ConfigCopy, MissingOrSameRecordsChangeNothing) {
    Block a, b;
    ResetConfig(a.rec, true);
    CGImageRef rendered = SmallImage();
    a.rec->TheRendered = rendered;
    std::vector<char> saved(reinterpret_cast<char *>(b.rec), reinterpret_cast<char *>(b.rec) + sizeof(PluginDataRec));
    pCopyConfig(nullptr, b.rec);
    pCopyConfig(a.rec, nullptr);
    EXPECT_EQ(std::memcmp(saved.data(), b.rec, sizeof(PluginDataRec)), 0);
    pCopyConfig(a.rec, a.rec);
    EXPECT_EQ(a.rec->TheRendered, rendered) << "a record copied onto itself keeps its image";
    EXPECT_EQ(CFGetRetainCount(rendered), 1);
    CGImageRelease(rendered);
}

TEST(ConfigRecords, SizesFormatsAndAllocation) {
    UInt32 size = 0;
    pGetConfigSize(size);
    EXPECT_EQ(size, sizeof(PluginDataRec));
    PluginDataRec *rec = nullptr;
    pNewConfig(rec);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(GetPtrSize(reinterpret_cast<Ptr>(rec)), static_cast<Size>(sizeof(PluginDataRec)));
    EXPECT_EQ(GetMediaFormat(rec), 0) << "a new record is zero-filled";
    rec->MediaType = kMediaPAL;
    EXPECT_EQ(GetMediaFormat(rec), kMediaPAL);
    pDestroyConfig(rec);
    pDestroyConfig(nullptr);
    EXPECT_EQ(GetMediaFormat(nullptr), 1);
}

TEST(RelRects, ConstructorsTakeRectOrderAndStoreFieldOrder) {
    const RelRect r = SetRelRect(0.1, 0.2, 0.3, 0.4);
    EXPECT_EQ(r.Left, 0.1);
    EXPECT_EQ(r.Right, 0.3);
    EXPECT_EQ(r.Top, 0.2);
    EXPECT_EQ(r.Bottom, 0.4);
    RelRect full = r;
    InitRelRect(full);
    ExpectFullFrame(full);
}

TEST(RelRects, TheEditedRectangleIsStartRelOfTheDialogRecord) {
    Block b;
    ResetConfig(b.rec, true);
    gConfigWorkspace.TheConfig = b.rec;
    gConfigWorkspace.ActiveRel = 2; // not consulted: one rectangle is edited
    PutCurrentRel(SetRelRect(0.25, 0.1, 0.75, 0.9));
    EXPECT_EQ(b.rec->StartRel.Left, 0.25);
    EXPECT_EQ(b.rec->StartRel.Bottom, 0.9);
    ExpectFullFrame(b.rec->EndRel);
    const RelRect got = GetCurrentRel();
    EXPECT_EQ(got.Right, 0.75);
    EXPECT_EQ(got.Top, 0.1);
    gConfigWorkspace = PluginWorkspace{};
}

TEST(ConfigStartup, DefaultsAreSavedAndASavedConfigurationWins) {
    qvtest::PrivatePreferences prefs;
    Block first;
    InitMyPlugIn(first.rec);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(prefs.Path()) / "qrvtn-Prefs"));
    ExpectFullFrame(first.rec->StartRel);
    EXPECT_EQ(first.rec->BlendMode, 1);

    // What is saved is what the next start-up begins with.
    first.rec->StartRel = SetRelRect(0.1, 0.2, 0.6, 0.7);
    first.rec->Sliders[0] = 120;
    first.rec->MediaType = kMediaHD;
    ASSERT_TRUE(SaveConfig(first.rec));
    Block second;
    InitMyPlugIn(second.rec);
    EXPECT_EQ(second.rec->StartRel.Left, 0.1);
    EXPECT_EQ(second.rec->StartRel.Bottom, 0.7);
    EXPECT_EQ(second.rec->Sliders[0], 120);
    EXPECT_EQ(second.rec->MediaType, kMediaHD);
    EXPECT_EQ(second.rec->TheRendered, nullptr);
}

TEST(ConfigStartup, AnUnusablePreferencesFolderLeavesTheDefaults) {
    qvtest::PrivatePreferences prefs;
    const std::string blocked = prefs.Path() + "/not-a-folder";
    std::FILE *f = std::fopen(blocked.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    setenv("XDG_CONFIG_HOME", blocked.c_str(), 1); // a file where the folder should be
    Block b;
    std::memset(b.rec, 0x5A, sizeof(PluginDataRec));
    InitMyPlugIn(b.rec);
    ExpectFullFrame(b.rec->StartRel);
    EXPECT_EQ(b.rec->MediaType, 1);
    EXPECT_EQ(b.rec->TheRendered, nullptr);
}

TEST(ConfigDeathTest, MissingRecordsEndTheProcessWithTheirMessage) {
    const auto exits = ::testing::ExitedWithCode(kQVExitToShellStatus);
    EXPECT_EXIT(InitMyPlugIn(nullptr), exits, "Assertion failed in: Unable to allocate new data structure");
    EXPECT_EXIT(InitPluginData(nullptr), exits, "Assertion failed in: Nil theConfig on InitPluginData");
    EXPECT_EXIT(pUncopyConfig(nullptr), exits, "Assertion failed in: Nil data in pUncopyConfig");
    EXPECT_EXIT(
        {
            QVMemorySetFailingAllocations(1);
            PluginDataRec *rec = nullptr;
            pNewConfig(rec);
        },
        exits, "Assertion failed in: Unable to allocate new data structure");
    gConfigWorkspace.TheConfig = nullptr;
    EXPECT_EXIT(GetCurrentRel(), exits, "Assertion Failure");
}

TEST(ConfigDeathTest, CopyingBetweenBlocksOfDifferentSizesEndsTheProcess) {
    const auto exits = ::testing::ExitedWithCode(kQVExitToShellStatus);
    Block normal, larger(sizeof(PluginDataRec) + 8), small(16), otherSmall(16);
    EXPECT_EXIT(pCopyConfig(normal.rec, larger.rec), exits,
                "Alert \\(stop\\): Non-Matching Blocks\n  The Size of Source and Dest do not match");
    EXPECT_EXIT(pCopyConfig(small.rec, otherSmall.rec), exits, "Non-Matching Blocks");
}
