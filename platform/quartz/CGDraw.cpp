// The pixel engine: coverage of parallelograms, source-over compositing,
// the clamping sampler, the row scanner that hands whole spans to the
// kernels, and the plain C++ kernels (the reference for the AVX2 ones).
#include "quartz/CGDraw.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

namespace cgdraw {
namespace {

// ---- Geometry ----

struct Pt {
    double x, y;
};

bool Invert(const Affine &m, Affine *out) {
    const double det = m.a * m.d - m.b * m.c;
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
    const double id = 1.0 / det;
    out->a = m.d * id;
    out->b = -m.b * id;
    out->c = -m.c * id;
    out->d = m.a * id;
    out->tx = -(out->a * m.tx + out->c * m.ty);
    out->ty = -(out->b * m.tx + out->d * m.ty);
    return std::isfinite(out->tx) && std::isfinite(out->ty);
}

Pt Apply(const Affine &m, double x, double y) { return Pt{m.a * x + m.c * y + m.tx, m.b * x + m.d * y + m.ty}; }

// Snaps values that are within rounding noise of a whole pixel onto it, so
// that shapes on pixel boundaries give whole pixels.
constexpr double kSnap = 1e-4;
double Snap(double v) {
    const double r = std::nearbyint(v);
    return std::fabs(v - r) < kSnap ? r : v;
}

// A convex quadrilateral (the mapped rectangle), counter-clockwise or not.
struct Quad {
    Pt p[4];
    double minY, maxY;

    explicit Quad(const Affine &m, double w, double h) {
        p[0] = Apply(m, 0, 0);
        p[1] = Apply(m, w, 0);
        p[2] = Apply(m, w, h);
        p[3] = Apply(m, 0, h);
        for (Pt &q : p) {
            q.x = Snap(q.x);
            q.y = Snap(q.y);
        }
        minY = std::min({p[0].y, p[1].y, p[2].y, p[3].y});
        maxY = std::max({p[0].y, p[1].y, p[2].y, p[3].y});
    }

    bool Finite() const {
        for (const Pt &q : p)
            if (!std::isfinite(q.x) || !std::isfinite(q.y)) return false;
        return true;
    }

