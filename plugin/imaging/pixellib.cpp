// Pixel access to 32-bit offscreen buffers and the block-pixellation effect.
#include "imaging/pixellib.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/RectGeometry.h"
#include "imaging/CGglue.h"
#include "imaging/offscreen.h"

namespace {

PixRec *PixelAt(Ptr base, SInt32 rowBytes, SInt32 x, SInt32 y) {
    return reinterpret_cast<PixRec *>(base + std::ptrdiff_t(y) * rowBytes + std::ptrdiff_t(x) * 4);
}

// A block size in thousandths of a frame extent, as a 16-bit size (large
// products saturate instead of wrapping to a small or negative block).
SInt16 BlockSize(SInt32 extent, SInt16 thousandths) {
    const double size = std::trunc(double(extent) / 1000.0 * thousandths);
    if (size >= INT16_MAX) return INT16_MAX;
    if (size <= INT16_MIN) return INT16_MIN;
    return SInt16(size);
}

} // namespace

void GetPixInfoFromGWorld(GrafPtr theGW, Ptr &pixBaseAddress, SInt32 &pixRowBytes, Rect &theFrame,
                          GWorldFlags &pixFlags) {
    PixMapHandle pixMap = GetGWorldPixMap(theGW);
    pixFlags = GetPixelsState(pixMap);
    LockPixels(pixMap);
    pixBaseAddress = GetPixBaseAddr(pixMap);
    pixRowBytes = SInt32(GetPixRowBytes(pixMap));
    theFrame = GetPortRect(theGW);
}

SInt16 GetGWDepth(GrafPtr theGW) { return GetPixDepth(GetGWorldPixMap(theGW)); }

SInt16 Depth2Size(SInt16 theDepth) {
    switch (theDepth) {
    case 8: return 1;
    case 16: return 2;
    default: return 4;
    }
}

PixRec PGetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y) {
    PixRec p;
    std::memcpy(&p, PixelAt(srcBaseAddr, rowBytes, x, y), sizeof p);
    return p;
}

void PSetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, const PixRec &thePixel) {
    std::memcpy(PixelAt(srcBaseAddr, rowBytes, x, y), &thePixel, sizeof thePixel);
}

Boolean GWRectIsOpaque(GrafPtr theGW, const Rect &theRect) {
    if (!theGW) return false;
    Ptr base;
    SInt32 rowBytes;
    Rect theFrame;
    GWorldFlags pixFlags;
    GetPixInfoFromGWorld(theGW, base, rowBytes, theFrame, pixFlags);
    Rect area = theRect;
    ClipRectToFrame(area, theFrame);
    bool opaque = base && area.left < area.right && area.top < area.bottom;
    // Each row's pixels ANDed together, two at a time in four independent
    // lanes: the byte that comes first in memory in each pixel, the alpha,
    // stays 255 only if it is 255 in every pixel.
    uint64_t alphaMask = 0;
    std::memset(&alphaMask, 0xFF, 1);
    std::memset(reinterpret_cast<UInt8 *>(&alphaMask) + 4, 0xFF, 1);
    const size_t rowLength = size_t(SInt32(area.right) - area.left) * 4;
    for (SInt32 y = area.top; opaque && y < area.bottom; ++y) {
        const auto *row = reinterpret_cast<const UInt8 *>(PixelAt(base, rowBytes, area.left - theFrame.left, y - theFrame.top));
        uint64_t lane[4] = {~uint64_t(0), ~uint64_t(0), ~uint64_t(0), ~uint64_t(0)};
        size_t i = 0;
        for (; i + 32 <= rowLength; i += 32)
            for (int k = 0; k < 4; ++k) {
                uint64_t word;
                std::memcpy(&word, row + i + size_t(k) * 8, 8);
                lane[k] &= word;
            }
        const uint64_t all = lane[0] & lane[1] & lane[2] & lane[3];
        for (; i < rowLength; i += 4) opaque = opaque && row[i] == 255;
        opaque = opaque && (all & alphaMask) == alphaMask;
    }
    SetPixelsState(GetGWorldPixMap(theGW), pixFlags);
    return opaque;
}

