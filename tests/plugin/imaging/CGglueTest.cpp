// The bridge to Quartz drawing: rectangle conversion (the y flip), buffer
// snapshots, drawing into QuickDraw rectangles (placement, turn direction,
// clearing, alpha, blend mode) and the guarded failures.
#include <gtest/gtest.h>

#include <cmath>

#include "ImageTestSupport.h"
#include "ReferenceDraw.h"
#include "imaging/CGglue.h"
#include "imaging/offscreen.h"

using namespace imgtest;

namespace {

void ExpectCGRect(const CGRect &r, float x, float y, float w, float h) {
    EXPECT_EQ(r.origin.x, x);
    EXPECT_EQ(r.origin.y, y);
    EXPECT_EQ(r.size.width, w);
    EXPECT_EQ(r.size.height, h);
}

// An image of w x h pixels from a pattern, through a buffer.
CGImageRef MakeImage(int w, int h, const std::function<Px(int, int)> &pattern) {
    GW gw = MakeGW(w, h);
    Fill(gw.get(), pattern);
    return GWorld2CGImage(gw.get());
}

struct ImageRelease {
    void operator()(CGImage *i) const { CGImageRelease(i); }
};
using Img = std::unique_ptr<CGImage, ImageRelease>;

TEST(Rects, QuickDrawRectanglesFlipIntoQuartzCoordinates) {
    ExpectCGRect(QDRectToGCRect(Rect{10, 20, 110, 220}, Rect{0, 0, 480, 720}), 20, 370, 200, 100);
    ExpectCGRect(QDRectToGCRect(Rect{0, 0, 480, 720}, Rect{0, 0, 480, 720}), 0, 0, 720, 480);
    // Relative to a frame that does not start at the origin.
    ExpectCGRect(QDRectToGCRect(Rect{15, 25, 35, 45}, Rect{10, 20, 110, 220}), 5, 75, 20, 20);
    // Image-space crops are not flipped.
    ExpectCGRect(QDCrop2CGCrop(Rect{10, 20, 110, 220}, nullptr), 20, 10, 200, 100);
    ExpectCGRect(CGRectMake(1, 2, 3, 4), 1, 2, 3, 4);
}

TEST(Images, SnapshotsHoldTheBufferPixelsAndTheirSize) {
    GW gw = MakeGW(33, 7);  // an odd width: rows may be padded
    Fill(gw.get(), Pattern);
    Img image(GWorld2CGImage(gw.get()));
    ASSERT_TRUE(image);
    SInt32 w, h;
    GetImageDims(image.get(), w, h);
    EXPECT_EQ(w, 33);
    EXPECT_EQ(h, 7);
    const Rect r = GetImageRect(image.get());
    EXPECT_EQ(r.bottom, 7);
    EXPECT_EQ(r.right, 33);
    // Drawn back 1:1 it reproduces the buffer; later changes to the buffer
    // do not reach the snapshot.
    Put(gw.get(), 0, 0, Opaque(1, 2, 3));
    GW back = MakeGW(33, 7);
    DrawCGImageInQDRect(back.get(), image.get(), Rect{0, 0, 7, 33}, 0, false);
    Put(gw.get(), 0, 0, Pattern(0, 0));
    std::string diff;
    EXPECT_EQ(CountDifferences(gw.get(), back.get(), &diff), 0) << diff;

    const Rect none = GetImageRect(nullptr);
    EXPECT_EQ(none.bottom | none.right | none.top | none.left, 0);
    Img big(MakeImage(640, 480, [](int, int) { return Opaque(0, 0, 0); }));
    const Rect bigRect = GetImageRect(big.get());
    EXPECT_EQ(bigRect.bottom, 480);
    EXPECT_EQ(bigRect.right, 640);
}

TEST(Images, ProportionalFitFollowsTheImage) {
    Img image(MakeImage(400, 300, [](int, int) { return Opaque(0, 0, 0); }));
    const Rect fit = CalcProportionalImageForFrame(image.get(), Rect{0, 0, 100, 200});
    EXPECT_EQ(fit.right, 200);
    EXPECT_EQ(fit.bottom, 150);
    const Rect none = CalcProportionalImageForFrame(nullptr, Rect{0, 0, 100, 200});
    EXPECT_TRUE(none.right == none.left && none.bottom == none.top);
}

TEST(Draw, OnePixelImageFillsExactlyTheTargetRectangle) {
    Img dot(MakeImage(1, 1, [](int, int) { return Opaque(10, 200, 30); }));
    GW gw = MakeGW(40, 30);
    Fill(gw.get(), [](int, int) { return Opaque(255, 255, 255); });
    const Rect target = {5, 7, 25, 19};
    DrawCGImageInQDRect(gw.get(), dot.get(), target, 0, false);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = y >= 5 && y < 25 && x >= 7 && x < 19;
            ASSERT_EQ(Get(gw.get(), x, y), inside ? Opaque(10, 200, 30) : Opaque(255, 255, 255)) << x << "," << y;
        }
    // No image: nothing is drawn.
    DrawCGImageInQDRect(gw.get(), nullptr, Rect{0, 0, 30, 40}, 0, true);
    DrawCGImageInQDRectWithAlpha(gw.get(), nullptr, Rect{0, 0, 30, 40}, 0, true, 1, 0);
    EXPECT_EQ(Get(gw.get(), 0, 0), Opaque(255, 255, 255));
}

