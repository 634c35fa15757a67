// The configuration record's lifecycle: defaults, copies and their images,
// and the assertions that end the process. (Start-up from the saved
// configuration is seen in every render of the end-to-end and install tests.)
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/commonprocs.h"
#include "engine/DataHandling.h"
#include "memory/MacMemory.h"
#include "toolbox/Alerts.h"

namespace {

// A block of the given size, noted as the plug-in notes the blocks it allocates.
struct Block {
    PluginDataRec *rec;
    explicit Block(Size size = sizeof(PluginDataRec)) : rec(reinterpret_cast<PluginDataRec *>(NewPtrClear(size))) {
        pNoteConfigBlock(rec, static_cast<UInt32>(size));
    }
    ~Block() {
        pForgetConfigBlock(rec);
        DisposePtr(reinterpret_cast<Ptr>(rec));
    }
};

CGImageRef SmallImage() {
    const std::vector<UInt8> pixels(4 * 3 * 2, 0x7F);
    return QVCGImageCreateWithARGB(3, 2, 12, pixels.data());
}

bool Is(const RGBColor &c, UInt16 r, UInt16 g, UInt16 b) { return c.red == r && c.green == g && c.blue == b; }

bool IsFullFrame(const RelRect &r) { return r.Left == 0.0 && r.Right == 1.0 && r.Top == 0.0 && r.Bottom == 1.0; }

} // namespace

TEST(ConfigDefaults, FirstResetClearsEverythingButFrameEndColorLaterOnesKeepFormatAndImages) {
    Block b;
    std::memset(b.rec, 0xA5, sizeof(PluginDataRec));
    ResetConfig(b.rec, true);
    EXPECT_TRUE(IsFullFrame(b.rec->StartRel) && IsFullFrame(b.rec->EndRel));
    EXPECT_TRUE(Is(b.rec->Colors[0], 65535, 65535, 65535) && Is(b.rec->Colors[2], 0, 0, 0));
    for (SInt16 s : b.rec->Sliders) EXPECT_EQ(s, 0);
    EXPECT_TRUE(Is(b.rec->FrameEndColor, 0xA5A5, 0xA5A5, 0xA5A5));
    EXPECT_TRUE(b.rec->MediaType == 1 && b.rec->BlendMode == 1 && b.rec->Outside);
    EXPECT_TRUE(b.rec->TheOriginalImage == nullptr && b.rec->TheRendered == nullptr);

    CGImageRef image = SmallImage();
    b.rec->MediaType = kMediaHD;
    b.rec->TheOriginalImage = image;
    b.rec->TheRendered = image;
    b.rec->Sliders[1] = 55;
    b.rec->KeepProps = true;
    ResetConfig(b.rec, false);
    EXPECT_TRUE(b.rec->MediaType == kMediaHD && b.rec->TheOriginalImage == image && b.rec->TheRendered == image);
    EXPECT_TRUE(b.rec->Sliders[1] == 0 && !b.rec->KeepProps);
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
    source.rec->Colors[3] = SetRGBColor(9, 8, 7);

    // Missing records change nothing.
    const std::vector<char> saved(reinterpret_cast<char *>(dest.rec),
                                  reinterpret_cast<char *>(dest.rec) + sizeof(PluginDataRec));
    pCopyConfig(nullptr, dest.rec);
    pCopyConfig(source.rec, nullptr);
    EXPECT_EQ(std::memcmp(saved.data(), dest.rec, sizeof(PluginDataRec)), 0);
    pCopyConfig(source.rec, source.rec);
    EXPECT_EQ(source.rec->TheRendered, rendered) << "a record copied onto itself keeps its image";

    pCopyConfig(source.rec, dest.rec);
    EXPECT_TRUE(dest.rec->StartRel.Bottom == 0.4 && Is(dest.rec->Colors[3], 9, 8, 7));
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
    pDestroyConfig(nullptr);
    EXPECT_EQ(GetMediaFormat(nullptr), 1);
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

TEST(ConfigDeathTest, CopyingBetweenBlocksOfDifferentNotedSizesEndsTheProcess) {
    // Sizes are the ones noted at allocation; nothing asks the allocator.
    const auto exits = ::testing::ExitedWithCode(kQVExitToShellStatus);
    Block normal, larger(sizeof(PluginDataRec) + 8), small(16), otherSmall(16);
    EXPECT_EXIT(pCopyConfig(normal.rec, larger.rec), exits,
                "Alert \\(stop\\): Non-Matching Blocks\n  The Size of Source and Dest do not match");
    EXPECT_EXIT(pCopyConfig(small.rec, otherSmall.rec), exits, "Non-Matching Blocks");
    pForgetConfigBlock(larger.rec);
    pCopyConfig(normal.rec, larger.rec); // a block of unknown size is taken for a record
}
