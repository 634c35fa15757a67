/*
 * MacTypes.h: the basic types, records and status codes that every platform
 * stand-in and the plug-in share (integers, pointers and handles, Pascal
 * strings, four-character codes, Rect, Point, RGBColor, FSSpec, FSRef) and
 * the opaque references of the toolbox.
 *
 * Nothing here allocates. The records whose layout crosses between the host
 * and the plug-in (Rect, Point, RGBColor, FSSpec) are pinned with static
 * assertions; FSSpec keeps the platform's 2-byte packing (70 bytes).
 *
 * Usable from C and C++.
 */
#ifndef QUELVANE_MACTYPES_H
#define QUELVANE_MACTYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define QV_EXTERN_C_BEGIN extern "C" {
#define QV_EXTERN_C_END }
#define QV_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define QV_EXTERN_C_BEGIN
#define QV_EXTERN_C_END
#define QV_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Every function of the platform layer is exported from its shared library. */
#define QV_API __attribute__((visibility("default")))

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;

typedef unsigned char Boolean; /* 0 = false, anything else = true */

typedef SInt16 OSErr;
typedef SInt32 OSStatus;
typedef SInt32 Fixed; /* 16.16 fixed point */

typedef char *Ptr;
typedef Ptr *Handle;
typedef long Size;

typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;

/* Builds a four-character code from its text, most significant byte first. */
#define QV_FOURCC(a, b, c, d) \
    ((FourCharCode)(((UInt32)(UInt8)(a) << 24) | ((UInt32)(UInt8)(b) << 16) | \
                    ((UInt32)(UInt8)(c) << 8) | (UInt32)(UInt8)(d)))

/* Length-prefixed (Pascal) strings: byte 0 holds the length. */
typedef unsigned char Str255[256];
typedef unsigned char Str63[64];
typedef unsigned char Str32[33];
typedef unsigned char Str31[32];
typedef unsigned char *StringPtr;
typedef const unsigned char *ConstStringPtr;
typedef const unsigned char *ConstStr255Param;

typedef struct Rect {
    SInt16 top;
    SInt16 left;
    SInt16 bottom;
    SInt16 right;
} Rect;

typedef struct Point {
    SInt16 v;
    SInt16 h;
} Point;

typedef struct RGBColor {
    UInt16 red;
    UInt16 green;
    UInt16 blue;
} RGBColor;

#pragma pack(push, 2)
/* A file as the File Manager names it: volume, parent directory, name (at most 63 characters). */
typedef struct FSSpec {
    SInt16 vRefNum;
    SInt32 parID;
    Str63 name;
} FSSpec;
#pragma pack(pop)

/* 80 opaque bytes naming a file system object. */
typedef struct FSRef {
    UInt8 hidden[80];
} FSRef;

QV_STATIC_ASSERT(sizeof(Rect) == 8, "Rect is 8 bytes");
QV_STATIC_ASSERT(offsetof(Rect, left) == 2 && offsetof(Rect, bottom) == 4 && offsetof(Rect, right) == 6,
                 "Rect field order is top, left, bottom, right");
QV_STATIC_ASSERT(sizeof(Point) == 4 && offsetof(Point, h) == 2, "Point is v, h");
QV_STATIC_ASSERT(sizeof(RGBColor) == 6 && offsetof(RGBColor, green) == 2 && offsetof(RGBColor, blue) == 4,
                 "RGBColor is red, green, blue");
QV_STATIC_ASSERT(sizeof(FSSpec) == 70 && offsetof(FSSpec, parID) == 2 && offsetof(FSSpec, name) == 6,
                 "FSSpec is 70 bytes with 2-byte packing");
QV_STATIC_ASSERT(sizeof(FSRef) == 80, "FSRef is 80 bytes");

/* Graphics ports and offscreen graphics worlds (QuickDraw); the pixel map
   record is defined, with its layout pinned, in quickdraw/QuickDraw.h. */
typedef struct OpaqueGrafPtr *GrafPtr;
typedef GrafPtr CGrafPtr;
typedef CGrafPtr GWorldPtr;
typedef struct PixMap PixMap;
typedef PixMap *PixMapPtr;
typedef PixMapPtr *PixMapHandle;

/* Opaque references of the toolbox. */
typedef struct OpaqueWindowPtr *WindowRef;
typedef WindowRef WindowPtr;
typedef struct OpaqueControlRef *ControlRef;
typedef ControlRef ControlHandle;
typedef struct OpaqueMenuRef *MenuRef;
typedef struct OpaqueEventRef *EventRef;
typedef struct OpaqueEventHandlerCallRef *EventHandlerCallRef;
typedef struct OpaqueEventHandlerRef *EventHandlerRef;
typedef struct OpaqueEventTargetRef *EventTargetRef;

/* Status codes of the platform used by the stand-ins and the plug-in. */
enum {
    noErr = 0,
    paramErr = -50,
    ioErr = -36,
    eofErr = -39,
    fnfErr = -43,
    dirNFErr = -120,
    permErr = -54,
    wrPermErr = -61,
    dskFulErr = -34,
    bdNamErr = -37,
    dupFNErr = -48,
    opWrErr = -49,
    rfNumErr = -51,
    memFullErr = -108,
    nilHandleErr = -109,
    memWZErr = -111,
    resNotFound = -192,
    resFNotFound = -193,
    addResFailed = -194,
    rmvResFailed = -196,
    mapReadErr = -199,
    userCanceledErr = -128,
    eventNotHandledErr = -9874,
    eventParameterNotFoundErr = -9870,
    errUnknownControl = -30584,
    coreFoundationUnknownErr = -4960
};

#endif /* QUELVANE_MACTYPES_H */
