// The crop-and-zoom renderer against golden references: exact where the
// arithmetic is exact (identity, the crop in place), and against the
// independent reference resampler within a stated tolerance where the draw
// resamples (zoom, stretch, turn, shrink). Inside pixels may differ by at
// most kTolerance (1) per channel from the double-precision reference;
// pixels outside the drawn picture must be exactly the fill colour; edge
// pixels must lie between fill and picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ImageTestSupport.h"
#include "ReferenceDraw.h"
#include "engine/DataHandling.h"
#include "engine/callpixelfx.h"
#include "engine/lineEffect.h"
#include "engine/relrects.h"
#include "imaging/offscreen.h"

using namespace imgtest;

namespace {

constexpr int kTolerance = 1;
constexpr int kWidth = 720, kHeight = 480;

PluginDataRec DefaultConfig() {
    PluginDataRec c;
    std::memset(&c, 0, sizeof c);
    ResetConfig(&c, true);
    return c;
}

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = MakeGW(kWidth, kHeight);
        Fill(source_.get(), Pattern);
        dest_ = MakeGW(kWidth, kHeight);
        // Something that must not survive the render.
        Fill(dest_.get(), [](int, int) { return Opaque(1, 2, 3); });
    }
    void Render(const PluginDataRec &config, SInt32 frame = 0) {
        const Rect crop = Rel2Rect(config.StartRel, GetPortRect(dest_.get()));
        TheLineEffect(source_.get(), dest_.get(), crop, true, &config, frame, 100);
    }
    static Px FillOf(const PluginDataRec &c) {
        return Opaque(UInt8(c.Colors[0].red >> 8), UInt8(c.Colors[0].green >> 8), UInt8(c.Colors[0].blue >> 8));
    }
    // The expected output: the crop of the source drawn into the zoomed
    // rectangle over the fill, by the reference resampler.
    Expected Reference(const PluginDataRec &c, int cropLeft, int cropTop, int cropRight, int cropBottom,
                       double targetLeft, double targetTop, double targetWidth, double targetHeight,
                       double angle = 0) {
        Image background;
        background.w = kWidth;
        background.h = kHeight;
        background.px.assign(size_t(kWidth) * kHeight, FillOf(c));
        const Image crop = Crop(Snapshot(source_.get()), cropLeft, cropTop, cropRight, cropBottom);
        return ReferenceDraw(crop, targetLeft, targetTop, targetWidth, targetHeight, angle, 1.0, background);
    }
    void ExpectAllFill(const PluginDataRec &c) {
        const Px fill = FillOf(c);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) ASSERT_EQ(Get(dest_.get(), x, y), fill) << x << "," << y;
    }
    GW source_, dest_;
};

TEST_F(RendererTest, WithSlidersAtZeroTheCropStaysInPlaceExactlyInsideTheFill) {
    // The whole frame is the source itself; the centre region keeps a border
    // of the fill colour.
    for (const RelRect start : {RelRect{0, 1, 0, 1}, RelRect{0.25, 0.75, 0.25, 0.75}}) {
        PluginDataRec c = DefaultConfig();
        c.StartRel = start;
        c.Colors[0] = RGBColor{0, 65535, 0};
        Fill(dest_.get(), [](int, int) { return Opaque(1, 2, 3); });
        Render(c);
        const Rect in = Rel2Rect(start, GetPortRect(dest_.get()));
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool inside = x >= in.left && x < in.right && y >= in.top && y < in.bottom;
                ASSERT_EQ(Get(dest_.get(), x, y), inside ? Pattern(x, y) : Opaque(0, 255, 0)) << x << "," << y;
            }
    }
}