    // x extent of the quad on the line at height y; false when it misses.
    bool LineExtent(double y, double *l, double *r) const {
        double lo = INFINITY, hi = -INFINITY;
        for (int i = 0; i < 4; ++i) {
            const Pt &a = p[i], &b = p[(i + 1) & 3];
            if (a.y == b.y) {
                if (a.y == y) {
                    lo = std::min({lo, a.x, b.x});
                    hi = std::max({hi, a.x, b.x});
                }
                continue;
            }
            if (y < std::min(a.y, b.y) || y > std::max(a.y, b.y)) continue;
            const double x = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
        if (lo > hi) return false;
        *l = lo;
        *r = hi;
        return true;
    }

    // x extent of the part of the quad between heights y0 and y1, given the
    // extents of the lines at y0 and y1 (null where the line misses).
    bool StripExtent(double y0, double y1, double *l, double *r, const double *l0, const double *r0,
                     const double *l1, const double *r1) const {
        double lo = INFINITY, hi = -INFINITY;
        for (const Pt &q : p)
            if (q.y >= y0 && q.y <= y1) {
                lo = std::min(lo, q.x);
                hi = std::max(hi, q.x);
            }
        if (l0) {
            lo = std::min(lo, *l0);
            hi = std::max(hi, *r0);
        }
        if (l1) {
            lo = std::min(lo, *l1);
            hi = std::max(hi, *r1);
        }
        if (lo > hi) return false;
        *l = lo;
        *r = hi;
        return true;
    }

    // Area of the unit pixel square at (x, y) inside the quad.
    double Coverage(int x, int y) const {
        Pt bufA[12], bufB[12];
        Pt *poly = bufA, *next = bufB;
        int n = 4;
        poly[0] = {double(x), double(y)};
        poly[1] = {double(x + 1), double(y)};
        poly[2] = {double(x + 1), double(y + 1)};
        poly[3] = {double(x), double(y + 1)};
        // Orientation of the quad decides which side is inside.
        double area2 = 0;
        for (int i = 0; i < 4; ++i) area2 += p[i].x * p[(i + 1) & 3].y - p[(i + 1) & 3].x * p[i].y;
        const double sign = area2 >= 0 ? 1.0 : -1.0;
        for (int e = 0; e < 4 && n > 0; ++e) {
            const Pt &a = p[e], &b = p[(e + 1) & 3];
            auto side = [&](const Pt &q) { return sign * ((b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x)); };
            // An edge with the whole pixel on its inside cuts nothing (most
            // edges, for a pixel on the quad's border).
            const Pt corners[4] = {{double(x), double(y)}, {double(x + 1), double(y)}, {double(x + 1), double(y + 1)},
                                   {double(x), double(y + 1)}};
            if (side(corners[0]) >= 0 && side(corners[1]) >= 0 && side(corners[2]) >= 0 && side(corners[3]) >= 0)
                continue;
            int m = 0;
            for (int i = 0; i < n; ++i) {
                const Pt &s = poly[i], &t = poly[(i + 1) % n];
                const double ds = side(s), dt = side(t);
                if (ds >= 0) next[m++] = s;
                if ((ds >= 0) != (dt >= 0)) {
                    const double k = ds / (ds - dt);
                    next[m++] = Pt{s.x + k * (t.x - s.x), s.y + k * (t.y - s.y)};
                }
            }
            n = m;
            std::swap(poly, next);
        }
        double a2 = 0;
        for (int i = 0; i < n; ++i) a2 += poly[i].x * poly[(i + 1) % n].y - poly[(i + 1) % n].x * poly[i].y;
        const double cov = std::fabs(a2) * 0.5;
        return cov > 1 - 1e-6 ? 1.0 : cov;
    }
};

// The pixels of one target row, by kind.
struct RowSpans {
    int xa = 0, xb = 0;   // any coverage
    int xf0 = 0, xf1 = 0; // whole coverage
};

RowSpans ScanRow(const Quad &q, int row, int width, bool antialias) {
    RowSpans s;
    double l, r;
    if (!antialias) {
        // Pixel centres inside, left edge inclusive, right edge exclusive.
        if (q.LineExtent(row + 0.5, &l, &r)) {
            s.xa = s.xf0 = std::clamp(static_cast<int>(std::ceil(l - 0.5)), 0, width);
            s.xb = s.xf1 = std::clamp(static_cast<int>(std::ceil(r - 0.5)), s.xa, width);
        }
        return s;
    }
    // The strip's extent from its corners and its two boundary lines (each
    // line found once).
    double l1, r1, l2, r2;
    const bool top = q.LineExtent(row, &l1, &r1), bottom = q.LineExtent(row + 1, &l2, &r2);
    if (!q.StripExtent(row, row + 1, &l, &r, top ? &l1 : nullptr, top ? &r1 : nullptr, bottom ? &l2 : nullptr,
                       bottom ? &r2 : nullptr))
        return s;
    s.xa = std::clamp(static_cast<int>(std::floor(l + kSnap)), 0, width);
    s.xb = std::clamp(static_cast<int>(std::ceil(r - kSnap)), s.xa, width);
    if (top && bottom) {
        const int f0 = static_cast<int>(std::ceil(std::max(l1, l2) - kSnap));
        const int f1 = static_cast<int>(std::floor(std::min(r1, r2) + kSnap));
        s.xf0 = std::clamp(f0, s.xa, s.xb);
        s.xf1 = std::clamp(f1, s.xf0, s.xb);
    } else {
        s.xf0 = s.xf1 = s.xa;
    }
    return s;
}

// ---- Compositing ----

// Composites one premultiplied source pixel s (channels 0..1, memory order A,
// R, G, B; global alpha already applied) over d with coverage cov.
void Composite(const double s[4], uint8_t d[4], double cov) {
    const double as = s[0];
    for (int i = 0; i < 4; ++i) {
        const double D = d[i] / 255.0, R = s[i] + D * (1 - as);
        d[i] = static_cast<uint8_t>(std::clamp(std::nearbyint((D + (R - D) * cov) * 255.0), 0.0, 255.0));
    }
}

// ---- Sampling ----

// The filtered sample at column col of a row, clamping taps to the edge.
void SampleClamped(const Source &src, const RowMap &m, int col, bool nearest, uint8_t out[4]) {
    int64_t U, V;
    FixedPosition(m, col, &U, &V);
    const int w = src.width, h = src.height;
    if (nearest) {
        const int64_t x = std::clamp<int64_t>((U + 32768) >> 16, 0, w - 1);
        const int64_t y = std::clamp<int64_t>((V + 32768) >> 16, 0, h - 1);
        std::memcpy(out, src.data + y * src.rowBytes + x * 4, 4);
        return;
    }
    const int64_t x0 = U >> 16, y0 = V >> 16;
    const int16_t fx = static_cast<int16_t>((U & 0xFFFF) >> 1), fy = static_cast<int16_t>((V & 0xFFFF) >> 1);
    const int64_t xa = std::clamp<int64_t>(x0, 0, w - 1), xb = std::clamp<int64_t>(x0 + 1, 0, w - 1);
    const int64_t ya = std::clamp<int64_t>(y0, 0, h - 1), yb = std::clamp<int64_t>(y0 + 1, 0, h - 1);
    const uint8_t *t0 = src.data + ya * src.rowBytes + xa * 4, *t1 = src.data + ya * src.rowBytes + xb * 4;
    const uint8_t *b0 = src.data + yb * src.rowBytes + xa * 4, *b1 = src.data + yb * src.rowBytes + xb * 4;
    for (int i = 0; i < 4; ++i) {
        const int16_t top = Lerp7(static_cast<int16_t>(t0[i] << 7), static_cast<int16_t>(t1[i] << 7), fx);
        const int16_t bot = Lerp7(static_cast<int16_t>(b0[i] << 7), static_cast<int16_t>(b1[i] << 7), fx);
        out[i] = Round7(Lerp7(top, bot, fy));
    }
}

// ---- Kernel choice ----

bool DetectAVX2() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

const bool kHaveAVX2 = DetectAVX2();
std::atomic<bool> gUseSIMD{kHaveAVX2};

struct Kernels {
    SpanOverFn spanOver;
    SpanSampleFn spanSample;
    RowHorizontalFn rowHorizontal;
    RowVerticalOverFn rowVerticalOver;
    CopyOverFn copyOver;
};

Kernels CurrentKernels() {
#if defined(__x86_64__) || defined(__i386__)
    if (gUseSIMD.load(std::memory_order_relaxed))
        return Kernels{SpanOverAVX2, SpanSampleAVX2, RowHorizontalAVX2, RowVerticalOverAVX2, CopyOverAVX2};
#endif
    return Kernels{SpanOverScalar, SpanSampleScalar, RowHorizontalScalar, RowVerticalOverScalar, CopyOverScalar};
}

// ---- Drawing an image ----

// Everything about one target row that a drawing needs.
struct RowPlan {
    RowSpans spans;
    RowMap map;
    int s0 = 0, s1 = 0; // columns whose taps all lie inside the source
};

struct ImageDraw {
    const Surface &dst;
    const Source &src;
    const Paint &paint;
    Affine inv;
    Quad quad;
    Kernels k;
    bool simpleOver; // full alpha, bilinear: the kernels composite themselves
    bool kernelsFit; // positions step small enough for the span kernels
    std::vector<uint8_t> samples;
    std::vector<RowPlan> plans; // rows r0 .. r1 - 1
    int r0 = 0, r1 = 0;

