// Image drawing against a plainly written double-precision reference, for
// seeded random transforms (case n uses seed n: a failure names its case and
// replays alone with --gtest_filter and QUARTZ_CASE=n), and the AVX2 kernels
// against the plain ones, pixel for pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numeric>
#include <string>

#include "QuartzTestUtil.h"

namespace {

struct Case {
    int w, h;                 // image size
    bool opaqueImage;
    bool opaqueBackground;
    CGAffineTransform ctm;
    CGRect rect;
};

Case MakeCase(int n) {
    std::mt19937 rng(static_cast<unsigned>(n));
    std::uniform_real_distribution<float> unit(0, 1);
    Case c;
    c.w = 1 + static_cast<int>(rng() % 40);
    c.h = 1 + static_cast<int>(rng() % 40);
    c.opaqueImage = rng() % 2;
    c.opaqueBackground = rng() % 2;
    const float angle = (n % 5 == 0) ? 0.0f : unit(rng) * 6.2831853f; // every fifth case upright
    const float sx = 0.3f + 3.5f * unit(rng), sy = (n % 3 == 0) ? sx : 0.3f + 3.5f * unit(rng);
    CGAffineTransform t = CGAffineTransformMakeTranslation(20 + 40 * unit(rng), 20 + 40 * unit(rng));
    t = CGAffineTransformRotate(t, angle);
    c.ctm = t;
    c.rect = CGRect{{-c.w * sx * unit(rng), -c.h * sy * unit(rng)}, {c.w * sx, c.h * sy}};
    return c;
}

// The reference: for every target pixel, the image point under its centre,
// bilinear filtering with edge clamping in double precision, and the
// pixel's covered area.
struct Reference {
    double inv[6]; // target memory space to image pixel space
    int w, h;
    const std::vector<uint8_t> *px;

    Reference(const Case &c, int canvasHeight, const std::vector<uint8_t> *pixels) : w(c.w), h(c.h), px(pixels) {
        // image -> user: x = rect.x + i * rw / w, y = rect.y + rect.h - j * rh / h
        const double rw = c.rect.size.width, rh = c.rect.size.height;
        const double ia = rw / w, id = -rh / h, itx = c.rect.origin.x, ity = c.rect.origin.y + rh;
        const CGAffineTransform &t = c.ctm;
        // user -> device (y up) -> memory (y down)
        const double a = t.a * ia, b = -(t.b * ia), cc = t.c * id, d = -(t.d * id);
        const double tx = t.a * itx + t.c * ity + t.tx, ty = canvasHeight - (t.b * itx + t.d * ity + t.ty);
        const double det = a * d - b * cc;
        inv[0] = d / det;
        inv[1] = -b / det;
        inv[2] = -cc / det;
        inv[3] = a / det;
        inv[4] = -(inv[0] * tx + inv[2] * ty);
        inv[5] = -(inv[1] * tx + inv[3] * ty);
    }

    void ToImage(double x, double y, double *u, double *v) const {
        *u = inv[0] * x + inv[2] * y + inv[4];
        *v = inv[1] * x + inv[3] * y + inv[5];
    }

    bool Inside(double x, double y) const {
        double u, v;
        ToImage(x, y, &u, &v);
        return u >= 0 && u <= w && v >= 0 && v <= h;
    }

    // The covered area: on 64 lines across the pixel, the exact length of
    // the line inside the image (the midpoint rule is exact for straight
    // edges between corners).
    double Coverage(int x, int y, bool *whole) const {
        *whole = Inside(x, y) && Inside(x + 1, y) && Inside(x, y + 1) && Inside(x + 1, y + 1);
        if (*whole) return 1.0;
        double sum = 0;
        for (int j = 0; j < 64; ++j) {
            const double yy = y + (j + 0.5) / 64;
            double lo = x, hi = x + 1;
            // u = inv0 x + inv2 yy + inv4 in [0, w]; v = inv1 x + inv3 yy + inv5 in [0, h].
            auto keep = [&](double k, double base, double max) {
                if (k == 0) {
                    if (base < 0 || base > max) hi = lo - 1;
                    return;
                }
                double a = -base / k, b = (max - base) / k;
                if (a > b) std::swap(a, b);
                lo = std::max(lo, a);
                hi = std::min(hi, b);
            };
            keep(inv[0], inv[2] * yy + inv[4], w);
            keep(inv[1], inv[3] * yy + inv[5], h);
            if (hi > lo) sum += hi - lo;
        }
        return sum / 64;
    }

