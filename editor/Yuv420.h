// Yuv420.h: the host's own conversions between the plug-in's 32-bit A, R,
// G, B pixels and planar 4:2:0 Y'CbCr (the usual decoded format and the
// encoder's) at the same size. They replace swscale on these two paths
// because swscale has no fast route between them here: it takes about
// 6.5 ms a 1080p frame into 4:2:0 and 1.9 ms out of it, several times what
// this code takes (bench/ConvertBench.cpp measures both). Scaling and every
// other format stay with swscale.
//
// The chroma filters are a matched pair: the downsampler undoes the
// upsampler exactly (in exact arithmetic, edges included), so a picture that
// goes out to A, R, G, B and back keeps its chroma but for rounding and for
// colours outside the RGB cube, however many times it goes round.
// - Up (to A, R, G, B): linear interpolation between the chroma samples
//   where they sit: down the picture midway between two rows (weights 3/4
//   and 1/4), across either on the even columns ("left" siting of MPEG-2,
//   H.264 and HEVC: the even column takes its sample, the odd one the mean
//   of its two neighbours) or midway between two columns ("centre" siting
//   of MPEG-1 and JPEG: 3/4 and 1/4). Edges repeat the last sample.
// - Down (to 4:2:0, always left-sited, H.264's default): across, the 5-tap
//   filter (-1, 2, 6, 2, -1) / 8 centred on the even columns (the picture
//   mirrored about its edge columns); down, the 4-tap filter
//   (-1, 3, 3, -1) / 4 over the two rows of the sample and their outer
//   neighbours (the picture mirrored beyond its edge rows).
//
// Arithmetic is integer: luma per pixel with 15-bit coefficients; chroma
// filters on R, G and B exactly, then the matrix (15-bit) with one rounding.
// The AVX2 kernels and the plain ones do the same integer arithmetic and give
// the same bytes. Alpha is ignored: premultiplied pixels convert as if laid
// over black.
//
// Nothing is handed out: the caller owns the source and the three planes.
// Bands of rows may be converted on different threads at once.
#ifndef QUELVANE_EDITOR_YUV420_H
#define QUELVANE_EDITOR_YUV420_H

#include <cstdint>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace qvhost {

// Coefficients scaled by 2^15.
struct YuvMatrix {
    int32_t yR, yG, yB, yOffset;  // yOffset in output levels (16 or 0)
    int32_t uR, uG, uB;
    int32_t vR, vG, vB;
};

// The matrix of a colour space (BT.601, BT.709, BT.2020, SMPTE 240M, FCC)
// in limited (16..235/240) or full range; false for a space it does not know.
bool YuvMatrixFor(AVColorSpace space, bool fullRange, YuvMatrix *out);

// Converts width x height pixels (rows rowBytes apart) into the Y, Cb and Cr
// planes, left-sited. simd: use the AVX2 kernel where the processor has it.
void ArgbToYuv420(const uint8_t *src, long rowBytes, int width, int height, const YuvMatrix &m,
                  uint8_t *const planes[3], const int strides[3], bool simd = true);
// The same for the rows [top, bottom) of the picture only (top even): the
// luma rows there and the chroma rows they hold.
void ArgbToYuv420Rows(const uint8_t *src, long rowBytes, int width, int height, const YuvMatrix &m,
                      uint8_t *const planes[3], const int strides[3], int top, int bottom, bool simd = true);

// Where the chroma samples sit across the picture (see above).
enum class ChromaSiting { Left, Centre };

// The other way: planar 4:2:0 to opaque A, R, G, B at the same size, in
// 16-bit fixed point: each term is a rounded product (a x k + 2^14) >> 15
// giving 1/64 levels, the terms are added and rounded to a level. The luma
// term takes (Y - yOffset) x 128 and y (2^14 = 1); the chroma terms take the
// interpolated chroma minus 128, x 256, and the chroma coefficients (2^13 = 1).
struct RgbMatrix {
    int32_t y, yOffset;       // luma scale (after removing yOffset: 16 or 0)
    int32_t rV, gU, gV, bU;   // chroma coefficients
};
bool RgbMatrixFor(AVColorSpace space, bool fullRange, RgbMatrix *out);
void Yuv420ToArgb(const uint8_t *const planes[3], const int strides[3], int width, int height, const RgbMatrix &m,
                  ChromaSiting siting, uint8_t *dst, long rowBytes, bool simd = true);
// The rows [top, bottom) only.
void Yuv420ToArgbRows(const uint8_t *const planes[3], const int strides[3], int width, int height,
                      const RgbMatrix &m, ChromaSiting siting, uint8_t *dst, long rowBytes, int top, int bottom,
                      bool simd = true);

// Whether the AVX2 kernels can run here.
bool Yuv420HasAVX2();

}  // namespace qvhost

#endif
