// The pixel library's block pixellation: pixellating (one table of cases)
// and the effect with its overlay.
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

TEST(Pixellate, BlocksAreAveragedCutToTheFrameAndEmptyOnesSkipped) {
    GW src = MakeGW(20, 16);
    Fill(src.get(), [](int x, int y) { return Px{UInt8(100 + x), UInt8(x * 12), UInt8(y * 15), UInt8(x * y)}; });
    const Px untouched = Opaque(1, 1, 1);
    struct Probe {
        int x, y;
        Rect block;  // expected: average of this source block; empty: untouched
    };
    struct Case {
        const char *what;
        Rect active;
        SInt16 wid, hig;
        std::vector<Probe> probes;
    } cases[] = {
        // A 10 x 10 rectangle at (3, 2) in 4 x 4 blocks: 4, 4 and 2 wide.
        {"cut edge blocks", Rect{2, 3, 12, 13}, 4, 4,
         {{3, 2, {2, 3, 6, 7}}, {12, 11, {10, 11, 12, 13}}, {8, 6, {6, 7, 10, 11}}, {2, 2, {}}, {13, 5, {}}}},
        // From (-30, -30) in steps of 4: blocks with no pixel in the frame
        // are skipped, the others average their inside part.
        {"beyond the frame", Rect{-30, -30, 5, 5}, 4, 4, {{0, 0, {0, 0, 2, 2}}, {4, 4, {2, 2, 5, 5}}, {6, 6, {}}}},
        {"sizes below 1 count as 1", Rect{0, 0, 16, 20}, 0, -3, {{19, 15, {15, 19, 16, 20}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        GW dst = MakeGW(20, 16);
        Fill(dst.get(), [&](int, int) { return untouched; });
        PixellateGWorld(src.get(), dst.get(), c.active, c.wid, c.hig);
        for (const Probe &p : c.probes) {
            const Rect &b = p.block;
            const Px want = b.right > b.left ? BlockAverage(src.get(), b.left, b.top, b.right, b.bottom) : untouched;
            EXPECT_EQ(Get(dst.get(), p.x, p.y), want) << p.x << "," << p.y;
        }
    }
    // No destination: in place; sizes that differ: nothing.
    GW copy(MakeGWorldClone(src.get())), other = MakeGW(9, 8);
    PixellateGWorld(copy.get(), other.get(), Rect{0, 0, 8, 8}, 2, 2);
    EXPECT_EQ(Get(other.get(), 0, 0), (Px{0, 0, 0, 0}));
    PixellateGWorld(copy.get(), nullptr, Rect{0, 0, 8, 8}, 8, 8);
    EXPECT_EQ(Get(copy.get(), 7, 7), BlockAverage(src.get(), 0, 0, 8, 8));
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
    EXPECT_EQ(Get(dst.get(), 59, 29), BlockAverage(src.get(), 56, 25, 60, 30));
    EXPECT_EQ(Get(dst.get(), 19, 10), Opaque(3, 3, 3));  // outside: left alone
    CGrafPtr port;
    GetGWorld(&port, nullptr);
    EXPECT_EQ(port, other.get());
    config.Sliders[2] = 100;  // full overlay strength: the source
    ThePixelEffect(src.get(), dst.get(), Rect{10, 20, 30, 60}, true, &config, 0, 0);
    EXPECT_EQ(CountDifferences(src.get(), dst.get()), 0);
}

}  // namespace
