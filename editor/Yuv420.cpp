// A, R, G, B to and from planar 4:2:0: the plain kernels (the reference)
// and the AVX2 kernels.
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
    const double ys = fullRange ? 1.0 : 255.0 / 219.0, cs = fullRange ? 1.0 : 255.0 / 224.0;
    auto fix = [](double v, double one) { return static_cast<int32_t>(std::lround(v * one)); };
    out->y = fix(ys, 16384.0);
    out->yOffset = fullRange ? 0 : 16;
    out->rV = fix(2 * (1 - kr) * cs, 8192.0);
    out->gU = fix(-2 * kb * (1 - kb) / kg * cs, 8192.0);
    out->gV = fix(-2 * kr * (1 - kr) / kg * cs, 8192.0);
    out->bU = fix(2 * (1 - kb) * cs, 8192.0);
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

// Position i of a line of n, the line mirrored about its end pixels
// (... 2 1 | 0 1 2 ... n-2 n-1 | n-2 n-3 ...).
int MirrorWhole(int i, int n) {
    if (n == 1) return 0;
    for (;;) {
        if (i < 0) i = -i;
        else if (i >= n) i = 2 * (n - 1) - i;
        else return i;
    }
}

// ... mirrored beyond its end pixels (... 1 0 | 0 1 ... n-1 | n-1 n-2 ...).
int MirrorHalf(int i, int n) {
    for (;;) {
        if (i < 0) i = -1 - i;
        else if (i >= n) i = 2 * n - 1 - i;
        else return i;
    }
}

// ---- Down: A, R, G, B to 4:2:0 ----

// The filter buffers of one chroma row: per pixel the vertical filter's
// result for A and G (`ag`) and for R and B (`rb`), two 16-bit values each
// (-510 .. 1530), kPad pixels of mirrored picture on either side.
constexpr int kPad = 2;

struct DownRow {
    std::vector<int16_t> ag, rb;
    explicit DownRow(int width) : ag(2 * (static_cast<size_t>(width) + 2 * kPad)), rb(ag.size()) {}
    int16_t *agAt(int x) { return ag.data() + 2 * (x + kPad); }
    int16_t *rbAt(int x) { return rb.data() + 2 * (x + kPad); }
};

inline uint8_t Luma(const uint8_t *p, const YuvMatrix &m) {
    return Clamp8((m.yR * p[1] + m.yG * p[2] + m.yB * p[3] + (m.yOffset << 15) + (1 << 14)) >> 15);
}

void LumaRowPlain(const uint8_t *row, int x, int width, const YuvMatrix &m, uint8_t *out) {
    for (; x < width; ++x) out[x] = Luma(row + x * 4, m);
}

// Columns [x, width): 3 (b + c) - (a + d) of four rows, per channel.
void VerticalPlain(const uint8_t *a, const uint8_t *b, const uint8_t *c, const uint8_t *d, int x, int width,
                   DownRow &out) {
    for (; x < width; ++x) {
        int16_t v[4];
        for (int i = 0; i < 4; ++i) {
            const int k = 4 * x + i;
            v[i] = static_cast<int16_t>(3 * (b[k] + c[k]) - (a[k] + d[k]));
        }
        int16_t *ag = out.agAt(x), *rb = out.rbAt(x);
        ag[0] = v[0], ag[1] = v[2], rb[0] = v[1], rb[1] = v[3];
    }
}

// The pixels beyond both ends, mirrored about the end pixels.
void MirrorEnds(DownRow &row, int width) {
    for (int i : {-2, -1, width, width + 1}) {
        const int from = MirrorWhole(i, width);
        std::copy_n(row.agAt(from), 2, row.agAt(i));
        std::copy_n(row.rbAt(from), 2, row.rbAt(i));
    }
}

// Chroma samples [k, cw) of the row: the horizontal filter at column 2k,
// then the matrix. The filtered channels are 32 times the picture's.
void ChromaPlain(DownRow &row, int k, int cw, const YuvMatrix &m, uint8_t *u, uint8_t *v) {
    auto filtered = [](const int16_t *p) {  // p: the channel at column 2k
        return 6 * p[0] + 2 * (p[-2] + p[2]) - (p[-4] + p[4]);
    };
    for (; k < cw; ++k) {
        const int32_t G = filtered(row.agAt(2 * k) + 1);
        const int32_t R = filtered(row.rbAt(2 * k)), B = filtered(row.rbAt(2 * k) + 1);
        u[k] = Clamp8((m.uR * R + m.uG * G + m.uB * B + (128 << 20) + (1 << 19)) >> 20);
        v[k] = Clamp8((m.vR * R + m.vG * G + m.vB * B + (128 << 20) + (1 << 19)) >> 20);
    }
}

