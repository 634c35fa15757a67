// The pixel library: the addressing model over padded rows, pixel states,
// filling a rectangle, block pixellation with cut edge blocks, and the
// pixellation effect with its overlay.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "imaging/offscreen.h"
#include "imaging/pixellib.h"

using namespace imgtest;

namespace {

// The average of the source over a block, its alpha that of the last pixel.
Px BlockAverage(GWorldPtr src, int left, int top, int right, int bottom) {
    long r = 0, g = 0, b = 0, n = 0;
    Px last{};
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) last = Get(src, x, y), r += last.r, g += last.g, b += last.b, ++n;
    return Px{last.a, UInt8(r / n), UInt8(g / n), UInt8(b / n)};
}

TEST(PixelAccess, AddressesPixelStatesAndFilledRectangles) {
    EXPECT_TRUE(Depth2Size(24) == 4 && Depth2Size(16) == 2 && Depth2Size(8) == 1 && Depth2Size(1) == 4);
    GW gw = MakeGW(13, 5);  // rows may be padded beyond 52 bytes
    Fill(gw.get(), Pattern);
    PixMapHandle pm = GetGWorldPixMap(gw.get());
    UnlockPixels(pm);
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
    GWorldFlags state;
    GetPixInfoFromGWorld(gw.get(), base, rowBytes, frame, state);
    EXPECT_TRUE(!(state & pixelsLocked) && (GetPixelsState(pm) & pixelsLocked));  // saved, then locked
    EXPECT_TRUE(frame.right == 13 && frame.bottom == 5 && GetGWDepth(gw.get()) == 32);
    const PixRec p = PGetPixel(base, rowBytes, 12, 4);
    EXPECT_EQ((Px{p.ALPHA, p.RED, p.GREEN, p.BLUE}), Pattern(12, 4));
    PSetPixel(base, rowBytes, 11, 2, PixRec{9, 8, 7, 6});
    EXPECT_EQ(Get(gw.get(), 11, 2), (Px{9, 8, 7, 6}));
    SetPixelsState(pm, state);

    // Only the part of the rectangle inside the frame, alpha 0.
    SetPixmapPixels(gw.get(), Rect{-3, 7, 2, 40}, 10, 20, 30);
    EXPECT_EQ(Get(gw.get(), 12, 1), (Px{0, 10, 20, 30}));
    EXPECT_EQ(Get(gw.get(), 6, 1), Pattern(6, 1));
    EXPECT_EQ(Get(gw.get(), 7, 2), Pattern(7, 2));
    EXPECT_FALSE(GetPixelsState(pm) & pixelsLocked);  // state restored
}

TEST(Pixellate, BlocksAreAveragedAndCutToTheRectangle) {
    GW src = MakeGW(20, 16), dst = MakeGW(20, 16);
    Fill(src.get(), [](int x, int y) { return Px{UInt8(100 + x), UInt8(x * 12), UInt8(y * 15), UInt8(x * y)}; });
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
    for (Point outside : {Point{2, 2}, Point{5, 13}, Point{12, 5}})
        EXPECT_EQ(Get(dst.get(), outside.h, outside.v), Opaque(1, 1, 1));

    // Blocks of 1 x 1 change nothing, and sizes below 1 count as 1.
    GW a = MakeGW(20, 16), b = MakeGW(20, 16);
    PixellateGWorld(src.get(), a.get(), Rect{0, 0, 16, 20}, 1, 1);
    PixellateGWorld(src.get(), b.get(), Rect{0, 0, 16, 20}, 0, -3);
    EXPECT_TRUE(CountDifferences(src.get(), a.get()) == 0 && CountDifferences(src.get(), b.get()) == 0);
}

TEST(Pixellate, InPlaceMismatchedSizesAndRectanglesBeyondTheFrame) {
    GW src = MakeGW(8, 8);
    Fill(src.get(), Pattern);
    GW copy(MakeGWorldClone(src.get()));
    PixellateGWorld(src.get(), nullptr, Rect{0, 0, 8, 8}, 8, 8);  // no destination: in place
    EXPECT_EQ(Get(src.get(), 7, 7), BlockAverage(copy.get(), 0, 0, 8, 8));
    GW other = MakeGW(9, 8);
    PixellateGWorld(copy.get(), other.get(), Rect{0, 0, 8, 8}, 2, 2);  // sizes differ: nothing
    EXPECT_EQ(Get(other.get(), 0, 0), (Px{0, 0, 0, 0}));
    // Blocks from (-30, -30) in steps of 4: those with no pixel in the frame
    // are skipped, the others average their inside part.
    GW dst = MakeGW(8, 8);
    PixellateGWorld(copy.get(), dst.get(), Rect{-30, -30, 5, 5}, 4, 4);
    EXPECT_EQ(Get(dst.get(), 0, 0), BlockAverage(copy.get(), 0, 0, 2, 2));
    EXPECT_EQ(Get(dst.get(), 4, 4), BlockAverage(copy.get(), 2, 2, 5, 5));
    EXPECT_EQ(Get(dst.get(), 6, 6), (Px{0, 0, 0, 0}));
}

TEST(PixelEffect, BlocksFollowTheSlidersAndTheOverlayItsStrength) {
    GW src = MakeGW(100, 50), dst = MakeGW(100, 50), other = MakeGW(2, 2);
    Fill(src.get(), Pattern);
    Fill(dst.get(), [](int, int) { return Opaque(3, 3, 3); });
    PluginDataRec config{};
    config.Sliders[0] = 40;   // 4 % of 100: 4 pixels
    config.Sliders[1] = 100;  // 10 % of 50: 5 pixels
    UsePort use(other.get());
    ThePixelEffect(src.get(), dst.get(), Rect{10, 20, 30, 60}, true, &config, 0, 0);
    EXPECT_EQ(Get(dst.get(), 20, 10), BlockAverage(src.get(), 20, 10, 24, 15));
    EXPECT_EQ(Get(dst.get(), 59, 29), BlockAverage(src.get(), 56, 25, 60, 30));
    EXPECT_EQ(Get(dst.get(), 19, 10), Opaque(3, 3, 3));  // outside: left alone
    CGrafPtr port;
    GetGWorld(&port, nullptr);
    EXPECT_EQ(port, other.get());
    // Half strength: halfway between block and source; full: the source.
    config.Sliders[2] = 50;
    ThePixelEffect(src.get(), dst.get(), Rect{0, 0, 50, 100}, true, &config, 0, 0);
    const Px block = BlockAverage(src.get(), 0, 0, 4, 5), orig = Get(src.get(), 1, 1), got = Get(dst.get(), 1, 1);
    EXPECT_TRUE(std::abs(got.r - (block.r + orig.r) / 2.0) <= 1.5 && std::abs(got.g - (block.g + orig.g) / 2.0) <= 1.5);
    config.Sliders[2] = 100;
    ThePixelEffect(src.get(), dst.get(), Rect{10, 20, 30, 60}, true, &config, 0, 0);
    EXPECT_EQ(CountDifferences(src.get(), dst.get()), 0);
}

} // namespace
