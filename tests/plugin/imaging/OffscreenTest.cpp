// Offscreen buffers: sizes and origins, locking, clearing with the port
// restored, scaled copies, pictures, clones.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "imaging/offscreen.h"

using namespace imgtest;

namespace {

void ExpectRect(const Rect &r, SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) {
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.bottom, bottom);
    EXPECT_EQ(r.right, right);
}

TEST(Allocate, BuffersStartAtTheOriginAreThirtyTwoBitsAndLocked) {
    GW gw(AllocateRectGWorld(Rect{100, 50, 580, 770}));
    ASSERT_TRUE(gw);
    ExpectRect(GetPortRect(gw.get()), 0, 0, 480, 720);
    ExpectRect(CarbonGetPortBounds(gw.get()), 0, 0, 480, 720);
    EXPECT_EQ(GetPixDepth(GetGWorldPixMap(gw.get())), 32);
    EXPECT_TRUE(GetPixelsState(GetGWorldPixMap(gw.get())) & pixelsLocked);
    EXPECT_EQ(CarbonGetPortBitMapForCopyBits(gw.get()), GetPortBitMapForCopyBits(gw.get()));

    GW small(AllocateGWorld(3, 2));
    ASSERT_TRUE(small);
    ExpectRect(GetPortRect(small.get()), 0, 0, 2, 3);
    // A rectangle with negative coordinates keeps its size.
    GW moved(AllocateRectGWorld(Rect{-20, -10, 0, 5}));
    ASSERT_TRUE(moved);
    ExpectRect(GetPortRect(moved.get()), 0, 0, 20, 15);
}

TEST(Allocate, SizesThePlatformCannotHoldGiveNoBuffer) {
    EXPECT_EQ(AllocateGWorld(0, 10), nullptr);
    EXPECT_EQ(AllocateGWorld(10, -1), nullptr);
    EXPECT_EQ(AllocateRectGWorld(Rect{5, 5, 5, 40}), nullptr);
    // 60000 wide does not fit a 16-bit extent: no buffer, not a wrapped one.
    EXPECT_EQ(AllocateRectGWorld(Rect{0, -30000, 10, 30000}), nullptr);
    LockGWorld(nullptr); // tolerated
}

TEST(ClearGW, FillsEveryPixelAndRestoresPortAndForeColor) {
    GW other = MakeGW(4, 4);
    GW gw(AllocateGWorld(7, 5));
    UsePort use(other.get());
    ClearGW(gw.get(), RGBColor{65535, 0, 0});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(Get(gw.get(), x, y), Opaque(255, 0, 0)) << x << "," << y;
    // The other buffer stays current and untouched.
    CGrafPtr port;
    GDHandle device;
    GetGWorld(&port, &device);
    EXPECT_EQ(port, other.get());
    EXPECT_EQ(Get(other.get(), 0, 0), (Px{0, 0, 0, 0}));
    // The cleared buffer's foreground is black again.
    {
        UsePort inGW(gw.get());
        RGBColor fg;
        GetForeColor(&fg);
        EXPECT_EQ(fg.red + fg.green + fg.blue, 0);
    }
    // Only the high byte of each channel reaches the pixels.
    ClearGW(gw.get(), RGBColor{0x12FF, 0x3400, 0x56AB});
    EXPECT_EQ(Get(gw.get(), 6, 4), Opaque(0x12, 0x34, 0x56));
    ClearGW(nullptr, RGBColor{0, 0, 0});
}

TEST(Copy, Source2TargetScalesTheWholeImageAndToleratesNil) {
    GW src(AllocateGWorld(720, 480));
    GW dst(AllocateGWorld(360, 240));
    Fill(src.get(), Pattern);
    GW other = MakeGW(2, 2);
    UsePort use(other.get());
    RGBColor red = {65535, 0, 0};
    RGBForeColor(&red);
    RGBBackColor(&red);
    Source2Target(src.get(), dst.get());
    // Halving by nearest pixel takes every second pixel.
    for (int y = 0; y < 240; y += 17)
        for (int x = 0; x < 360; x += 13) ASSERT_EQ(Get(dst.get(), x, y), Pattern(2 * x, 2 * y)) << x << "," << y;
    // The copy colours of the current port are left black and white.
    RGBColor fg, bg;
    GetForeColor(&fg);
    GetBackColor(&bg);
    EXPECT_EQ(fg.red, 0);
    EXPECT_EQ(bg.green, 65535);

    Fill(dst.get(), [](int, int) { return Opaque(1, 2, 3); });
    Source2Target(src.get(), nullptr);
    Source2Target(nullptr, dst.get());
    EXPECT_EQ(Get(dst.get(), 0, 0), Opaque(1, 2, 3));
}

TEST(Copy, DrawGWinGWScalesIntoTheRectangleOnly) {
    GW src(AllocateGWorld(4, 4));
    GW dst(AllocateGWorld(10, 10));
    Fill(src.get(), Pattern);
    Fill(dst.get(), [](int, int) { return Opaque(9, 9, 9); });
    DrawGWinGW(src.get(), dst.get(), Rect{2, 2, 10, 10});
    EXPECT_EQ(Get(dst.get(), 1, 1), Opaque(9, 9, 9));
    EXPECT_EQ(Get(dst.get(), 2, 2), Pattern(0, 0));
    EXPECT_EQ(Get(dst.get(), 3, 3), Pattern(0, 0));  // doubled
    EXPECT_EQ(Get(dst.get(), 9, 9), Pattern(3, 3));
    EXPECT_EQ(Get(dst.get(), 4, 9), Pattern(1, 3));
}

TEST(Picture, DrawPictureInGWReplaysIntoTheRectangleAndRestoresThePort) {
    GW recordIn = MakeGW(10, 10);
    PicHandle pic;
    {
        UsePort use(recordIn.get());
        OpenCPicParams params = {Rect{0, 0, 10, 10}, 72 << 16, 72 << 16, -2, 0, 0};
        pic = OpenCPicture(&params);
        ASSERT_NE(pic, nullptr);
        RGBColor green = {0, 65535, 0};
        RGBForeColor(&green);
        Rect left = {0, 0, 10, 5};
        PaintRect(&left);
        ClosePicture();
    }
    GW gw(AllocateGWorld(20, 20));
    GW other = MakeGW(2, 2);
    UsePort use(other.get());
    DrawPictureInGW(gw.get(), pic, Rect{0, 0, 20, 20});
    EXPECT_EQ(Get(gw.get(), 9, 15), Opaque(0, 255, 0));  // the picture doubled: left half painted
    EXPECT_EQ(Get(gw.get(), 10, 15), (Px{0, 0, 0, 0}));
    CGrafPtr port;
    GetGWorld(&port, nullptr);
    EXPECT_EQ(port, other.get());
    DrawPictureInGW(nullptr, pic, Rect{0, 0, 1, 1});
    DrawPictureInGW(gw.get(), nullptr, Rect{0, 0, 1, 1});
    KillPicture(pic);
}

TEST(Clone, HoldsTheSamePixelsInItsOwnBuffer) {
    GW src(AllocateGWorld(33, 21));
    Fill(src.get(), Pattern);
    GW clone(MakeGWorldClone(src.get()));
    ASSERT_TRUE(clone);
    EXPECT_NE(clone.get(), src.get());
    EXPECT_EQ(CountDifferences(src.get(), clone.get()), 0);
    Put(src.get(), 0, 0, Opaque(0, 0, 0));
    EXPECT_EQ(Get(clone.get(), 0, 0), Pattern(0, 0));
    EXPECT_EQ(MakeGWorldClone(nullptr), nullptr);
}

} // namespace