// ---- Up: 4:2:0 to A, R, G, B ----

// Vertical chroma interpolation for one luma row: 3 x the nearer chroma row
// plus the farther one, into buf[1 .. cw]; buf[0] and buf[cw + 1] repeat the
// edges for the horizontal step.
void ChromaRow(const uint8_t *nearRow, const uint8_t *farRow, int cw, int16_t *buf) {
    for (int c = 0; c < cw; ++c) buf[c + 1] = static_cast<int16_t>(3 * nearRow[c] + farRow[c]);
    buf[0] = buf[1];
    buf[cw + 1] = buf[cw];
}

// The rounded high half of a 16-bit product, as the processor's "multiply
// high with round and scale" gives it.
inline int32_t MulHigh(int32_t a, int32_t k) { return (a * k + (1 << 14)) >> 15; }

inline uint8_t Level(int32_t sixtyFourths) { return Clamp8((sixtyFourths + 32) >> 6); }

// Pixels [x, width) of one row from its luma and interpolated chroma rows.
void ArgbRowPlain(const uint8_t *yRow, const int16_t *ub, const int16_t *vb, int x, int width, const RgbMatrix &m,
                  ChromaSiting siting, uint8_t *out) {
    for (; x < width; ++x) {
        const int c = (x >> 1) + 1;  // this column's chroma in the buffers
        int32_t u, v;                // chroma x 16
        if (siting == ChromaSiting::Left) {
            // Even columns on their sample, odd ones midway to the next.
            u = (x & 1) ? 2 * (ub[c] + ub[c + 1]) : 4 * ub[c];
            v = (x & 1) ? 2 * (vb[c] + vb[c + 1]) : 4 * vb[c];
        } else {
            const int side = (x & 1) ? c + 1 : c - 1;  // the other neighbour
            u = 3 * ub[c] + ub[side];
            v = 3 * vb[c] + vb[side];
        }
        u = (u - 128 * 16) * 16;
        v = (v - 128 * 16) * 16;
        const int32_t y = MulHigh((yRow[x] - m.yOffset) * 128, m.y);
        uint8_t *p = out + static_cast<long>(x) * 4;
        p[0] = 255;
        p[1] = Level(y + MulHigh(v, m.rV));
        p[2] = Level(y + MulHigh(u, m.gU) + MulHigh(v, m.gV));
        p[3] = Level(y + MulHigh(u, m.bU));
    }
}

#ifdef QV_HAVE_X86
#define QV_AVX2 __attribute__((target("avx2")))
#define QV_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

QV_AVX2_INLINE __m256i Pair(int32_t low, int32_t high) {
    return _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFF)));
}

QV_AVX2_INLINE __m256i Load(const void *p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p)); }
QV_AVX2_INLINE void Store(void *p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v); }

// A pixel is A | R << 8 | G << 16 | B << 24 as a little-endian word: masking
// with 0x00FF00FF gives A | G << 16, shifting by 8 first R | B << 16; the
// filters work on those 16-bit lanes, madd with coefficient pairs applies the
// matrix.

// 3 (b + c) - (a + d) in 16-bit lanes.
QV_AVX2_INLINE __m256i Vertical(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i s = _mm256_add_epi16(b, c);
    return _mm256_sub_epi16(_mm256_add_epi16(_mm256_add_epi16(s, s), s), _mm256_add_epi16(a, d));
}

// Eight pixels' luma as 32-bit values from their A | G << 16 and R | B << 16 words.
QV_AVX2_INLINE __m256i Luma8(__m256i ag, __m256i rb, __m256i kAG, __m256i kRB, __m256i bias) {
    const __m256i s = _mm256_add_epi32(_mm256_madd_epi16(ag, kAG), _mm256_madd_epi16(rb, kRB));
    return _mm256_srai_epi32(_mm256_add_epi32(s, bias), 15);
}

