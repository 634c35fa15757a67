// Fuzz target: any bytes as an image file, decoded through the Quartz
// stand-in's image sources (Qt's readers behind our checks). An input gives
// no source, no image, or images whose size lies within the limits and whose
// every pixel is valid premultiplied colour; nothing may crash, leak or read
// out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "quartz/CGInternal.h"
#include "quartz/CoreGraphics.h"

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Keep every input quick: at most 1 Mi pixels (the same checks run as
    // with the full limit, which only the size differs from).
    cg::SetImageSourcePixelLimit(size_t(1) << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    CGImageSourceRef source = QVCGImageSourceCreateWithBytes(data, size);
    if (!source) return 0;
    const size_t count = CGImageSourceGetCount(source);
    Check(count >= 1);
    for (size_t index = 0; index < count && index < 3; ++index) {
        CGImageRef image = CGImageSourceCreateImageAtIndex(source, index, nullptr);
        if (!image) continue;
        const size_t w = CGImageGetWidth(image), h = CGImageGetHeight(image), rb = CGImageGetBytesPerRow(image);
        Check(w > 0 && h > 0 && w <= kQVImageSourceMaxSide && h <= kQVImageSourceMaxSide);
        Check(w * h <= (size_t(1) << 20) && rb >= w * 4);
        const uint8_t *p = QVCGImageGetPixels(image);
        for (size_t y = 0; y < h; ++y)
            for (size_t x = 0; x < w; ++x) {
                const uint8_t *q = p + y * rb + x * 4;
                Check(q[1] <= q[0] && q[2] <= q[0] && q[3] <= q[0]);
            }
        CGImageRelease(image);
    }
    Check(CGImageSourceCreateImageAtIndex(source, count, nullptr) == nullptr);
    CFRelease(source);
    return 0;
}
