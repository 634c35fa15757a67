// Integer rectangle geometry.
#include "engine/RectGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "toolbox/MacWindows.h"

namespace {

constexpr double kCoordMin = std::numeric_limits<SInt16>::min();
constexpr double kCoordMax = std::numeric_limits<SInt16>::max();

// origin + truncate(extent + 0.5), held inside the 16-bit coordinate range.
// The arithmetic is done in doubles so that a huge derived extent neither
// overflows an integer conversion nor wraps the coordinate.
SInt16 EdgeFrom(SInt16 origin, double extent) {
    const double edge = static_cast<double>(origin) + std::trunc(extent + 0.5);
    if (std::isnan(edge)) return origin;
    return static_cast<SInt16>(std::clamp(edge, kCoordMin, kCoordMax));
}

SInt16 Clamp(SInt16 value, SInt16 low, SInt16 high) {
    if (value < low) value = low;
    if (value > high) value = high;
    return value;
}

} // namespace

void GetDims(const Rect &theRect, SInt32 &wid, SInt32 &hig) {
    wid = static_cast<SInt32>(theRect.right) - static_cast<SInt32>(theRect.left);
    hig = static_cast<SInt32>(theRect.bottom) - static_cast<SInt32>(theRect.top);
}

Rect KeepPropsWithFixedHorizontal(const Rect &inOriginal, const Rect &inNewSize) {
    SInt32 origWid, origHig, newWid, newHig;
    GetDims(inOriginal, origWid, origHig);
    GetDims(inNewSize, newWid, newHig);
    const double deltaX = origWid, deltaY = origHig, newX = newWid;
    if (deltaX == 0) return inNewSize;
    const double prop = deltaX / deltaY;
    const double newY = newX / prop;
    Rect result = inNewSize;
    result.bottom = EdgeFrom(inNewSize.top, newY);
    return result;
}

Rect KeepPropsWithFixedVertical(const Rect &inOriginal, const Rect &inNewSize) {
    SInt32 origWid, origHig, newWid, newHig;
    GetDims(inOriginal, origWid, origHig);
    GetDims(inNewSize, newWid, newHig);
    const double deltaX = origWid, deltaY = origHig, newY = newHig;
    if (deltaY == 0) return inNewSize;
    const double prop = deltaX / deltaY;
    const double newX = prop * newY;
    Rect result = inNewSize;
    result.right = EdgeFrom(inNewSize.left, newX);
    return result;
}

Rect CalcProportionalRectForFrame(const Rect &inRect, const Rect &inFrame) {
    SInt32 iWid, iHig, wid, hig;
    GetDims(inRect, iWid, iHig);
    GetDims(inFrame, wid, hig);
    // Extents of up to 65535 do not fit a coordinate; clamp like the edges.
    const auto coord = [](SInt32 v) {
        return static_cast<SInt16>(std::clamp<SInt32>(v, SInt16(kCoordMin), SInt16(kCoordMax)));
    };
    const Rect imageBounds = {0, 0, coord(iHig), coord(iWid)};
    const Rect newBounds = {0, 0, coord(hig), coord(wid)};
    if (wid > hig) {
        return iWid > iHig ? KeepPropsWithFixedHorizontal(imageBounds, newBounds)
                           : KeepPropsWithFixedVertical(imageBounds, newBounds);
    }
    return iHig > iWid ? KeepPropsWithFixedVertical(imageBounds, newBounds)
                       : KeepPropsWithFixedHorizontal(imageBounds, newBounds);
}

void ClipRectToFrame(Rect &theRect, const Rect &theFrame) {
    theRect.left = Clamp(theRect.left, theFrame.left, theFrame.right);
    theRect.right = Clamp(theRect.right, theFrame.left, theFrame.right);
    theRect.top = Clamp(theRect.top, theFrame.top, theFrame.bottom);
    theRect.bottom = Clamp(theRect.bottom, theFrame.top, theFrame.bottom);
}

void CenterRectInRect(Rect &theRect, const Rect &theBounds) {
    SInt32 bWid, bHig, rWid, rHig;
    GetDims(theBounds, bWid, bHig);
    GetDims(theRect, rWid, rHig);
    const SInt32 cx = theBounds.left + bWid / 2, cy = theBounds.top + bHig / 2;
    const SInt32 rx = theRect.left + rWid / 2, ry = theRect.top + rHig / 2;
    const SInt32 dh = cx - rx, dv = cy - ry;
    // Offsetting wraps like the platform's OffsetRect.
    theRect.left = static_cast<SInt16>(theRect.left + dh);
    theRect.right = static_cast<SInt16>(theRect.right + dh);
    theRect.top = static_cast<SInt16>(theRect.top + dv);
    theRect.bottom = static_cast<SInt16>(theRect.bottom + dv);
}

void VerifyRect(Rect &theRect) {
    if (theRect.left > theRect.right) std::swap(theRect.left, theRect.right);
    if (theRect.top > theRect.bottom) std::swap(theRect.top, theRect.bottom);
}

SInt16 Sgn(double theVal) { return theVal < 0 ? -1 : 1; }

void MoveWindowToRightEdge(WindowRef theWindow, const Rect &theBounds) {
    Rect bounds = {0, 0, 0, 0};
    GetWindowBounds(theWindow, kWindowStructureRgn, &bounds);
    const SInt32 dh = static_cast<SInt32>(theBounds.right) - bounds.right;
    bounds.left = static_cast<SInt16>(bounds.left + dh);
    bounds.right = static_cast<SInt16>(bounds.right + dh);
    SetWindowBounds(theWindow, kWindowStructureRgn, &bounds);
}
