// A, R, G, B to planar 4:2:0: the plain kernel (the reference) and the AVX2
// kernel, 32 pixels of two rows at a time.
#include "Yuv420.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#define QV_HAVE_X86 1
#endif

namespace qvhost {

namespace {

// The luma weights of red and blue in a colour space.
bool Weights(AVColorSpace space, double *kr, double *kb) {
    switch (space) {
    case AVCOL_SPC_BT709: *kr = 0.2126, *kb = 0.0722; return true;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M: *kr = 0.299, *kb = 0.114; return true;
    case AVCOL_SPC_BT2020_NCL: *kr = 0.2627, *kb = 0.0593; return true;
    case AVCOL_SPC_SMPTE240M: *kr = 0.212, *kb = 0.087; return true;
    case AVCOL_SPC_FCC: *kr = 0.30, *kb = 0.11; return true;
    default: return false;
    }
}

}  // namespace

bool RgbMatrixFor(AVColorSpace space, bool fullRange, RgbMatrix *out) {
    double kr, kb;
    if (!Weights(space, &kr, &kb)) return false;
    const double kg = 1 - kr - kb;
    const double ys = fullRange ? 1.0 : 255.0 / 219.0, cs = (fullRange ? 1.0 : 255.0 / 224.0) / 16;
    auto fix = [](double v) { return static_cast<int32_t>(std::lround(v * 16384.0)); };
    out->y = fix(ys);
    out->yOffset = fullRange ? 0 : 16;
    out->rV = fix(2 * (1 - kr) * cs);
    out->gU = fix(-2 * kb * (1 - kb) / kg * cs);
    out->gV = fix(-2 * kr * (1 - kr) / kg * cs);
    out->bU = fix(2 * (1 - kb) * cs);
    return true;
}

bool YuvMatrixFor(AVColorSpace space, bool fullRange, YuvMatrix *out) {
    double kr, kb;
    if (!Weights(space, &kr, &kb)) return false;
    const double ys = fullRange ? 1.0 : 219.0 / 255.0, cs = fullRange ? 1.0 : 224.0 / 255.0;
    const double one = 32768.0;
    auto fix = [&](double v) { return static_cast<int32_t>(std::lround(v * one)); };
    YuvMatrix m;
    m.yR = fix(kr * ys);
    m.yB = fix(kb * ys);
    m.yG = fix(ys) - m.yR - m.yB;  // white maps exactly onto the top level
    m.yOffset = fullRange ? 0 : 16;
    m.uR = fix(-kr / (2 * (1 - kb)) * cs);
    m.uB = fix(0.5 * cs);
    m.uG = -m.uR - m.uB;  // greys have no chroma
    m.vR = fix(0.5 * cs);
    m.vB = fix(-kb / (2 * (1 - kr)) * cs);
    m.vG = -m.vR - m.vB;
    *out = m;
    return true;
}

namespace {

inline uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

inline uint8_t Luma(const uint8_t *p, const YuvMatrix &m) {
    return Clamp8((m.yR * p[1] + m.yG * p[2] + m.yB * p[3] + (m.yOffset << 15) + (1 << 14)) >> 15);
}

// Columns [x, width) of a row pair (r1 == r0 for a last odd row), x even.
void RowsPlain(const uint8_t *r0, const uint8_t *r1, int x, int width, const YuvMatrix &m, uint8_t *y0, uint8_t *y1,
               uint8_t *u, uint8_t *v) {
    for (; x < width; x += 2) {
        const int n = std::min(2, width - x);
        int32_t R = 0, G = 0, B = 0;
        for (int i = 0; i < 2; ++i) {
            // A last odd column counts twice, so a sum is always of four.
            const uint8_t *a = r0 + (x + std::min(i, n - 1)) * 4, *b = r1 + (x + std::min(i, n - 1)) * 4;
            R += a[1] + b[1];
            G += a[2] + b[2];
            B += a[3] + b[3];
        }
        for (int i = 0; i < n; ++i) {
            y0[x + i] = Luma(r0 + (x + i) * 4, m);
            if (y1) y1[x + i] = Luma(r1 + (x + i) * 4, m);
        }
        u[x / 2] = Clamp8((m.uR * R + m.uG * G + m.uB * B + (128 << 17) + (1 << 16)) >> 17);
        v[x / 2] = Clamp8((m.vR * R + m.vG * G + m.vB * B + (128 << 17) + (1 << 16)) >> 17);
    }
}

// Vertical chroma interpolation for one luma row: 3 x the nearer chroma row
// plus the farther one, into buf[1 .. cw]; buf[0] and buf[cw + 1] repeat the
// edges for the horizontal step.
void ChromaRow(const uint8_t *nearRow, const uint8_t *farRow, int cw, int16_t *buf) {
    for (int c = 0; c < cw; ++c) buf[c + 1] = static_cast<int16_t>(3 * nearRow[c] + farRow[c]);
    buf[0] = buf[1];
    buf[cw + 1] = buf[cw];
}

inline uint8_t Level(int32_t v) { return Clamp8((v + 8192) >> 14); }

// Pixels [x, width) of one row from its luma and interpolated chroma rows.
void ArgbRowPlain(const uint8_t *yRow, const int16_t *ub, const int16_t *vb, int x, int width, const RgbMatrix &m,
                  uint8_t *out) {
    for (; x < width; ++x) {
        const int c = (x >> 1) + 1;            // this column's chroma in the buffers
        const int side = (x & 1) ? c + 1 : c - 1;  // and its other neighbour
        const int32_t u = 3 * ub[c] + ub[side] - 128 * 16;
        const int32_t v = 3 * vb[c] + vb[side] - 128 * 16;
        const int32_t y = m.y * (yRow[x] - m.yOffset);
        uint8_t *p = out + static_cast<long>(x) * 4;
        p[0] = 255;
        p[1] = Level(y + m.rV * v);
        p[2] = Level(y + m.gU * u + m.gV * v);
        p[3] = Level(y + m.bU * u);
    }
}

#ifdef QV_HAVE_X86
#define QV_AVX2 __attribute__((target("avx2")))
#define QV_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

struct Coefficients {
    __m256i yAG, yRB, yBias, uAG, uRB, vAG, vRB, cBias, mask;
};

QV_AVX2_INLINE __m256i Pair(int32_t low, int32_t high) {
    return _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFF)));
}

