/*
 * QuickDraw.h: the QuickDraw stand-in. Offscreen graphics worlds of 32 bits
 * per pixel (memory byte order alpha, red, green, blue), their pixel maps,
 * the process-wide current port and device, colours, rectangle painting,
 * regions, recorded pictures and CopyBits.
 *
 * Ownership: NewGWorld and NewGWorldFromPtr hand out a world that its caller
 * disposes of with DisposeGWorld (a world made over the caller's memory never
 * frees that memory); QVNewWindowPort hands out a window port, disposed of
 * with QVDisposeWindowPort. GetGWorldPixMap and GetPortBitMapForCopyBits
 * return records owned by the port (valid until it is disposed of). Regions
 * (NewRgn) and pictures (OpenCPicture) belong to their creator (DisposeRgn,
 * KillPicture).
 *
 * The current port is process-wide, as on the platform: one thread draws.
 * The port rectangle of every port starts at (0, 0). Drawing paints opaque
 * pixels (alpha 255); CopyBits copies all four bytes unchanged.
 *
 * Text is drawn with one small built-in bitmap font (Mac Roman 32..126; any
 * other character shows as a hollow box), scaled by whole steps with the
 * text size; bold and underline are honoured, the font number is kept but
 * every font looks the same.
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

/* Offscreen graphics worlds. pixelDepth must be 32 (0 and k32ARGBPixelFormat
   mean 32 too). The port rectangle is boundsRect moved to (0, 0); rows may be
   padded beyond 4 x width (ask GetPixRowBytes). The pixels start cleared to
   0. Fails with paramErr for another depth, an empty rectangle or a width
   above kMaxGWorldWidth32, and with memFullErr when memory runs out; the
   world is then NULL. */
QV_API QDErr NewGWorld(GWorldPtr *offscreenGWorld, SInt16 pixelDepth, const Rect *boundsRect, CTabHandle cTable,
                       GDHandle aGDevice, GWorldFlags flags);
/* A world over the caller's pixels (pixelFormat k32ARGBPixelFormat, rows
   rowBytes apart, at least boundsRect's height rows). The caller keeps the
   memory alive until DisposeGWorld and frees it afterwards. */
QV_API QDErr NewGWorldFromPtr(GWorldPtr *offscreenGWorld, UInt32 pixelFormat, const Rect *boundsRect,
                              CTabHandle cTable, GDHandle aGDevice, GWorldFlags flags, Ptr buffer, long rowBytes);
QV_API void DisposeGWorld(GWorldPtr offscreenGWorld);
QV_API PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld);
QV_API void GetGWorld(CGrafPtr *port, GDHandle *gdh);
QV_API void SetGWorld(CGrafPtr port, GDHandle gdh);
QV_API GDHandle GetGWorldDevice(GWorldPtr offscreenGWorld);
/* The one device of the process (a token; nothing is drawn through it). */
QV_API GDHandle GetMainDevice(void);

/* Pixel maps. */
QV_API Boolean LockPixels(PixMapHandle pm);
QV_API void UnlockPixels(PixMapHandle pm);
QV_API GWorldFlags GetPixelsState(PixMapHandle pm);
QV_API void SetPixelsState(PixMapHandle pm, GWorldFlags state);
QV_API Ptr GetPixBaseAddr(PixMapHandle pm);
QV_API long GetPixRowBytes(PixMapHandle pm);
QV_API SInt16 GetPixDepth(PixMapHandle pm);
QV_API Rect *GetPixBounds(PixMapHandle pm, Rect *bounds);

/* Ports. */
QV_API void GetPort(GrafPtr *port);
QV_API void SetPort(GrafPtr port);
QV_API Rect *GetPortBounds(CGrafPtr port, Rect *rect);
QV_API PixMapHandle GetPortPixMap(CGrafPtr port);
QV_API const BitMap *GetPortBitMapForCopyBits(CGrafPtr port);
QV_API Boolean IsValidPort(CGrafPtr port);
/* Offscreen ports need no flush; a window port calls its drawn hook (below)
   with flushed true and the region's bounds (the port rectangle for NULL). */
QV_API void QDFlushPortBuffer(CGrafPtr port, RgnHandle region);

/* Window ports (stand-in extension for the toolbox). A window's port is a
   32-bit port like an offscreen world (same pixel layout, port rectangle
   (0, 0, height, width)) whose pixels the toolbox shows on screen. Custom
   controls draw into it with the ordinary calls (SetPort, CopyBits,
   PaintRect, FrameRect, text, QDBeginCGContext). The pixels start white. */
QV_API QDErr QVNewWindowPort(CGrafPtr *port, SInt16 width, SInt16 height);
QV_API void QVDisposeWindowPort(CGrafPtr port);
QV_API Boolean QVIsWindowPort(CGrafPtr port);
/* Called after each drawing call that changed pixels of the port (area = the
   changed rectangle, flushed = false: PaintRect, EraseRect, FrameRect,
   InvertRect, CopyBits into it, text, lines, DrawPicture, QDEndCGContext),
   and by QDFlushPortBuffer (flushed = true). NULL removes the hook. Works on
   offscreen worlds too. */
