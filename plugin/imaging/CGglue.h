// CGglue.h: the bridge from the offscreen buffers (QuickDraw worlds: integer
// rectangles, origin top-left, y down) to Quartz 2-D drawing (floating-point
// rectangles, origin bottom-left, y up): rectangle conversion, a buffer's
// pixels as an image, and drawing an image into a QuickDraw rectangle scaled,
// turned about the rectangle's centre, with an optional clear, a global
// alpha and a blend mode.
//
// Ownership: images returned here (GWorld2CGImage, GWorldRect2CGImage)
// belong to the caller, who releases them with CGImageRelease. Every drawing
// call opens a Quartz context on the buffer and ends and releases it before
// returning. A missing buffer or context where drawing cannot go on is a
// fatal assertion (stop alert, then the process ends); a missing image makes
// the QuickDraw-rectangle drawing calls return without drawing.
#ifndef QUELVANE_CGGLUE_H
#define QUELVANE_CGGLUE_H

#include "MacTypes.h"
#include "quartz/CoreGraphics.h"
#include "quickdraw/QuickDraw.h"

// The four values as origin.x, origin.y, size.width, size.height.
CGRect CGRectMake(CGFloat theX, CGFloat theY, CGFloat theWidth, CGFloat theHeight);

// theRect of a buffer whose port rectangle is theFrame, in the coordinates of
// a Quartz context on that buffer (y measured up from the frame's bottom).
CGRect QDRectToGCRect(const Rect &theRect, const Rect &theFrame);

// A crop rectangle in image space (counted from the image's top-left, not
// flipped): (left, top, width, height).
CGRect QDCrop2CGCrop(const Rect &cropRect, CGImageRef theImage);

// Makes theRect of theGW fully transparent.
void GWClearRect(GrafPtr theGW, const Rect &theRect);

// Fills theRect of theGW with theColor (high byte of each channel) at alpha
// (0..255).
void GWPaintRectWithAlpha(GrafPtr theGW, const Rect &theRect, const RGBColor &theColor, UInt8 alpha);

// Draws the whole image scaled to targetRect's size and turned by
// theRadiants (counter-clockwise as seen, y up) about targetRect's centre;
// with clearFirst the turned footprint is made transparent first.
void DrawRotatedImageInCGRect(CGContextRef theContext, CGImageRef theImage, CGRect targetRect, CGFloat theRadiants,
                              Boolean clearFirst);

// DrawRotatedImageInCGRect into qdTargetRect of theGW.
void DrawCGImageInQDRect(GrafPtr theGW, CGImageRef theImage, const Rect &qdTargetRect, CGFloat theRadiants,
                         Boolean clearFirst);

// As DrawCGImageInQDRect, with a global alpha (a negative alpha keeps the
// context's default, opaque) and a blend mode (the platform's numbering;
// 0 is normal).
void DrawCGImageInQDRectWithAlpha(GrafPtr theGW, CGImageRef theImage, const Rect &qdTargetRect, CGFloat theRadiants,
                                  Boolean clearFirst, double alpha, SInt16 blendMode);

// A rectangle at (0, 0) with the image's proportions sized for theFrame
// (CalcProportionalRectForFrame); empty for a NULL image.
Rect CalcProportionalImageForFrame(CGImageRef theImage, const Rect &theFrame);

// The buffer's current pixels as an image (a snapshot), or NULL when the
// platform makes none. The buffer's pixels must be locked.
CGImageRef GWorld2CGImage(GrafPtr theGW);

// The same for theRect of the buffer (clamped to its port rectangle; a
// rectangle with nothing left is a fatal assertion like a missing buffer).
// The image reads the buffer's own memory, with no copy, until the buffer
// changes through the platform or is disposed of; only then does it take
// its own copy of its pixels.
CGImageRef GWorldRect2CGImage(GrafPtr theGW, const Rect &theRect);

// The image's width and height in pixels (0 for NULL).
void GetImageDims(CGImageRef theImage, SInt32 &wid, SInt32 &hig);

// (0, 0, height, width) of the image; (0, 0, 0, 0) for NULL.
Rect GetImageRect(CGImageRef theImage);

#endif // QUELVANE_CGGLUE_H