// The vertical filter of rows a to d into the buffers, and the luma of rows
// b and c (c's only when lumaC is given), eight pixels at a time.
QV_AVX2 void VerticalAVX2(const uint8_t *a, const uint8_t *b, const uint8_t *c, const uint8_t *d, int width,
                          const YuvMatrix &m, DownRow &out, uint8_t *lumaB, uint8_t *lumaC, int *done) {
    const __m256i mask = _mm256_set1_epi32(0x00FF00FF);
    const __m256i kAG = Pair(0, m.yG), kRB = Pair(m.yR, m.yB), bias = _mm256_set1_epi32((m.yOffset << 15) + (1 << 14));
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i pa = Load(a + 4 * x), pb = Load(b + 4 * x), pc = Load(c + 4 * x), pd = Load(d + 4 * x);
        const __m256i agB = _mm256_and_si256(pb, mask), agC = _mm256_and_si256(pc, mask);
        const __m256i rbB = _mm256_and_si256(_mm256_srli_epi32(pb, 8), mask);
        const __m256i rbC = _mm256_and_si256(_mm256_srli_epi32(pc, 8), mask);
        Store(out.agAt(x), Vertical(_mm256_and_si256(pa, mask), agB, agC, _mm256_and_si256(pd, mask)));
        Store(out.rbAt(x), Vertical(_mm256_and_si256(_mm256_srli_epi32(pa, 8), mask), rbB, rbC,
                                    _mm256_and_si256(_mm256_srli_epi32(pd, 8), mask)));
        // Luma bytes b0-3 c0-3 | b4-7 c4-7 (each lane twice), then b0-7 c0-7.
        const __m256i words = _mm256_packus_epi32(Luma8(agB, rbB, kAG, kRB, bias), Luma8(agC, rbC, kAG, kRB, bias));
        const __m128i bytes =
            _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), order));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(lumaB + x), bytes);
        if (lumaC) _mm_storel_epi64(reinterpret_cast<__m128i *>(lumaC + x), _mm_srli_si128(bytes, 8));
    }
    *done = x;
}

// 6 c + 2 (l + r) - (ll + rr) at eight columns from p on.
QV_AVX2_INLINE __m256i Horizontal(const int16_t *p) {
    const __m256i c = Load(p), c2 = _mm256_add_epi16(c, c);
    const __m256i near = _mm256_add_epi16(Load(p - 2), Load(p + 2));
    const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(c2, c2), _mm256_add_epi16(c2, _mm256_add_epi16(near, near)));
    return _mm256_sub_epi16(sum, _mm256_add_epi16(Load(p - 4), Load(p + 4)));
}

// The horizontal filter at the eight even columns 2k .. 2k + 14 of one
// buffer: two channels a pixel, 32 times the picture's.
QV_AVX2_INLINE __m256i Horizontal8(const int16_t *at) {  // at: column 2k
    // Columns 2k .. 2k + 7 and 2k + 8 .. 2k + 15; the even ones kept, in order.
    const __m256 lo = _mm256_castsi256_ps(Horizontal(at)), hi = _mm256_castsi256_ps(Horizontal(at + 16));
    const __m256i even = _mm256_castps_si256(_mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)));
    return _mm256_permute4x64_epi64(even, _MM_SHUFFLE(3, 1, 2, 0));
}

QV_AVX2 void ChromaAVX2(DownRow &row, int width, int cw, const YuvMatrix &m, uint8_t *u, uint8_t *v, int *done) {
    const __m256i uAG = Pair(0, m.uG), uRB = Pair(m.uR, m.uB), vAG = Pair(0, m.vG), vRB = Pair(m.vR, m.vB);
    const __m256i bias = _mm256_set1_epi32((128 << 20) + (1 << 19));
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int k = 0;
    // The last column read is 2k + 17, which the buffer holds up to width + 1.
    for (; k + 8 <= cw && 2 * k + 16 <= width; k += 8) {
        const __m256i ag = Horizontal8(row.agAt(2 * k)), rb = Horizontal8(row.rbAt(2 * k));
        const __m256i U = _mm256_srai_epi32(
            _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(ag, uAG), _mm256_madd_epi16(rb, uRB)), bias), 20);
        const __m256i V = _mm256_srai_epi32(
            _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(ag, vAG), _mm256_madd_epi16(rb, vRB)), bias), 20);
        // Bytes U0-3 V0-3 | U4-7 V4-7 (each lane twice), then U0-7 V0-7.
        const __m256i words = _mm256_packus_epi32(U, V);
        const __m128i bytes =
            _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), order));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(u + k), bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(v + k), _mm_srli_si128(bytes, 8));
    }
    *done = k;
}