    void Sample(int x, int y, double out[4]) const {
        double u, v;
        ToImage(x + 0.5, y + 0.5, &u, &v);
        const double su = u - 0.5, sv = v - 0.5;
        const int x0 = static_cast<int>(std::floor(su)), y0 = static_cast<int>(std::floor(sv));
        const double fx = su - x0, fy = sv - y0;
        auto tap = [&](int i, int j, int ch) {
            i = std::clamp(i, 0, w - 1);
            j = std::clamp(j, 0, h - 1);
            return static_cast<double>((*px)[(j * w + i) * 4 + ch]);
        };
        for (int ch = 0; ch < 4; ++ch)
            out[ch] = (1 - fy) * ((1 - fx) * tap(x0, y0, ch) + fx * tap(x0 + 1, y0, ch)) +
                      fy * ((1 - fx) * tap(x0, y0 + 1, ch) + fx * tap(x0 + 1, y0 + 1, ch));
    }
};

std::vector<uint8_t> Render(const Case &c, const std::vector<uint8_t> &px, const std::vector<uint8_t> &bg) {
    Canvas canvas(80, 80, 8);
    for (int y = 0; y < 80; ++y) std::copy_n(bg.data() + y * 320, 320, canvas.At(0, y));
    ImageHolder img(QVCGImageCreateWithARGB(c.w, c.h, c.w * 4, px.data()));
    CGContextConcatCTM(canvas.context, c.ctm);
    CGContextDrawImage(canvas.context, c.rect, img.image);
    std::vector<uint8_t> out(80 * 320);
    for (int y = 0; y < 80; ++y) std::copy_n(canvas.At(0, y), 320, out.data() + y * 320);
    return out;
}

// The largest difference from the reference over wholly covered pixels and
// over edge pixels, and how many pixels were wholly covered.
void Compare(const Case &c, const std::vector<uint8_t> &px, const std::vector<uint8_t> &bg,
             const std::vector<uint8_t> &got, int *worstInner, int *worstEdge, int *inner) {
    const Reference ref(c, 80, &px);
    *worstInner = *worstEdge = *inner = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) {
            bool whole;
            const double cov = ref.Coverage(x, y, &whole);
            const uint8_t *d = bg.data() + y * 320 + x * 4;
            const uint8_t *g = got.data() + y * 320 + x * 4;
            double s[4] = {0, 0, 0, 0};
            if (cov > 0) ref.Sample(x, y, s);
            for (int ch = 0; ch < 4; ++ch) {
                const double want = s[ch] * cov + d[ch] * (1 - s[0] * cov / 255);
                const int diff = std::abs(g[ch] - static_cast<int>(std::lround(want)));
                if (whole) *worstInner = std::max(*worstInner, diff);
                else *worstEdge = std::max(*worstEdge, diff);
            }
            *inner += whole;
        }
}

std::vector<int> Cases() {
    if (const char *one = std::getenv("QUARTZ_CASE")) return {std::atoi(one)};
    std::vector<int> cases(300);
    std::iota(cases.begin(), cases.end(), 1);
    return cases;
}

