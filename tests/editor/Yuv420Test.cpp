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

namespace {

// A smooth picture with sharp steps: colour bars over a gradient.
std::vector<uint8_t> Bars(int w, int h) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = &px[(static_cast<size_t>(y) * w + x) * 4];
            const int bar = x * 7 / w;
            p[0] = 255;
            p[1] = static_cast<uint8_t>((bar & 1) ? 235 : 20 + y * 200 / h);
            p[2] = static_cast<uint8_t>((bar & 2) ? 230 : 30);
            p[3] = static_cast<uint8_t>((bar & 4) ? 220 : 10 + x * 200 / w);
        }
    return px;
}

std::vector<uint8_t> ToArgbOf(const Planes &in, const RgbMatrix &m, bool simd) {
    std::vector<uint8_t> out(static_cast<size_t>(in.w) * in.h * 4, 0xEE);
    const uint8_t *const planes[3] = {in.y.data(), in.u.data(), in.v.data()};
    const int strides[3] = {in.w, (in.w + 1) / 2, (in.w + 1) / 2};
    Yuv420ToArgb(planes, strides, in.w, in.h, m, out.data(), 4L * in.w, simd);
    return out;
}

}  // namespace

TEST(Yuv420ToArgb, KernelsAgreeAndMatchTheExactInterpolation) {
    RgbMatrix m;
    ASSERT_TRUE(RgbMatrixFor(AVCOL_SPC_BT709, false, &m));
    const double kr = 0.2126, kb = 0.0722, kg = 1 - kr - kb;
    for (int w : {1, 15, 16, 17, 33, 70}) {
        for (int h : {1, 2, 5}) {
            Planes in(w, h);
            std::mt19937 rng(static_cast<unsigned>(w * 7 + h));
            for (auto *plane : {&in.y, &in.u, &in.v})
                for (auto &b : *plane) b = static_cast<uint8_t>(16 + rng() % 220);
            const auto fast = ToArgbOf(in, m, true), plain = ToArgbOf(in, m, false);
            if (Yuv420HasAVX2()) {
                ASSERT_EQ(fast, plain) << w << "x" << h;
            }
            const int cw = (w + 1) / 2, ch = (h + 1) / 2;
            // Chroma sited at block centres, 3/4 and 1/4 to the nearer and
            // farther sample each way, edges repeated.
            auto chroma = [&](const std::vector<uint8_t> &p, int x, int y) {
                const int cx = x / 2, sx = std::clamp((x & 1) ? cx + 1 : cx - 1, 0, cw - 1);
                const int cy = y / 2, sy = std::clamp((y & 1) ? cy + 1 : cy - 1, 0, ch - 1);
                auto at = [&](int i, int j) { return double(p[static_cast<size_t>(j) * cw + i]); };
                return (9 * at(cx, cy) + 3 * at(sx, cy) + 3 * at(cx, sy) + at(sx, sy)) / 16;
            };
            double worst = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const double Y = (in.y[static_cast<size_t>(y) * w + x] - 16) * 255.0 / 219;
                    const double U = (chroma(in.u, x, y) - 128) * 255.0 / 224;
                    const double V = (chroma(in.v, x, y) - 128) * 255.0 / 224;
                    const double rgb[3] = {Y + 2 * (1 - kr) * V, Y - 2 * kb * (1 - kb) / kg * U - 2 * kr * (1 - kr) / kg * V,
                                           Y + 2 * (1 - kb) * U};
                    const uint8_t *p = &plain[(static_cast<size_t>(y) * w + x) * 4];
                    ASSERT_EQ(p[0], 255);
                    for (int i = 0; i < 3; ++i) worst = std::max(worst, std::fabs(p[i + 1] - std::clamp(rgb[i], 0.0, 255.0)));
                }
            // Rounded to nearest, with 14-bit coefficients a few hundredths over.
            EXPECT_LE(worst, 0.6) << w << "x" << h;
        }
    }
}

TEST(Yuv420ToArgb, RoundTripKeepsColourBarsAndGradients) {
    const int w = 96, h = 54;
    const auto px = Bars(w, h);
    for (bool full : {false, true}) {
        YuvMatrix to;
        RgbMatrix back;
        ASSERT_TRUE(YuvMatrixFor(AVCOL_SPC_SMPTE170M, full, &to));
        ASSERT_TRUE(RgbMatrixFor(AVCOL_SPC_SMPTE170M, full, &back));
        Planes mid(w, h);
        mid.convert(px, to, true);
        const auto out = ToArgbOf(mid, back, true);
        // Away from the bars' edges, where chroma is smooth, colours come back.
        int worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int bar = x * 7 / w;
                if ((x - 2) * 7 / w != bar || (x + 2) * 7 / w != bar) continue;
                for (int i = 1; i < 4; ++i) {
                    const size_t k = (static_cast<size_t>(y) * w + x) * 4 + i;
                    worst = std::max(worst, std::abs(px[k] - out[k]));
                }
            }
        EXPECT_LE(worst, 3) << (full ? "full range" : "limited range");
    }
}