    ImageDraw(const Surface &d, const Source &s, const Affine &m, const Paint &p, const Affine &inverse)
        : dst(d), src(s), paint(p), inv(inverse), quad(m, s.width, s.height), k(CurrentKernels()) {
        simpleOver = paint.alpha >= 1.0 && !paint.nearest;
        kernelsFit = std::fabs(inv.a) < 4096 && std::fabs(inv.b) < 4096 && !paint.nearest;
    }

    RowMap MapRow(int row) const {
        return MakeRowMap(inv.a * 0.5 + inv.c * (row + 0.5) + inv.tx - 0.5, inv.a,
                          inv.b * 0.5 + inv.d * (row + 0.5) + inv.ty - 0.5, inv.b);
    }

    // Columns whose four taps lie inside the source, exactly for the fixed-
    // point positions the kernels use: 0 <= x0 and x0 + 1 <= w - 1, where
    // x0 = (B + c D + 2^15) >> 32, i.e. 0 <= B + c D + 2^15 < (w - 1) 2^32
    // (and the same for the rows unless only the horizontal taps matter).
    void SafeColumns(const RowMap &m, int *c0, int *c1, bool horizontalOnly = false) const {
        int64_t lo = -(int64_t(1) << 30), hi = int64_t(1) << 30; // inclusive
        auto floorDiv = [](int64_t a, int64_t b) {
            const int64_t q = a / b;
            return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
        };
        auto ceilDiv = [&](int64_t a, int64_t b) { return -floorDiv(-a, b); };
        auto limit = [&](int64_t B, int64_t D, int size) {
            const int64_t K = B + 32768, M = static_cast<int64_t>(size - 1) << 32;
            if (M <= 0) {
                lo = 1, hi = 0;
            } else if (D == 0) {
                if (K < 0 || K >= M) lo = 1, hi = 0;
            } else if (D > 0) {
                lo = std::max(lo, ceilDiv(-K, D));
                hi = std::min(hi, floorDiv(M - 1 - K, D));
            } else {
                lo = std::max(lo, ceilDiv(M - 1 - K, D));
                hi = std::min(hi, floorDiv(-K, D));
            }
        };
        limit(m.Bu, m.Du, src.width);
        if (!horizontalOnly) limit(m.Bv, m.Dv, src.height);
        if (lo > hi) {
            *c0 = *c1 = 0;
            return;
        }
        *c0 = static_cast<int>(lo);
        *c1 = static_cast<int>(hi + 1);
    }