// Eight pixels' luma as 32-bit values. A pixel is A | R << 8 | G << 16 | B << 24
// as a little-endian word: masking gives A | G << 16, shifting first R | B << 16.
QV_AVX2_INLINE __m256i Luma8(__m256i px, const Coefficients &k) {
    const __m256i ag = _mm256_and_si256(px, k.mask);
    const __m256i rb = _mm256_and_si256(_mm256_srli_epi32(px, 8), k.mask);
    const __m256i s = _mm256_add_epi32(_mm256_madd_epi16(ag, k.yAG), _mm256_madd_epi16(rb, k.yRB));
    return _mm256_srai_epi32(_mm256_add_epi32(s, k.yBias), 15);
}

// 32 luma bytes of four registers of eight pixels, in pixel order.
QV_AVX2_INLINE __m256i PackLuma(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i bytes = _mm256_packus_epi16(_mm256_packus_epi32(a, b), _mm256_packus_epi32(c, d));
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

// Eight chroma values as 32-bit values from 2 x 2 sums.
QV_AVX2_INLINE __m256i Chroma8(__m256i ag, __m256i rb, __m256i kAG, __m256i kRB, __m256i bias) {
    const __m256i s = _mm256_add_epi32(_mm256_madd_epi16(ag, kAG), _mm256_madd_epi16(rb, kRB));
    return _mm256_srai_epi32(_mm256_add_epi32(s, bias), 17);
}

QV_AVX2_INLINE __m256i Load(const uint8_t *p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p)); }

