// pixellib.h: direct access to the 32-bit pixels of an offscreen buffer and
// the block-pixellation effect built on it. A pixel is one PixRec (alpha,
// red, green, blue in memory) at base + y x rowBytes + x x 4, with (x, y)
// counted from the buffer's top-left pixel; rows may be padded.
//
// Ownership: the caller owns every buffer. Routines that lock pixels save
// the pixel state first and restore it when done. PGetPixel and PSetPixel
// do not check coordinates: callers pass pixels inside the buffer.
#ifndef QUELVANE_PIXELLIB_H
#define QUELVANE_PIXELLIB_H

#include "MacTypes.h"
#include "common/commonprocs.h"
#include "engine/PluginDefines.h"
#include "quickdraw/QuickDraw.h"

// Saves theGW's pixel state into pixFlags, locks its pixels and hands out
// their base address, row bytes and the port bounds. The caller restores
// the state with SetPixelsState(GetGWorldPixMap(theGW), pixFlags).
void GetPixInfoFromGWorld(GrafPtr theGW, Ptr &pixBaseAddress, SInt32 &pixRowBytes, Rect &theFrame,
                          GWorldFlags &pixFlags);

// Bits per pixel of theGW's pixel map.
SInt16 GetGWDepth(GrafPtr theGW);

// Bytes per pixel of a depth: 8 -> 1, 16 -> 2, 24 and 32 -> 4, anything else 4.
SInt16 Depth2Size(SInt16 theDepth);

// Reads and writes the 32-bit pixel at (x, y).
PixRec PGetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y);
void PSetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, const PixRec &thePixel);

// Whether every pixel of theRect (clamped to theGW's frame) has alpha 255;
// false for NULL or when nothing of theRect lies in the frame.
Boolean GWRectIsOpaque(GrafPtr theGW, const Rect &theRect);

// Fills the part of theActiveRect inside theDest with (alpha 0, r, g, b).
// Nothing for NULL.
void SetPixmapPixels(GrafPtr theDest, const Rect &theActiveRect, UInt8 r, UInt8 g, UInt8 b);

// Replaces each wid x hig block of activeRect (blocks anchored at its
// top-left; the last ones cut to it) by the average colour of its pixels
// inside the source, writing into dest (NULL dest: the source itself). wid
// and hig below 1 count as 1. Nothing for a NULL source or when source and
// dest differ in size; a block with no pixel inside the frame is skipped.
void PixellateGWorld(GrafPtr source, GrafPtr dest, const Rect &activeRect, SInt16 wid, SInt16 hig);

// The pixellation effect (same arguments as TheLineEffect): activeRect of
// dest, clamped to dest's frame, becomes blocks of slider 1 and slider 2
// thousandths of the frame's width and height; with slider 3 above 0 the
// unpixellated source is laid over the whole of dest at slider 3 per cent.
// Outside activeRect dest keeps what it held (the overlay aside).
void ThePixelEffect(GrafPtr source, GrafPtr dest, const Rect &activeRect, Boolean copyRest,
                    const PluginDataRec *theConfig, SInt32 currentFrame, SInt32 maxFrame);

#endif // QUELVANE_PIXELLIB_H