    void EdgePixel(uint8_t *row, int col, const RowMap &m, double cov) {
        uint8_t s[4];
        SampleClamped(src, m, col, paint.nearest, s);
        double S[4];
        const double ka = paint.alpha / 255.0;
        for (int i = 0; i < 4; ++i) S[i] = s[i] * ka;
        Composite(S, row + col * 4, cov);
    }

    void WholePixel(uint8_t *row, int col, const RowMap &m) {
        if (simpleOver) {
            uint8_t s[4];
            SampleClamped(src, m, col, false, s);
            OverPixel(s, row + col * 4);
        } else {
            EdgePixel(row, col, m, 1.0);
        }
    }

    // Pixels [x0, x1) of one row, all wholly covered.
    void WholeSpan(uint8_t *row, int x0, int x1, const RowPlan &p) {
        const RowMap &m = p.map;
        const int k0 = std::clamp(p.s0, x0, x1), k1 = std::clamp(p.s1, k0, x1);
        for (int c = x0; c < k0; ++c) WholePixel(row, c, m);
        if (k1 > k0) {
            if (simpleOver) {
                k.spanOver(src, row, k0, k1, m);
            } else {
                samples.resize(static_cast<size_t>(k1 - k0) * 4);
                k.spanSample(src, samples.data(), k0, k1, m);
                const double ka = paint.alpha / 255.0;
                for (int c = k0; c < k1; ++c) {
                    double S[4];
                    for (int i = 0; i < 4; ++i) S[i] = samples[(c - k0) * 4 + i] * ka;
                    Composite(S, row + c * 4, 1.0);
                }
            }
        }
        for (int c = k1; c < x1; ++c) WholePixel(row, c, m);
    }