// Sixteen pixels' chroma from eight interpolated samples (and their
// neighbours), the offset removed.
QV_AVX2_INLINE __m256i Upsample16(const int16_t *b, __m128i offset, bool left) {
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + 1));
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + 2));
    __m128i even, odd;
    if (left) {  // on the sample, and midway to the next
        const __m128i c2 = _mm_add_epi16(c, c);
        even = _mm_add_epi16(c2, c2);
        odd = _mm_add_epi16(c2, _mm_add_epi16(r, r));
    } else {  // 3/4 and 1/4 towards the nearer neighbour
        const __m128i t = _mm_add_epi16(_mm_add_epi16(c, c), c);
        even = _mm_add_epi16(t, l);
        odd = _mm_add_epi16(t, r);
    }
    even = _mm_sub_epi16(even, offset);
    odd = _mm_sub_epi16(odd, offset);
    return _mm256_set_m128i(_mm_unpackhi_epi16(even, odd), _mm_unpacklo_epi16(even, odd));
}

QV_AVX2 void ChromaRowAVX2(const uint8_t *nearRow, const uint8_t *farRow, int cw, int16_t *buf) {
    int c = 0;
    for (; c + 16 <= cw; c += 16) {
        const __m256i n = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(nearRow + c)));
        const __m256i f = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(farRow + c)));
        Store(buf + c + 1, _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(n, n), n), f));
    }
    for (; c < cw; ++c) buf[c + 1] = static_cast<int16_t>(3 * nearRow[c] + farRow[c]);
    buf[0] = buf[1];
    buf[cw + 1] = buf[cw];
}

QV_AVX2 void ArgbRowAVX2(const uint8_t *yRow, const int16_t *ub, const int16_t *vb, int width, const RgbMatrix &m,
                         ChromaSiting siting, uint8_t *out, int *done) {
    const __m256i kY = _mm256_set1_epi16(static_cast<int16_t>(m.y)), kR = _mm256_set1_epi16(static_cast<int16_t>(m.rV));
    const __m256i kGu = _mm256_set1_epi16(static_cast<int16_t>(m.gU)), kGv = _mm256_set1_epi16(static_cast<int16_t>(m.gV));
    const __m256i kB = _mm256_set1_epi16(static_cast<int16_t>(m.bU));
    const __m256i yOffset = _mm256_set1_epi16(static_cast<int16_t>(m.yOffset)), half = _mm256_set1_epi16(32);
    const __m256i alpha = _mm256_set1_epi16(255);
    const __m128i cOffset = _mm_set1_epi16(128 * 16);
    const bool left = siting == ChromaSiting::Left;
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i y = _mm256_mulhrs_epi16(
            _mm256_slli_epi16(
                _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(yRow + x))),
                                 yOffset),
                7),
            kY);
        const __m256i u = _mm256_slli_epi16(Upsample16(ub + x / 2, cOffset, left), 4);
        const __m256i v = _mm256_slli_epi16(Upsample16(vb + x / 2, cOffset, left), 4);
        // 1/64 levels, saturated (anything saturated is far above 255).
        const __m256i r = _mm256_srai_epi16(_mm256_adds_epi16(_mm256_adds_epi16(y, _mm256_mulhrs_epi16(v, kR)), half), 6);
        const __m256i g = _mm256_srai_epi16(
            _mm256_adds_epi16(_mm256_adds_epi16(_mm256_adds_epi16(y, _mm256_mulhrs_epi16(u, kGu)), _mm256_mulhrs_epi16(v, kGv)),
                              half),
            6);
        const __m256i b = _mm256_srai_epi16(_mm256_adds_epi16(_mm256_adds_epi16(y, _mm256_mulhrs_epi16(u, kB)), half), 6);
        // Bytes A G and R B per lane, then A R and G B pairs, then pixels:
        // 0-3 and 8-11, 4-7 and 12-15.
        const __m256i ag = _mm256_packus_epi16(alpha, g), rb = _mm256_packus_epi16(r, b);
        const __m256i ar = _mm256_unpacklo_epi8(ag, rb), gb = _mm256_unpackhi_epi8(ag, rb);
        const __m256i lo = _mm256_unpacklo_epi16(ar, gb), hi = _mm256_unpackhi_epi16(ar, gb);
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

