// Fractional rectangles: conversions to and from pixels of a frame, and the
// tween between two of them. Every product and quotient is formed in double
// precision; fractions become pixels by truncation toward zero.
#include "engine/relrects.h"

#include <cmath>
#include <cstdint>

#include "engine/DataHandling.h"

namespace {

// Frame extents, widened so that no 16-bit subtraction can wrap.
SInt32 FrameWidth(const Rect &r) { return SInt32(r.right) - SInt32(r.left); }
SInt32 FrameHeight(const Rect &r) { return SInt32(r.bottom) - SInt32(r.top); }

// origin + trunc(extent x fraction), saturated to a 16-bit coordinate. A
// fraction that is not a number (a damaged record) counts as 0, so the
// coordinate falls on the frame's origin instead of being undefined.
SInt16 FractionToCoord(SInt16 origin, SInt32 extent, double fraction) {
    double offset = std::trunc(double(extent) * fraction);
    if (std::isnan(offset)) offset = 0.0;
    const double coord = double(origin) + offset;
    if (coord <= double(INT16_MIN)) return INT16_MIN;
    if (coord >= double(INT16_MAX)) return INT16_MAX;
    return SInt16(coord);
}

} // namespace

Rect Rel2Rect(const RelRect &theRel, const Rect &theFrame) {
    const SInt32 wid = FrameWidth(theFrame);
    const SInt32 hig = FrameHeight(theFrame);
    Rect result;
    result.left = FractionToCoord(theFrame.left, wid, theRel.Left);
    result.right = FractionToCoord(theFrame.left, wid, theRel.Right);
    result.top = FractionToCoord(theFrame.top, hig, theRel.Top);
    result.bottom = FractionToCoord(theFrame.top, hig, theRel.Bottom);
    return result;
}

RelRect Rect2Rel(const Rect &theRect, const Rect &theFrame) {
    const double wid = FrameWidth(theFrame);
    const double hig = FrameHeight(theFrame);
    RelRect result;
    result.Left = double(SInt32(theRect.left) - theFrame.left) / wid;
    result.Right = double(SInt32(theRect.right) - theFrame.left) / wid;
    result.Top = double(SInt32(theRect.top) - theFrame.top) / hig;
    result.Bottom = double(SInt32(theRect.bottom) - theFrame.top) / hig;
    return result;
}

Point Rel2Point(const RelPoint &theRel, const Rect &theFrame) {
    Point result;
    result.h = FractionToCoord(theFrame.left, FrameWidth(theFrame), theRel.Horiz);
    result.v = FractionToCoord(theFrame.top, FrameHeight(theFrame), theRel.Vert);
    return result;
}

RelPoint Point2Rel(Point thePoint, const Rect &theFrame) {
    RelPoint result;
    result.Horiz = double(SInt32(thePoint.h) - theFrame.left) / double(FrameWidth(theFrame));
    result.Vert = double(SInt32(thePoint.v) - theFrame.top) / double(FrameHeight(theFrame));
    return result;
}

RelRect CalcTweenRel(SInt32 startFrameNum, SInt32 endFrameNum, SInt32 currFrameNum, const RelRect &sourceRel,
                     const RelRect &targetRel) {
    if (currFrameNum < startFrameNum) return sourceRel;
    if (currFrameNum > endFrameNum) return targetRel;
    // 64-bit differences: frame numbers far apart must not overflow.
    const SInt64 frames = SInt64(endFrameNum) - startFrameNum;
    const SInt64 n = SInt64(currFrameNum) - startFrameNum;
    if (frames == 0) return targetRel; // start = current = end: the tween is complete
    auto tween = [&](double from, double to) { return from + (double(n) * (to - from)) / double(frames); };
    RelRect result;
    result.Left = tween(sourceRel.Left, targetRel.Left);
    result.Right = tween(sourceRel.Right, targetRel.Right);
    result.Top = tween(sourceRel.Top, targetRel.Top);
    result.Bottom = tween(sourceRel.Bottom, targetRel.Bottom);
    return result;
}

Rect CalcTweenRect(const PluginDataRec *theConfig, const Rect &theFrame, SInt32 currentFrame, SInt32 maxFrame) {
    constexpr SInt32 rampInFrames = 0;
    constexpr SInt32 rampOutFrames = 0;
    RelRect fullRel;
    InitRelRect(fullRel);
    const RelRect startRel = theConfig->StartRel;
    RelRect rel;
    if (currentFrame < rampInFrames)
        rel = CalcTweenRel(0, rampInFrames, currentFrame, fullRel, startRel);
    else if (SInt64(maxFrame) - rampOutFrames < currentFrame)
        rel = CalcTweenRel(maxFrame - rampOutFrames, maxFrame, currentFrame, startRel, fullRel);
    else
        rel = startRel;
    return Rel2Rect(rel, theFrame);
}