    // One row, limited to columns [lim0, lim1), skipping [skip0, skip1).
    void Row(int r, int lim0, int lim1, int skip0 = 0, int skip1 = 0) {
        const RowPlan &p = plans[r - r0];
        const int xa = std::max(p.spans.xa, lim0), xb = std::min(p.spans.xb, lim1);
        if (xa >= xb) return;
        uint8_t *row = dst.data + static_cast<size_t>(r) * dst.rowBytes;
        const int f0 = std::clamp(p.spans.xf0, xa, xb), f1 = std::clamp(p.spans.xf1, f0, xb);
        auto partial = [&](int c0, int c1) {
            for (int c = c0; c < c1; ++c) {
                if (c >= skip0 && c < skip1) continue;
                const double cov = quad.Coverage(c, r);
                if (cov > 0) EdgePixel(row, c, p.map, cov);
            }
        };
        partial(xa, f0);
        // The wholly covered part, minus what the caller already drew.
        if (skip1 > skip0 && skip0 < f1 && skip1 > f0) {
            if (f0 < skip0) WholeSpan(row, f0, skip0, p);
            if (skip1 < f1) WholeSpan(row, skip1, f1, p);
        } else if (f1 > f0) {
            WholeSpan(row, f0, f1, p);
        }
        partial(f1, xb);
    }