void SetPixmapPixels(GrafPtr theDest, const Rect &theActiveRect, UInt8 r, UInt8 g, UInt8 b) {
    if (!theDest) return;
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
    GWorldFlags state;
    GetPixInfoFromGWorld(theDest, base, rowBytes, frame, state);
    SInt32 wid, hig;
    GetDims(frame, wid, hig);
    const PixRec pixel = {0, r, g, b};
    for (SInt32 row = 0; row < hig; ++row)
        for (SInt32 col = 0; col < wid; ++col)
            if (theActiveRect.top <= row && row < theActiveRect.bottom && theActiveRect.left <= col &&
                col < theActiveRect.right)
                *PixelAt(base, rowBytes, col, row) = pixel;
    SetPixelsState(GetGWorldPixMap(theDest), state);
}

void PixellateGWorld(GrafPtr source, GrafPtr dest, const Rect &activeRect, SInt16 wid, SInt16 hig) {
    if (!dest) dest = source;
    if (!source) return;
    const SInt32 blockWid = wid < 1 ? 1 : wid;
    const SInt32 blockHig = hig < 1 ? 1 : hig;

    Ptr srcBase, dstBase;
    SInt32 srcRowBytes, dstRowBytes;
    Rect F, T;
    GWorldFlags srcState, dstState;
    GetPixInfoFromGWorld(source, srcBase, srcRowBytes, F, srcState);
    GetPixInfoFromGWorld(dest, dstBase, dstRowBytes, T, dstState);

    if (F.right == T.right && F.bottom == T.bottom) {
        // A pixel takes part when it lies in the frame and inside activeRect's
        // right and bottom edges (the blocks start at its left and top).
        auto inside = [&](SInt32 x, SInt32 y) {
            return F.left <= x && x < F.right && F.top <= y && y < F.bottom && x < activeRect.right &&
                   y < activeRect.bottom;
        };
        // 32-bit loop counters: a block step past 32767 must not wrap.
        for (SInt32 row = activeRect.top; row < activeRect.bottom; row += blockHig) {
            for (SInt32 col = activeRect.left; col < activeRect.right; col += blockWid) {
                UInt32 sumR = 0, sumG = 0, sumB = 0, count = 0;
                PixRec last = {0, 0, 0, 0};
                for (SInt32 j = 0; j < blockHig; ++j)
                    for (SInt32 i = 0; i < blockWid; ++i) {
                        if (!inside(col + i, row + j)) continue;
                        last = *PixelAt(srcBase, srcRowBytes, col + i, row + j);
                        sumR += last.RED;
                        sumG += last.GREEN;
                        sumB += last.BLUE;
                        ++count;
                    }
                if (count == 0) continue; // no pixel of this block lies in the frame
                PixRec block = last;
                block.RED = UInt8(sumR / count);
                block.GREEN = UInt8(sumG / count);
                block.BLUE = UInt8(sumB / count);
                for (SInt32 j = 0; j < blockHig; ++j)
                    for (SInt32 i = 0; i < blockWid; ++i)
                        if (inside(col + i, row + j)) *PixelAt(dstBase, dstRowBytes, col + i, row + j) = block;
            }
        }
    }
    // Reverse order, so that source = dest ends in the state it started in.
    SetPixelsState(GetGWorldPixMap(dest), dstState);
    SetPixelsState(GetGWorldPixMap(source), srcState);
}

void ThePixelEffect(GrafPtr source, GrafPtr dest, const Rect &activeRect, Boolean, const PluginDataRec *theConfig,
                    SInt32, SInt32) {
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(dest, nullptr);

    const Rect myFrame = GetPortRect(dest);
    SInt32 wid, hig;
    GetDims(myFrame, wid, hig);
    const SInt16 blockWid = BlockSize(wid, theConfig->Sliders[0]);
    const SInt16 blockHig = BlockSize(hig, theConfig->Sliders[1]);
    Rect clamped = activeRect;
    ClipRectToFrame(clamped, myFrame);
    PixellateGWorld(source, dest, clamped, blockWid, blockHig);

    if (theConfig->Sliders[2] > 0) {
        CGImageRef theImage = GWorld2CGImage(source);
        Assert(theImage, "Cannot allocate CG image from source in thePixelEffect");
        DrawCGImageInQDRectWithAlpha(dest, theImage, myFrame, 0, false, theConfig->Sliders[2] / 100.0, 0);
        CGImageRelease(theImage);
    }
    SetGWorld(savedPort, savedDevice);
}