typedef void (*QVPortDrawnProcPtr)(CGrafPtr port, const Rect *area, Boolean flushed, void *refCon);
QV_API void QVSetPortDrawnProc(CGrafPtr port, QVPortDrawnProcPtr proc, void *refCon);

/* Colours of the current port. */
QV_API void RGBForeColor(const RGBColor *color);
QV_API void RGBBackColor(const RGBColor *color);
QV_API void GetForeColor(RGBColor *color);
QV_API void GetBackColor(RGBColor *color);

/* Drawing in the current port, clipped to its clip region and port
   rectangle. PaintRect fills with the foreground colour, EraseRect with the
   background colour, FrameRect draws the one-pixel inner edge in the
   foreground colour, InvertRect inverts red, green and blue (alpha kept). */
QV_API void PaintRect(const Rect *r);
QV_API void EraseRect(const Rect *r);
QV_API void FrameRect(const Rect *r);
QV_API void InvertRect(const Rect *r);
/* The clip region of the current port (a new port clips to its port
   rectangle; ClipRect with a wider rectangle still never draws outside). */
QV_API void ClipRect(const Rect *r);
QV_API void GetClip(RgnHandle rgn);
QV_API void SetClip(RgnHandle rgn);
QV_API RgnHandle GetPortClipRegion(CGrafPtr port, RgnHandle clipRgn);

/* The pen: lines one pixel wide in the foreground colour, from the pen
   location to the end point inclusive. */
QV_API void MoveTo(SInt16 h, SInt16 v);
QV_API void Move(SInt16 dh, SInt16 dv);
QV_API void LineTo(SInt16 h, SInt16 v);
QV_API void Line(SInt16 dh, SInt16 dv);
QV_API void GetPen(Point *pt);

/* Text in the current port: drawn at the pen location (the baseline's left
   end) in the foreground colour, only the glyphs' pixels painted; the pen
   advances by the text's width. */
enum { normal = 0, bold = 1, italic = 2, underline = 4, outline = 8, shadow = 16, condense = 32, extend = 64 };
typedef unsigned char Style;
typedef SInt16 StyleParameter;
enum { systemFont = 0, applFont = 1 };
typedef struct FontInfo {
    SInt16 ascent;
    SInt16 descent;
    SInt16 widMax;
    SInt16 leading;
} FontInfo;
QV_API void TextFont(SInt16 font);
/* 0 is the default size 12. */
QV_API void TextSize(SInt16 size);
QV_API void TextFace(StyleParameter face);
QV_API void GetFontInfo(FontInfo *info);
QV_API void DrawChar(SInt16 ch);
QV_API void DrawString(ConstStr255Param s);
QV_API void DrawText(const void *textBuf, SInt16 firstByte, SInt16 byteCount);
QV_API SInt16 CharWidth(SInt16 ch);
QV_API SInt16 StringWidth(ConstStr255Param s);
QV_API SInt16 TextWidth(const void *textBuf, SInt16 firstByte, SInt16 byteCount);

/* Copies srcRect of srcBits into dstRect of dstBits, scaling to the nearest
   pixel when the rectangles differ in size (destination pixel i of a span
   takes source pixel i x srcWidth / dstWidth), clipped to both bit maps, to
   maskRgn's bounds when given, and to the current port's clip when dstBits is
   the current port's. Only srcCopy on 32-bit pixel maps is supported: other
   modes or depths leave the destination unchanged with QDError paramErr. The
   foreground and background colours do not colourise the copy. Overlapping
   source and destination are handled. */
QV_API void CopyBits(const BitMap *srcBits, const BitMap *dstBits, const Rect *srcRect, const Rect *dstRect,
                     SInt16 mode, RgnHandle maskRgn);

/* Regions: rectangles only (enough for clipping and flushing). */
QV_API RgnHandle NewRgn(void);
QV_API void DisposeRgn(RgnHandle rgn);
QV_API void RectRgn(RgnHandle rgn, const Rect *r);
QV_API void SetRectRgn(RgnHandle rgn, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom);
QV_API void CopyRgn(RgnHandle srcRgn, RgnHandle dstRgn);
QV_API Rect *GetRegionBounds(RgnHandle region, Rect *bounds);
QV_API Boolean EmptyRgn(RgnHandle rgn);

/* Pictures: OpenCPicture records what is drawn into the current port until
   ClosePicture (rectangle painting, lines, text and CopyBits into the port,
   with the colours in effect); while it records, the port's pixels are left
   alone, as the platform hides the pen. DrawPicture replays it into dstRect of
   the current port, the picture's frame (srcRect of OpenCPicture) scaled onto
   dstRect. Only one picture records at a time; OpenCPicture returns NULL
   while another is open. */
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

/* Result of the last QuickDraw call that reports one. */
QV_API QDErr QDError(void);

QV_EXTERN_C_END

#endif /* QUELVANE_QUICKDRAW_H */