TEST(DrawReference, LargeUprightAndTurnedDrawsAgreeBetweenKernels) {
    // Big enough for the upright row path, whole-pixel copies and strips.
    if (!QVCGSIMDAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 rng(99);
    const int w = 301, h = 157;
    for (bool opaque : {false, true}) {
    const std::vector<uint8_t> px = RandomImagePixels(rng, w, h, opaque);
    ImageHolder img(QVCGImageCreateWithARGB(w, h, w * 4, px.data()));
    struct Draw {
        float angle, x, y, sw, sh;
    } draws[] = {{0, 0, 0, 640, 360}, {0, 3, -7, 301, 157}, {0, 10.5f, 4.25f, 602.5f, 313}, {0.376f, -50, -20, 700, 400},
                 {0, -100, -100, 150, 80}};
    for (const Draw &d : draws) {
        std::vector<uint8_t> out[2];
        for (int k = 0; k < 2; ++k) {
            KernelChoice choice(k == 1);
            Canvas c(640, 360, 4);
            c.Fill(255, 10, 20, 30);
            CGContextTranslateCTM(c.context, 320, 180);
            CGContextRotateCTM(c.context, d.angle);
            CGContextTranslateCTM(c.context, -320, -180);
            CGContextDrawImage(c.context, CGRect{{d.x, d.y}, {d.sw, d.sh}}, img.image);
            out[k] = c.pixels;
        }
        ASSERT_EQ(out[0], out[1]) << "draw at angle " << d.angle << " size " << d.sw << (opaque ? " opaque" : "");
    }
    }
}

// Renders a case with both kernel sets: they must agree pixel for pixel, and
// match the reference (one level inside, two at the edges).
void CheckBothKernels(const Case &c, unsigned seed, const std::string &what) {
    std::mt19937 rng(seed);
    const std::vector<uint8_t> px = RandomImagePixels(rng, c.w, c.h, c.opaqueImage);
    const std::vector<uint8_t> bg = RandomImagePixels(rng, 80, 80, c.opaqueBackground);
    std::vector<uint8_t> plain, simd;
    {
        KernelChoice k(false);
        plain = Render(c, px, bg);
    }
    int worstInner, worstEdge, inner;
    Compare(c, px, bg, plain, &worstInner, &worstEdge, &inner);
    ASSERT_LE(worstInner, 1) << what << ": wholly covered pixels (" << inner << ")";
    ASSERT_LE(worstEdge, 2) << what << ": edge pixels";
    if (!QVCGSIMDAvailable()) return;
    {
        KernelChoice k(true);
        simd = Render(c, px, bg);
    }
    for (size_t i = 0; i < plain.size(); ++i)
        ASSERT_EQ(plain[i], simd[i]) << what << ": pixel " << (i % 320) / 4 << "," << i / 320;
}

TEST(DrawReference, RandomTransformsMatchTheReferenceAndAgreeBetweenKernels) {
    for (int n : Cases()) CheckBothKernels(MakeCase(n), static_cast<unsigned>(n) * 7919u, "case " + std::to_string(n));
}

TEST(DrawReference, UprightDrawsOfEveryWidthAgreeAndMatchTheReference) {
    // Covered widths 1..40 give every length of a last partial block of eight
    // columns and widths below eight. Enlargements draw neighbouring rows
    // together from windows of eight source pixels; reductions read pairs
    // or single pixels; a mirrored draw steps leftwards; whole columns with
    // a threefold height mix copied and interpolated rows.
    struct Kind {
        float sx, sy, x, y;
        bool mirror;
    } kinds[] = {{2, 2, 3.25f, 2.5f, false}, {1.37f, 2.6f, 5.5f, 1.75f, false}, {0.6f, 0.8f, 2.75f, 3, false},
                 {0.3f, 1.5f, 4, 0.5f, false},  {1, 3, 6, 4, false},               {1.8f, 1.2f, 7.5f, 2, true}};
    unsigned seed = 1;
    for (const Kind &k : kinds)
        for (int width = 1; width <= 40; ++width)
            for (bool opaque : {false, true}) {
                Case c;
                c.w = std::max(1, static_cast<int>(std::lround(width / k.sx)));
                c.h = std::max(1, static_cast<int>(std::lround(60 / k.sy)));
                c.opaqueImage = c.opaqueBackground = opaque;
                c.ctm = k.mirror ? CGAffineTransformMake(-1, 0, 0, 1, 80, 0) : CGAffineTransformIdentity;
                const float w = k.sx == 1 ? static_cast<float>(c.w) : width + 0.4f;
                c.rect = CGRect{{k.x, k.y}, {w, c.h * k.sy}};
                CheckBothKernels(c, ++seed, "scale " + std::to_string(k.sx) + " x " + std::to_string(k.sy) +
                                                (k.mirror ? " mirrored" : "") + ", width " + std::to_string(width) +
                                                (opaque ? ", opaque" : ""));
            }
}

TEST(DrawReference, TurnedSpansOfEveryLengthAgreeAndMatchTheReference) {
    // Slight turns make row spans of every length around multiples of eight.
    unsigned seed = 1000;
    for (float angle : {0.02f, -0.035f, 0.6f})
        for (int width = 1; width <= 40; ++width)
            for (bool opaque : {false, true}) {
                Case c;
                c.w = std::max(1, width * 2 / 3);
                c.h = 30;
                c.opaqueImage = c.opaqueBackground = opaque;
                c.ctm = CGAffineTransformRotate(CGAffineTransformMakeTranslation(20, 15), angle);
                c.rect = CGRect{{0.3f, 0.6f}, {width + 0.25f, 45}};
                CheckBothKernels(c, ++seed, "angle " + std::to_string(angle) + ", width " + std::to_string(width) +
                                                (opaque ? ", opaque" : ""));
            }
}

} // namespace
