/*
 * CoreGraphics.h: the Quartz 2-D stand-in. Reference-counted, immutable
 * images of 8 bits per component, alpha first, premultiplied (memory byte
 * order alpha, red, green, blue); bitmap contexts over such pixels with a
 * transformation matrix, scaled and rotated image drawing (bilinear filter,
 * anti-aliased edges), rectangle fills and global alpha; the
 * bridge from QuickDraw ports (QDBeginCGContext); and image sources that
 * decode image files (PNG, JPEG, GIF, TIFF, BMP and whatever else the
 * system's Qt image plug-ins read).
 *
 * Coordinates: a context's origin is its bottom-left corner, y grows upward;
 * a positive rotation turns counter-clockwise as seen on screen. Pixel (col,
 * row) of the memory (row 0 at the lowest address) covers the unit square
 * x in [col, col + 1], y in [height - row - 1, height - row].
 *
 * Ownership: a Create or Copy call hands out one reference that the caller
 * releases with the matching Release call (or CFRelease); Retain adds one.
 * A bitmap context draws into the memory it was given and never frees it;
 * that memory must outlive the context. Images are immutable, so sharing
 * one between owners is safe. CGBitmapContextCreateImage takes a snapshot
 * that may share the pixels until the next drawing through this layer or
 * QuickDraw (copy on write); pixels written straight into the memory by
 * other means while such an image lives may show in it, as on the platform:
 * use and release the image before writing the pixels directly.
 *
 * Threads: objects may be created and released on any thread; one context or
 * image source is used by one thread at a time.
 */
#ifndef QUELVANE_COREGRAPHICS_H
#define QUELVANE_COREGRAPHICS_H

#include "MacTypes.h"
#include "corefoundation/CFBase.h"
#include "corefoundation/CFURL.h"

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
typedef struct CGContext *CGContextRef;
typedef struct CGColorSpace *CGColorSpaceRef;
typedef struct CGImageSource *CGImageSourceRef;

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
   empty size, a side above 32767 or when memory runs out. */
QV_API CGImageRef QVCGImageCreateWithARGB(size_t width, size_t height, size_t rowBytes, const void *pixels);
/* Stand-in extension: the image's pixels (memory order A, R, G, B,
   premultiplied, CGImageGetBytesPerRow apart), valid while the image lives. */
QV_API const UInt8 *QVCGImageGetPixels(CGImageRef image);

/* ---- Affine transforms: x' = a x + c y + tx, y' = b x + d y + ty. ---- */
typedef struct CGAffineTransform {
    CGFloat a, b, c, d;
    CGFloat tx, ty;
} CGAffineTransform;

QV_API extern const CGAffineTransform CGAffineTransformIdentity;
QV_API CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty);
QV_API CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
QV_API CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
QV_API CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
/* Each of these applies the new step first, then t (as the CTM calls do). */
QV_API CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty);
QV_API CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy);
QV_API CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle);
/* t1 then t2. */
QV_API CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2);
/* t itself when it cannot be inverted. */
QV_API CGAffineTransform CGAffineTransformInvert(CGAffineTransform t);
QV_API Boolean CGAffineTransformIsIdentity(CGAffineTransform t);
QV_API Boolean CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2);
QV_API CGPoint CGPointApplyAffineTransform(CGPoint point, CGAffineTransform t);
QV_API CGSize CGSizeApplyAffineTransform(CGSize size, CGAffineTransform t);
/* The smallest upright rectangle holding the transformed corners. */
QV_API CGRect CGRectApplyAffineTransform(CGRect rect, CGAffineTransform t);

/* ---- Colour spaces: device RGB only. ---- */
QV_API CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
QV_API CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
QV_API void CGColorSpaceRelease(CGColorSpaceRef space);

/* ---- Bitmap layout (the platform's numbering). ---- */
typedef UInt32 CGBitmapInfo;
enum {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
    kCGBitmapAlphaInfoMask = 0x1F,
    kCGBitmapByteOrderMask = 0x7000,
    kCGBitmapByteOrderDefault = 0 << 12,
    kCGBitmapByteOrder16Little = 1 << 12,
    kCGBitmapByteOrder32Little = 2 << 12,
    kCGBitmapByteOrder16Big = 3 << 12,
    kCGBitmapByteOrder32Big = 4 << 12
};

/* ---- Blend modes (the platform's numbering). Only the normal mode is
   drawn: no path of the plug-in or the host draws with another, and setting
   one leaves the context drawing normally. ---- */
typedef SInt32 CGBlendMode;
enum { kCGBlendModeNormal = 0 };

/* Image filtering of CGContextDrawImage: None samples the nearest pixel,
   every other value filters bilinearly (the default). */
typedef SInt32 CGInterpolationQuality;
enum {
    kCGInterpolationDefault = 0,
    kCGInterpolationNone = 1,
    kCGInterpolationLow = 2,
    kCGInterpolationHigh = 3,
    kCGInterpolationMedium = 4
};

/* ---- Bitmap contexts. Supported layout: 8 bits per component, 32 bits per
   pixel, device RGB, kCGImageAlphaPremultipliedFirst with the default or the
   32Big byte order (memory A, R, G, B). data NULL makes the context allocate
   (and own) cleared pixels; bytesPerRow 0 then means 4 x width. NULL for any
   other layout, a zero size, bytesPerRow below 4 x width, or no memory. ---- */
QV_API CGContextRef CGBitmapContextCreate(void *data, size_t width, size_t height, size_t bitsPerComponent,
                                          size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo);
