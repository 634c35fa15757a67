// AVX2 span kernels of the pixel engine. Each does exactly the integer
// arithmetic of its plain C++ twin in CGDraw.cpp, eight pixels at a time; a
// last partial block is done as a block that overlaps the one before (its
// pixels already drawn are kept), and only runs shorter than eight go to the
// twin. Only these functions are compiled
// for AVX2 (function attributes), so the rest of the library runs anywhere;
// they are called only when the processor has AVX2.
#include "quartz/CGDraw.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <algorithm>

#define QV_AVX2 __attribute__((target("avx2")))
#define QV_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace cgdraw {
namespace {

QV_AVX2_INLINE __m256i Lerp(__m256i p0, __m256i p1, __m256i w) {
    return _mm256_add_epi16(p0, _mm256_mulhrs_epi16(_mm256_sub_epi16(p1, p0), w));
}

// s + round(d x inv / 255) on 16-bit channels, saturating.
QV_AVX2_INLINE __m256i OverHalf(__m256i s, __m256i d, __m256i inv) {
    __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(d, inv), _mm256_set1_epi16(128));
    t = _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
    return _mm256_adds_epu16(t, s);
}

// Source over eight target pixels (premultiplied, memory order), not opaque.
QV_AVX2_INLINE __m256i OverValue(__m256i s, __m256i dst) {
    const __m256i ones = _mm256_set1_epi8(static_cast<char>(0xFF));
    const __m256i alphaPick = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0, 0, 4, 4,
                                               4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    const __m256i inv = _mm256_xor_si256(_mm256_shuffle_epi8(s, alphaPick), ones);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = OverHalf(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(dst, zero),
                                _mm256_unpacklo_epi8(inv, zero));
    const __m256i hi = OverHalf(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(dst, zero),
                                _mm256_unpackhi_epi8(inv, zero));
    return _mm256_packus_epi16(lo, hi);
}

QV_AVX2_INLINE bool AllOpaque(__m256i s) {
    const unsigned alpha = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(s, _mm256_set1_epi8(static_cast<char>(0xFF)))));
    return (alpha & 0x11111111u) == 0x11111111u;
}

// Source over the eight target pixels at d.
QV_AVX2_INLINE void OverStore(__m256i s, uint8_t *d) {
    if (AllOpaque(s)) {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d), s);
        return;
    }
    const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(d));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(d), OverValue(s, dst));
}

// The same for a last block that overlaps the one before: its first `keep`
// pixels are drawn already and stay as they are.
QV_AVX2_INLINE void OverStoreKeep(__m256i s, uint8_t *d, int keep) {
    const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(d));
    const __m256i done = _mm256_cmpgt_epi32(_mm256_set1_epi32(keep), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    const __m256i drawn = AllOpaque(s) ? s : OverValue(s, dst);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(d), _mm256_blendv_epi8(drawn, dst, done));
}

__attribute__((always_inline)) inline __m128i Load8(const uint8_t *p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)); }

// Two 8-byte pairs in one register.
__attribute__((always_inline)) inline __m128i Load8x2(const uint8_t *p, const uint8_t *q) {
    return _mm_castpd_si128(
        _mm_loadh_pd(_mm_castsi128_pd(Load8(p)), reinterpret_cast<const double *>(q)));
}

// Widens bytes to 16 bits scaled by 128 in one multiply-add: each byte
// twice, times 64 each (unsigned by signed bytes; 255 x 128 fits).
QV_AVX2_INLINE __m256i Widen7Lo(__m256i v) {
    return _mm256_maddubs_epi16(_mm256_unpacklo_epi8(v, v), _mm256_set1_epi8(64));
}
QV_AVX2_INLINE __m256i Widen7Hi(__m256i v) {
    return _mm256_maddubs_epi16(_mm256_unpackhi_epi8(v, v), _mm256_set1_epi8(64));
}

// The left and right taps of columns 0, 1 | 4, 5 (or 2, 3 | 6, 7) of a block,
// from each column's 8-byte pair [l0 r0 l1 r1 | l4 r4 l5 r5], widened.
QV_AVX2_INLINE void TapsOf(__m256i pairs, __m256i *left, __m256i *right) {
    const __m256i grouped = _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(3, 1, 2, 0)); // [l0 l1 r0 r1 | ...]
    *left = Widen7Lo(grouped);
    *right = Widen7Hi(grouped);
}

// Two 8-byte pairs in each half: p, q low and r, s high.
QV_AVX2_INLINE __m256i Load8x4(const uint8_t *p, const uint8_t *q, const uint8_t *r, const uint8_t *s) {
    return _mm256_set_m128i(Load8x2(r, s), Load8x2(p, q));
}

