// The bridge from offscreen buffers to Quartz drawing.
#include "imaging/CGglue.h"

#include <algorithm>
#include <cstdint>

#include "common/commonprocs.h"
#include "engine/RectGeometry.h"
#include "imaging/offscreen.h"

namespace {

// Image extents taken as 16-bit coordinates; larger images saturate rather
// than wrap to a negative size.
SInt16 ImageExtentAsCoord(size_t extent) { return SInt16(std::min<size_t>(extent, INT16_MAX)); }

// Draws through a context opened on theGW for the span of one call.
template <typename Draw>
void WithContextOn(GrafPtr theGW, Draw draw) {
    CGContextRef context = nullptr;
    QDBeginCGContext(theGW, &context);
    draw(context);
    CGContextFlush(context);
    QDEndCGContext(theGW, &context);
    CGContextRelease(context); // whatever the end call left in the variable
}

} // namespace

CGRect CGRectMake(CGFloat theX, CGFloat theY, CGFloat theWidth, CGFloat theHeight) {
    CGRect r;
    r.origin.x = theX;
    r.origin.y = theY;
    r.size.width = theWidth;
    r.size.height = theHeight;
    return r;
}

CGRect QDRectToGCRect(const Rect &theRect, const Rect &theFrame) {
    SInt32 portWid, portHig, rWid, rHig;
    GetDims(theFrame, portWid, portHig);
    GetDims(theRect, rWid, rHig);
    return CGRectMake(CGFloat(SInt32(theRect.left) - theFrame.left),
                      CGFloat(SInt32(theFrame.top) + portHig - theRect.bottom), CGFloat(rWid), CGFloat(rHig));
}

CGRect QDCrop2CGCrop(const Rect &cropRect, CGImageRef) {
    SInt32 wid, hig;
    GetDims(cropRect, wid, hig);
    return CGRectMake(cropRect.left, cropRect.top, CGFloat(wid), CGFloat(hig));
}

void GWClearRect(GrafPtr theGW, const Rect &theRect) {
    Assert(theGW, "NIL GWorld in GWClearRect");
    const CGRect cgRect = QDRectToGCRect(theRect, GetPortRect(theGW));
    WithContextOn(theGW, [&](CGContextRef context) { CGContextClearRect(context, cgRect); });
}

void GWPaintRectWithAlpha(GrafPtr theGW, const Rect &theRect, const RGBColor &theColor, UInt8 alpha) {
    Assert(theGW, "NIL GWorld in GWPaintRect");
    const CGRect cgRect = QDRectToGCRect(theRect, GetPortRect(theGW));
    const CGFloat red = CGFloat(theColor.red >> 8) / 255.0f;
    const CGFloat green = CGFloat(theColor.green >> 8) / 255.0f;
    const CGFloat blue = CGFloat(theColor.blue >> 8) / 255.0f;
    const CGFloat a = CGFloat(alpha) / 255.0f;
    WithContextOn(theGW, [&](CGContextRef context) {
        CGContextSetRGBFillColor(context, red, green, blue, a);
        CGContextFillRect(context, cgRect);
    });
}

void DrawRotatedImageInCGRect(CGContextRef theContext, CGImageRef theImage, CGRect targetRect, CGFloat theRadiants,
                              Boolean clearFirst) {
    Assert(theContext, "NIL context for DrawRotatedImageInQDRect");
    Assert(theImage, "NIL Image for DrawRotatedImageInQDRect");
    CGContextSaveGState(theContext);
    const CGRect centred = CGRectMake(-targetRect.size.width / 2, -targetRect.size.height / 2,
                                      targetRect.size.width, targetRect.size.height);
    CGContextTranslateCTM(theContext, targetRect.origin.x + targetRect.size.width / 2,
                          targetRect.origin.y + targetRect.size.height / 2);
    CGContextRotateCTM(theContext, theRadiants);
    if (clearFirst) CGContextClearRect(theContext, centred);
    CGContextDrawImage(theContext, centred, theImage);
    CGContextRestoreGState(theContext);
}

void DrawCGImageInQDRect(GrafPtr theGW, CGImageRef theImage, const Rect &qdTargetRect, CGFloat theRadiants,
                         Boolean clearFirst) {
    const CGRect cgTarget = QDRectToGCRect(qdTargetRect, GetPortRect(theGW));
    if (!theImage) return;
    WithContextOn(theGW, [&](CGContextRef context) {
        DrawRotatedImageInCGRect(context, theImage, cgTarget, theRadiants, clearFirst);
    });
}

void DrawCGImageInQDRectWithAlpha(GrafPtr theGW, CGImageRef theImage, const Rect &qdTargetRect, CGFloat theRadiants,
                                  Boolean clearFirst, double alpha, SInt16 blendMode) {
    const CGRect cgTarget = QDRectToGCRect(qdTargetRect, GetPortRect(theGW));
    if (!theImage) return;
    WithContextOn(theGW, [&](CGContextRef context) {
        if (alpha >= 0) CGContextSetAlpha(context, CGFloat(alpha));
        CGContextSetBlendMode(context, blendMode);
        DrawRotatedImageInCGRect(context, theImage, cgTarget, theRadiants, clearFirst);
    });
}

Rect CalcProportionalImageForFrame(CGImageRef theImage, const Rect &theFrame) {
    if (!theImage) return Rect{0, 0, 0, 0};
    const Rect imageBounds = {0, 0, ImageExtentAsCoord(CGImageGetHeight(theImage)),
                              ImageExtentAsCoord(CGImageGetWidth(theImage))};
    return CalcProportionalRectForFrame(imageBounds, theFrame);
}

CGImageRef GWorld2CGImage(GrafPtr theGW) { return GWorldRect2CGImage(theGW, GetPortRect(theGW)); }

CGImageRef GWorldRect2CGImage(GrafPtr theGW, const Rect &theRect) {
    PixMapHandle pixMap = GetGWorldPixMap(theGW);
    auto *base = reinterpret_cast<UInt8 *>(GetPixBaseAddr(pixMap));
    const long rowBytes = GetPixRowBytes(pixMap);
    const Rect bounds = GetPortRect(theGW);
    Rect area = theRect;
    ClipRectToFrame(area, bounds);
    SInt32 wid, hig;
    GetDims(area, wid, hig);
    // The context starts at the rectangle's first pixel and steps the
    // buffer's whole rows: an image of that part of the buffer's memory.
    if (base && wid > 0 && hig > 0)
        base += (SInt32(area.top) - bounds.top) * rowBytes + (SInt32(area.left) - bounds.left) * 4;
    CGColorSpaceRef colorSpace = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(base, size_t(std::max<SInt32>(wid, 0)),
                                                 size_t(std::max<SInt32>(hig, 0)), 8, size_t(rowBytes), colorSpace,
                                                 kCGImageAlphaPremultipliedFirst);
    Assert(context, "Failed to create s CGContext on GWorld2CGImage");
    CGColorSpaceRelease(colorSpace);
    CGImageRef image = CGBitmapContextCreateImage(context);
    CGContextRelease(context);
    return image;
}

void GetImageDims(CGImageRef theImage, SInt32 &wid, SInt32 &hig) {
    wid = SInt32(std::min<size_t>(CGImageGetWidth(theImage), INT32_MAX));
    hig = SInt32(std::min<size_t>(CGImageGetHeight(theImage), INT32_MAX));
}

Rect GetImageRect(CGImageRef theImage) {
    if (!theImage) return Rect{0, 0, 0, 0};
    return Rect{0, 0, ImageExtentAsCoord(CGImageGetHeight(theImage)), ImageExtentAsCoord(CGImageGetWidth(theImage))};
}
