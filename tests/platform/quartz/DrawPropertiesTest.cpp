// Properties of image drawing that hold exactly: a one-pixel image fills
// exactly its rectangle, identity draws copy pixels, a quarter turn maps
// pixels, premultiplied edges keep their colour, fractional edges get their
// area, and a positive angle turns counter-clockwise on screen. Each runs
// with the plain kernels and, where the processor has them, the AVX2 ones.
#include <gtest/gtest.h>

#include <cmath>

#include "QuartzTestUtil.h"

namespace {

class DrawProperties : public ::testing::TestWithParam<bool> {
  protected:
    DrawProperties() : choice_(GetParam()) {}
    void SetUp() override {
        if (GetParam() && !QVCGSIMDAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
    }
    KernelChoice choice_;
};

TEST_P(DrawProperties, OnePixelImageFillsExactlyItsRectangle) {
    const uint8_t px[4] = {200, 150, 100, 50};
    ImageHolder img(QVCGImageCreateWithARGB(1, 1, 4, px));
    Canvas c(40, 30);
    c.Fill(255, 1, 2, 3);
    // x 5..37, y (up) 3..24: memory rows 30-24 = 6 .. 30-3 = 27.
    CGContextDrawImage(c.context, CGRect{{5, 3}, {32, 21}}, img.image);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool in = x >= 5 && x < 37 && y >= 6 && y < 27;
            const uint8_t *p = c.At(x, y);
            if (in) {
                // 200/255 opaque source over opaque (1, 2, 3).
                ASSERT_EQ(p[0], 255) << x << "," << y;
                ASSERT_EQ(p[1], 150 + 0) << x << "," << y; // 1 * 55/255 rounds to 0
                ASSERT_EQ(p[2], 100 + 0);
                ASSERT_EQ(p[3], 50 + 1) << "3 * 55 / 255 rounds to 1";
            } else {
                ASSERT_EQ(p[1], 1) << "outside untouched at " << x << "," << y;
            }
        }
}

TEST_P(DrawProperties, FractionalEdgesGetTheirCoveredArea) {
    const uint8_t px[4] = {255, 255, 0, 0};
    ImageHolder img(QVCGImageCreateWithARGB(1, 1, 4, px));
    Canvas c(10, 4);
    // x from 2.25 to 7.5 over rows y 0..4 (all rows).
    CGContextDrawImage(c.context, CGRect{{2.25f, 0}, {5.25f, 4}}, img.image);
    const int expected[10] = {0, 0, 191, 255, 255, 255, 255, 128, 0, 0}; // 0.75 and 0.5 of 255
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(c.At(x, 1)[0], expected[x]) << x;
        EXPECT_EQ(c.At(x, 1)[1], expected[x]) << "colour scales with coverage at " << x;
        EXPECT_EQ(c.At(x, 1)[2], 0);
    }
    CGContextSetShouldAntialias(c.context, false);
    Canvas d(10, 4);
    CGContextSetShouldAntialias(d.context, false);
    CGContextDrawImage(d.context, CGRect{{2.25f, 0}, {5.25f, 4}}, img.image);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(d.At(x, 1)[0], (x >= 2 && x < 7) ? 255 : 0) << "centres 2.5 .. 6.5 are inside, 7.5 is not: " << x;
}

TEST_P(DrawProperties, IdentityDrawsAreExactAtAnyWholeOffset) {
    std::mt19937 rng(7);
    for (bool opaque : {true, false}) {
        const int w = 37, h = 23;
        std::vector<uint8_t> px = RandomImagePixels(rng, w, h, opaque);
        ImageHolder img(QVCGImageCreateWithARGB(w, h, w * 4, px.data()));
        Canvas c(50, 40, 12);
        std::vector<uint8_t> bg = RandomImagePixels(rng, 50, 40, true);
        for (int y = 0; y < 40; ++y) std::copy_n(bg.data() + y * 200, 200, c.At(0, y));
        // Partly outside on the left and the top.
        const int ox = -5, oyTop = -3;
        CGContextDrawImage(c.context, CGRect{{float(ox), float(40 - (oyTop + h))}, {float(w), float(h)}}, img.image);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x) {
                const int sx = x - ox, sy = y - oyTop;
                const uint8_t *d = c.At(x, y);
                const uint8_t *b = bg.data() + y * 200 + x * 4;
                if (sx < 0 || sx >= w || sy < 0 || sy >= h) {
                    ASSERT_TRUE(std::equal(d, d + 4, b)) << x << "," << y;
                    continue;
                }
                const uint8_t *s = px.data() + (sy * w + sx) * 4;
                for (int i = 0; i < 4; ++i) {
                    const int want = s[i] + static_cast<int>(std::lround(b[i] * (255 - s[0]) / 255.0));
                    ASSERT_EQ(d[i], std::min(255, want)) << x << "," << y << " channel " << i;
                }
            }
    }
}

