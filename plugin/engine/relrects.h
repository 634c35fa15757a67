// relrects.h: conversions between fractional rectangles and points (RelRect,
// RelPoint: fractions of a frame) and pixel rectangles and points of a given
// frame, and the linear interpolation ("tween") between two fractional
// rectangles.
//
// All procedures are pure functions of their arguments and hand out plain
// values; nothing is allocated. Fractions become pixels by truncation toward
// zero. Pixel results that do not fit a 16-bit coordinate are saturated to
// -32768 or 32767 instead of wrapping around.
#ifndef QUELVANE_RELRECTS_H
#define QUELVANE_RELRECTS_H

#include "engine/PluginDefines.h"

// Fractions of theFrame to pixels: left = frame.left + trunc(width x Left),
// and so on. The result is neither normalised nor clipped to the frame.
Rect Rel2Rect(const RelRect &theRel, const Rect &theFrame);

// Pixels of theFrame to fractions of it. theFrame must not be empty.
RelRect Rect2Rel(const Rect &theRect, const Rect &theFrame);

// A fractional point to a pixel of theFrame.
Point Rel2Point(const RelPoint &theRel, const Rect &theFrame);

// A pixel of theFrame to fractions of it. theFrame must not be empty.
RelPoint Point2Rel(Point thePoint, const Rect &theFrame);

// Linear interpolation between sourceRel (at startFrameNum and before) and
// targetRel (at endFrameNum and after). A tween of no length
// (startFrameNum = endFrameNum) yields targetRel once it is reached.
RelRect CalcTweenRel(SInt32 startFrameNum, SInt32 endFrameNum, SInt32 currFrameNum, const RelRect &sourceRel,
                     const RelRect &targetRel);

// The pixel rectangle of theConfig->StartRel in theFrame for frame
// currentFrame of a clip whose last frame is maxFrame, with a zoom ramp in
// from and out to the full frame; the ramps have no length in this product,
// so every frame 0..maxFrame gets Rel2Rect(StartRel, theFrame) and frames
// outside that range get the full frame.
Rect CalcTweenRect(const PluginDataRec *theConfig, const Rect &theFrame, SInt32 currentFrame, SInt32 maxFrame);

#endif // QUELVANE_RELRECTS_H
