// Yuv420.h: the host's own conversion of the plug-in's 32-bit A, R, G, B
// pixels into planar 4:2:0 Y'CbCr, the encoder's format. It replaces
// swscale on this one path because swscale reads packed RGB through a slow
// generic route (about 6.5 ms a 1080p frame here, against well under 1 ms for
// this code; bench/ConvertBench.cpp measures both). Every other conversion
// stays with swscale.
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

// Whether the AVX2 kernel can run here.
bool Yuv420HasAVX2();

}  // namespace qvhost

#endif
