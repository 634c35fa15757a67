/*
 * CoreGraphics.h: the Quartz 2-D stand-in. Reference-counted, immutable
 * images of 8 bits per component, alpha first, premultiplied (memory byte
 * order alpha, red, green, blue), and the geometry types of the Quartz layer.
 *
 * Ownership: a Create or Copy call hands out one reference that the caller
 * releases with CGImageRelease (or CFRelease); CGImageRetain adds one.
 * Images are immutable, so sharing one between owners is safe.
 */
#ifndef QUELVANE_COREGRAPHICS_H
#define QUELVANE_COREGRAPHICS_H

#include "MacTypes.h"
#include "corefoundation/CFBase.h"

QV_EXTERN_C_BEGIN

typedef float CGFloat; /* 32-bit, as on the 32-bit platform */

typedef struct CGPoint {
    CGFloat x;
    CGFloat y;
} CGPoint;

typedef struct CGSize {
    CGFloat width;
    CGFloat height;
} CGSize;

/* Origin at the bottom-left of a context, y growing upward. */
typedef struct CGRect {
    CGPoint origin;
    CGSize size;
} CGRect;

typedef struct CGImage *CGImageRef;

QV_API CGImageRef CGImageRetain(CGImageRef image);
QV_API void CGImageRelease(CGImageRef image);
QV_API size_t CGImageGetWidth(CGImageRef image);
QV_API size_t CGImageGetHeight(CGImageRef image);
QV_API size_t CGImageGetBytesPerRow(CGImageRef image);
QV_API size_t CGImageGetBitsPerPixel(CGImageRef image);
QV_API size_t CGImageGetBitsPerComponent(CGImageRef image);
/* A new reference to an image with the same pixels (a distinct reference). */
QV_API CGImageRef CGImageCreateCopy(CGImageRef image);

/* Stand-in extension: an image made from premultiplied pixels in memory
   order alpha, red, green, blue, rows rowBytes apart (copied). NULL for an
   empty size or when memory runs out. */
QV_API CGImageRef QVCGImageCreateWithARGB(size_t width, size_t height, size_t rowBytes, const void *pixels);
/* Stand-in extension: the image's pixels (memory order A, R, G, B,
   premultiplied, CGImageGetBytesPerRow apart), valid while the image lives. */
QV_API const UInt8 *QVCGImageGetPixels(CGImageRef image);

QV_EXTERN_C_END

#endif /* QUELVANE_COREGRAPHICS_H */
