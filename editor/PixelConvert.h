// PixelConvert.h: picture conversions of the host. ToArgb turns a decoded
// frame of any pixel format into the 32-bit A, R, G, B buffers the plug-in
// draws in (premultiplied, at any size, with the colour matrix, range and
// chroma siting the frame declares; when it declares no matrix, the one its
// size implies: BT.709 for HD, BT.601 below). FromArgb turns such a buffer
// into an encoder's frame with the matrix and range that frame declares.
// 4:2:0 at the same size goes through the host's own converters (Yuv420.h);
// scaling and other formats through swscale.
//
// Each converter keeps its swscale context between calls (rebuilt when a size,
// format or quality changes) and owns it; buffers belong to the caller.
#ifndef QUELVANE_EDITOR_PIXELCONVERT_H
#define QUELVANE_EDITOR_PIXELCONVERT_H

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

struct SwsContext;

namespace qvhost {

// BT.709 for HD sizes (720 rows or more, or wider than 1024), BT.601 below.
AVColorSpace DefaultColorSpace(int width, int height);

class ToArgb {
public:
    ToArgb() = default;
    ~ToArgb();
    ToArgb(const ToArgb &) = delete;
    ToArgb &operator=(const ToArgb &) = delete;

    // Converts src into width x height pixels at dst (rows rowBytes apart).
    // highQuality: bicubic with full chroma; otherwise the fast bilinear scaler.
    void convert(const AVFrame *src, int width, int height, bool highQuality, uint8_t *dst, long rowBytes);

private:
    SwsContext *ctx_ = nullptr;
};

class FromArgb {
public:
    FromArgb() = default;
    ~FromArgb();
    FromArgb(const FromArgb &) = delete;
    FromArgb &operator=(const FromArgb &) = delete;

    // Converts the top-left dst->width x dst->height pixels of an A, R, G, B
    // buffer into dst (allocated by the caller), using dst's colorspace and
    // colour range.
    void convert(const uint8_t *src, long rowBytes, AVFrame *dst);

private:
    SwsContext *ctx_ = nullptr;
};

// Premultiplies the colour of every pixel of an A, R, G, B buffer by its alpha.
void PremultiplyArgb(uint8_t *pixels, int width, int height, long rowBytes);

}  // namespace qvhost

#endif