TEST_P(DrawProperties, QuarterTurnMapsPixelsExactly) {
    // The 200 x 100 target of the bridge, turned about its centre: the
    // footprint is 100 wide and 200 high, centred on (150, 150).
    std::mt19937 rng(11);
    const int w = 200, h = 100;
    std::vector<uint8_t> px = RandomImagePixels(rng, w, h, true);
    ImageHolder img(QVCGImageCreateWithARGB(w, h, w * 4, px.data()));
    Canvas c(300, 300);
    CGContextSaveGState(c.context);
    CGContextTranslateCTM(c.context, 150, 150);
    CGContextRotateCTM(c.context, static_cast<CGFloat>(M_PI / 2));
    CGContextDrawImage(c.context, CGRect{{-100, -50}, {200, 100}}, img.image);
    CGContextRestoreGState(c.context);
    int covered = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            const uint8_t *d = c.At(x, y);
            const bool in = x >= 100 && x < 200 && y >= 50 && y < 250;
            if (!in) {
                ASSERT_EQ(d[0], 0) << x << "," << y;
                continue;
            }
            ++covered;
            // Counter-clockwise on screen: the image's top row becomes the
            // left column, its left column the bottom row.
            const int sx = 249 - y, sy = x - 100;
            const uint8_t *s = px.data() + (sy * w + sx) * 4;
            ASSERT_TRUE(std::equal(d, d + 4, s)) << x << "," << y;
        }
    EXPECT_EQ(covered, 100 * 200);
}

TEST_P(DrawProperties, PremultipliedFadingEdgeKeepsItsColour) {
    // Pure orange whose alpha fades from 255 to 0 across the image, scaled
    // and turned: every drawn pixel keeps the hue, without dark fringes.
    const int w = 16, h = 9;
    std::vector<uint8_t> px(w * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = px.data() + (y * w + x) * 4;
            const int a = 255 - x * 17;
            p[0] = static_cast<uint8_t>(a);
            p[1] = static_cast<uint8_t>(a);
            p[2] = static_cast<uint8_t>(a / 2);
            p[3] = 0;
        }
    ImageHolder img(QVCGImageCreateWithARGB(w, h, w * 4, px.data()));
    Canvas c(120, 100);
    CGContextTranslateCTM(c.context, 60, 50);
    CGContextRotateCTM(c.context, 0.37f);
    CGContextDrawImage(c.context, CGRect{{-45.3f, -20.1f}, {90.7f, 41.9f}}, img.image);
    int drawn = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 120; ++x) {
            const uint8_t *d = c.At(x, y);
            if (d[0] == 0) {
                ASSERT_EQ(d[1] | d[2] | d[3], 0) << "transparent pixels carry no colour at " << x << "," << y;
                continue;
            }
            ++drawn;
            ASSERT_LE(std::abs(d[1] - d[0]), 1) << x << "," << y;
            ASSERT_LE(std::abs(2 * d[2] - d[0]), 3) << x << "," << y;
            ASSERT_EQ(d[3], 0);
        }
    EXPECT_GT(drawn, 3000);
}

TEST_P(DrawProperties, PositiveAngleTurnsCounterClockwiseOnScreen) {
    // A marker at the image's right end, turned a quarter: it must end up
    // above the centre on screen (a smaller memory row).
    const uint8_t px[8] = {255, 0, 0, 0, 255, 255, 255, 255};
    ImageHolder img(QVCGImageCreateWithARGB(2, 1, 8, px));
    Canvas c(40, 40);
    CGContextTranslateCTM(c.context, 20, 20);
    CGContextRotateCTM(c.context, static_cast<CGFloat>(M_PI / 2));
    CGContextDrawImage(c.context, CGRect{{-10, -2}, {20, 4}}, img.image);
    EXPECT_EQ(c.At(20, 12)[1], 255) << "white end above the centre";
    EXPECT_EQ(c.At(20, 28)[1], 0) << "black end below";
    EXPECT_EQ(c.At(20, 28)[0], 255);
}

INSTANTIATE_TEST_SUITE_P(Kernels, DrawProperties, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "AVX2" : "Plain"; });

} // namespace
