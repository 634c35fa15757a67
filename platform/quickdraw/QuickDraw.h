/*
 * QuickDraw.h: the QuickDraw stand-in. Offscreen graphics worlds of 32 bits
 * per pixel (memory byte order alpha, red, green, blue), their pixel maps,
 * the process-wide current port and device, colours, rectangle painting,
 * regions, recorded pictures and CopyBits.
 *
 * Ownership: NewGWorld hands out a world that its caller disposes of with
 * DisposeGWorld; GetGWorldPixMap and GetPortBitMapForCopyBits return records
 * owned by the world (valid until it is disposed of). Regions (NewRgn) and
 * pictures (OpenCPicture) belong to their creator (DisposeRgn, KillPicture).
 *
 * The current port is process-wide, as on the platform: one thread draws.
 * The port rectangle of every offscreen world starts at (0, 0).
 *
 * Usable from C and C++.
 */
#ifndef QUELVANE_QUICKDRAW_H
#define QUELVANE_QUICKDRAW_H

#include "MacTypes.h"

QV_EXTERN_C_BEGIN

typedef struct OpaqueGDHandle *GDHandle;
typedef struct OpaqueRgnHandle *RgnHandle;
typedef struct OpaqueCTabHandle *CTabHandle;
typedef struct OpaquePicHandle *PicHandle;
typedef SInt16 QDErr;
typedef UInt32 GWorldFlags;

#pragma pack(push, 2)
/* A bit map: the first three fields of every pixel map. */
typedef struct BitMap {
    Ptr baseAddr;
    SInt16 rowBytes;
    Rect bounds;
} BitMap;

/* A pixel map. rowBytes holds the row length in its low 14 bits; bit 15 is
   set for pixel maps (as opposed to plain bit maps). Use GetPixRowBytes. */
struct PixMap {
    Ptr baseAddr;
    SInt16 rowBytes;
    Rect bounds;
    SInt16 pmVersion;
    SInt16 packType;
    SInt32 packSize;
    Fixed hRes;
    Fixed vRes;
    SInt16 pixelType;
    SInt16 pixelSize;
    SInt16 cmpCount;
    SInt16 cmpSize;
    OSType pixelFormat;
    CTabHandle pmTable;
    void *pmExt;
};
#pragma pack(pop)

QV_STATIC_ASSERT(offsetof(BitMap, rowBytes) == sizeof(void *) && offsetof(BitMap, bounds) == sizeof(void *) + 2,
                 "BitMap starts like PixMap");
QV_STATIC_ASSERT(sizeof(PixMap) == (sizeof(void *) == 4 ? 50 : 62), "PixMap has the platform's 2-byte packed size");
QV_STATIC_ASSERT(offsetof(PixMap, pixelSize) == (sizeof(void *) == 4 ? 32 : 36), "PixMap.pixelSize");
QV_STATIC_ASSERT(offsetof(PixMap, pixelFormat) == (sizeof(void *) == 4 ? 38 : 42), "PixMap.pixelFormat");

/* rowBytes flag bits and the largest row a pixel map can describe. */
enum { kPixMapRowBytesFlag = 0x8000, kMaxRowBytes = 0x3FFE };
/* The widest 32-bit world: kMaxRowBytes / 4 pixels. */
enum { kMaxGWorldWidth32 = kMaxRowBytes / 4 };

/* Pixel format code of 32-bit worlds: alpha, red, green, blue in memory. */
enum { k32ARGBPixelFormat = 0x00000020 };

/* Transfer modes of CopyBits. */
enum { srcCopy = 0, srcOr = 1, srcXor = 2, srcBic = 3 };

/* GWorld flags and pixel states. */
enum {
    pixPurge = 1L << 0,
    noNewDevice = 1L << 1,
    useTempMem = 1L << 2,
    keepLocal = 1L << 3,
    pixelsPurgeable = 1L << 6,
    pixelsLocked = 1L << 7
};

/* Offscreen graphics worlds. depth must be 32 (0 means 32). */
QV_API QDErr NewGWorld(GWorldPtr *offscreenGWorld, SInt16 pixelDepth, const Rect *boundsRect, CTabHandle cTable,
                       GDHandle aGDevice, GWorldFlags flags);