QV_AVX2 void RowsAVX2(const uint8_t *r0, const uint8_t *r1, int width, const YuvMatrix &m, uint8_t *y0, uint8_t *y1,
                      uint8_t *u, uint8_t *v, int *done) {
    Coefficients k;
    k.yAG = Pair(0, m.yG);
    k.yRB = Pair(m.yR, m.yB);
    k.yBias = _mm256_set1_epi32((m.yOffset << 15) + (1 << 14));
    k.uAG = Pair(0, m.uG);
    k.uRB = Pair(m.uR, m.uB);
    k.vAG = Pair(0, m.vG);
    k.vRB = Pair(m.vR, m.vB);
    k.cBias = _mm256_set1_epi32((128 << 17) + (1 << 16));
    k.mask = _mm256_set1_epi32(0x00FF00FF);
    const __m256i chromaOrder =
        _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15, 0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15);
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i p[4], q[4];
        for (int i = 0; i < 4; ++i) {
            p[i] = Load(r0 + (x + 8 * i) * 4);
            q[i] = Load(r1 + (x + 8 * i) * 4);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(y0 + x),
                            PackLuma(Luma8(p[0], k), Luma8(p[1], k), Luma8(p[2], k), Luma8(p[3], k)));
        if (y1)
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(y1 + x),
                                PackLuma(Luma8(q[0], k), Luma8(q[1], k), Luma8(q[2], k), Luma8(q[3], k)));
        // Column sums of the two rows (16 bits a channel, at most 510), then
        // the sums of neighbouring pixels (at most 1020: no carry between the
        // 16-bit halves of a 32-bit add).
        __m256i ag[4], rb[4];
        for (int i = 0; i < 4; ++i) {
            ag[i] = _mm256_add_epi32(_mm256_and_si256(p[i], k.mask), _mm256_and_si256(q[i], k.mask));
            rb[i] = _mm256_add_epi32(_mm256_and_si256(_mm256_srli_epi32(p[i], 8), k.mask),
                                     _mm256_and_si256(_mm256_srli_epi32(q[i], 8), k.mask));
        }
        // Chroma samples, lane order [0 1 4 5 | 2 3 6 7] and [8 9 12 13 | 10 11 14 15].
        const __m256i ag01 = _mm256_hadd_epi32(ag[0], ag[1]), ag23 = _mm256_hadd_epi32(ag[2], ag[3]);
        const __m256i rb01 = _mm256_hadd_epi32(rb[0], rb[1]), rb23 = _mm256_hadd_epi32(rb[2], rb[3]);
        const __m256i U = _mm256_packus_epi32(Chroma8(ag01, rb01, k.uAG, k.uRB, k.cBias),
                                              Chroma8(ag23, rb23, k.uAG, k.uRB, k.cBias));
        const __m256i V = _mm256_packus_epi32(Chroma8(ag01, rb01, k.vAG, k.vRB, k.cBias),
                                              Chroma8(ag23, rb23, k.vAG, k.vRB, k.cBias));
        // Bytes: U 0 1 4 5 8 9 12 13, V same | U 2 3 6 7 10 11 14 15, V same;
        // the U halves to the low lane, then pairs interleaved into order.
        const __m256i uv = _mm256_shuffle_epi8(
            _mm256_permute4x64_epi64(_mm256_packus_epi16(U, V), _MM_SHUFFLE(3, 1, 2, 0)), chromaOrder);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(u + x / 2), _mm256_castsi256_si128(uv));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(v + x / 2), _mm256_extracti128_si256(uv, 1));
    }
    *done = x;
}

// Sixteen pixels' chroma from eight interpolated samples (and their
// neighbours): even columns lean left, odd ones right; the offset removed.
QV_AVX2_INLINE __m256i Upsample16(const int16_t *b, __m128i offset) {
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + 1));
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + 2));
    const __m128i t = _mm_add_epi16(_mm_add_epi16(c, c), c);
    const __m128i even = _mm_sub_epi16(_mm_add_epi16(t, l), offset);
    const __m128i odd = _mm_sub_epi16(_mm_add_epi16(t, r), offset);
    return _mm256_set_m128i(_mm_unpackhi_epi16(even, odd), _mm_unpacklo_epi16(even, odd));
}

QV_AVX2_INLINE __m256i Level8(__m256i v) {
    const __m256i x = _mm256_srai_epi32(_mm256_add_epi32(v, _mm256_set1_epi32(8192)), 14);
    return _mm256_max_epi32(_mm256_min_epi32(x, _mm256_set1_epi32(255)), _mm256_setzero_si256());
}

// Eight pixel words from (luma, chroma) pairs.
QV_AVX2_INLINE __m256i Words8(__m256i yu, __m256i yv, __m256i kR, __m256i kGu, __m256i kGv, __m256i kB) {
    const __m256i r = Level8(_mm256_madd_epi16(yv, kR));
    const __m256i g = Level8(_mm256_add_epi32(_mm256_madd_epi16(yu, kGu), _mm256_madd_epi16(yv, kGv)));
    const __m256i b = Level8(_mm256_madd_epi16(yu, kB));
    const __m256i rg = _mm256_or_si256(_mm256_slli_epi32(r, 8), _mm256_slli_epi32(g, 16));
    return _mm256_or_si256(_mm256_or_si256(rg, _mm256_slli_epi32(b, 24)), _mm256_set1_epi32(0xFF));
}

