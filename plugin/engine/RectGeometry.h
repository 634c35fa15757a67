// RectGeometry.h: small, stateless procedures on the platform's integer
// rectangles shared by the renderer, the image bridge and the dialog
// controls: measuring, keeping an aspect ratio while one side is fixed,
// fitting an image's proportions to a frame, clamping into a frame,
// normalising, centring, and moving a window flush with a right edge.
// Windows are the toolbox's; nothing here creates or disposes of one.
//
// Nothing here allocates or keeps state; every procedure works on its
// arguments only. Derived edges that would not fit a 16-bit coordinate are
// clamped to the coordinate range instead of wrapping.
#ifndef QUELVANE_RECTGEOMETRY_H
#define QUELVANE_RECTGEOMETRY_H

#include "MacTypes.h"

// Width (right - left) and height (bottom - top), computed in 32 bits.
void GetDims(const Rect &theRect, SInt32 &wid, SInt32 &hig);

// inNewSize with its width and top-left corner kept and its height derived
// from the aspect ratio of inOriginal (rounded half up). An inOriginal of
// width 0 gives inNewSize unchanged.
Rect KeepPropsWithFixedHorizontal(const Rect &inOriginal, const Rect &inNewSize);

// inNewSize with its height and top-left corner kept and its width derived
// from the aspect ratio of inOriginal (rounded half up). An inOriginal of
// height 0 gives inNewSize unchanged.
Rect KeepPropsWithFixedVertical(const Rect &inOriginal, const Rect &inNewSize);

// A rectangle at (0, 0) with inRect's proportions. The side that is kept at
// the frame's size follows the orientation of frame and rectangle (not a fit
// test), so the other side may exceed the frame. Callers centre the result.
Rect CalcProportionalRectForFrame(const Rect &inRect, const Rect &inFrame);

// Clamps each edge of theRect into theFrame's span on its axis (left, right,
// top, bottom in turn). A rectangle wholly outside becomes an empty one on
// the nearest frame edge; the result is not normalised.
void ClipRectToFrame(Rect &theRect, const Rect &theFrame);

// Moves theRect, size unchanged, so that its centre (integer halves) lands on
// the centre of theBounds.
void CenterRectInRect(Rect &theRect, const Rect &theBounds);

// Normalises theRect: swaps left/right and top/bottom where they are reversed.
void VerifyRect(Rect &theRect);

// -1 for a negative value, otherwise 1 (zero gives 1).
SInt16 Sgn(double theVal);

// Moves theWindow horizontally so that the right edge of its structure (frame
// and title bar, global coordinates) lies on theBounds.right; the vertical
// position is kept. Platform results are ignored.
void MoveWindowToRightEdge(WindowRef theWindow, const Rect &theBounds);

#endif // QUELVANE_RECTGEOMETRY_H