void ArgbToYuv420Rows(const uint8_t *src, long rowBytes, int width, int height, const YuvMatrix &m,
                      uint8_t *const planes[3], const int strides[3], int top, int bottom, bool simd) {
    const bool avx2 = simd && Yuv420HasAVX2();
    (void)avx2;
    const int cw = (width + 1) / 2;
    DownRow row(width);
    auto line = [&](int y) { return src + static_cast<long>(MirrorHalf(y, height)) * rowBytes; };
    for (int j = top / 2; 2 * j < std::min(bottom, height); ++j) {
        const int y = 2 * j;
        uint8_t *u = planes[1] + static_cast<long>(j) * strides[1];
        uint8_t *v = planes[2] + static_cast<long>(j) * strides[2];
        const uint8_t *a = line(y - 1), *b = line(y), *c = line(y + 1), *d = line(y + 2);
        uint8_t *lumaB = planes[0] + static_cast<long>(y) * strides[0];
        uint8_t *lumaC = y + 1 < height ? lumaB + strides[0] : nullptr;
        int x = 0, k = 0;
#ifdef QV_HAVE_X86
        if (avx2) VerticalAVX2(a, b, c, d, width, m, row, lumaB, lumaC, &x);
#endif
        VerticalPlain(a, b, c, d, x, width, row);
        LumaRowPlain(b, x, width, m, lumaB);
        if (lumaC) LumaRowPlain(c, x, width, m, lumaC);
        MirrorEnds(row, width);
#ifdef QV_HAVE_X86
        if (avx2) ChromaAVX2(row, width, cw, m, u, v, &k);
#endif
        ChromaPlain(row, k, cw, m, u, v);
    }
}

void ArgbToYuv420(const uint8_t *src, long rowBytes, int width, int height, const YuvMatrix &m,
                  uint8_t *const planes[3], const int strides[3], bool simd) {
    ArgbToYuv420Rows(src, rowBytes, width, height, m, planes, strides, 0, height, simd);
}

void Yuv420ToArgbRows(const uint8_t *const planes[3], const int strides[3], int width, int height,
                      const RgbMatrix &m, ChromaSiting siting, uint8_t *dst, long rowBytes, int top, int bottom,
                      bool simd) {
    const bool avx2 = simd && Yuv420HasAVX2();
    (void)avx2;
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    std::vector<int16_t> ub(static_cast<size_t>(cw) + 2), vb(ub.size());
    auto chroma = ChromaRow;
#ifdef QV_HAVE_X86
    if (avx2) chroma = ChromaRowAVX2;
#endif
    for (int y = std::max(0, top); y < std::min(bottom, height); ++y) {
        const int j = y / 2, far = std::clamp((y & 1) ? j + 1 : j - 1, 0, ch - 1);
        chroma(planes[1] + static_cast<long>(j) * strides[1], planes[1] + static_cast<long>(far) * strides[1], cw,
               ub.data());
        chroma(planes[2] + static_cast<long>(j) * strides[2], planes[2] + static_cast<long>(far) * strides[2], cw,
               vb.data());
        const uint8_t *yRow = planes[0] + static_cast<long>(y) * strides[0];
        uint8_t *out = dst + static_cast<long>(y) * rowBytes;
        int x = 0;
#ifdef QV_HAVE_X86
        if (avx2) ArgbRowAVX2(yRow, ub.data(), vb.data(), width, m, siting, out, &x);
#endif
        ArgbRowPlain(yRow, ub.data(), vb.data(), x, width, m, siting, out);
    }
}

void Yuv420ToArgb(const uint8_t *const planes[3], const int strides[3], int width, int height, const RgbMatrix &m,
                  ChromaSiting siting, uint8_t *dst, long rowBytes, bool simd) {
    Yuv420ToArgbRows(planes, strides, width, height, m, siting, dst, rowBytes, 0, height, simd);
}

}  // namespace qvhost