TEST(Draw, AQuarterTurnIsCounterClockwiseAboutTheTargetCentre) {
    // Left half red, right half blue.
    Img image(MakeImage(20, 10, [](int x, int) { return x < 10 ? Opaque(255, 0, 0) : Opaque(0, 0, 255); }));
    GW gw = MakeGW(400, 400);
    const Px white = Opaque(255, 255, 255);
    Fill(gw.get(), [&](int, int) { return white; });
    // 200 x 100 target centred at (200, 150): turned, its footprint is 100
    // wide and 200 high about the same centre.
    DrawCGImageInQDRect(gw.get(), image.get(), Rect{100, 100, 200, 300}, float(M_PI / 2), false);
    int minX = 400, maxX = -1, minY = 400, maxY = -1;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            if (Get(gw.get(), x, y) != white) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    EXPECT_NEAR(minX, 150, 1);
    EXPECT_NEAR(maxX, 249, 1);
    EXPECT_NEAR(minY, 50, 1);
    EXPECT_NEAR(maxY, 249, 1);
    // Turned counter-clockwise, the image's right (blue) half points up.
    EXPECT_EQ(Get(gw.get(), 200, 80), Opaque(0, 0, 255));
    EXPECT_EQ(Get(gw.get(), 200, 220), Opaque(255, 0, 0));
}

TEST(Draw, ClearFirstAlphaAndBlendModeReachTheDrawing) {
    // A half-transparent dark image (premultiplied) over opaque red.
    Img veil(MakeImage(4, 4, [](int, int) { return Px{128, 0, 0, 64}; }));
    const Rect target = {0, 0, 4, 4};
    auto redWorld = [] {
        GW gw = MakeGW(4, 4);
        Fill(gw.get(), [](int, int) { return Opaque(255, 0, 0); });
        return gw;
    };
    GW over = redWorld();
    DrawCGImageInQDRect(over.get(), veil.get(), target, 0, false);
    const Px blended = Get(over.get(), 2, 2);
    EXPECT_EQ(blended.a, 255);
    EXPECT_NEAR(blended.r, 127, 1);
    EXPECT_NEAR(blended.b, 64, 1);
    // Cleared first, nothing of the red shows through.
    GW cleared = redWorld();
    DrawCGImageInQDRect(cleared.get(), veil.get(), target, 0, true);
    EXPECT_EQ(Get(cleared.get(), 2, 2), (Px{128, 0, 0, 64}));

    // Global alpha: an opaque image at half strength; a negative alpha keeps
    // the default, opaque.
    Img blue(MakeImage(4, 4, [](int, int) { return Opaque(0, 0, 255); }));
    GW half = redWorld();
    DrawCGImageInQDRectWithAlpha(half.get(), blue.get(), target, 0, false, 0.5, 0);
    const Px h = Get(half.get(), 1, 1);
    EXPECT_NEAR(h.r, 128, 1);
    EXPECT_NEAR(h.b, 128, 1);
    GW full = redWorld();
    DrawCGImageInQDRectWithAlpha(full.get(), blue.get(), target, 0, false, -1, 0);
    EXPECT_EQ(Get(full.get(), 1, 1), Opaque(0, 0, 255));

    // The blend mode is passed through: multiply darkens, normal replaces.
    Img grey(MakeImage(4, 4, [](int, int) { return Opaque(100, 100, 100); }));
    auto lightWorld = [] {
        GW gw = MakeGW(4, 4);
        Fill(gw.get(), [](int, int) { return Opaque(200, 200, 200); });
        return gw;
    };
    GW normal = lightWorld(), multiply = lightWorld();
    DrawCGImageInQDRectWithAlpha(normal.get(), grey.get(), target, 0, false, 1, 0);
    DrawCGImageInQDRectWithAlpha(multiply.get(), grey.get(), target, 0, false, 1, 1);
    EXPECT_EQ(Get(normal.get(), 0, 0), Opaque(100, 100, 100));
    EXPECT_NEAR(Get(multiply.get(), 0, 0).g, 200 * 100 / 255, 1);
}