// The low 32 bits of eight 64-bit positions shifted from 32.32 to 16.16:
// lo holds columns 0, 1 | 4, 5 and hi 2, 3 | 6, 7, so the result is in
// column order.
QV_AVX2_INLINE __m256i Fixed16(__m256i lo, __m256i hi) {
    const __m256 a = _mm256_castsi256_ps(_mm256_srli_epi64(lo, 16));
    const __m256 b = _mm256_castsi256_ps(_mm256_srli_epi64(hi, 16));
    return _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
}

// Steps eight columns at a time along a row in exact 32.32 fixed point.
struct Walker {
    __m256i uLo, uHi, vLo, vHi, uStep, vStep;
};

QV_AVX2_INLINE void Lanes(int64_t base, int64_t step, int c, __m256i *lo, __m256i *hi) {
    const int64_t start = base + c * step + 32768; // + 32768: rounding to 16.16
    *lo = _mm256_add_epi64(_mm256_set1_epi64x(start), _mm256_setr_epi64x(0, step, 4 * step, 5 * step));
    *hi = _mm256_add_epi64(*lo, _mm256_set1_epi64x(2 * step));
}

QV_AVX2_INLINE Walker StartWalk(const RowMap &m, int c) {
    Walker w;
    Lanes(m.Bu, m.Du, c, &w.uLo, &w.uHi);
    Lanes(m.Bv, m.Dv, c, &w.vLo, &w.vHi);
    w.uStep = _mm256_set1_epi64x(8 * m.Du);
    w.vStep = _mm256_set1_epi64x(8 * m.Dv);
    return w;
}

QV_AVX2_INLINE void Advance(Walker &w) {
    w.uLo = _mm256_add_epi64(w.uLo, w.uStep);
    w.uHi = _mm256_add_epi64(w.uHi, w.uStep);
    w.vLo = _mm256_add_epi64(w.vLo, w.vStep);
    w.vHi = _mm256_add_epi64(w.vHi, w.vStep);
}

// The 15-bit weights of columns 0, 1 | 4, 5 and 2, 3 | 6, 7, four times each,
// from eight 16.16 positions in column order.
QV_AVX2_INLINE void WeightsOf(__m256i P, __m256i *w01, __m256i *w23) {
    const __m256i f = _mm256_srli_epi16(P, 1); // low halves: (P & 0xFFFF) >> 1
    *w01 = _mm256_shuffle_epi8(f, _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5, 0, 1, 0, 1, 0, 1, 0,
                                                   1, 4, 5, 4, 5, 4, 5, 4, 5));
    *w23 = _mm256_shuffle_epi8(f, _mm256_setr_epi8(8, 9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13, 8, 9, 8, 9,
                                                   8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13));
}

// The filtered samples of the walker's eight pixels (all taps inside the
// source), in pixel order.
QV_AVX2_INLINE __m256i SampleBlock(const Source &src, const Walker &w) {
    const __m256i U = Fixed16(w.uLo, w.uHi), V = Fixed16(w.vLo, w.vHi);
    const __m256i off = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(V, 16),
                                                            _mm256_set1_epi32(static_cast<int32_t>(src.rowBytes))),
                                         _mm256_slli_epi32(_mm256_srai_epi32(U, 16), 2));
    alignas(32) uint32_t o[8];
    _mm256_store_si256(reinterpret_cast<__m256i *>(o), off);
    const uint8_t *t = src.data, *b = src.data + src.rowBytes;
    __m256i tl0, tr0, bl0, br0, tl1, tr1, bl1, br1;
    TapsOf(Load8x4(t + o[0], t + o[1], t + o[4], t + o[5]), &tl0, &tr0);
    TapsOf(Load8x4(b + o[0], b + o[1], b + o[4], b + o[5]), &bl0, &br0);
    TapsOf(Load8x4(t + o[2], t + o[3], t + o[6], t + o[7]), &tl1, &tr1);
    TapsOf(Load8x4(b + o[2], b + o[3], b + o[6], b + o[7]), &bl1, &br1);
    __m256i wx0, wx1, wy0, wy1;
    WeightsOf(U, &wx0, &wx1);
    WeightsOf(V, &wy0, &wy1);
    const __m256i v0 = Lerp(Lerp(tl0, tr0, wx0), Lerp(bl0, br0, wx0), wy0);
    const __m256i v1 = Lerp(Lerp(tl1, tr1, wx1), Lerp(bl1, br1, wx1), wy1);
    const __m256i k256 = _mm256_set1_epi16(256);
    return _mm256_packus_epi16(_mm256_mulhrs_epi16(v0, k256), _mm256_mulhrs_epi16(v1, k256));
}

} // namespace