    // Upright scaling at full alpha: the columns that are wholly
    // covered and horizontally inside the source go through the separable
    // kernels for every wholly covered row (rows above and below the source
    // repeat its edge rows, as the clamping sampler does); false when the
    // draw is not of that kind.
    bool Upright() {
        if (!(inv.b == 0 && inv.c == 0 && simpleOver && kernelsFit)) return false;
        const RowMap &first = plans.front().map;
        // The same wholly covered columns in every row; the rows where they are.
        int f0 = 0, f1 = dst.width, ra = r1, rb = r0;
        for (int r = r0; r < r1; ++r) {
            const RowSpans &sp = plans[r - r0].spans;
            if (sp.xf1 <= sp.xf0) continue;
            f0 = std::max(f0, sp.xf0);
            f1 = std::min(f1, sp.xf1);
            ra = std::min(ra, r);
            rb = std::max(rb, r + 1);
        }
        if (f1 <= f0 || rb <= ra) return false;
        // Whole-pixel placement (one source pixel a column, no fraction):
        // those rows are copies, which need no right-hand tap, so they reach
        // the source's last column too.
        int64_t U0, V0;
        FixedPosition(first, f0, &U0, &V0);
        const bool whole = first.Du == (int64_t(1) << 32) && (U0 & 0xFFFF) == 0;
        const int64_t shift = (U0 >> 16) - f0; // source column = target column + shift
        const int cc0 = whole ? static_cast<int>(std::max<int64_t>(f0, -shift)) : 0;
        const int cc1 = whole ? static_cast<int>(std::max<int64_t>(cc0, std::min<int64_t>(f1, src.width - shift))) : 0;

        // Every wholly covered column: taps outside the source are clamped to
        // its edge, as the clamping sampler does (both taps then coincide and
        // the weight does not matter).
        const int n = f1 - f0, w = src.width, blocks = BlockCount(n);
        const int c0 = f0, c1 = f1;
        std::vector<int32_t> xa(n), xb(n), window(blocks), windowIndex(static_cast<size_t>(blocks) * 8, 0);
        std::vector<int16_t> fx(n), weights(static_cast<size_t>(blocks) * 32, 0);
        for (int c = c0; c < c1; ++c) {
            int64_t U, V;
            FixedPosition(first, c, &U, &V);
            xa[c - c0] = static_cast<int32_t>(std::clamp<int64_t>(U >> 16, 0, w - 1));
            xb[c - c0] = static_cast<int32_t>(std::clamp<int64_t>((U >> 16) + 1, 0, w - 1));
            fx[c - c0] = static_cast<int16_t>((U & 0xFFFF) >> 1);
        }
        // Per block: for enlargements, eight neighbouring columns read at most
        // eight neighbouring source pixels, which the kernels load at once.
        for (int g = 0; g < blocks; ++g) {
            const int start = BlockStart(n, g), len = std::min(8, n - start);
            int32_t lo = xa[start], hi = xb[start];
            bool pairs = true;
            for (int k = 0; k < len; ++k) {
                const int j = start + k;
                lo = std::min(lo, xa[j]);
                hi = std::max(hi, xb[j]);
                pairs = pairs && xb[j] == xa[j] + 1;
                std::fill_n(weights.data() + g * 32 + BlockSlot(k) * 4, 4, fx[j]);
            }
            if (len == 8 && w >= 8 && hi - lo <= 7) {
                const int32_t base = std::min(lo, w - 8);
                window[g] = base;
                for (int k = 0; k < 8; ++k)
                    windowIndex[g * 8 + k] = (xa[start + k] - base) | (xb[start + k] - base) << 8;
            } else {
                window[g] = pairs && len == 8 ? ColumnMap::kPairs : ColumnMap::kOneByOne;
            }
        }
        const ColumnMap cm{xa.data(), xb.data(), weights.data(), window.data(), windowIndex.data()};
        std::vector<int16_t> h0(static_cast<size_t>(blocks) * 32), h1(static_cast<size_t>(blocks) * 32);
        int64_t row0 = -1, row1 = -1; // source rows held in h0, h1
        bool opaque0 = false, opaque1 = false;
        const int64_t last = src.height - 1;
        std::vector<std::pair<int, int>> done(rb - ra, {0, 0}); // columns drawn per row
        // The two source rows and the weight of a target row, and whether it
        // is a copy.
        struct Taps {
            int64_t ya, yb;
            int16_t fy;
            bool copy;
        };
        auto tapsOf = [&](int r) {
            int64_t U, V;
            FixedPosition(plans[r - r0].map, f0, &U, &V);
            const int64_t y = V >> 16;
            Taps t{std::clamp<int64_t>(y, 0, last), std::clamp<int64_t>(y + 1, 0, last),
                   static_cast<int16_t>((V & 0xFFFF) >> 1), false};
            t.copy = whole && (t.fy == 0 || t.ya == t.yb) && cc1 > cc0;
            return t;
        };
        Taps next = tapsOf(ra);
        for (int r = ra; r < rb; ++r) {
            const Taps t = next;
            if (r + 1 < rb) next = tapsOf(r + 1);
            const int64_t ya = t.ya, yb = t.yb;
            uint8_t *row = dst.data + static_cast<size_t>(r) * dst.rowBytes;
            if (t.copy) {
                k.copyOver(src.data + ya * src.rowBytes + static_cast<size_t>(cc0 + shift) * 4, row + cc0 * 4,
                           cc1 - cc0);
                done[r - ra] = {cc0, cc1};
                continue;
            }
            if (row0 != ya) {
                if (row1 == ya) {
                    std::swap(h0, h1);
                    std::swap(row0, row1);
                    std::swap(opaque0, opaque1);
                } else {
                    opaque0 = k.rowHorizontal(src.data + ya * src.rowBytes, h0.data(), n, cm);
                    row0 = ya;
                }
            }
            if (row1 != yb) {
                if (yb == row0) {
                    std::copy(h0.begin(), h0.end(), h1.begin());
                    opaque1 = opaque0;
                } else {
                    opaque1 = k.rowHorizontal(src.data + yb * src.rowBytes, h1.data(), n, cm);
                }
                row1 = yb;
            }
            // The next row between the same source rows is drawn in the same
            // pass (enlargements), reading the intermediate rows once.
            const bool pair = r + 1 < rb && !next.copy && next.ya == ya && next.yb == yb;
            uint8_t *nextRow = pair ? row + dst.rowBytes : nullptr;
            k.rowVerticalOver(h0.data(), h1.data(), t.fy, row + c0 * 4, next.fy, pair ? nextRow + c0 * 4 : nullptr, n,
                              opaque0 && opaque1);
            done[r - ra] = {c0, c1};
            if (pair) {
                done[r + 1 - ra] = {c0, c1};
                ++r;
                if (r + 1 < rb) next = tapsOf(r + 1);
            }
        }
        // Everything around what the kernels drew, row by row.
        for (int r = r0; r < r1; ++r) {
            if (r >= ra && r < rb) Row(r, 0, dst.width, done[r - ra].first, done[r - ra].second);
            else Row(r, 0, dst.width);
        }
        return true;
    }

