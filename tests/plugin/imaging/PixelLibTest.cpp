// The pixel library: the addressing model over padded rows, pixel states,
// filling a rectangle, block pixellation with cut edge blocks, and the
// pixellation effect with its overlay.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "imaging/offscreen.h"
#include "imaging/pixellib.h"

using namespace imgtest;

namespace {

Px AsPx(const PixRec &p) { return Px{p.ALPHA, p.RED, p.GREEN, p.BLUE}; }

TEST(PixelAccess, SizesAddressesAndPixelStates) {
    EXPECT_EQ(Depth2Size(24), 4);
    EXPECT_EQ(Depth2Size(32), 4);
    EXPECT_EQ(Depth2Size(16), 2);
    EXPECT_EQ(Depth2Size(8), 1);
    EXPECT_EQ(Depth2Size(1), 4);

    GW gw = MakeGW(13, 5);  // rows may be padded beyond 52 bytes
    Fill(gw.get(), Pattern);
    PixMapHandle pm = GetGWorldPixMap(gw.get());
    UnlockPixels(pm);
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
    GWorldFlags state;
    GetPixInfoFromGWorld(gw.get(), base, rowBytes, frame, state);
    EXPECT_FALSE(state & pixelsLocked);             // the state before
    EXPECT_TRUE(GetPixelsState(pm) & pixelsLocked);  // locked now
    EXPECT_EQ(rowBytes, GetPixRowBytes(pm));
    EXPECT_EQ(frame.right, 13);
    EXPECT_EQ(frame.bottom, 5);
    EXPECT_EQ(GetGWDepth(gw.get()), 32);

    EXPECT_EQ(AsPx(PGetPixel(base, rowBytes, 12, 4)), Pattern(12, 4));
    EXPECT_EQ(AsPx(PGetPixel(base, rowBytes, 0, 3)), Pattern(0, 3));
    const PixRec p = {9, 8, 7, 6};
    PSetPixel(base, rowBytes, 11, 2, p);
    EXPECT_EQ(Get(gw.get(), 11, 2), (Px{9, 8, 7, 6}));
    EXPECT_EQ(Get(gw.get(), 12, 2), Pattern(12, 2));
    SetPixelsState(pm, state);
    EXPECT_FALSE(GetPixelsState(pm) & pixelsLocked);
}

TEST(PixelAccess, SetPixmapPixelsFillsTheRectangleInsideTheFrame) {
    GW gw = MakeGW(10, 6);
    Fill(gw.get(), Pattern);
    const GWorldFlags before = GetPixelsState(GetGWorldPixMap(gw.get()));
    SetPixmapPixels(gw.get(), Rect{-3, 7, 2, 40}, 10, 20, 30);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(Get(gw.get(), x, y), (x >= 7 && y < 2) ? (Px{0, 10, 20, 30}) : Pattern(x, y)) << x << "," << y;
    EXPECT_EQ(GetPixelsState(GetGWorldPixMap(gw.get())), before);
    SetPixmapPixels(nullptr, Rect{0, 0, 1, 1}, 1, 1, 1);
}

// The average of the source over a block, as the pixellation defines it.
Px BlockAverage(GWorldPtr src, int left, int top, int right, int bottom) {
    long r = 0, g = 0, b = 0, n = 0;
    Px last{};
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            last = Get(src, x, y);
            r += last.r, g += last.g, b += last.b, ++n;
        }
    return Px{last.a, UInt8(r / n), UInt8(g / n), UInt8(b / n)};
}

TEST(Pixellate, BlocksAreAveragedAndCutToTheRectangle) {
    GW src = MakeGW(20, 16);
    Fill(src.get(), [](int x, int y) { return Px{UInt8(100 + x), UInt8(x * 12), UInt8(y * 15), UInt8((x * y) & 255)}; });
    GW dst = MakeGW(20, 16);
    Fill(dst.get(), [](int, int) { return Opaque(1, 1, 1); });
    // A 10 x 10 rectangle at (3, 2) in 4 x 4 blocks: 4, 4 and 2 wide.
    PixellateGWorld(src.get(), dst.get(), Rect{2, 3, 12, 13}, 4, 4);
    const int edges[] = {0, 4, 8, 10};
    for (int by = 0; by < 3; ++by)
        for (int bx = 0; bx < 3; ++bx) {
            const int l = 3 + edges[bx], r = 3 + edges[bx + 1], t = 2 + edges[by], b = 2 + edges[by + 1];
            const Px want = BlockAverage(src.get(), l, t, r, b);
            for (int y = t; y < b; ++y)
                for (int x = l; x < r; ++x) ASSERT_EQ(Get(dst.get(), x, y), want) << x << "," << y;
        }
    // Outside the rectangle the destination keeps what it had.
    EXPECT_EQ(Get(dst.get(), 2, 2), Opaque(1, 1, 1));
    EXPECT_EQ(Get(dst.get(), 13, 5), Opaque(1, 1, 1));
    EXPECT_EQ(Get(dst.get(), 5, 12), Opaque(1, 1, 1));
}