QV_AVX2 void SpanOverAVX2(const Source &src, uint8_t *row, int c0, int c1, const RowMap &m) {
    if (c1 - c0 < 8) {
        SpanOverScalar(src, row, c0, c1, m);
        return;
    }
    int c = c0;
    Walker w = StartWalk(m, c);
    for (; c + 8 <= c1; c += 8) {
        OverStore(SampleBlock(src, w), row + static_cast<size_t>(c) * 4);
        Advance(w);
    }
    // The last pixels: a block ending at c1, keeping those drawn already.
    if (c < c1) OverStoreKeep(SampleBlock(src, StartWalk(m, c1 - 8)), row + static_cast<size_t>(c1 - 8) * 4, c - (c1 - 8));
}

QV_AVX2 void SpanSampleAVX2(const Source &src, uint8_t *out, int c0, int c1, const RowMap &m) {
    if (c1 - c0 < 8) {
        SpanSampleScalar(src, out, c0, c1, m);
        return;
    }
    int c = c0;
    Walker w = StartWalk(m, c);
    for (; c + 8 <= c1; c += 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + static_cast<size_t>(c - c0) * 4), SampleBlock(src, w));
        Advance(w);
    }
    if (c < c1)
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + static_cast<size_t>(c1 - 8 - c0) * 4),
                            SampleBlock(src, StartWalk(m, c1 - 8)));
}

namespace {

// The horizontal pass of block g (columns from start), written to out.
QV_AVX2_INLINE bool HorizontalBlock(const uint8_t *srcRow, int16_t *out, const int32_t *xa, const int16_t *weights,
                                    int32_t base, const int32_t *windowIndex, __m256i *seen) {
    // lo: columns 0, 1 | 4, 5 of the block, hi: 2, 3 | 6, 7 (8-bit taps
    // widened within each half).
    __m256i l0, r0, l1, r1;
    if (base >= 0) {
        // All sixteen taps within eight neighbouring pixels.
        const __m256i win = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(srcRow + base * 4));
        const __m256i idx = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(windowIndex));
        const __m256i left = _mm256_permutevar8x32_epi32(win, idx);
        const __m256i right = _mm256_permutevar8x32_epi32(win, _mm256_srli_epi32(idx, 8));
        *seen = _mm256_and_si256(*seen, win); // every tap is in the window
        l0 = Widen7Lo(left);
        l1 = Widen7Hi(left);
        r0 = Widen7Lo(right);
        r1 = Widen7Hi(right);
    } else {
        // Each column's two taps side by side.
        const __m256i a = Load8x4(srcRow + xa[0] * 4, srcRow + xa[1] * 4, srcRow + xa[4] * 4, srcRow + xa[5] * 4);
        const __m256i b = Load8x4(srcRow + xa[2] * 4, srcRow + xa[3] * 4, srcRow + xa[6] * 4, srcRow + xa[7] * 4);
        *seen = _mm256_and_si256(*seen, _mm256_and_si256(a, b));
        TapsOf(a, &l0, &r0);
        TapsOf(b, &l1, &r1);
    }
    const __m256i w0 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(weights));
    const __m256i w1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(weights + 16));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out), Lerp(l0, r0, w0));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 16), Lerp(l1, r1, w1));
    return true;
}

// One block of the vertical pass: eight pixels in pixel order (the block
// order makes the pack come out so).
QV_AVX2_INLINE __m256i VerticalBlock(__m256i t0, __m256i t1, __m256i d0, __m256i d1, __m256i w) {
    const __m256i k256 = _mm256_set1_epi16(256);
    const __m256i v0 = _mm256_add_epi16(t0, _mm256_mulhrs_epi16(d0, w));
    const __m256i v1 = _mm256_add_epi16(t1, _mm256_mulhrs_epi16(d1, w));
    return _mm256_packus_epi16(_mm256_mulhrs_epi16(v0, k256), _mm256_mulhrs_epi16(v1, k256));
}

QV_AVX2_INLINE void PutBlock(__m256i px, uint8_t *d, bool opaque, int keep) {
    if (opaque) _mm256_storeu_si256(reinterpret_cast<__m256i *>(d), px); // overlaps get the same pixels again
    else if (keep == 0) OverStore(px, d);
    else OverStoreKeep(px, d, keep);
}