    void Run() {
        if (!quad.Finite()) return;
        r0 = std::max(0, static_cast<int>(std::floor(quad.minY)));
        r1 = std::min(dst.height, static_cast<int>(std::ceil(quad.maxY)));
        if (r1 <= r0) return;
        plans.resize(r1 - r0);
        // Upright: every row that lies wholly within the rectangle's height
        // (or, without anti-aliasing, whose centre does) has the same spans,
        // and the safe columns differ between rows only by whether the
        // vertical taps are inside.
        const bool upright = inv.b == 0 && inv.c == 0;
        int hs0 = 0, hs1 = 0;
        if (upright && kernelsFit) SafeColumns(MapRow(r0), &hs0, &hs1, true);
        const int64_t lastRow = static_cast<int64_t>(src.height - 1) << 32;
        const RowSpans *inner = nullptr;
        for (int r = r0; r < r1; ++r) {
            RowPlan &p = plans[r - r0];
            p.map = MapRow(r);
            const bool interior = upright && (paint.antialias ? r >= quad.minY && r + 1 <= quad.maxY
                                                               : r + 0.5 >= quad.minY && r + 0.5 <= quad.maxY);
            if (interior && inner) {
                p.spans = *inner;
            } else {
                p.spans = ScanRow(quad, r, dst.width, paint.antialias);
                if (interior) inner = &p.spans;
            }
            if (!kernelsFit) continue;
            if (upright) {
                const int64_t K = p.map.Bv + 32768;
                const bool inside = K >= 0 && K < lastRow;
                p.s0 = inside ? hs0 : 0;
                p.s1 = inside ? hs1 : 0;
            } else {
                SafeColumns(p.map, &p.s0, &p.s1);
            }
        }
        if (Upright()) return;
        // Turned: row by row, asking ahead for the source lines of a later
        // row. (Walking the target in strips of columns was measured slower:
        // the short row pieces cost more than the cache they save.)
        for (int r = r0; r < r1; ++r) {
            if (r + kAhead < r1) Prefetch(r + kAhead, 0, dst.width);
            Row(r, 0, dst.width);
        }
    }

