// Yuv420.h: the host's own conversions between the plug-in's 32-bit A, R,
// G, B pixels and planar 4:2:0 Y'CbCr (the usual decoded format and the
// encoder's) at the same size. They replace swscale on these two paths
// because swscale has no fast route between them here: it takes about
// 6.5 ms a 1080p frame into 4:2:0 and 1.9 ms out of it, several times what
// this code takes (bench/ConvertBench.cpp measures both). Scaling and every
// other format stay with swscale.
//
// Arithmetic: 15-bit fixed-point matrix coefficients, luma per pixel, chroma
// from the sum of each 2 x 2 block (centred siting), rounded to nearest. The
// AVX2 kernel and the plain one do the same integer arithmetic and give the
// same bytes; both are within one level of the exact conversion. Alpha is
// ignored: premultiplied pixels convert as if laid over black.
//
// Nothing is allocated: the caller owns the source and the three planes.
#ifndef QUELVANE_EDITOR_YUV420_H
#define QUELVANE_EDITOR_YUV420_H

#include <cstdint>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace qvhost {

// Coefficients scaled by 2^15; the chroma ones apply to 2 x 2 sums.
struct YuvMatrix {
    int32_t yR, yG, yB, yOffset;  // yOffset in output levels (16 or 0)
    int32_t uR, uG, uB;
    int32_t vR, vG, vB;
};

// The matrix of a colour space (BT.601, BT.709, BT.2020, SMPTE 240M, FCC)
// in limited (16..235/240) or full range; false for a space it does not know.
bool YuvMatrixFor(AVColorSpace space, bool fullRange, YuvMatrix *out);

// Converts width x height pixels (rows rowBytes apart) into the Y, Cb and Cr
// planes. An odd last column or row makes chroma from the pixels there are.
// simd: use the AVX2 kernel where the processor has it.
void ArgbToYuv420(const uint8_t *src, long rowBytes, int width, int height, const YuvMatrix &m,
                  uint8_t *const planes[3], const int strides[3], bool simd = true);

// The other way, for decoded frames: planar 4:2:0 to opaque A, R, G, B at
// the same size. Chroma is interpolated bilinearly (weights 3/4 and 1/4 each
// way) from samples sited at the centres of their 2 x 2 blocks, the siting
// the converter above writes; edges repeat. Fixed point: 2^14 = 1, chroma
// terms for chroma scaled by 16 (what the interpolation leaves).
struct RgbMatrix {
    int32_t y, yOffset;       // luma scale (after removing yOffset: 16 or 0)
    int32_t rV, gU, gV, bU;   // chroma terms
};
bool RgbMatrixFor(AVColorSpace space, bool fullRange, RgbMatrix *out);
void Yuv420ToArgb(const uint8_t *const planes[3], const int strides[3], int width, int height, const RgbMatrix &m,
                  uint8_t *dst, long rowBytes, bool simd = true);

// Whether the AVX2 kernels can run here.
bool Yuv420HasAVX2();

}  // namespace qvhost

#endif
