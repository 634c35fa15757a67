/*
 * CGDraw.h: the pixel engine of the Quartz stand-in (internal). Draws an
 * image through an affine map onto 32-bit premultiplied pixels (memory order
 * A, R, G, B) with bilinear filtering and anti-aliased edges, fills and
 * clears parallelograms, compositing source over destination.
 *
 * Every drawing splits the target into three kinds of pixels, row by row:
 * pixels the shape covers only partly (exact area coverage, composited in
 * double precision), pixels it covers wholly whose filter taps need edge
 * clamping (sampled one by one), and the wholly covered inner span, where a
 * span kernel runs. The span kernels exist as plain C++ (the reference) and
 * as AVX2 code chosen at run time; both do the same integer arithmetic, so
 * they give identical pixels.
 *
 * Sampling arithmetic (both kernels): the sample position of a pixel is
 * stepped along the row in 32.32 fixed point (exact integers) and rounded to
 * 16.16. Each
 * channel is interpolated horizontally then vertically with 15-bit weights
 * and 7 fractional bits kept (pmulhrsw rounding), then rounded to 8 bits.
 * The result is within one level of the exact bilinear value.
 */
#ifndef QUELVANE_CGDRAW_H
#define QUELVANE_CGDRAW_H

#include <cstddef>
#include <cstdint>

