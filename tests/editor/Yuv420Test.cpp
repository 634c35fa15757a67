// The host's own A, R, G, B to 4:2:0 converter: the AVX2 kernel against the
// plain one, both against the exact conversion, and the known colours.
#include "Yuv420.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace qvhost;

namespace {

struct Planes {
    int w, h;
    std::vector<uint8_t> y, u, v;
    Planes(int width, int height)
        : w(width), h(height), y(static_cast<size_t>(width) * height, 0xEE),
          u(static_cast<size_t>((width + 1) / 2) * ((height + 1) / 2), 0xEE), v(u.size(), 0xEE) {}
    void convert(const std::vector<uint8_t> &argb, const YuvMatrix &m, bool simd) {
        uint8_t *const planes[3] = {y.data(), u.data(), v.data()};
        const int strides[3] = {w, (w + 1) / 2, (w + 1) / 2};
        ArgbToYuv420(argb.data(), 4L * w, w, h, m, planes, strides, simd);
    }
};

std::vector<uint8_t> Noise(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    for (auto &b : px) b = static_cast<uint8_t>(rng());
    return px;
}

// The exact conversion in double precision, from the colour space's constants.
struct Exact {
    double kr, kb, ys, cs, yo;
    double luma(const uint8_t *p) const { return yo + ys * (kr * p[1] + (1 - kr - kb) * p[2] + kb * p[3]); }
    double cb(double r, double g, double b) const {
        return 128 + cs * (b - (kr * r + (1 - kr - kb) * g + kb * b)) / (2 * (1 - kb));
    }
    double cr(double r, double g, double b) const {
        return 128 + cs * (r - (kr * r + (1 - kr - kb) * g + kb * b)) / (2 * (1 - kr));
    }
};

}  // namespace

TEST(Yuv420, KernelsAgreeForEveryWidthAndHeightParity) {
    YuvMatrix m;
    ASSERT_TRUE(YuvMatrixFor(AVCOL_SPC_BT709, false, &m));
    if (!Yuv420HasAVX2()) GTEST_SKIP() << "no AVX2 here";
    // Widths around the 32-pixel block, odd ones included; odd heights.
    for (int w : {1, 2, 31, 32, 33, 63, 64, 65, 97, 130}) {
        for (int h : {1, 2, 3, 6, 7}) {
            const auto px = Noise(w, h, static_cast<unsigned>(w * 31 + h));
            Planes a(w, h), b(w, h);
            a.convert(px, m, true);
            b.convert(px, m, false);
            ASSERT_EQ(a.y, b.y) << w << "x" << h;
            ASSERT_EQ(a.u, b.u) << w << "x" << h;
            ASSERT_EQ(a.v, b.v) << w << "x" << h;
        }
    }
}

TEST(Yuv420, WithinOneLevelOfTheExactConversion) {
    struct Case {
        AVColorSpace space;
        bool full;
        Exact exact;
    } cases[] = {
        {AVCOL_SPC_BT709, false, {0.2126, 0.0722, 219.0 / 255, 224.0 / 255, 16}},
        {AVCOL_SPC_SMPTE170M, false, {0.299, 0.114, 219.0 / 255, 224.0 / 255, 16}},
        {AVCOL_SPC_BT2020_NCL, true, {0.2627, 0.0593, 1, 1, 0}},
    };
    const int w = 67, h = 9;
    const auto px = Noise(w, h, 7);
    for (const Case &c : cases) {
        YuvMatrix m;
        ASSERT_TRUE(YuvMatrixFor(c.space, c.full, &m));
        Planes out(w, h);
        out.convert(px, m, true);
        double worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                worst = std::max(worst, std::fabs(out.y[y * w + x] - c.exact.luma(&px[(y * w + x) * 4])));
        for (int y = 0; y < h; y += 2)
            for (int x = 0; x < w; x += 2) {
                // The 2 x 2 block, edge pixels repeated where it runs out.
                double r = 0, g = 0, b = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        const uint8_t *p = &px[(std::min(y + dy, h - 1) * w + std::min(x + dx, w - 1)) * 4];
                        r += p[1] / 4.0, g += p[2] / 4.0, b += p[3] / 4.0;
                    }
                const size_t i = static_cast<size_t>(y / 2) * ((w + 1) / 2) + x / 2;
                const double cb = std::clamp(c.exact.cb(r, g, b), 0.0, 255.0);
                const double cr = std::clamp(c.exact.cr(r, g, b), 0.0, 255.0);
                worst = std::max({worst, std::fabs(out.u[i] - cb), std::fabs(out.v[i] - cr)});
            }
        EXPECT_LE(worst, 0.5 + 1e-3) << "colour space " << c.space;  // rounded to nearest
    }
}

TEST(Yuv420, KnownColoursAndAlphaIgnored) {
    YuvMatrix m709, m601, full;
    ASSERT_TRUE(YuvMatrixFor(AVCOL_SPC_BT709, false, &m709));
    ASSERT_TRUE(YuvMatrixFor(AVCOL_SPC_SMPTE170M, false, &m601));
    ASSERT_TRUE(YuvMatrixFor(AVCOL_SPC_BT709, true, &full));
    EXPECT_FALSE(YuvMatrixFor(AVCOL_SPC_UNSPECIFIED, false, &m709));
    struct Case {
        uint8_t a, r, g, b;
        const YuvMatrix *m;
        int y, u, v;
    } cases[] = {
        {255, 255, 255, 255, &m709, 235, 128, 128}, {255, 0, 0, 0, &m709, 16, 128, 128},
        {255, 255, 0, 0, &m709, 63, 102, 240},      {255, 255, 0, 0, &m601, 81, 90, 240},
        {255, 0, 0, 255, &full, 18, 255, 116},      {0, 0, 0, 0, &m709, 16, 128, 128},
        {128, 255, 255, 255, &m709, 235, 128, 128},  // premultiplied colour as it stands
    };
    for (const Case &c : cases) {
        const int w = 40, h = 4;  // one AVX2 block and a plain tail
        std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
        for (size_t i = 0; i < px.size(); i += 4) px[i] = c.a, px[i + 1] = c.r, px[i + 2] = c.g, px[i + 3] = c.b;
        Planes out(w, h);
        out.convert(px, *c.m, true);
        for (int x : {0, 39}) EXPECT_EQ(out.y[x], c.y) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        for (int x : {0, 19}) {
            EXPECT_EQ(out.u[x], c.u) << int(c.r) << "," << int(c.g) << "," << int(c.b);
            EXPECT_EQ(out.v[x], c.v) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        }
    }
}