QV_API void DisposeGWorld(GWorldPtr offscreenGWorld);
QV_API PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld);
QV_API void GetGWorld(CGrafPtr *port, GDHandle *gdh);
QV_API void SetGWorld(CGrafPtr port, GDHandle gdh);
QV_API GDHandle GetGWorldDevice(GWorldPtr offscreenGWorld);

/* Pixel maps. */
QV_API Boolean LockPixels(PixMapHandle pm);
QV_API void UnlockPixels(PixMapHandle pm);
QV_API GWorldFlags GetPixelsState(PixMapHandle pm);
QV_API void SetPixelsState(PixMapHandle pm, GWorldFlags state);
QV_API Ptr GetPixBaseAddr(PixMapHandle pm);
QV_API long GetPixRowBytes(PixMapHandle pm);
QV_API SInt16 GetPixDepth(PixMapHandle pm);

/* Ports. */
QV_API void GetPort(GrafPtr *port);
QV_API void SetPort(GrafPtr port);
QV_API Rect *GetPortBounds(CGrafPtr port, Rect *rect);
QV_API PixMapHandle GetPortPixMap(CGrafPtr port);
QV_API const BitMap *GetPortBitMapForCopyBits(CGrafPtr port);
QV_API void QDFlushPortBuffer(CGrafPtr port, RgnHandle region);

/* Colours of the current port. */
QV_API void RGBForeColor(const RGBColor *color);
QV_API void RGBBackColor(const RGBColor *color);
QV_API void GetForeColor(RGBColor *color);
QV_API void GetBackColor(RGBColor *color);

/* Drawing in the current port, clipped to its clip region. */
QV_API void PaintRect(const Rect *r);
QV_API void EraseRect(const Rect *r);
QV_API void FrameRect(const Rect *r);
QV_API void InvertRect(const Rect *r);
QV_API void ClipRect(const Rect *r);
QV_API void GetClip(RgnHandle rgn);
QV_API void SetClip(RgnHandle rgn);

/* Copies srcRect of srcBits into dstRect of dstBits, scaling to the nearest
   pixel when the rectangles differ in size, clipped to both bit maps (and to
   the current port's clip when dstBits is the current port's). */
QV_API void CopyBits(const BitMap *srcBits, const BitMap *dstBits, const Rect *srcRect, const Rect *dstRect,
                     SInt16 mode, RgnHandle maskRgn);

/* Regions (rectangular as far as the callers need). */
QV_API RgnHandle NewRgn(void);
QV_API void DisposeRgn(RgnHandle rgn);
QV_API void RectRgn(RgnHandle rgn, const Rect *r);
QV_API void SetRectRgn(RgnHandle rgn, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom);
QV_API void CopyRgn(RgnHandle srcRgn, RgnHandle dstRgn);
QV_API Rect *GetRegionBounds(RgnHandle region, Rect *bounds);
QV_API Boolean EmptyRgn(RgnHandle rgn);

/* Pictures: OpenCPicture records what is drawn into the current port until
   ClosePicture; DrawPicture replays it scaled into a rectangle. */
typedef struct OpenCPicParams {
    Rect srcRect;
    Fixed hRes;
    Fixed vRes;
    SInt16 version;
    SInt16 reserved1;
    SInt32 reserved2;
} OpenCPicParams;
QV_API PicHandle OpenCPicture(const OpenCPicParams *newHeader);
QV_API void ClosePicture(void);
QV_API void DrawPicture(PicHandle myPicture, const Rect *dstRect);
QV_API void KillPicture(PicHandle myPicture);
QV_API Rect *QDGetPictureBounds(PicHandle picH, Rect *outRect);

/* Rectangle arithmetic. */
QV_API void SetRect(Rect *r, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom);
QV_API void OffsetRect(Rect *r, SInt16 dh, SInt16 dv);
QV_API Boolean EqualRect(const Rect *rect1, const Rect *rect2);
QV_API Boolean EmptyRect(const Rect *r);
QV_API Boolean PtInRect(Point pt, const Rect *r);
QV_API Boolean SectRect(const Rect *src1, const Rect *src2, Rect *dstRect);

/* Result of the last QuickDraw call. */
QV_API QDErr QDError(void);

QV_EXTERN_C_END

#endif /* QUELVANE_QUICKDRAW_H */
