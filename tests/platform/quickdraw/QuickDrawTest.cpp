// QuickDraw stand-in as the plug-in, the host and the toolbox use it: new
// worlds and their refusals, rectangle painting with clipping, CopyBits scaling, clipping and overlap, and window
// ports that report what changed, pictures recorded the way the image
// importer makes them. (Text is drawn through the plug-in's own procedures
// in the common tests.)
#include <gtest/gtest.h>

#include <vector>

#include "ImageTestSupport.h"

using namespace imgtest;

namespace {

const Px kRed = Opaque(255, 0, 0), kWhite = Opaque(255, 255, 255), kZero{0, 0, 0, 0};

// Every pixel gets a value that names its position.
Px Tag(int x, int y) { return Px{255, UInt8(x), UInt8(y), 7}; }

void Copy(GWorldPtr s, GWorldPtr d, Rect sr, Rect dr, SInt16 mode = srcCopy) {
    CopyBits(GetPortBitMapForCopyBits(s), GetPortBitMapForCopyBits(d), &sr, &dr, mode, nullptr);
}

// Checks every pixel of a world against want(x, y).
void ExpectPixels(GWorldPtr w, const std::function<Px(int, int)> &want) {
    for (int y = 0; y < Height(w); ++y)
        for (int x = 0; x < Width(w); ++x) ASSERT_EQ(Get(w, x, y), want(x, y)) << x << "," << y;
}

TEST(GWorld, StartsAtTheOriginClearedAndLockedOrIsRefused) {
    GWorldPtr made = nullptr;
    const Rect bounds{100, 50, 580, 770};
    ASSERT_EQ(NewGWorld(&made, 32, &bounds, nullptr, nullptr, 0), noErr);
    GW gw(made);
    Rect r;
    GetPortBounds(gw.get(), &r);
    EXPECT_TRUE(r.top == 0 && r.left == 0 && r.bottom == 480 && r.right == 720);
    PixMapHandle pm = GetGWorldPixMap(gw.get());
    const OSType format = (*pm)->pixelFormat; // a packed field: read it by value
    EXPECT_EQ(format, static_cast<OSType>(k32ARGBPixelFormat));
    EXPECT_TRUE(((*pm)->rowBytes & kPixMapRowBytesFlag) && (GetPixelsState(pm) & pixelsLocked));
    EXPECT_EQ(GetPortBitMapForCopyBits(gw.get())->baseAddr, GetPixBaseAddr(pm));
    for (int y = 0; y < 480; y += 37)
        for (int x = 0; x < 720; x += 41) ASSERT_EQ(Get(gw.get(), x, y), kZero);

    GWorldPtr refused = reinterpret_cast<GWorldPtr>(1);
    const Rect ok{0, 0, 10, 10}, empty{0, 0, 0, 10}, flipped{10, 0, 0, 10}, wide{0, 0, 1, kMaxGWorldWidth32 + 1};
    EXPECT_EQ(NewGWorld(&refused, 16, &ok, nullptr, nullptr, 0), paramErr);
    for (const Rect *bad : {&empty, &flipped, &wide, static_cast<const Rect *>(nullptr)})
        EXPECT_EQ(NewGWorld(&refused, 32, bad, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(refused, nullptr);
    const Rect widest{0, 0, 1, kMaxGWorldWidth32};
    ASSERT_EQ(NewGWorld(&made, 0, &widest, nullptr, nullptr, 0), noErr);
    EXPECT_LE(GetPixRowBytes(GetGWorldPixMap(made)), kMaxRowBytes) << "the widest world fits the row field";
    DisposeGWorld(made);
    DisposeGWorld(nullptr); // harmless
    // Frame-sized worlds reuse the memory of disposed ones, and still start cleared.
    const Rect big{0, 0, 1024, 1024};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(NewGWorld(&made, 32, &big, nullptr, nullptr, 0), noErr);
        EXPECT_EQ(Get(made, 1000, 1000), kZero) << i;
        UsePort use(made);
        RGBColor red{65535, 0, 0};
        RGBForeColor(&red);
        PaintRect(&big);
        DisposeGWorld(made);
    }
}

TEST(Painting, RectanglesAreOpaqueExactAndClipped) {
    GW w = MakeGW(10, 6);
    UsePort use(w.get());
    RGBColor red{65535, 0, 0}, half{32768, 32896, 255};
    RGBForeColor(&red);
    Rect r{-3, -3, 2, 4}; // reaches outside the port
    PaintRect(&r);
    ExpectPixels(w.get(), [](int x, int y) { return (y < 2 && x < 4) ? kRed : kZero; });
    RGBForeColor(&half);
    Rect all{0, 0, 6, 10}, clip{1, 1, 5, 9};
    ClipRect(&clip);
    PaintRect(&all);
    EXPECT_EQ(Get(w.get(), 0, 0), kRed) << "outside the clip";
    EXPECT_EQ(Get(w.get(), 1, 1), Opaque(128, 128, 0)) << "colours keep the high byte of each channel";
    EXPECT_EQ(Get(w.get(), 9, 5), kZero);
}

TEST(CopyBits, OneToOneAcrossPaddedRowsAndScaledByTheNearestPixel) {
    GW s = MakeGW(720, 480), d = MakeGW(33, 7), half = MakeGW(360, 240), odd = MakeGW(7, 5);
    Fill(s.get(), Tag);
    ASSERT_GT(GetPixRowBytes(GetGWorldPixMap(d.get())), 33 * 4) << "rows of 33 pixels are padded";
    Copy(s.get(), d.get(), Rect{1, 2, 6, 30}, Rect{0, 3, 5, 31});
    ExpectPixels(d.get(), [](int x, int y) { return y < 5 && x >= 3 && x < 31 ? Tag(x - 1, y + 1) : kZero; });
    EXPECT_EQ(QDError(), noErr);
    Copy(s.get(), half.get(), Rect{0, 0, 480, 720}, Rect{0, 0, 240, 360});
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 360; x += 5) ASSERT_EQ(Get(half.get(), x, y), Tag((2 * x) & 255, (2 * y) & 255));
    // 10 x 3 onto 7 x 5: column i takes i * 10 / 7, row j takes j * 3 / 5.
    Copy(s.get(), odd.get(), Rect{4, 20, 7, 30}, Rect{0, 0, 5, 7});
    ExpectPixels(odd.get(), [](int x, int y) { return Tag(20 + x * 10 / 7, 4 + y * 3 / 5); });
}

TEST(CopyBits, ClippingNeverShiftsTheMappingAndOverlapsReadBeforeWriting) {
    GW s = MakeGW(8, 8), d = MakeGW(8, 8), d2 = MakeGW(8, 8), d3 = MakeGW(8, 8);
    Fill(s.get(), Tag);
    // Destination partly outside: the visible part keeps its source pixels.
    Copy(s.get(), d.get(), Rect{0, 0, 4, 4}, Rect{-2, -2, 6, 6});
    ExpectPixels(d.get(), [](int x, int y) { return x < 6 && y < 6 ? Tag((x + 2) / 2, (y + 2) / 2) : kZero; });
    // Source partly outside its bit map: those destination pixels stay.
    Copy(s.get(), d2.get(), Rect{-2, 5, 6, 13}, Rect{0, 0, 8, 8});
    ExpectPixels(d2.get(), [](int x, int y) { return 5 + x < 8 && y >= 2 ? Tag(5 + x, y - 2) : kZero; });
    // The current port's clip limits a copy into it, another port's does not.
    {
        UsePort use(d3.get());
        Rect clip{0, 4, 8, 8};
        ClipRect(&clip);
        Copy(s.get(), d3.get(), Rect{0, 0, 8, 8}, Rect{0, 0, 8, 8});
    }
    EXPECT_TRUE(Get(d3.get(), 3, 3) == kZero && Get(d3.get(), 4, 3) == Tag(4, 3));
    Copy(s.get(), d3.get(), Rect{0, 0, 8, 8}, Rect{0, 0, 8, 8});
    EXPECT_EQ(Get(d3.get(), 0, 0), Tag(0, 0));

    GW w = MakeGW(10, 10);
    Fill(w.get(), Tag);
    Copy(w.get(), w.get(), Rect{0, 0, 9, 9}, Rect{1, 1, 10, 10}); // down and right by one
    ExpectPixels(w.get(), [](int x, int y) { return x && y ? Tag(x - 1, y - 1) : Tag(x, y); });
    Fill(w.get(), Tag);
    Copy(w.get(), w.get(), Rect{0, 0, 5, 5}, Rect{0, 0, 10, 10}); // enlarging onto itself
    ExpectPixels(w.get(), [](int x, int y) { return Tag(x / 2, y / 2); });
}

TEST(CopyBits, UnsupportedModesAndBitMapsChangeNothing) {
    GW s = MakeGW(4, 4), d = MakeGW(4, 4);
    Fill(s.get(), Tag);
    Copy(s.get(), d.get(), Rect{0, 0, 4, 4}, Rect{0, 0, 4, 4}, srcXor);
    EXPECT_EQ(QDError(), paramErr);
    const BitMap oneBit{GetPortBitMapForCopyBits(s.get())->baseAddr, 2, Rect{0, 0, 4, 16}};
    const Rect r{0, 0, 4, 4};
    CopyBits(&oneBit, GetPortBitMapForCopyBits(d.get()), &r, &r, srcCopy, nullptr);
    EXPECT_EQ(QDError(), paramErr);
    Copy(s.get(), d.get(), Rect{0, 0, 4, 4}, Rect{2, 2, 2, 4}); // empty destination
    ExpectPixels(d.get(), [](int, int) { return kZero; });
}

TEST(Picture, ACopyOfAWorldOntoItselfIsRecordedAndPartialCopiesKeepWhatWasNotWritten) {
    // How the image importer makes a picture: the world copied onto itself.
    GW w = MakeGW(3, 2), out = MakeGW(3, 2);
    Fill(w.get(), Tag);
    PicHandle pic;
    {
        UsePort use(w.get());
        OpenCPicParams params{Rect{0, 0, 2, 3}, 72 << 16, 72 << 16, -2, 0, 0};
        pic = OpenCPicture(&params);
        Copy(w.get(), w.get(), Rect{0, 0, 2, 3}, Rect{0, 0, 2, 3});
        Copy(w.get(), w.get(), Rect{0, 2, 2, 4}, Rect{0, 0, 2, 2}); // source half outside its bit map
        ClosePicture();
    }
    EXPECT_EQ(Get(w.get(), 0, 0), Tag(0, 0)) << "recording leaves the world alone";
    {
        UsePort use(out.get());
        Rect r{0, 0, 2, 3};
        DrawPicture(pic, &r);
    }
    KillPicture(pic);
    EXPECT_EQ(Get(out.get(), 0, 0), Tag(2, 0)) << "the second copy wrote column 0";
    EXPECT_EQ(Get(out.get(), 1, 1), Tag(1, 1)) << "column 1 had no source, the first copy shows";
}

TEST(WindowPort, StartsWhiteAndTellsItsHookWhatChanged) {
    CGrafPtr port = nullptr;
    ASSERT_EQ(QVNewWindowPort(&port, 20, 10), noErr);
    EXPECT_EQ(Get(port, 19, 9), kWhite);
    struct Seen {
        std::vector<Rect> areas;
        std::vector<bool> flushed;
    } seen;
    QVSetPortDrawnProc(
        port,
        [](CGrafPtr, const Rect *area, Boolean flushed, void *refCon) {
            static_cast<Seen *>(refCon)->areas.push_back(*area);
            static_cast<Seen *>(refCon)->flushed.push_back(flushed);
        },
        &seen);
    {
        UsePort use(port);
        Rect r{-5, 15, 5, 40}, outside{50, 50, 60, 60};
        PaintRect(&r);
        PaintRect(&outside); // nothing changes: no call
    }
    RgnHandle rgn = NewRgn();
    const Rect flushed{2, 3, 8, 9};
    RectRgn(rgn, &flushed);
    QDFlushPortBuffer(port, rgn);
    DisposeRgn(rgn);
    GW src = MakeGW(4, 4);
    Rect s{0, 0, 4, 4}, d{1, 1, 5, 5};
    CopyBits(GetPortBitMapForCopyBits(src.get()), GetPortBitMapForCopyBits(port), &s, &d, srcCopy, nullptr);
    ASSERT_EQ(seen.areas.size(), 3u);
    const Rect want[3] = {{0, 15, 5, 20}, {2, 3, 8, 9}, d};
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(EqualRect(&seen.areas[i], &want[i])) << i;
    EXPECT_TRUE(!seen.flushed[0] && seen.flushed[1]);
    QVSetPortDrawnProc(port, nullptr, nullptr);
    QVDisposeWindowPort(port);
    EXPECT_FALSE(IsValidPort(port));
}

} // namespace
