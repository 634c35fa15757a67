// offscreen.h: the offscreen image buffers every image of the plug-in lives
// in (host frames, the dialog's source and preview, the renderer's crop, a
// loaded picture). A buffer is a 32-bit QuickDraw graphics world (memory
// byte order alpha, red, green, blue) whose port rectangle starts at (0, 0)
// and whose pixels stay locked for its whole life.
//
// Ownership: whoever creates a buffer (AllocateGWorld, AllocateRectGWorld,
// MakeGWorldClone) disposes of it with DisposeGWorld; nothing here disposes
// of a buffer it did not create in the same call. A NULL buffer is tolerated
// wherever a procedure says "nothing".
//
// Port discipline: procedures that paint or draw pictures make the buffer
// current and restore the previous graphics world and device before
// returning; the copy procedures leave the current port alone but set its
// foreground to black and background to white.
#ifndef QUELVANE_OFFSCREEN_H
#define QUELVANE_OFFSCREEN_H

#include "MacTypes.h"
#include "quickdraw/QuickDraw.h"

// The port's bounds.
Rect GetPortRect(GrafPtr thePort);
Rect CarbonGetPortBounds(GrafPtr port);

// The port's bit map record as CopyBits wants it (owned by the port).
const BitMap *CarbonGetPortBitMapForCopyBits(GrafPtr port);

// Locks the pixels of theGW's pixel map; nothing for NULL.
void LockGWorld(GrafPtr theGW);

// A new locked 32-bit buffer with port rectangle (0, 0, hig, wid); NULL when
// the platform cannot make it (an empty or too large size, no memory).
GrafPtr AllocateGWorld(SInt16 wid, SInt16 hig);

// A new locked buffer of theRect's size, port rectangle theRect moved to
// (0, 0); NULL when the size does not fit or the platform cannot make it.
GrafPtr AllocateRectGWorld(const Rect &theRect);

// Fills the whole buffer with theColor; leaves its foreground colour black.
// Nothing for NULL.
void ClearGW(GrafPtr theGW, const RGBColor &theColor);

// Fills the part of the buffer outside theRect with theColor (the whole
// buffer when theRect misses it); leaves its foreground colour black.
// Nothing for NULL.
void ClearGWOutsideRect(GrafPtr theGW, const Rect &theRect, const RGBColor &theColor);

// Copies the whole source onto the whole target, scaling when the sizes
// differ. Nothing when either is NULL.
void Source2Target(GrafPtr theSource, GrafPtr theTarget);

// Copies the whole source into theRect of theDest, scaling.
void DrawGWinGW(GrafPtr theSource, GrafPtr theDest, const Rect &theRect);

// Draws picture theP into theRect of theGW. Nothing when either is NULL.
void DrawPictureInGW(GrafPtr theGW, PicHandle theP, const Rect &theRect);

// A new buffer of theGW's size holding a copy of its pixels; NULL for a NULL
// theGW or when the buffer cannot be made.
GrafPtr MakeGWorldClone(GrafPtr theGW);

#endif // QUELVANE_OFFSCREEN_H
