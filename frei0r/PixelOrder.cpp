// Pixel conversions between frei0r's RGBA8888 and the plug-in's premultiplied
// A, R, G, B. Frames from video are opaque: blocks of opaque pixels are a
// rotation of each 32-bit word (eight at a time with AVX2 where the
// processor has it, four with SSE2 on any x86, a plain loop elsewhere); only
// pixels with alpha other than 255 take the per-pixel multiply or divide.
#include "PixelOrder.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QV_AVX2 __attribute__((target("avx2")))
#endif

namespace qvfrei0r {

namespace {

// round(c x a / 255), exact for all 8-bit c and a.
inline uint8_t Premultiply(unsigned c, unsigned a) {
    const unsigned t = c * a + 128;
    return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

// ceil(2^32 / a): (x * kReciprocal[a]) >> 32 is floor(x / a) for every
// x below 2^24, far above the 255 x 255 + 127 the division below needs.
constexpr std::array<uint64_t, 256> MakeReciprocals() {
    std::array<uint64_t, 256> r{};
    for (uint64_t a = 1; a < 256; ++a) r[a] = ((uint64_t{1} << 32) + a - 1) / a;
    return r;
}
constexpr std::array<uint64_t, 256> kReciprocal = MakeReciprocals();

// round(p x 255 / a) for 0 < a < 255 and p <= a.
inline uint8_t Unpremultiply(unsigned p, unsigned a) {
    if (p > a) p = a;
    const uint64_t x = p * 255u + a / 2;
    return static_cast<uint8_t>((x * kReciprocal[a]) >> 32);
}

inline void PixelIn(const uint8_t *in, uint8_t *out) {
    const uint8_t r = in[0], g = in[1], b = in[2], a = in[3];
    if (a == 255) {
        out[0] = 255, out[1] = r, out[2] = g, out[3] = b;
    } else {
        out[0] = a, out[1] = Premultiply(r, a), out[2] = Premultiply(g, a), out[3] = Premultiply(b, a);
    }
}

inline void PixelOut(const uint8_t *in, uint8_t *out) {
    const uint8_t a = in[0], r = in[1], g = in[2], b = in[3];
    if (a == 255) {
        out[0] = r, out[1] = g, out[2] = b, out[3] = 255;
    } else if (a == 0) {
        out[0] = out[1] = out[2] = out[3] = 0;
    } else {
        out[0] = Unpremultiply(r, a), out[1] = Unpremultiply(g, a), out[2] = Unpremultiply(b, a), out[3] = a;
    }
}

#if defined(QV_AVX2)
// Blocks of eight: `alphaByte` picks the byte holding alpha in each word,
// `rotate` moves the bytes of an opaque pixel into the other order. Answers
// how many pixels were converted; a block that is not wholly opaque goes
// through `pixel`.
template <void (*pixel)(const uint8_t *, uint8_t *)>
QV_AVX2 size_t ConvertAVX2(const uint8_t *in, uint8_t *out, size_t count, __m256i alphaMask, __m256i rotate) {
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in + 4 * i));
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(x, alphaMask), alphaMask)) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 4 * i), _mm256_shuffle_epi8(x, rotate));
        } else {
            for (size_t k = i; k < i + 8; ++k) pixel(in + 4 * k, out + 4 * k);
        }
    }
    return i;
}

QV_AVX2 size_t InAVX2(const uint8_t *in, uint8_t *out, size_t count) {
    // R, G, B, A -> A, R, G, B in each word.
    const __m256i rotate = _mm256_setr_epi8(3, 0, 1, 2, 7, 4, 5, 6, 11, 8, 9, 10, 15, 12, 13, 14, 3, 0, 1, 2, 7, 4, 5,
                                            6, 11, 8, 9, 10, 15, 12, 13, 14);
    return ConvertAVX2<PixelIn>(in, out, count, _mm256_set1_epi32(static_cast<int>(0xFF000000u)), rotate);
}

QV_AVX2 size_t OutAVX2(const uint8_t *in, uint8_t *out, size_t count) {
    // A, R, G, B -> R, G, B, A in each word.
    const __m256i rotate = _mm256_setr_epi8(1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12, 1, 2, 3, 0, 5, 6, 7,
                                            4, 9, 10, 11, 8, 13, 14, 15, 12);
    return ConvertAVX2<PixelOut>(in, out, count, _mm256_set1_epi32(0xFF), rotate);
}

const bool kHasAVX2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

void StraightRGBAToPremultipliedARGB(const uint8_t *in, uint8_t *out, size_t count) {
    size_t i = 0;
#if defined(QV_AVX2)
    if (kHasAVX2) i = InAVX2(in, out, count);
#endif
#if defined(__SSE2__)
    // Alpha is the high byte of each little-endian word.
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 4 <= count; i += 4) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 4 * i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(x, alpha), alpha)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4 * i),
                             _mm_or_si128(_mm_slli_epi32(x, 8), _mm_srli_epi32(x, 24)));
        } else {
            for (size_t k = i; k < i + 4; ++k) PixelIn(in + 4 * k, out + 4 * k);
        }
    }
#endif
    for (; i < count; ++i) PixelIn(in + 4 * i, out + 4 * i);
}

void PremultipliedARGBToStraightRGBA(const uint8_t *in, uint8_t *out, size_t count) {
    size_t i = 0;
#if defined(QV_AVX2)
    if (kHasAVX2) i = OutAVX2(in, out, count);
#endif
#if defined(__SSE2__)
    // Alpha is the low byte of each little-endian word.
    const __m128i alpha = _mm_set1_epi32(0xFF);
    for (; i + 4 <= count; i += 4) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 4 * i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(x, alpha), alpha)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4 * i),
                             _mm_or_si128(_mm_srli_epi32(x, 8), _mm_slli_epi32(x, 24)));
        } else {
            for (size_t k = i; k < i + 4; ++k) PixelOut(in + 4 * k, out + 4 * k);
        }
    }
#endif
    for (; i < count; ++i) PixelOut(in + 4 * i, out + 4 * i);
}

}  // namespace qvfrei0r