    // Asks for the source lines a later row of the strip will read, so that
    // they arrive while this row is drawn.
    static constexpr int kAhead = 2;
    void Prefetch(int r, int c0, int c1) const {
        const RowPlan &p = plans[r - r0];
        const int a = std::max({c0, p.spans.xf0, p.s0}), b = std::min({c1, p.spans.xf1, p.s1});
        for (int c = a; c < b; c += 8) {
            int64_t U, V;
            FixedPosition(p.map, c, &U, &V);
            const uint8_t *q = src.data + (V >> 16) * src.rowBytes + (U >> 16) * 4;
            __builtin_prefetch(q);
            __builtin_prefetch(q + src.rowBytes);
        }
    }
};

// ---- Filling ----

void ShapeFill(const Surface &dst, const Affine &m, const Paint &paint, const double colour[4], bool clear) {
    const Quad q(m, 1, 1);
    if (!q.Finite()) return;
    const int r0 = std::max(0, static_cast<int>(std::floor(q.minY)));
    const int r1 = std::min(dst.height, static_cast<int>(std::ceil(q.maxY)));
    double S[4];
    for (int i = 0; i < 4; ++i) S[i] = std::clamp(colour[i], 0.0, 1.0) * paint.alpha;
    // Whole pixels of an opaque normal fill are one pixel value.
    uint8_t solid[4];
    for (int i = 0; i < 4; ++i) solid[i] = static_cast<uint8_t>(std::nearbyint(S[i] * 255.0));
    const bool opaque = !clear && solid[0] == 255;
    for (int r = r0; r < r1; ++r) {
        const RowSpans sp = ScanRow(q, r, dst.width, paint.antialias);
        uint8_t *row = dst.data + static_cast<size_t>(r) * dst.rowBytes;
        for (int c = sp.xa; c < sp.xb; ++c) {
            const bool whole = c >= sp.xf0 && c < sp.xf1;
            const double cov = whole ? 1.0 : q.Coverage(c, r);
            if (cov <= 0) continue;
            uint8_t *d = row + c * 4;
            if (clear) {
                for (int i = 0; i < 4; ++i)
                    d[i] = static_cast<uint8_t>(std::clamp(std::nearbyint(d[i] * (1 - cov)), 0.0, 255.0));
            } else if (whole && opaque) {
                std::memcpy(d, solid, 4);
            } else {
                Composite(S, d, cov);
            }
        }
    }
}

} // namespace

// ---- Plain C++ kernels ----

void SpanSampleScalar(const Source &src, uint8_t *out, int c0, int c1, const RowMap &m) {
    for (int c = c0; c < c1; ++c) SampleClamped(src, m, c, false, out + (c - c0) * 4);
}

void SpanOverScalar(const Source &src, uint8_t *row, int c0, int c1, const RowMap &m) {
    for (int c = c0; c < c1; ++c) {
        uint8_t s[4];
        SampleClamped(src, m, c, false, s);
        OverPixel(s, row + c * 4);
    }
}

bool HorizontalBlockScalar(const uint8_t *srcRow, int16_t *out, int count, const ColumnMap &cm, int g) {
    const int start = BlockStart(count, g), n = std::min(8, count - start);
    bool opaque = true;
    for (int k = 0; k < n; ++k) {
        const int j = start + k, slot = g * 32 + BlockSlot(k) * 4;
        const uint8_t *p0 = srcRow + static_cast<size_t>(cm.xa[j]) * 4, *p1 = srcRow + static_cast<size_t>(cm.xb[j]) * 4;
        opaque = opaque && p0[0] == 255 && p1[0] == 255;
        for (int ch = 0; ch < 4; ++ch)
            out[slot + ch] =
                Lerp7(static_cast<int16_t>(p0[ch] << 7), static_cast<int16_t>(p1[ch] << 7), cm.weights[slot + ch]);
    }
    return opaque;
}

bool RowHorizontalScalar(const uint8_t *srcRow, int16_t *out, int count, const ColumnMap &cm) {
    bool opaque = true;
    for (int g = 0, blocks = BlockCount(count); g < blocks; ++g)
        opaque = HorizontalBlockScalar(srcRow, out, count, cm, g) && opaque;
    return opaque;
}

namespace {
void VerticalRowScalar(const int16_t *top, const int16_t *bottom, int16_t fy, uint8_t *row, int count) {
    for (int g = 0, blocks = BlockCount(count); g < blocks; ++g) {
        // The columns of an overlapping last block that the block before
        // drew already are not composited twice.
        const int start = BlockStart(count, g), n = std::min(8, count - start);
        for (int k = g * 8 - start; k < n; ++k) {
            const int slot = g * 32 + BlockSlot(k) * 4;
            uint8_t s[4];
            for (int ch = 0; ch < 4; ++ch) s[ch] = Round7(Lerp7(top[slot + ch], bottom[slot + ch], fy));
            OverPixel(s, row + (start + k) * 4);
        }
    }
}
} // namespace

void RowVerticalOverScalar(const int16_t *top, const int16_t *bottom, int16_t fy0, uint8_t *row0, int16_t fy1,
                           uint8_t *row1, int count, bool) {
    VerticalRowScalar(top, bottom, fy0, row0, count);
    if (row1) VerticalRowScalar(top, bottom, fy1, row1, count);
}

void CopyOverScalar(const uint8_t *src, uint8_t *row, int count) {
    for (int i = 0; i < count; ++i) OverPixel(src + i * 4, row + i * 4);
}

// ---- Entry points ----

void DrawImage(const Surface &target, const Source &source, const Affine &toTarget, const Paint &paint) {
    if (!target.data || !source.data || source.width <= 0 || source.height <= 0 || target.width <= 0 ||
        target.height <= 0)
        return;
    Affine inv;
    if (!Invert(toTarget, &inv)) return;
    ImageDraw draw(target, source, toTarget, paint, inv);
    draw.Run();
}

void FillQuad(const Surface &target, const Affine &toTarget, const double colour[4], const Paint &paint) {
    if (!target.data) return;
    ShapeFill(target, toTarget, paint, colour, false);
}

void ClearQuad(const Surface &target, const Affine &toTarget, bool antialias) {
    if (!target.data) return;
    Paint p;
    p.antialias = antialias;
    const double none[4] = {0, 0, 0, 0};
    ShapeFill(target, toTarget, p, none, true);
}

bool SetSIMDEnabled(bool enabled) { return gUseSIMD.exchange(enabled && kHaveAVX2); }

bool SIMDAvailable() { return kHaveAVX2; }

} // namespace cgdraw