QV_AVX2 void ChromaRowAVX2(const uint8_t *nearRow, const uint8_t *farRow, int cw, int16_t *buf) {
    int c = 0;
    for (; c + 16 <= cw; c += 16) {
        const __m256i n = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(nearRow + c)));
        const __m256i f = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(farRow + c)));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(buf + c + 1),
                            _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(n, n), n), f));
    }
    for (; c < cw; ++c) buf[c + 1] = static_cast<int16_t>(3 * nearRow[c] + farRow[c]);
    buf[0] = buf[1];
    buf[cw + 1] = buf[cw];
}

QV_AVX2 void ArgbRowAVX2(const uint8_t *yRow, const int16_t *ub, const int16_t *vb, int width, const RgbMatrix &m,
                         uint8_t *out, int *done) {
    const __m256i kR = Pair(m.y, m.rV), kGu = Pair(m.y, m.gU), kGv = Pair(0, m.gV), kB = Pair(m.y, m.bU);
    const __m256i yOffset = _mm256_set1_epi16(static_cast<int16_t>(m.yOffset));
    const __m128i cOffset = _mm_set1_epi16(128 * 16);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i y = _mm256_sub_epi16(
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(yRow + x))), yOffset);
        const __m256i u = Upsample16(ub + x / 2, cOffset), v = Upsample16(vb + x / 2, cOffset);
        // Pixels 0-3 and 8-11, then 4-7 and 12-15 (in-lane interleaving).
        const __m256i lo = Words8(_mm256_unpacklo_epi16(y, u), _mm256_unpacklo_epi16(y, v), kR, kGu, kGv, kB);
        const __m256i hi = Words8(_mm256_unpackhi_epi16(y, u), _mm256_unpackhi_epi16(y, v), kR, kGu, kGv, kB);
        auto *o = reinterpret_cast<__m256i *>(out + static_cast<long>(x) * 4);
        _mm256_storeu_si256(o, _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(lo, hi, 0x31));
    }
    *done = x;
}

bool DetectAVX2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

}  // namespace

bool Yuv420HasAVX2() {
#ifdef QV_HAVE_X86
    static const bool have = DetectAVX2();
    return have;
#else
    return false;
#endif
}

void ArgbToYuv420(const uint8_t *src, long rowBytes, int width, int height, const YuvMatrix &m,
                  uint8_t *const planes[3], const int strides[3], bool simd) {
    const bool avx2 = simd && Yuv420HasAVX2();
    for (int y = 0; y < height; y += 2) {
        const uint8_t *r0 = src + static_cast<long>(y) * rowBytes;
        const bool pair = y + 1 < height;
        const uint8_t *r1 = pair ? r0 + rowBytes : r0;
        uint8_t *y0 = planes[0] + static_cast<long>(y) * strides[0];
        uint8_t *y1 = pair ? y0 + strides[0] : nullptr;
        uint8_t *u = planes[1] + static_cast<long>(y / 2) * strides[1];
        uint8_t *v = planes[2] + static_cast<long>(y / 2) * strides[2];
        int x = 0;
#ifdef QV_HAVE_X86
        if (avx2) RowsAVX2(r0, r1, width, m, y0, y1, u, v, &x);
#else
        (void)avx2;
#endif
        RowsPlain(r0, r1, x, width, m, y0, y1, u, v);
    }
}

void Yuv420ToArgb(const uint8_t *const planes[3], const int strides[3], int width, int height, const RgbMatrix &m,
                  uint8_t *dst, long rowBytes, bool simd) {
    const bool avx2 = simd && Yuv420HasAVX2();
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    std::vector<int16_t> ub(static_cast<size_t>(cw) + 2), vb(ub.size());
    for (int y = 0; y < height; ++y) {
        const int j = y / 2, far = std::clamp((y & 1) ? j + 1 : j - 1, 0, ch - 1);
        auto chroma = ChromaRow;
#ifdef QV_HAVE_X86
        if (avx2) chroma = ChromaRowAVX2;
#endif
        chroma(planes[1] + static_cast<long>(j) * strides[1], planes[1] + static_cast<long>(far) * strides[1], cw,
               ub.data());
        chroma(planes[2] + static_cast<long>(j) * strides[2], planes[2] + static_cast<long>(far) * strides[2], cw,
               vb.data());
        const uint8_t *yRow = planes[0] + static_cast<long>(y) * strides[0];
        uint8_t *out = dst + static_cast<long>(y) * rowBytes;
        int x = 0;
#ifdef QV_HAVE_X86
        if (avx2) ArgbRowAVX2(yRow, ub.data(), vb.data(), width, m, out, &x);
#else
        (void)avx2;
#endif
        ArgbRowPlain(yRow, ub.data(), vb.data(), x, width, m, out);
    }
}

}  // namespace qvhost
