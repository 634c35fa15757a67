// QuickDraw stand-in: worlds and pixel maps, the current port, colours,
// rectangle painting with clipping, CopyBits scaling and clipping.
#include <gtest/gtest.h>

#include <vector>

#include "QDTestUtil.h"

namespace {

const Px kRed{255, 255, 0, 0};
const Px kWhite{255, 255, 255, 255};
const Px kBlack{255, 0, 0, 0};
const Px kZero{0, 0, 0, 0};

TEST(GWorld, PortRectStartsAtOriginAndPixelsAreClearedAndLocked) {
    GWorldPtr gw = nullptr;
    const Rect bounds{100, 50, 580, 770};
    ASSERT_EQ(NewGWorld(&gw, 32, &bounds, nullptr, nullptr, 0), noErr);
    World w(gw);
    Rect r;
    GetPortBounds(gw, &r);
    const Rect origin{0, 0, 480, 720};
    EXPECT_TRUE(EqualRect(&r, &origin));

    PixMapHandle pm = GetGWorldPixMap(gw);
    ASSERT_NE(pm, nullptr);
    const OSType format = (*pm)->pixelFormat; // a packed field: read it by value
    EXPECT_EQ(format, static_cast<OSType>(k32ARGBPixelFormat));
    const SInt16 rowField = (*pm)->rowBytes;
    EXPECT_EQ(GetPixRowBytes(pm), rowField & 0x3FFF);
    EXPECT_TRUE(rowField & kPixMapRowBytesFlag);
    EXPECT_TRUE(GetPixelsState(pm) & pixelsLocked);
    for (int y = 0; y < 480; y += 37)
        for (int x = 0; x < 720; x += 41) ASSERT_EQ(Get(gw, x, y), kZero);

    const BitMap *bm = GetPortBitMapForCopyBits(gw);
    ASSERT_NE(bm, nullptr);
    const Ptr base = bm->baseAddr;
    const Rect mapBounds = bm->bounds;
    EXPECT_EQ(base, GetPixBaseAddr(pm));
    EXPECT_TRUE(EqualRect(&mapBounds, &r));
}

TEST(GWorld, RefusesWhatItCannotMake) {
    GWorldPtr gw = reinterpret_cast<GWorldPtr>(1);
    const Rect ok{0, 0, 10, 10}, empty{0, 0, 0, 10}, flipped{10, 0, 0, 10}, wide{0, 0, 1, kMaxGWorldWidth32 + 1};
    EXPECT_EQ(NewGWorld(&gw, 16, &ok, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(gw, nullptr);
    EXPECT_EQ(NewGWorld(&gw, 32, &empty, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(NewGWorld(&gw, 32, &flipped, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(NewGWorld(&gw, 32, &wide, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(NewGWorld(&gw, 32, nullptr, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(gw, nullptr);
    // The widest world fits the 14-bit row field.
    const Rect widest{0, 0, 1, kMaxGWorldWidth32};
    ASSERT_EQ(NewGWorld(&gw, 0, &widest, nullptr, nullptr, 0), noErr);
    World w(gw);
    EXPECT_LE(GetPixRowBytes(GetGWorldPixMap(gw)), kMaxRowBytes);
    DisposeGWorld(nullptr); // harmless
}

TEST(GWorld, WorldsOverCallerMemoryUseItAndKeepItsPadding) {
    std::vector<UInt8> memory(3 * 40, 0xEE);
    GWorldPtr gw = nullptr;
    const Rect r{0, 0, 3, 5};
    ASSERT_EQ(NewGWorldFromPtr(&gw, k32ARGBPixelFormat, &r, nullptr, nullptr, 0,
                               reinterpret_cast<Ptr>(memory.data()), 40),
              noErr);
    EXPECT_EQ(GetPixRowBytes(GetGWorldPixMap(gw)), 40);
    {
        UsePort use(gw);
        RGBColor red{65535, 0, 0};
        RGBForeColor(&red);
        Rect one{1, 2, 2, 3};
        PaintRect(&one);
    }
    DisposeGWorld(gw);
    EXPECT_EQ(memory[40 + 8 + 1], 255);
    EXPECT_EQ(memory[40 + 4], 0xEE) << "only the painted pixel changes";
    EXPECT_EQ(memory[20], 0xEE) << "padding stays untouched";
    EXPECT_EQ(NewGWorldFromPtr(&gw, k32ARGBPixelFormat, &r, nullptr, nullptr, 0,
                               reinterpret_cast<Ptr>(memory.data()), 16),
              paramErr)
        << "rows shorter than the width";
}

TEST(CurrentPort, GWorldAndColoursBelongToThePortAndSurviveSwitching) {
    World a = MakeWorld(8, 8), b = MakeWorld(8, 8);
    CGrafPtr before;
    GDHandle beforeDevice;
    GetGWorld(&before, &beforeDevice);

    SetGWorld(a.get(), nullptr);
    RGBColor red{65535, 0, 0}, fg;
    RGBForeColor(&red);
    SetGWorld(b.get(), GetMainDevice());
    GetForeColor(&fg);
    EXPECT_EQ(fg.red, 0) << "a new port draws in black";
    SetPort(a.get());
    GrafPtr current;
    GetPort(&current);
    EXPECT_EQ(current, a.get());
    GetForeColor(&fg);
    EXPECT_EQ(fg.red, 65535) << "port a kept its colour";

    // Disposing of the current port leaves no current port behind.
    a.reset();
    GetPort(&current);
    EXPECT_EQ(current, nullptr);
    Rect r{0, 0, 4, 4};
    PaintRect(&r); // no port: nothing happens, no crash
    SetGWorld(before, beforeDevice);
}

TEST(Painting, RectanglesAreOpaqueExactAndClipped) {
    World w = MakeWorld(10, 6);
    UsePort use(w.get());
    RGBColor red{65535, 0, 0}, half{32768, 32896, 255};
    RGBForeColor(&red);
    Rect r{-3, -3, 2, 4}; // reaches outside the port
    PaintRect(&r);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(Get(w.get(), x, y), (y < 2 && x < 4) ? kRed : kZero) << x << "," << y;

    RGBForeColor(&half);
    Rect all{0, 0, 6, 10};
    Rect clip{1, 1, 5, 9};
    ClipRect(&clip);
    PaintRect(&all);
    EXPECT_EQ(Get(w.get(), 0, 0), kRed) << "outside the clip";
    EXPECT_EQ(Get(w.get(), 1, 1), (Px{255, 128, 128, 0})) << "colours keep the high byte of each channel";
    EXPECT_EQ(Get(w.get(), 9, 5), kZero);

    ClipRect(&all);
    EraseRect(&all);
    RGBColor black{0, 0, 0};
    RGBForeColor(&black);
    Rect frame{1, 2, 5, 7};
    FrameRect(&frame);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = y >= 1 && y < 5 && x >= 2 && x < 7;
            const bool edge = inside && (y == 1 || y == 4 || x == 2 || x == 6);
            ASSERT_EQ(Get(w.get(), x, y), edge ? kBlack : kWhite) << x << "," << y;
        }

    Put(w.get(), 3, 2, Px{77, 10, 20, 30});
    Rect inv{2, 3, 3, 4};
    InvertRect(&inv);
    EXPECT_EQ(Get(w.get(), 3, 2), (Px{77, 245, 235, 225})) << "inversion keeps alpha";

    RgnHandle rgn = NewRgn();
    SetRectRgn(rgn, 0, 0, 0, 0);
    EXPECT_TRUE(EmptyRgn(rgn));
    SetClip(rgn);
    PaintRect(&all);
    EXPECT_EQ(Get(w.get(), 5, 3), kWhite) << "an empty clip draws nothing";
    DisposeRgn(rgn);
}

TEST(Painting, LinesIncludeBothEnds) {
    World w = MakeWorld(6, 6);
    UsePort use(w.get());
    MoveTo(1, 1);
    LineTo(4, 4);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Get(w.get(), i, i), (i >= 1 && i <= 4) ? kBlack : kZero) << i;
    EXPECT_EQ(Get(w.get(), 2, 1), kZero);
    Move(1, -4);
    Line(0, 0);
    EXPECT_EQ(Get(w.get(), 5, 0), kBlack);
}

// ---- CopyBits ----

class CopyBitsTest : public ::testing::Test {
  protected:
    void Copy(GWorldPtr s, GWorldPtr d, Rect sr, Rect dr, SInt16 mode = srcCopy, RgnHandle mask = nullptr) {
        CopyBits(GetPortBitMapForCopyBits(s), GetPortBitMapForCopyBits(d), &sr, &dr, mode, mask);
    }
};

TEST_F(CopyBitsTest, OneToOneCopiesASubRectangleAcrossPaddedRows) {
    World s = MakeWorld(33, 7), d = MakeWorld(33, 7);
    ASSERT_GT(GetPixRowBytes(GetGWorldPixMap(s.get())), 33 * 4) << "rows of 33 pixels are padded";
    FillTags(s.get());
    Copy(s.get(), d.get(), Rect{1, 2, 6, 30}, Rect{0, 3, 5, 31});
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 33; ++x) {
            const bool in = y < 5 && x >= 3 && x < 31;
            ASSERT_EQ(Get(d.get(), x, y), in ? Tag(x - 1, y + 1) : kZero) << x << "," << y;
        }
    EXPECT_EQ(QDError(), noErr);
}

TEST_F(CopyBitsTest, ScalingTakesTheNearestPixelByTheSpanRule) {
    World s = MakeWorld(720, 480), half = MakeWorld(360, 240), twice = MakeWorld(20, 10), odd = MakeWorld(7, 5);
    FillTags(s.get());
    Copy(s.get(), half.get(), Rect{0, 0, 480, 720}, Rect{0, 0, 240, 360});
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 360; x += 5) ASSERT_EQ(Get(half.get(), x, y), Tag((2 * x) & 255, (2 * y) & 255));

    Copy(s.get(), twice.get(), Rect{0, 0, 5, 10}, Rect{0, 0, 10, 20});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(Get(twice.get(), x, y), Tag(x / 2, y / 2)) << x << "," << y;

    // 10 x 3 onto 7 x 5: column i takes i * 10 / 7, row j takes j * 3 / 5.
    Copy(s.get(), odd.get(), Rect{4, 20, 7, 30}, Rect{0, 0, 5, 7});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(Get(odd.get(), x, y), Tag(20 + x * 10 / 7, 4 + y * 3 / 5));
}

TEST_F(CopyBitsTest, ClippingToEitherBitMapNeverShiftsTheMapping) {
    World s = MakeWorld(8, 8), d = MakeWorld(8, 8);
    FillTags(s.get());
    // Destination partly outside: the visible part keeps its source pixels.
    Copy(s.get(), d.get(), Rect{0, 0, 4, 4}, Rect{-2, -2, 6, 6});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(Get(d.get(), x, y), (x < 6 && y < 6) ? Tag((x + 2) / 2, (y + 2) / 2) : kZero) << x << "," << y;

    // Source partly outside its bit map: those destination pixels stay.
    World d2 = MakeWorld(8, 8);
    Copy(s.get(), d2.get(), Rect{-2, 5, 6, 13}, Rect{0, 0, 8, 8});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool valid = (5 + x) < 8 && (y - 2) >= 0;
            ASSERT_EQ(Get(d2.get(), x, y), valid ? Tag(5 + x, y - 2) : kZero) << x << "," << y;
        }
}

TEST_F(CopyBitsTest, MaskRegionAndTheCurrentPortsClipLimitTheCopy) {
    World s = MakeWorld(6, 6), d = MakeWorld(6, 6);
    FillTags(s.get());
    RgnHandle mask = NewRgn();
    SetRectRgn(mask, 1, 1, 3, 3);
    Copy(s.get(), d.get(), Rect{0, 0, 6, 6}, Rect{0, 0, 6, 6}, srcCopy, mask);
    DisposeRgn(mask);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(Get(d.get(), x, y), (x >= 1 && x < 3 && y >= 1 && y < 3) ? Tag(x, y) : kZero);

    World d2 = MakeWorld(6, 6);
    {
        UsePort use(d2.get());
        Rect clip{0, 4, 6, 6};
        ClipRect(&clip);
        Copy(s.get(), d2.get(), Rect{0, 0, 6, 6}, Rect{0, 0, 6, 6});
    }
    EXPECT_EQ(Get(d2.get(), 3, 3), kZero);
    EXPECT_EQ(Get(d2.get(), 4, 3), Tag(4, 3));
    // Another port's clip does not apply.
    World d3 = MakeWorld(6, 6);
    Copy(s.get(), d3.get(), Rect{0, 0, 6, 6}, Rect{0, 0, 6, 6});
    EXPECT_EQ(Get(d3.get(), 0, 0), Tag(0, 0));
}

TEST_F(CopyBitsTest, OverlappingCopiesWithinOneWorldReadBeforeWriting) {
    World w = MakeWorld(10, 10);
    FillTags(w.get());
    Copy(w.get(), w.get(), Rect{0, 0, 9, 9}, Rect{1, 1, 10, 10}); // down and right by one
    for (int y = 1; y < 10; ++y)
        for (int x = 1; x < 10; ++x) ASSERT_EQ(Get(w.get(), x, y), Tag(x - 1, y - 1)) << x << "," << y;

    FillTags(w.get());
    Copy(w.get(), w.get(), Rect{0, 0, 5, 5}, Rect{0, 0, 10, 10}); // enlarging onto itself
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(Get(w.get(), x, y), Tag(x / 2, y / 2)) << x << "," << y;
}

TEST_F(CopyBitsTest, UnsupportedModesAndBitMapsChangeNothing) {
    World s = MakeWorld(4, 4), d = MakeWorld(4, 4);
    FillTags(s.get());
    Copy(s.get(), d.get(), Rect{0, 0, 4, 4}, Rect{0, 0, 4, 4}, srcXor);
    EXPECT_EQ(QDError(), paramErr);
    EXPECT_EQ(Get(d.get(), 1, 1), kZero);
    BitMap oneBit{reinterpret_cast<Ptr>(PixelAddress(s.get(), 0, 0)), 2, Rect{0, 0, 4, 16}};
    Rect r{0, 0, 4, 4};
    CopyBits(&oneBit, GetPortBitMapForCopyBits(d.get()), &r, &r, srcCopy, nullptr);
    EXPECT_EQ(QDError(), paramErr);
    EXPECT_EQ(Get(d.get(), 1, 1), kZero);
    Copy(s.get(), d.get(), Rect{0, 0, 4, 4}, Rect{2, 2, 2, 4}); // empty destination
    EXPECT_EQ(Get(d.get(), 2, 2), kZero);
}

TEST(RectArithmetic, EdgesAndIntersections) {
    Rect r;
    SetRect(&r, 10, 20, 30, 60);
    OffsetRect(&r, -10, 5); // left 0, top 25, right 20, bottom 65
    EXPECT_TRUE(PtInRect(Point{25, 0}, &r));
    EXPECT_FALSE(PtInRect(Point{25, 20}, &r)) << "right edge is outside";
    Rect other{0, 0, 30, 5}, sect;
    EXPECT_TRUE(SectRect(&r, &other, &sect));
    EXPECT_EQ(sect.top, 25);
    EXPECT_EQ(sect.right, 5);
    Rect far{100, 100, 110, 110};
    EXPECT_FALSE(SectRect(&r, &far, &sect));
    EXPECT_TRUE(EmptyRect(&sect));
}

} // namespace
