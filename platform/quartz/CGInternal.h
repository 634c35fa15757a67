/*
 * CGInternal.h: the object records of the Quartz stand-in (internal to the
 * platform layer): images over shared pixel memory, colour spaces, bitmap
 * contexts with their graphics state, and how a context reaches its pixels.
 */
#ifndef QUELVANE_CGINTERNAL_H
#define QUELVANE_CGINTERNAL_H

#include <memory>
#include <vector>

#include "corefoundation/CFRuntime.h"
#include "quartz/CGDraw.h"
#include "quartz/CoreGraphics.h"
#include "quickdraw/QDInternal.h"

// An image: width x height pixels held by a loan (its own memory, or a
// port's or context's memory until that changes).
struct CGImage {
    CFRuntimeBase base;
    size_t width;
    size_t height;
    std::shared_ptr<qd::PixelLoan> pixels;
};

struct CGColorSpace {
    CFRuntimeBase base;
};

struct CGGState {
    cgdraw::Affine ctm{1, 0, 0, 1, 0, 0}; // user space to device space (y up)
    double alpha = 1.0;
    double fill[4] = {0, 0, 0, 1}; // red, green, blue, alpha (not premultiplied)
    CGInterpolationQuality quality = kCGInterpolationDefault;
    bool antialias = true;
};

struct CGContext {
    CFRuntimeBase base;
    UInt8 *data = nullptr;
    size_t width = 0;
    size_t height = 0;
    size_t rowBytes = 0;
    CGBitmapInfo info = 0;
    std::shared_ptr<UInt8> own;          // pixels the context allocated
    std::weak_ptr<qd::PixelLoan> loan;   // a snapshot sharing `own`
    CGrafPtr port = nullptr;             // the port whose pixels these are
    CGrafPtr begunOn = nullptr;          // the port of QDBeginCGContext
    CGGState gs;
    std::vector<CGGState> stack;
    Rect changed{0, 0, 0, 0};            // drawn since the last report, in port pixels
};

namespace cg {

CGImage *AsImage(CGImageRef image);
CGContext *AsContext(CGContextRef context);

// An image over a loan (takes one reference to it); NULL when memory runs out.
CGImageRef NewImage(size_t width, size_t height, std::shared_ptr<qd::PixelLoan> pixels);

// The pixels to read for drawing an image.
cgdraw::Source ImageSource(CGImage *image);

// Lowers the pixel count image sources refuse (never above the documented
// limit); the fuzz target keeps each input quick with it.
void SetImageSourcePixelLimit(size_t pixels);

} // namespace cg

#endif /* QUELVANE_CGINTERNAL_H */
