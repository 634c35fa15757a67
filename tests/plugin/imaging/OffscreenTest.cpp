// Offscreen buffers: sizes and origins, locking, clearing with the port
// restored, scaled copies, clones. Pictures drawn into buffers are in the
// file tests.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "imaging/offscreen.h"

using namespace imgtest;

namespace {

bool Is(const Rect &r, SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) {
    return r.top == top && r.left == left && r.bottom == bottom && r.right == right;
}

CGrafPtr CurrentPort() {
    CGrafPtr port = nullptr;
    GetGWorld(&port, nullptr);
    return port;
}

TEST(Allocate, BuffersStartAtTheOriginAreLockedOrAreNotMadeAtAll) {
    GW gw(AllocateRectGWorld(Rect{100, 50, 580, 770}));
    ASSERT_TRUE(gw);
    EXPECT_TRUE(Is(GetPortRect(gw.get()), 0, 0, 480, 720));
    EXPECT_TRUE(GetPixelsState(GetGWorldPixMap(gw.get())) & pixelsLocked);
    GW moved(AllocateRectGWorld(Rect{-20, -10, 0, 5}));
    ASSERT_TRUE(moved);
    EXPECT_TRUE(Is(CarbonGetPortBounds(moved.get()), 0, 0, 20, 15));
    EXPECT_EQ(AllocateGWorld(0, 10), nullptr);
    EXPECT_EQ(AllocateRectGWorld(Rect{5, 5, 5, 40}), nullptr);
    // 60000 wide does not fit a 16-bit extent: no buffer, not a wrapped one.
    EXPECT_EQ(AllocateRectGWorld(Rect{0, -30000, 10, 30000}), nullptr);
    LockGWorld(nullptr);
}

TEST(ClearGW, FillsEveryPixelWithTheHighBytesAndRestoresPortAndForeColor) {
    GW other = MakeGW(4, 4);
    GW gw(AllocateGWorld(7, 5));
    UsePort use(other.get());
    ClearGW(gw.get(), RGBColor{0xFF12, 0x3400, 0x56AB});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(Get(gw.get(), x, y), Opaque(0xFF, 0x34, 0x56)) << x << "," << y;
    EXPECT_EQ(CurrentPort(), other.get());
    EXPECT_EQ(Get(other.get(), 0, 0), (Px{0, 0, 0, 0}));
    UsePort inGW(gw.get());
    RGBColor fg;
    GetForeColor(&fg);
    EXPECT_EQ(fg.red + fg.green + fg.blue, 0);
    ClearGW(nullptr, RGBColor{0, 0, 0});
}

TEST(Copy, WholeBuffersScaleByNearestPixelAndClonesHoldTheirOwnPixels) {
    GW src(AllocateGWorld(720, 480)), dst(AllocateGWorld(360, 240));
    Fill(src.get(), Pattern);
    GW other = MakeGW(2, 2);
    UsePort use(other.get());
    const RGBColor red = {65535, 0, 0};
    RGBForeColor(&red);
    RGBBackColor(&red);
    Source2Target(src.get(), dst.get());
    for (int y = 0; y < 240; y += 17)
        for (int x = 0; x < 360; x += 13) ASSERT_EQ(Get(dst.get(), x, y), Pattern(2 * x, 2 * y)) << x << "," << y;
    // The current port's copy colours are left black and white.
    RGBColor fg, bg;
    GetForeColor(&fg);
    GetBackColor(&bg);
    EXPECT_TRUE(fg.red == 0 && bg.green == 65535);
    Source2Target(src.get(), nullptr);
    Source2Target(nullptr, dst.get());
    GW small(AllocateGWorld(4, 4)), big(AllocateGWorld(10, 10));
    Fill(small.get(), Pattern);
    DrawGWinGW(small.get(), big.get(), Rect{2, 2, 10, 10});  // doubled into the rectangle
    EXPECT_TRUE(Get(big.get(), 1, 1) == (Px{0, 0, 0, 0}) && Get(big.get(), 4, 9) == Pattern(1, 3));

    GW clone(MakeGWorldClone(dst.get()));
    ASSERT_TRUE(clone);
    EXPECT_EQ(CountDifferences(dst.get(), clone.get()), 0);
    Put(dst.get(), 0, 0, Opaque(0, 0, 0));
    EXPECT_EQ(Get(clone.get(), 0, 0), Pattern(0, 0));
    EXPECT_EQ(MakeGWorldClone(nullptr), nullptr);
}

}  // namespace