TEST_F(RendererTest, ZoomStretchTurnShrinkAndOutsideCropsMatchTheReferenceResampler) {
    struct Case {
        const char *name;
        RelRect start;
        SInt16 s1, s2, s3;
        int cropLeft, cropTop, cropRight, cropBottom;  // the crop clamped to the frame
        double left, top, width, height;              // the expected target rectangle
        double angle;
        int holeX = -1;  // a column of transparent source pixels (rows 100 to 139), or none
    };
    const RelRect centre{0.25, 0.75, 0.25, 0.75};
    const Case cases[] = {
        // Factor 2 both ways: the centre region fills the whole frame.
        {"zoom2x", centre, 1000, 1000, 0, 180, 120, 540, 360, 0, 0, 720, 480, 0},
        // Full width, own height: fill bands above and below.
        {"stretch-h", centre, 1000, 0, 0, 180, 120, 540, 360, 0, 120, 720, 240, 0},
        // A quarter turn about the target's centre.
        {"quarter-turn", centre, 0, 0, 25, 180, 120, 540, 360, 180, 120, 360, 240, M_PI / 2},
        // Half the extent, and a zoom with a slight turn.
        {"shrink-half", centre, -500, -500, 0, 180, 120, 540, 360, 270, 180, 180, 120, 0},
        {"zoom-turn", centre, 500, 250, 6, 180, 120, 540, 360, 90, 90, 540, 300, 6 * 2 * M_PI / 100},
        // Left -0.5 .. 0.5: the crop is clamped to x 0..360, the target is
        // -360..360, so only the right half of the doubled crop is visible.
        {"outside-crop", RelRect{-0.5, 0.5, 0, 1}, 0, 0, 0, 0, 0, 360, 480, -360, 0, 720, 480, 0},
        // The same with transparent pixels where the visible half begins
        // (column 179 feeds the first output column): the fill must show
        // through them, not what the destination held.
        {"outside-crop-hole", RelRect{-0.5, 0.5, 0, 1}, 0, 0, 0, 0, 0, 360, 480, -360, 0, 720, 480, 0, 179},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        PluginDataRec c = DefaultConfig();
        c.StartRel = k.start;
        c.Sliders[0] = k.s1;
        c.Sliders[1] = k.s2;
        c.Sliders[2] = k.s3;
        c.Colors[0] = RGBColor{0x2000, 0x8000, 0xFF00};
        Fill(source_.get(),
             [&](int x, int y) { return x == k.holeX && y >= 100 && y < 140 ? Px{0, 0, 0, 0} : Pattern(x, y); });
        Fill(dest_.get(), [](int, int) { return Opaque(1, 2, 3); });
        Render(c);
        const Expected e = Reference(c, k.cropLeft, k.cropTop, k.cropRight, k.cropBottom, k.left, k.top, k.width,
                                     k.height, float(k.angle));
        const Comparison cmp = CompareWithReference(dest_.get(), e, kTolerance, 2);
        EXPECT_TRUE(cmp.ok()) << cmp;
        EXPECT_GT(cmp.insidePixels, 10000);
    }
}

TEST_F(RendererTest, ShrinkingToNothingOrEmptyCropsLeaveOnlyTheFill) {
    // Factors of zero (a target of no extent), a StartRel of no extent, one
    // wholly outside the frame, and a mirrored one: nothing to copy or draw,
    // no crash, the fill is all that shows.
    PluginDataRec c;
    const std::pair<RelRect, SInt16> empties[] = {{{0.25, 0.75, 0.25, 0.75}, -1000}, {{0.5, 0.5, 0.2, 0.8}, 800},
                                                  {{1.5, 2.5, 0, 1}, 800}, {{0, 1, -3, -2}, 800},
                                                  {{0.75, 0.25, 0.75, 0.25}, 800}};
    for (const auto &[start, factor] : empties) {
        c = DefaultConfig();
        c.StartRel = start;
        c.Sliders[0] = c.Sliders[1] = factor;
        c.Colors[0] = RGBColor{0x1100, 0x2200, 0x3300};
        Fill(dest_.get(), [](int, int) { return Opaque(1, 2, 3); });
        Render(c);
        ExpectAllFill(c);
    }

    // Factors below zero turn the target inside out; far from the centre
    // only the fill shows.
    c = DefaultConfig();
    c.StartRel = RelRect{0.25, 0.75, 0.25, 0.75};
    c.Sliders[0] = c.Sliders[1] = -1500;
    Fill(dest_.get(), [](int, int) { return Opaque(1, 2, 3); });
    Render(c);
    EXPECT_EQ(Get(dest_.get(), 0, 0), FillOf(c));
    EXPECT_EQ(Get(dest_.get(), kWidth - 1, kHeight - 1), FillOf(c));
}

TEST_F(RendererTest, OnlyStartRelSlidersOneToThreeAndColourOneChangeThePicture) {
    PluginDataRec base = DefaultConfig();
    base.StartRel = RelRect{0.1, 0.6, 0.2, 0.9};
    base.Sliders[0] = 300;
    base.Sliders[1] = 200;
    base.Sliders[2] = 3;
    base.Colors[0] = RGBColor{0x4000, 0x5000, 0x6000};
    Render(base, 0);
    GW reference(MakeGWorldClone(dest_.get()));

    auto expectSame = [&](const PluginDataRec &c, SInt32 frame, const char *what) {
        Fill(dest_.get(), [](int, int) { return Opaque(1, 2, 3); });
        Render(c, frame);
        EXPECT_EQ(CountDifferences(reference.get(), dest_.get()), 0) << what;
    };
    for (SInt32 frame : {57, -5, 100000}) expectSame(base, frame, "frame index");
    PluginDataRec c = base;
    c.BlendMode = 2;
    c.EndRel = RelRect{0.4, 0.5, 0.4, 0.5};
    for (int i = 1; i < kColorCount; ++i) c.Colors[i] = RGBColor{UInt16(i * 9000), 1234, 65535};
    c.Sliders[3] = c.Sliders[4] = c.Sliders[5] = 999;
    c.MediaType = 3;
    c.KeepProps = c.Outside = true;
    expectSame(c, 0, "blend mode, EndRel, other colours, sliders and fields");
}

TEST(RendererDeathTest, DoEffectWithoutAConfigurationStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    GW a = MakeGW(8, 8), b = MakeGW(8, 8);
    EXPECT_DEATH(DoEffect(nullptr, nullptr, a.get(), b.get(), 0, 0, 0, 1, 0, 0, 0, nullptr),
                 "uninited theData in Plugin Effect master proc");
}

} // namespace
