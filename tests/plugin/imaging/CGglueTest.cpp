// The bridge to Quartz drawing: buffer snapshots, drawing into QuickDraw
// rectangles (clearing, alpha; turn direction and resampling against the
// reference), painting, clearing a buffer with the caller's port restored,
// and the guarded failures.
#include <gtest/gtest.h>

#include <cmath>

#include "ImageTestSupport.h"
#include "ReferenceDraw.h"
#include "imaging/CGglue.h"
#include "imaging/offscreen.h"

using namespace imgtest;

namespace {

CGrafPtr CurrentPort() {
    CGrafPtr port = nullptr;
    GetGWorld(&port, nullptr);
    return port;
}

struct ImageRelease {
    void operator()(CGImage *i) const { CGImageRelease(i); }
};
using Img = std::unique_ptr<CGImage, ImageRelease>;

Img MakeImage(int w, int h, const std::function<Px(int, int)> &pattern) {
    GW gw = MakeGW(w, h);
    Fill(gw.get(), pattern);
    return Img(GWorld2CGImage(gw.get()));
}

GW Filled(int w, int h, Px colour) {
    GW gw = MakeGW(w, h);
    Fill(gw.get(), [&](int, int) { return colour; });
    return gw;
}

TEST(Images, SnapshotsHoldTheBufferPixelsAndTheirSize) {
    GW gw = MakeGW(33, 7);  // an odd width: rows may be padded
    Fill(gw.get(), Pattern);
    Img image(GWorld2CGImage(gw.get()));
    ASSERT_TRUE(image);
    SInt32 w, h;
    GetImageDims(image.get(), w, h);
    const Rect r = GetImageRect(image.get());
    EXPECT_TRUE(w == 33 && h == 7 && r.right == 33 && r.bottom == 7);
    // Drawn back 1:1 it reproduces the buffer as it was when taken.
    Put(gw.get(), 0, 0, Opaque(1, 2, 3));
    GW back = MakeGW(33, 7);
    DrawCGImageInQDRect(back.get(), image.get(), Rect{0, 0, 7, 33}, 0, false);
    Put(gw.get(), 0, 0, Pattern(0, 0));
    std::string diff;
    EXPECT_EQ(CountDifferences(gw.get(), back.get(), &diff), 0) << diff;

    const Rect none = GetImageRect(nullptr);
    const Rect noFit = CalcProportionalImageForFrame(nullptr, Rect{0, 0, 100, 200});
    EXPECT_TRUE(none.bottom == 0 && none.right == 0 && noFit.bottom == noFit.top && noFit.right == noFit.left);
    const Rect fit = CalcProportionalImageForFrame(MakeImage(400, 300, Pattern).get(), Rect{0, 0, 100, 200});
    EXPECT_TRUE(fit.right == 200 && fit.bottom == 150);
}

TEST(Draw, ClearFirstAndAlphaReachTheDrawing) {
    const Rect target = {0, 0, 4, 4};
    // A half-transparent image (premultiplied) over opaque red: blended, or
    // alone when the footprint is cleared first.
    Img veil = MakeImage(4, 4, [](int, int) { return Px{128, 0, 0, 64}; });
    GW over = Filled(4, 4, Opaque(255, 0, 0)), cleared = Filled(4, 4, Opaque(255, 0, 0));
    DrawCGImageInQDRect(over.get(), veil.get(), target, 0, false);
    DrawCGImageInQDRect(cleared.get(), veil.get(), target, 0, true);
    const Px blended = Get(over.get(), 2, 2);
    EXPECT_TRUE(blended.a == 255 && std::abs(blended.r - 127) <= 1 && std::abs(blended.b - 64) <= 1) << blended;
    EXPECT_EQ(Get(cleared.get(), 2, 2), (Px{128, 0, 0, 64}));

    // Global alpha 0.5 halves an opaque image; a negative alpha keeps the
    // default (opaque).
    Img blue = MakeImage(4, 4, [](int, int) { return Opaque(0, 0, 255); });
    GW half = Filled(4, 4, Opaque(255, 0, 0)), full = Filled(4, 4, Opaque(255, 0, 0));
    DrawCGImageInQDRectWithAlpha(half.get(), blue.get(), target, 0, false, 0.5, 0);
    DrawCGImageInQDRectWithAlpha(full.get(), blue.get(), target, 0, false, -1, 0);
    EXPECT_TRUE(std::abs(Get(half.get(), 1, 1).r - 128) <= 1 && std::abs(Get(half.get(), 1, 1).b - 128) <= 1);
    EXPECT_EQ(Get(full.get(), 1, 1), Opaque(0, 0, 255));
}

TEST(Draw, ScaledTurnedTranslucentDrawingMatchesTheReference) {
    GW srcGW = MakeGW(24, 16);
    Fill(srcGW.get(), Pattern);
    Img image(GWorld2CGImage(srcGW.get()));
    GW gw = MakeGW(100, 60);
    Fill(gw.get(), [](int x, int y) { return Opaque(UInt8(x * 2), 40, UInt8(y * 3)); });
    const Image background = Snapshot(gw.get());
    // Enlarged 2.5 x 1.5, turned by 0.3 radians, at 70 % alpha.
    DrawCGImageInQDRectWithAlpha(gw.get(), image.get(), Rect{6, 20, 30, 80}, 0.3f, false, 0.7, 0);
    const Expected e = ReferenceDraw(Snapshot(srcGW.get()), 20, 6, 60, 24, 0.3, 0.7, background);
    const Comparison c = CompareWithReference(gw.get(), e, 1, 2);
    EXPECT_TRUE(c.ok() && c.insidePixels > 800) << c;
}

TEST(Paint, ClearAndPaintWithAlphaCoverExactlyTheRectangle) {
    GW gw = Filled(10, 8, Opaque(9, 9, 9));
    GWClearRect(gw.get(), Rect{2, 3, 6, 7});
    EXPECT_EQ(Get(gw.get(), 6, 5), (Px{0, 0, 0, 0}));
    // Red 1.0, green 128/255 at alpha 128/255 over the hole: premultiplied (128, 128, 64, 0).
    GWPaintRectWithAlpha(gw.get(), Rect{2, 3, 6, 7}, RGBColor{65535, 32768, 0}, 128);
    const Px p = Get(gw.get(), 4, 4);
    EXPECT_TRUE(p.a == 128 && std::abs(p.r - 128) <= 1 && std::abs(p.g - 64) <= 1 && p.b == 0) << p;
    for (Point outside : {Point{1, 3}, Point{2, 2}, Point{6, 3}, Point{2, 7}})
        EXPECT_EQ(Get(gw.get(), outside.h, outside.v), Opaque(9, 9, 9));
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

TEST(GuardsDeathTest, MissingBuffersAndContextsStopWithTheirMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(GWClearRect(nullptr, Rect{0, 0, 1, 1}), "NIL GWorld in GWClearRect");
    EXPECT_DEATH(GWPaintRectWithAlpha(nullptr, Rect{0, 0, 1, 1}, RGBColor{0, 0, 0}, 255), "NIL GWorld in GWPaintRect");
    Img dot = MakeImage(1, 1, Pattern);
    EXPECT_DEATH(DrawRotatedImageInCGRect(nullptr, dot.get(), CGRectMake(0, 0, 1, 1), 0, false),
                 "NIL context for DrawRotatedImageInQDRect");
}

} // namespace