TEST(Pixellate, UnitBlocksChangeNothingAndSmallSizesCountAsOne) {
    GW src = MakeGW(9, 7);
    Fill(src.get(), Pattern);
    GW a = MakeGW(9, 7), b = MakeGW(9, 7);
    PixellateGWorld(src.get(), a.get(), Rect{0, 0, 7, 9}, 1, 1);
    PixellateGWorld(src.get(), b.get(), Rect{0, 0, 7, 9}, 0, -3);
    EXPECT_EQ(CountDifferences(src.get(), a.get()), 0);
    EXPECT_EQ(CountDifferences(src.get(), b.get()), 0);
}

TEST(Pixellate, InPlaceMismatchedSizesAndRectanglesBeyondTheFrame) {
    GW src = MakeGW(8, 8);
    Fill(src.get(), Pattern);
    GW copy(MakeGWorldClone(src.get()));
    // No destination: the source itself.
    PixellateGWorld(src.get(), nullptr, Rect{0, 0, 8, 8}, 8, 8);
    EXPECT_EQ(Get(src.get(), 0, 0), BlockAverage(copy.get(), 0, 0, 8, 8));
    EXPECT_EQ(Get(src.get(), 7, 7), Get(src.get(), 0, 0));
    // Different sizes: nothing happens.
    GW other = MakeGW(9, 8);
    Fill(other.get(), [](int, int) { return Opaque(5, 5, 5); });
    PixellateGWorld(copy.get(), other.get(), Rect{0, 0, 8, 8}, 2, 2);
    EXPECT_EQ(Get(other.get(), 0, 0), Opaque(5, 5, 5));
    PixellateGWorld(nullptr, other.get(), Rect{0, 0, 8, 8}, 2, 2);
    // A rectangle reaching far outside: blocks with no pixel in the frame
    // are skipped, the rest average their inside part.
    GW dst = MakeGW(8, 8);
    PixellateGWorld(copy.get(), dst.get(), Rect{-30, -30, 5, 5}, 4, 4);
    EXPECT_EQ(Get(dst.get(), 0, 0), BlockAverage(copy.get(), 0, 0, 2, 2));  // block from -30 step 4 ends at 2
    EXPECT_EQ(Get(dst.get(), 4, 4), BlockAverage(copy.get(), 2, 2, 5, 5));
    EXPECT_EQ(Get(dst.get(), 6, 6), (Px{0, 0, 0, 0}));
}

TEST(PixelEffect, BlocksFollowTheSlidersAndTheOverlayItsStrength) {
    GW src = MakeGW(100, 50);
    Fill(src.get(), Pattern);
    PluginDataRec config{};
    config.Sliders[0] = 40;   // 4 % of 100 = 4 pixels
    config.Sliders[1] = 100;  // 10 % of 50 = 5 pixels
    GW dst = MakeGW(100, 50);
    Fill(dst.get(), [](int, int) { return Opaque(3, 3, 3); });
    GW other = MakeGW(2, 2);
    UsePort use(other.get());
    ThePixelEffect(src.get(), dst.get(), Rect{10, 20, 30, 60}, true, &config, 0, 0);
    EXPECT_EQ(Get(dst.get(), 20, 10), BlockAverage(src.get(), 20, 10, 24, 15));
    EXPECT_EQ(Get(dst.get(), 59, 29), BlockAverage(src.get(), 56, 25, 60, 30));
    EXPECT_EQ(Get(dst.get(), 19, 10), Opaque(3, 3, 3));  // outside: left alone
    CGrafPtr port;
    GetGWorld(&port, nullptr);
    EXPECT_EQ(port, other.get());

    // Full strength: the unpixellated source covers everything.
    config.Sliders[2] = 100;
    ThePixelEffect(src.get(), dst.get(), Rect{10, 20, 30, 60}, true, &config, 0, 0);
    std::string diff;
    EXPECT_EQ(CountDifferences(src.get(), dst.get(), &diff), 0) << diff;
    // Half strength: halfway between the block colour and the source.
    Fill(dst.get(), [](int, int) { return Opaque(3, 3, 3); });
    config.Sliders[2] = 50;
    ThePixelEffect(src.get(), dst.get(), Rect{0, 0, 50, 100}, true, &config, 0, 0);
    const Px block = BlockAverage(src.get(), 0, 0, 4, 5), orig = Get(src.get(), 1, 1), got = Get(dst.get(), 1, 1);
    EXPECT_NEAR(got.r, (block.r + orig.r) / 2.0, 1.5);
    EXPECT_NEAR(got.g, (block.g + orig.g) / 2.0, 1.5);
}

} // namespace
