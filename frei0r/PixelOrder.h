// PixelOrder.h: conversions between the frei0r hosts' pixels and the
// plug-in's. A frei0r host hands the filter RGBA8888 frames: bytes R, G, B, A
// in memory, straight (not premultiplied) alpha, rows width x 4 bytes long.
// The plug-in's graphics worlds hold bytes A, R, G, B with premultiplied
// alpha. For an opaque pixel the two differ by a rotation of the four bytes;
// a pixel with alpha other than 255 is also multiplied by its alpha on the way
// in and divided by it on the way out, rounding to the nearest value.
//
// The procedures read `count` pixels at `in` and write `count` pixels at
// `out`; `in` and `out` may be the same memory (conversion in place), and
// neither need be aligned. Nothing is allocated.
#ifndef QUELVANE_FREI0R_PIXELORDER_H
#define QUELVANE_FREI0R_PIXELORDER_H

#include <cstddef>
#include <cstdint>

namespace qvfrei0r {

// R, G, B, A straight -> A, R, G, B premultiplied.
void StraightRGBAToPremultipliedARGB(const uint8_t *in, uint8_t *out, size_t count);

// A, R, G, B premultiplied -> R, G, B, A straight. A colour byte above its
// alpha (not a valid premultiplied pixel) is read as equal to the alpha.
void PremultipliedARGBToStraightRGBA(const uint8_t *in, uint8_t *out, size_t count);

}  // namespace qvfrei0r

#endif