TEST(Draw, ScaledDrawingMatchesTheReferenceResampler) {
    // Enlarged 2.5 x 1.5 and turned by 0.3 radians, at 70 % alpha.
    GW srcGW = MakeGW(24, 16);
    Fill(srcGW.get(), Pattern);
    Img image(GWorld2CGImage(srcGW.get()));
    GW gw = MakeGW(100, 60);
    Fill(gw.get(), [](int x, int y) { return Opaque(UInt8(x * 2), 40, UInt8(y * 3)); });
    const Image background = Snapshot(gw.get());
    DrawCGImageInQDRectWithAlpha(gw.get(), image.get(), Rect{6, 20, 30, 80}, 0.3f, false, 0.7, 0);
    const Expected e = ReferenceDraw(Snapshot(srcGW.get()), 20, 6, 60, 24, 0.3, 0.7, background);
    const Comparison c = CompareWithReference(gw.get(), e, 1, 2, "cgglue-scaled");
    EXPECT_TRUE(c.ok()) << c;
    EXPECT_GT(c.insidePixels, 800);
}

TEST(Paint, ClearAndPaintWithAlphaCoverExactlyTheRectangle) {
    GW gw = MakeGW(10, 8);
    Fill(gw.get(), [](int, int) { return Opaque(9, 9, 9); });
    GWClearRect(gw.get(), Rect{2, 3, 6, 7});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = y >= 2 && y < 6 && x >= 3 && x < 7;
            ASSERT_EQ(Get(gw.get(), x, y), inside ? (Px{0, 0, 0, 0}) : Opaque(9, 9, 9)) << x << "," << y;
        }
    // Red 1.0, green 128/255, blue 0 at alpha 128/255 over the cleared hole:
    // premultiplied, that is (128, 128, 64, 0).
    GWPaintRectWithAlpha(gw.get(), Rect{2, 3, 6, 7}, RGBColor{65535, 32768, 0}, 128);
    const Px p = Get(gw.get(), 4, 4);
    EXPECT_EQ(p.a, 128);
    EXPECT_NEAR(p.r, 128, 1);
    EXPECT_NEAR(p.g, 64, 1);
    EXPECT_EQ(p.b, 0);
    EXPECT_EQ(Get(gw.get(), 2, 4), Opaque(9, 9, 9));
}

TEST(GuardsDeathTest, MissingBuffersAndContextsStopWithTheirMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(GWClearRect(nullptr, Rect{0, 0, 1, 1}), "NIL GWorld in GWClearRect");
    EXPECT_DEATH(GWPaintRectWithAlpha(nullptr, Rect{0, 0, 1, 1}, RGBColor{0, 0, 0}, 255), "NIL GWorld in GWPaintRect");
    Img dot(MakeImage(1, 1, [](int, int) { return Opaque(0, 0, 0); }));
    EXPECT_DEATH(DrawRotatedImageInCGRect(nullptr, dot.get(), CGRectMake(0, 0, 1, 1), 0, false),
                 "NIL context for DrawRotatedImageInQDRect");
}

} // namespace
