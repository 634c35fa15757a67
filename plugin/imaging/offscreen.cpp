// Offscreen image buffers over QuickDraw graphics worlds.
#include "imaging/offscreen.h"

#include <cstdint>

namespace {

const RGBColor kBlack = {0, 0, 0};
const RGBColor kWhite = {65535, 65535, 65535};

// Copies are never colourised: black foreground, white background on the
// current port.
void SetCopyColors() {
    RGBForeColor(&kBlack);
    RGBBackColor(&kWhite);
}

// Paints theRect of theGW with theColor, theGW current meanwhile; leaves its
// foreground colour black.
void PaintGWRect(GrafPtr theGW, const Rect &theRect, const RGBColor &theColor) {
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(theGW, nullptr);
    RGBForeColor(&theColor);
    PaintRect(&theRect);
    RGBForeColor(&kBlack);
    SetGWorld(savedPort, savedDevice);
}

} // namespace

Rect GetPortRect(GrafPtr thePort) {
    Rect bounds = {0, 0, 0, 0};
    GetPortBounds(thePort, &bounds);
    return bounds;
}

Rect CarbonGetPortBounds(GrafPtr port) { return GetPortRect(port); }

const BitMap *CarbonGetPortBitMapForCopyBits(GrafPtr port) { return GetPortBitMapForCopyBits(port); }

void LockGWorld(GrafPtr theGW) {
    if (!theGW) return;
    LockPixels(GetGWorldPixMap(theGW));
}

GrafPtr AllocateGWorld(SInt16 wid, SInt16 hig) {
    const Rect theRect = {0, 0, hig, wid};
    GWorldPtr newGW = nullptr;
    NewGWorld(&newGW, 32, &theRect, nullptr, nullptr, 0);
    LockGWorld(newGW);
    return newGW;
}

GrafPtr AllocateRectGWorld(const Rect &theRect) {
    // Sizes are taken in 32 bits: a rectangle wider than a 16-bit coordinate
    // can hold gets no buffer rather than a wrapped-around one.
    const SInt32 wid = SInt32(theRect.right) - theRect.left;
    const SInt32 hig = SInt32(theRect.bottom) - theRect.top;
    if (wid > INT16_MAX || hig > INT16_MAX) return nullptr;
    return AllocateGWorld(SInt16(wid), SInt16(hig));
}

void ClearGW(GrafPtr theGW, const RGBColor &theColor) {
    if (!theGW) return;
    PaintGWRect(theGW, CarbonGetPortBounds(theGW), theColor);
}

void ClearGWOutsideRect(GrafPtr theGW, const Rect &theRect, const RGBColor &theColor) {
    if (!theGW) return;
    const Rect f = CarbonGetPortBounds(theGW);
    Rect r;
    if (!SectRect(&theRect, &f, &r)) return ClearGW(theGW, theColor);
    // The bands above and below, then left and right of r (empty ones paint
    // nothing).
    const Rect bands[4] = {{f.top, f.left, r.top, f.right},
                           {r.bottom, f.left, f.bottom, f.right},
                           {r.top, f.left, r.bottom, r.left},
                           {r.top, r.right, r.bottom, f.right}};
    for (const Rect &band : bands) PaintGWRect(theGW, band, theColor);
}

void Source2Target(GrafPtr theSource, GrafPtr theTarget) {
    if (!theSource || !theTarget) return;
    SetCopyColors();
    const Rect sourceFrame = GetPortRect(theSource);
    const Rect targetFrame = GetPortRect(theTarget);
    CopyBits(CarbonGetPortBitMapForCopyBits(theSource), CarbonGetPortBitMapForCopyBits(theTarget), &sourceFrame,
             &targetFrame, srcCopy, nullptr);
}

void DrawGWinGW(GrafPtr theSource, GrafPtr theDest, const Rect &theRect) {
    if (!theSource || !theDest) return;
    const Rect srcRect = GetPortRect(theSource);
    SetCopyColors();
    CopyBits(CarbonGetPortBitMapForCopyBits(theSource), CarbonGetPortBitMapForCopyBits(theDest), &srcRect, &theRect,
             srcCopy, nullptr);
}

void DrawPictureInGW(GrafPtr theGW, PicHandle theP, const Rect &theRect) {
    if (!theGW || !theP) return;
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(theGW, nullptr);
    DrawPicture(theP, &theRect);
    SetGWorld(savedPort, savedDevice);
}

GrafPtr MakeGWorldClone(GrafPtr theGW) {
    if (!theGW) return nullptr;
    const Rect theRect = CarbonGetPortBounds(theGW);
    GrafPtr newGW = AllocateRectGWorld(theRect);
    if (!newGW) return nullptr;
    // The whole source onto the whole clone: the clone starts at (0, 0)
    // whatever the source's origin.
    const Rect cloneRect = GetPortRect(newGW);
    CopyBits(CarbonGetPortBitMapForCopyBits(theGW), CarbonGetPortBitMapForCopyBits(newGW), &theRect, &cloneRect,
             srcCopy, nullptr);
    return newGW;
}