// One block of the vertical pass for one or two target rows.
QV_AVX2_INLINE void VerticalPair(const int16_t *top, const int16_t *bottom, __m256i w0, uint8_t *d0, __m256i w1,
                                 uint8_t *d1, bool opaque, int keep) {
    const auto *t = reinterpret_cast<const __m256i *>(top);
    const auto *b = reinterpret_cast<const __m256i *>(bottom);
    const __m256i t0 = _mm256_loadu_si256(t), t1 = _mm256_loadu_si256(t + 1);
    const __m256i e0 = _mm256_sub_epi16(_mm256_loadu_si256(b), t0);
    const __m256i e1 = _mm256_sub_epi16(_mm256_loadu_si256(b + 1), t1);
    PutBlock(VerticalBlock(t0, t1, e0, e1, w0), d0, opaque, keep);
    if (d1) PutBlock(VerticalBlock(t0, t1, e0, e1, w1), d1, opaque, keep);
}

} // namespace

QV_AVX2 bool RowHorizontalAVX2(const uint8_t *srcRow, int16_t *out, int count, const ColumnMap &cm) {
    if (count < 8) return RowHorizontalScalar(srcRow, out, count, cm);
    __m256i seen = _mm256_set1_epi8(static_cast<char>(0xFF)); // AND of every tap read
    bool opaque = true;
    const int32_t *xa = cm.xa, *window = cm.window, *windowIndex = cm.windowIndex;
    const int16_t *weights = cm.weights;
    const int blocks = BlockCount(count), whole = count / 8;
    int16_t *o = out;
    for (int g = 0; g < blocks; ++g, o += 32, weights += 32, windowIndex += 8) {
        const int32_t base = window[g];
        if (base >= 0) {
            HorizontalBlock(srcRow, o, nullptr, weights, base, windowIndex, &seen);
        } else if (base == ColumnMap::kPairs) {
            HorizontalBlock(srcRow, o, xa + (g < whole ? g * 8 : count - 8), weights, base, windowIndex, &seen);
        } else {
            opaque = HorizontalBlockScalar(srcRow, out, count, cm, g) && opaque;
        }
    }
    return AllOpaque(seen) && opaque;
}

QV_AVX2 void RowVerticalOverAVX2(const int16_t *top, const int16_t *bottom, int16_t fy0, uint8_t *row0, int16_t fy1,
                                 uint8_t *row1, int count, bool opaque) {
    if (count < 8) {
        RowVerticalOverScalar(top, bottom, fy0, row0, fy1, row1, count, opaque);
        return;
    }
    const __m256i w0 = _mm256_set1_epi16(fy0), w1 = _mm256_set1_epi16(fy1);
    const int blocks = BlockCount(count), whole = count / 8;
    for (int g = 0; g < whole; ++g)
        VerticalPair(top + g * 32, bottom + g * 32, w0, row0 + g * 32, w1, row1 ? row1 + g * 32 : nullptr, opaque, 0);
    if (blocks > whole) {
        const size_t start = static_cast<size_t>(count - 8) * 4;
        VerticalPair(top + whole * 32, bottom + whole * 32, w0, row0 + start, w1, row1 ? row1 + start : nullptr, opaque,
                     whole * 8 - (count - 8));
    }
}

QV_AVX2 void CopyOverAVX2(const uint8_t *src, uint8_t *row, int count) {
    int i = 0;
    for (; i + 8 <= count; i += 8)
        OverStore(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + static_cast<size_t>(i) * 4)),
                  row + static_cast<size_t>(i) * 4);
    if (i < count) CopyOverScalar(src + static_cast<size_t>(i) * 4, row + static_cast<size_t>(i) * 4, count - i);
}

} // namespace cgdraw

#else

namespace cgdraw {
void SpanOverAVX2(const Source &s, uint8_t *r, int c0, int c1, const RowMap &m) { SpanOverScalar(s, r, c0, c1, m); }
void SpanSampleAVX2(const Source &s, uint8_t *o, int c0, int c1, const RowMap &m) {
    SpanSampleScalar(s, o, c0, c1, m);
}
bool RowHorizontalAVX2(const uint8_t *s, int16_t *o, int n, const ColumnMap &cm) {
    return RowHorizontalScalar(s, o, n, cm);
}
void RowVerticalOverAVX2(const int16_t *t, const int16_t *b, int16_t fy0, uint8_t *r0, int16_t fy1, uint8_t *r1, int n,
                         bool opaque) {
    RowVerticalOverScalar(t, b, fy0, r0, fy1, r1, n, opaque);
}
void CopyOverAVX2(const uint8_t *s, uint8_t *r, int n) { CopyOverScalar(s, r, n); }
} // namespace cgdraw

#endif
