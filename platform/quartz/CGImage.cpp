// Immutable, reference-counted images. An image holds its pixels through a
// loan: its own memory, or (for a snapshot) the memory of the port or
// context it was taken from, copied out before that memory changes.
// CGImageCreateCopy shares the loan.
#include <cstring>
#include <new>

#include "quartz/CGInternal.h"

namespace {

void FinalizeImage(CFRuntimeBase *object) { delete reinterpret_cast<CGImage *>(object); }

} // namespace

namespace cg {

CGImage *AsImage(CGImageRef image) {
    return reinterpret_cast<CGImage *>(CFRuntimeCast(image, kQVTypeIDImage));
}

CGImageRef NewImage(size_t width, size_t height, std::shared_ptr<qd::PixelLoan> pixels) {
    if (!pixels) return nullptr;
    auto *image = new (std::nothrow) CGImage;
    if (!image) return nullptr;
    CFRuntimeInit(&image->base, kQVTypeIDImage, FinalizeImage);
    image->width = width;
    image->height = height;
    image->pixels = std::move(pixels);
    return image;
}

cgdraw::Source ImageSource(CGImage *image) {
    return cgdraw::Source{image->pixels->data, image->pixels->rowBytes, static_cast<int>(image->width),
                          static_cast<int>(image->height)};
}

} // namespace cg

extern "C" {

CGImageRef CGImageRetain(CGImageRef image) {
    if (image) CFRetain(image);
    return image;
}

void CGImageRelease(CGImageRef image) {
    if (image) CFRelease(image);
}

size_t CGImageGetWidth(CGImageRef image) {
    CGImage *i = cg::AsImage(image);
    return i ? i->width : 0;
}

size_t CGImageGetHeight(CGImageRef image) {
    CGImage *i = cg::AsImage(image);
    return i ? i->height : 0;
}

size_t CGImageGetBytesPerRow(CGImageRef image) {
    CGImage *i = cg::AsImage(image);
    return i ? i->pixels->rowBytes : 0;
}

size_t CGImageGetBitsPerPixel(CGImageRef image) { return cg::AsImage(image) ? 32 : 0; }

size_t CGImageGetBitsPerComponent(CGImageRef image) { return cg::AsImage(image) ? 8 : 0; }

CGImageRef CGImageCreateCopy(CGImageRef image) {
    CGImage *i = cg::AsImage(image);
    if (!i) return nullptr;
    return cg::NewImage(i->width, i->height, i->pixels);
}

CGImageRef QVCGImageCreateWithARGB(size_t width, size_t height, size_t rowBytes, const void *pixels) {
    if (width == 0 || height == 0 || !pixels || rowBytes < width * 4) return nullptr;
    if (width > kQVImageSourceMaxSide || height > kQVImageSourceMaxSide) return nullptr;
    const size_t packed = width * 4;
    std::shared_ptr<UInt8> copy = qd::AllocatePixels(packed * height);
    if (!copy) return nullptr;
    for (size_t y = 0; y < height; ++y)
        std::memcpy(copy.get() + y * packed, static_cast<const UInt8 *>(pixels) + y * rowBytes, packed);
    auto loan = std::make_shared<qd::PixelLoan>();
    loan->data = copy.get();
    loan->rowBytes = packed;
    loan->width = width;
    loan->height = height;
    loan->own = copy;
    return cg::NewImage(width, height, std::move(loan));
}

const UInt8 *QVCGImageGetPixels(CGImageRef image) {
    CGImage *i = cg::AsImage(image);
    if (!i) return nullptr;
    // The address must stay valid and unchanged for the image's life: take
    // the pixels out of any lender now.
    i->pixels->Detach();
    return i->pixels->data;
}

} // extern "C"
