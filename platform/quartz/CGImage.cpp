// Immutable, reference-counted images. Pixels are shared between copies:
// CGImageCreateCopy hands out a new image object over the same pixel buffer.
#include "quartz/CoreGraphics.h"

#include <cstring>
#include <memory>
#include <new>

#include "corefoundation/CFRuntime.h"

struct CGImage {
    CFRuntimeBase base;
    size_t width;
    size_t height;
    size_t rowBytes;
    std::shared_ptr<const UInt8[]> pixels;
};

namespace {

void FinalizeImage(CFRuntimeBase *object) { delete reinterpret_cast<CGImage *>(object); }

CGImage *AsImage(CGImageRef image) {
    return reinterpret_cast<CGImage *>(CFRuntimeCast(image, kQVTypeIDImage));
}

CGImageRef NewImage(size_t width, size_t height, size_t rowBytes, std::shared_ptr<const UInt8[]> pixels) {
    auto *image = new (std::nothrow) CGImage;
    if (!image) return nullptr;
    CFRuntimeInit(&image->base, kQVTypeIDImage, FinalizeImage);
    image->width = width;
    image->height = height;
    image->rowBytes = rowBytes;
    image->pixels = std::move(pixels);
    return image;
}

} // namespace

extern "C" {

CGImageRef CGImageRetain(CGImageRef image) {
    if (image) CFRetain(image);
    return image;
}

void CGImageRelease(CGImageRef image) {
    if (image) CFRelease(image);
}

size_t CGImageGetWidth(CGImageRef image) {
    CGImage *i = AsImage(image);
    return i ? i->width : 0;
}

size_t CGImageGetHeight(CGImageRef image) {
    CGImage *i = AsImage(image);
    return i ? i->height : 0;
}

size_t CGImageGetBytesPerRow(CGImageRef image) {
    CGImage *i = AsImage(image);
    return i ? i->rowBytes : 0;
}

size_t CGImageGetBitsPerPixel(CGImageRef image) { return AsImage(image) ? 32 : 0; }

size_t CGImageGetBitsPerComponent(CGImageRef image) { return AsImage(image) ? 8 : 0; }

CGImageRef CGImageCreateCopy(CGImageRef image) {
    CGImage *i = AsImage(image);
    if (!i) return nullptr;
    return NewImage(i->width, i->height, i->rowBytes, i->pixels);
}

CGImageRef QVCGImageCreateWithARGB(size_t width, size_t height, size_t rowBytes, const void *pixels) {
    if (width == 0 || height == 0 || !pixels || rowBytes < width * 4) return nullptr;
    const size_t packed = width * 4;
    std::shared_ptr<UInt8[]> copy(new (std::nothrow) UInt8[packed * height]);
    if (!copy) return nullptr;
    for (size_t y = 0; y < height; ++y)
        std::memcpy(copy.get() + y * packed, static_cast<const UInt8 *>(pixels) + y * rowBytes, packed);
    CGImageRef image = NewImage(width, height, packed, std::move(copy));
    return image;
}

const UInt8 *QVCGImageGetPixels(CGImageRef image) {
    CGImage *i = AsImage(image);
    return i ? i->pixels.get() : nullptr;
}

} // extern "C"