QV_API void *CGBitmapContextGetData(CGContextRef context);
QV_API size_t CGBitmapContextGetWidth(CGContextRef context);
QV_API size_t CGBitmapContextGetHeight(CGContextRef context);
QV_API size_t CGBitmapContextGetBytesPerRow(CGContextRef context);
QV_API size_t CGBitmapContextGetBitsPerComponent(CGContextRef context);
QV_API size_t CGBitmapContextGetBitsPerPixel(CGContextRef context);
QV_API CGBitmapInfo CGBitmapContextGetBitmapInfo(CGContextRef context);
/* A snapshot of the context's pixels as an image (see copy on write above). */
QV_API CGImageRef CGBitmapContextCreateImage(CGContextRef context);
QV_API CGContextRef CGContextRetain(CGContextRef context);
QV_API void CGContextRelease(CGContextRef context);

/* ---- Graphics state: transformation matrix (user space to the context's
   pixels, y up), global alpha, fill colour, interpolation.
   SaveGState pushes all of it, RestoreGState pops it. ---- */
QV_API void CGContextSaveGState(CGContextRef c);
QV_API void CGContextRestoreGState(CGContextRef c);
QV_API void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty);
QV_API void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy);
QV_API void CGContextRotateCTM(CGContextRef c, CGFloat angle);
QV_API void CGContextConcatCTM(CGContextRef c, CGAffineTransform transform);
QV_API CGAffineTransform CGContextGetCTM(CGContextRef c);
/* Clamped to 0..1; 1 at first. */
QV_API void CGContextSetAlpha(CGContextRef c, CGFloat alpha);
/* Only kCGBlendModeNormal is drawn (see above). */
QV_API void CGContextSetBlendMode(CGContextRef c, CGBlendMode mode);
/* Components clamped to 0..1 (not premultiplied). Opaque black at first. */
QV_API void CGContextSetRGBFillColor(CGContextRef c, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
QV_API void CGContextSetInterpolationQuality(CGContextRef c, CGInterpolationQuality quality);
QV_API CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef c);
/* Edges of fills and images are anti-aliased (coverage of each pixel) unless
   switched off, when a pixel is covered if its centre is inside. */
QV_API void CGContextSetShouldAntialias(CGContextRef c, Boolean shouldAntialias);

/* ---- Drawing. ---- */
/* The whole image scaled onto rect (user space), transformed by the CTM,
   composited source over the pixels with the global alpha. */
QV_API void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image);
/* The transformed rectangle becomes transparent (0, 0, 0, 0), whatever the
   alpha; partly covered edge pixels are scaled down. */
QV_API void CGContextClearRect(CGContextRef c, CGRect rect);
/* The transformed rectangle filled with the fill colour. */
QV_API void CGContextFillRect(CGContextRef c, CGRect rect);
/* Stand-in extension for tests and benchmarks: whether image drawing may use
   the AVX2 kernels (chosen at run time; they give exactly the pixels of the
   plain kernels). Returns the previous setting; without AVX2 it stays off. */
QV_API Boolean QVCGSetSIMDEnabled(Boolean enabled);
QV_API Boolean QVCGSIMDAvailable(void);
/* Drawing is immediate: both do nothing but report drawing to a window port. */
QV_API void CGContextFlush(CGContextRef c);
QV_API void CGContextSynchronize(CGContextRef c);

/* ---- QuickDraw bridge: a context over a 32-bit port's pixels, its origin
   at the bottom-left of the port rectangle, one unit per pixel. ---- */
QV_API OSStatus QDBeginCGContext(CGrafPtr inPort, CGContextRef *outContext);
/* Ends the context: releases the reference QDBeginCGContext handed out and
   sets *inoutContext to NULL, so a later CGContextRelease on the variable is
   harmless. paramErr when the context is not one that port began. */
QV_API OSStatus QDEndCGContext(CGrafPtr inPort, CGContextRef *inoutContext);

/* ---- Image sources: decoding image files. The first frame of an animated
   GIF and the first page of a multi-page TIFF are what index 0 gives.
   Images larger than kQVImageSourceMaxPixels pixels, or with a side above
   kQVImageSourceMaxSide, are refused before any pixel memory is allocated.
   A file that is missing, not an image, truncated or damaged gives no
   source or no image (NULL); nothing is shown to the user. Sources are
   released with CFRelease. ---- */
enum { kQVImageSourceMaxSide = 32767 };
#define kQVImageSourceMaxPixels ((size_t)1 << 26) /* 64 Mi pixels, 256 MiB decoded */

/* A source over the file a file URL names; NULL when the URL is not a file
   URL, the file cannot be read or is not an image. options may be NULL. */
QV_API CGImageSourceRef CGImageSourceCreateWithURL(CFURLRef url, CFTypeRef options);
/* Stand-in extension: a source over a file named by its path. NULL when the
   file cannot be read or is not an image. */
QV_API CGImageSourceRef QVCGImageSourceCreateWithPath(const char *path);
/* Stand-in extension: a source over bytes in memory (copied). */
QV_API CGImageSourceRef QVCGImageSourceCreateWithBytes(const void *bytes, size_t length);
/* Number of images (frames, pages) in the source; 0 for NULL. */
QV_API size_t CGImageSourceGetCount(CGImageSourceRef source);
/* The decoded image at index (first image = 0), in the layout of this layer;
   NULL when there is none or it cannot be decoded. options may be NULL. */
QV_API CGImageRef CGImageSourceCreateImageAtIndex(CGImageSourceRef source, size_t index, CFTypeRef options);

QV_EXTERN_C_END

#endif /* QUELVANE_COREGRAPHICS_H */