namespace cgdraw {

struct Surface {
    uint8_t *data;
    size_t rowBytes;
    int width;
    int height;
};

struct Source {
    const uint8_t *data;
    size_t rowBytes;
    int width;
    int height;
};

// How drawn pixels combine with the target.
struct Paint {
    double alpha = 1.0;      // global alpha, 0..1
    bool antialias = true;   // area coverage at edges; else pixel centres
    bool nearest = false;    // nearest-pixel sampling instead of bilinear
};

// A 2 x 3 affine map: x' = a x + c y + tx, y' = b x + d y + ty.
struct Affine {
    double a, b, c, d, tx, ty;
};

// Draws the whole source: `toTarget` maps source pixel space (x right, y down,
// pixel (i, j) covering [i, i + 1] x [j, j + 1]) to the target's pixel space
// (same convention).
void DrawImage(const Surface &target, const Source &source, const Affine &toTarget, const Paint &paint);

// Fills the unit square mapped by `toTarget` with a premultiplied colour
// (components 0..1).
void FillQuad(const Surface &target, const Affine &toTarget, const double colour[4], const Paint &paint);

// Makes the unit square mapped by `toTarget` transparent (partly covered
// pixels are scaled by what remains uncovered).
void ClearQuad(const Surface &target, const Affine &toTarget, bool antialias);

// Which span kernels run: the plain C++ reference or AVX2 where the processor
// has it. Returns the previous setting.
bool SetSIMDEnabled(bool enabled);
bool SIMDAvailable();

// ---- Shared between the kernels (not for other callers) ----

// The inverse map along one target row: the sample position (in source
// pixel-centre coordinates) of the pixel at column `col` is
// (u0 + col * du, v0 + col * dv); in 32.32 fixed point (Bu + col * Du, ...).
struct RowMap {
    double u0, du, v0, dv;
    int64_t Bu, Du, Bv, Dv;
};

inline int64_t ToFixed32(double v) { return static_cast<int64_t>(v * 4294967296.0 + (v >= 0 ? 0.5 : -0.5)); }

inline RowMap MakeRowMap(double u0, double du, double v0, double dv) {
    return RowMap{u0, du, v0, dv, ToFixed32(u0), ToFixed32(du), ToFixed32(v0), ToFixed32(dv)};
}

// The 16.16 sample position of column col: exact integer arithmetic, so
// every kernel that steps along a row gets the same values.
inline void FixedPosition(const RowMap &m, int col, int64_t *U, int64_t *V) {
    *U = (m.Bu + col * m.Du + 32768) >> 16;
    *V = (m.Bv + col * m.Dv + 32768) >> 16;
}

// Kernels over [c0, c1) of one target row, where every pixel is wholly
// covered and every filter tap lies inside the source.
// Normal blend at full alpha: source over the target pixels.
using SpanOverFn = void (*)(const Source &src, uint8_t *row, int c0, int c1, const RowMap &m);
// Just the filtered samples, written to out (4 bytes a pixel from c0).
using SpanSampleFn = void (*)(const Source &src, uint8_t *out, int c0, int c1, const RowMap &m);

void SpanOverScalar(const Source &src, uint8_t *row, int c0, int c1, const RowMap &m);
void SpanSampleScalar(const Source &src, uint8_t *out, int c0, int c1, const RowMap &m);
void SpanOverAVX2(const Source &src, uint8_t *row, int c0, int c1, const RowMap &m);
void SpanSampleAVX2(const Source &src, uint8_t *out, int c0, int c1, const RowMap &m);

// Upright scaling: the horizontal pass of one source row for `count` target
// columns (16-bit, 7 fractional bits, 4 channels a pixel), and the vertical
// pass of two such rows composited over the target row.
//
// Both passes work on blocks of eight columns: block g holds columns 8g ..
// 8g + 7, except that when count is not a multiple of eight (and at least
// eight) the last block holds the last eight columns and so overlaps the one
// before it. A block keeps 32 values: its columns k = 0..7 in the order
// 0, 1, 4, 5, 2, 3, 6, 7 (the order in which 256-bit registers widen bytes
// to 16 bits within their halves and pack them back), four channels each.
inline int BlockCount(int count) { return (count + 7) / 8; }
inline int BlockStart(int count, int g) {
    const int s = g * 8;
    return (count >= 8 && s + 8 > count) ? count - 8 : s;
}
inline int BlockSlot(int k) { return (k & 1) | ((k & 2) << 1) | ((k & 4) >> 1); }

struct ColumnMap {
    // Per column: the left and right taps, clamped to the source (equal at
    // its edges, where the sample repeats the edge pixel).
    const int32_t *xa;
    const int32_t *xb;
    // Per block: each column's 15-bit weight four times, in slot order.
    const int16_t *weights;
    // Per block: the first source pixel of an 8-pixel window that holds all
    // its taps, or kPairs (every xb = xa + 1), or kOneByOne.
    const int32_t *window;
    // Per block, eight values: (xa - window) | (xb - window) << 8.
    const int32_t *windowIndex;
    static constexpr int32_t kPairs = -1;
    static constexpr int32_t kOneByOne = -2;
};
// The horizontal pass answers whether every tap it read was opaque; the
// vertical pass may then skip blending (the result is opaque too).
using RowHorizontalFn = bool (*)(const uint8_t *srcRow, int16_t *out, int count, const ColumnMap &cm);
// The vertical pass draws one target row, or two (row1 not null) that
// interpolate between the same two source rows.
using RowVerticalOverFn = void (*)(const int16_t *top, const int16_t *bottom, int16_t fy0, uint8_t *row0, int16_t fy1,
                                   uint8_t *row1, int count, bool opaque);
bool RowHorizontalScalar(const uint8_t *srcRow, int16_t *out, int count, const ColumnMap &cm);
void RowVerticalOverScalar(const int16_t *top, const int16_t *bottom, int16_t fy0, uint8_t *row0, int16_t fy1,
                           uint8_t *row1, int count, bool opaque);
bool RowHorizontalAVX2(const uint8_t *srcRow, int16_t *out, int count, const ColumnMap &cm);
void RowVerticalOverAVX2(const int16_t *top, const int16_t *bottom, int16_t fy0, uint8_t *row0, int16_t fy1,
                         uint8_t *row1, int count, bool opaque);
// The horizontal pass of block g alone (plain C++).
bool HorizontalBlockScalar(const uint8_t *srcRow, int16_t *out, int count, const ColumnMap &cm, int g);

// Source over target for whole pixels (identity placement).
using CopyOverFn = void (*)(const uint8_t *src, uint8_t *row, int count);
void CopyOverScalar(const uint8_t *src, uint8_t *row, int count);
void CopyOverAVX2(const uint8_t *src, uint8_t *row, int count);

// Fixed-point helpers shared by the kernels.
inline int16_t MulHRS(int16_t a, int16_t b) {
    return static_cast<int16_t>((static_cast<int32_t>(a) * b + 0x4000) >> 15);
}
inline int16_t Lerp7(int16_t p0, int16_t p1, int16_t w) { return static_cast<int16_t>(p0 + MulHRS(p1 - p0, w)); }
inline uint8_t Round7(int16_t v) { return static_cast<uint8_t>(MulHRS(v, 256)); }
// round(t / 255) for t in 0..65535.
inline uint32_t Div255(uint32_t t) {
    t += 128;
    return (t + (t >> 8)) >> 8;
}
// Source over target, one premultiplied pixel, both in memory order.
inline void OverPixel(const uint8_t s[4], uint8_t d[4]) {
    if (s[0] == 255) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = s[3];
        return;
    }
    const uint32_t inv = 255 - s[0];
    for (int i = 0; i < 4; ++i) {
        const uint32_t v = s[i] + Div255(d[i] * inv);
        d[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
}

} // namespace cgdraw

#endif /* QUELVANE_CGDRAW_H */
