/*
 * HYPluginInterface.h: the host interface of a video-filter plug-in, and the
 * whole contract between a host and the plug-in. The host loads the plug-in
 * bundle, finds its one exported entry point `main(which, params)` and calls
 * it for every request with a selector and its parameter block
 * `PluginParams`; the block carries the callback table `HYProcs` through
 * which the plug-in allocates memory, fetches frames, blends images and reads
 * the user's filter settings.
 *
 * Loading. A bundle is a folder Name.plugin holding Contents/Linux/Name.so
 * (dlopen it, then dlsym "main": an HYPluginMainProcPtr), Contents/Resources
 * and Contents/Frameworks. Everything the library loads is inside the bundle
 * and found through $ORIGIN-relative paths, so a bundle works wherever it is
 * copied.
 *
 * The platform library. Frames cross the interface as graphics worlds
 * (GWorldPtr) of the platform library libquelvane-platform.so.1, which the
 * host links too (pkg-config quelvane: this header, MacTypes.h and
 * quickdraw/QuickDraw.h). The bundle carries its own copy in
 * Contents/Frameworks; when the host has already loaded the library, the
 * dynamic loader binds the plug-in to the host's copy by its name
 * (SONAME libquelvane-platform.so.1), so one process holds one copy and the
 * worlds the host makes are the ones the plug-in draws into. A world made by
 * any other copy is not one the plug-in knows, and is refused.
 *
 * Frames. The host makes every world it hands over with the platform
 * library: NewGWorldFromPtr over its own pixel memory (which it keeps alive
 * until DisposeGWorld and frees afterwards), or NewGWorld. A world has 32
 * bits per pixel whose bytes are, in memory order, alpha, red, green, blue
 * (premultiplied alpha); its port rectangle starts at (0, 0); rows are
 * rowBytes apart and may be padded. Blit receives PixMap records (declared
 * in quickdraw/QuickDraw.h): their rowBytes field has bit 15 (0x8000) set,
 * the flag of a pixel map, and the row length in its low 14 bits, so a host
 * reads `pm->rowBytes & 0x3FFF` (or GetPixRowBytes on a world's PixMapHandle).
 *
 * Texts. The texts the plug-in writes into the get-info records are Mac
 * Roman, zero-terminated inside their fields (the button caption "Settings"
 * ends in 0xC9, the ellipsis); convert them for display (iconv "MACINTOSH").
 *
 * Memory. NewPtrClear answers a zero-filled block of the asked size, or NULL;
 * DisposePtr frees such a block. Any allocator will do (calloc and free
 * included): the plug-in never asks a host block its size and never reads or
 * writes outside it. The host owns PluginParams, HYProcs, the frames that
 * GetFrame lends and the HYPluginFilterInfo that GetFilterInfo lends. The
 * plug-in owns what it allocates with NewPtrClear and whatever it stores in
 * clientData; it keeps one block, its settings record, for the life of the
 * process.
 *
 * Lifetimes. A frame from GetFrame stays valid until ReleaseFrame with its
 * cookie; a filter-info record until ReleaseFilterInfo. PluginParams and
 * HYProcs stay valid for the duration of one call of `main`; the host hands
 * back the same clientData value on every request of a render run
 * (kPlugInitialize .. kPlugTerminate), and starts a run with clientData NULL.
 *
 * Threads. The host calls `main` from one thread only, one request at a time,
 * and the plug-in calls the callbacks only from inside `main`, on that thread.
 *
 * Requests, and the slots each needs. A host may leave empty any slot it does
 * not offer. The plug-in looks at the slots once per request: a missing
 * required slot answers kPluginBadParams before anything is asked, drawn or
 * allocated; a missing optional slot is skipped.
 *   every request        required: NewPtrClear, DisposePtr. interfaceVersion
 *                        must be above 3 (else kPluginAppIsTooOld).
 *   kPlugGetInfo         fills getInfo, getInfo2 (slider texts, group) and
 *                        getInfo3.buttonTitle; reads getInfo2.selectedFrames.
 *   kPlugInitialize      starts a render run in clientData. Optional:
 *                        GetFilterInfo (without it: no fades, sliders 0.5),
 *                        ReleaseFilterInfo, GetMovieInfo (answer not used).
 *                        Answers GetFilterInfo's result, or kPluginOutOfMemory.
 *   kPlugDoFrame         renders frame startFrame + renderFrame into
 *                        frameRect of `frame`. Required: GetFrame and
 *                        ReleaseFrame, a run in clientData, `frame` a world
 *                        of the platform library and a non-empty frameRect.
 *                        Optional: Blit (without it a frame inside a fade is
 *                        drawn without the fade), MixAudio (without it no
 *                        sound is mixed; never called for proxyOnly).
 *   kPlugFilePlaceHolder renders frame startFrame + getInfo.bestThumbOffset
 *                        as a run of its own; needs what kPlugDoFrame needs.
 *   kPlugTerminate       ends the run in clientData. Optional: GetClipInfo.
 *   kPlugCustomButtonClick opens the modal settings window on the display
 *                        ($DISPLAY) on frame renderFrame of the clip last
 *                        rendered, and returns when it closes; OK saves the
 *                        settings the next run starts from. Optional:
 *                        GetFrame and ReleaseFrame (without them the window
 *                        shows a black frame).
 *   any other selector   kPluginOK, nothing done.
 *
 * Frames from GetFrame. The plug-in asks for width x height of frameRect and
 * quality kDVLowQuality for a proxy render of at most 259 rows, else
 * kDVHighQuality. A world of another size is used whole, scaled to
 * frameRect; anything that is not a world of the platform library is given
 * back with ReleaseFrame and the request answers kPluginBadParams with
 * nothing drawn. Every frame lent is given back before `main` returns.
 * Nothing is drawn outside frameRect. For a fade, Blit gets the untouched
 * frame (a world of frameRect's size) as source, rectangle (0, 0) to its
 * size, and the target at frameRect as destination; a host's Blit clips to
 * both maps.
 *
 * Results. kPluginOK: done. kPluginBadParams: no parameter block, no run for
 * a do-frame, or a required slot, world or rectangle missing (see above).
 * kPluginAppIsTooOld: interfaceVersion 3 or less. kPluginOutOfMemory: the
 * host's allocator or the platform library ran out. kPluginFailed: a buffer
 * could not be made, or an unexpected failure inside the plug-in. Any other
 * result is a callback's own, handed on: GetFrame's, Blit's, MixAudio's,
 * ReleaseFrame's (when all else went well), GetFilterInfo's.
 *
 * Layout. Records use natural alignment and every enumeration occupies one
 * byte. With 4-byte pointers (32-bit builds) the offsets are the published
 * ones; with 8-byte pointers (64-bit builds) the field order is the same and
 * the pointers grow, which moves the later fields. Both sets of offsets are
 * pinned below with static assertions; the sizes are:
 *
 *   record               4-byte pointers   8-byte pointers
 *   PluginParams              1940              1976
 *   HYPluginGetInfo             48                48
 *   HY2PluginGetInfo          1328              1328
 *   HY3PluginGetInfo           128               136
 *   HY4PluginGetInfo           388               388
 *   HYPluginFilterInfo          20                20
 *   HYProcs                    120               240
 *
 * Usable from C and C++.
 */
#ifndef QUELVANE_HYPLUGININTERFACE_H
#define QUELVANE_HYPLUGININTERFACE_H

#include "MacTypes.h"

QV_EXTERN_C_BEGIN

/* ---- Enumerations (each stored in 8 bits) ------------------------------ */

typedef UInt8 HYPluginSelector;
enum {
    kPlugGetInfo = 1,
    kPlugInitialize = 2,
    kPlugDrawIcon = 3,
    kPlugDrawThumbNail = 4,
    kPlugFilePlaceHolder = 5,
    kPlugDoFrame = 6,
    kPlugCallOnceWithInitAndTerminate = 7,
    kPlugTerminate = 8,
    kPlugCustomButtonClick = 9
};

typedef UInt8 HYPluginResult;
enum {
    kPluginOK = 0,
    kPluginCancel = 1,
    kPluginFinished = 2,
    kPluginBadParams = 3,
    kPluginOutOfMemory = 4,
    kPluginOutOfDiskSpace = 5,
    kPluginFailed = 6,
    kPluginCantGetNeededFrame = 7,
    kPluginUnimplemented = 8,
    kPluginTryAgainLater = 9,
    kPluginAppIsTooOld = 10,
    kPluginAppIsTooNew = 11
};

typedef UInt8 HYPluginType;
enum {
    kPluginUnknownType = 0,
    kPluginTitleType = 101,
    kPluginTransitionBeforeType = 102,
    kPluginTransitionBetweenType = 103,
    kPluginTransitionAfterType = 104,
    kPluginFilterType = 105
};

typedef UInt8 HYRefDVQuality;
enum { kDVLowQuality = 0, kDVHighQuality = 1, kDVHighQualitySingleField = 2 };

typedef UInt8 HYRefDigitalVideoStandard;
enum { kRefUnknownStandard = 0, kRefNTSCStandard = 1, kRefPALStandard = 2 };

/* Title types, directions and justification: carried in the records, not
   used by filters. */
typedef UInt8 HYPluginTitleType;
typedef UInt8 HYPluginDirection;
typedef UInt8 HYPluginJustify;

/* Choice flags: a 32-bit set of bits whose meaning belongs to the host. */
typedef UInt32 HYPluginChoiceFlags;

/* The interface version a plug-in accepts must be above this. */
enum { kHYOldestRejectedInterfaceVersion = 3 };

/* ---- Records ------------------------------------------------------------ */

typedef struct HYPluginGetInfo {
    HYPluginType pluginType;
    HYPluginTitleType titleType;
    HYPluginChoiceFlags pluginFlags;
    SInt32 framesToBeRendered;
    SInt32 takeFromClipBefore;
    SInt32 takeFromClipAfter;
    SInt32 minSpeedFrames;
    SInt32 maxSpeedFrames;
    Boolean mustTakeFromSingleClips;
    SInt32 bestThumbOffset;
    RGBColor defaultColor;
    HYPluginDirection defaultDirection;
    HYPluginJustify justify;
    SInt16 defaultFontNum;
    SInt16 defaultFontSize;
} HYPluginGetInfo;

typedef struct HYPluginFilterSliderInfo {
    char label[128];    /* zero-terminated */
    char minLabel[128]; /* zero-terminated */
    char maxLabel[128]; /* zero-terminated */
    Float32 defaultValue;
} HYPluginFilterSliderInfo;

enum { kHYFilterSliderCount = 3 };

typedef struct HY2PluginGetInfo {
    char group[128]; /* zero-terminated */
    HYPluginFilterSliderInfo filterSliders[kHYFilterSliderCount];
    SInt32 defaultFadeInFrames;
    SInt32 defaultFadeOutFrames;
    SInt32 minHangFrames;
    SInt32 maxHangFrames;
    Float32 defaultFontSizeScale;
    SInt32 selectedFrames;
    SInt32 speedFrames;
    SInt32 hangFrames;
    SInt32 baseMemoryNeeded;
} HY2PluginGetInfo;

typedef struct HYPluginFileOpenInfo {
    SInt16 typeCount;
    Handle hTypes;
    FSSpec chosenFile;
} HYPluginFileOpenInfo;

typedef struct HY3PluginGetInfo {
    Float32 defaultX;
    Float32 defaultY;
    Float32 userX;
    Float32 userY;
    HYPluginFileOpenInfo fileInfo;
    char buttonTitle[32]; /* zero-terminated */
} HY3PluginGetInfo;

typedef struct HY4PluginGetInfo {
    HYPluginFilterSliderInfo titleSliders;
} HY4PluginGetInfo;

/* Lent by GetFilterInfo: the host's current slider values and fade lengths. */
typedef struct HYPluginFilterInfo {
    Float32 sliderValues[kHYFilterSliderCount];
    SInt32 fadeInFrames;
    SInt32 fadeOutFrames;
} HYPluginFilterInfo;

/* Filled by GetClipInfo; the plug-in reads none of it. */
typedef struct HYPluginClipInfo {
    UInt8 opaque[496];
} HYPluginClipInfo;

/* ---- Callback table ---------------------------------------------------- */

/* `instance` is PluginParams.instance, handed back unchanged. */
typedef Ptr (*HYNewPtrProcPtr)(SInt32 size);
typedef Ptr (*HYNewPtrClearProcPtr)(SInt32 size);
typedef void (*HYDisposePtrProcPtr)(Ptr block);
typedef char *(*HYptocstrProcPtr)(unsigned char *pascalString);
typedef unsigned char *(*HYctopstrProcPtr)(char *cString);
typedef unsigned char *(*HYpstrcpyProcPtr)(unsigned char *dest, const unsigned char *source);
typedef char *(*HYstrcpyProcPtr)(char *dest, const char *source);
typedef SInt32 (*HYstrlenProcPtr)(const char *text);
typedef HYPluginResult (*HYGetLocalizedStringProcPtr)(void *instance, SInt32 stringID, unsigned char *outString);
typedef HYPluginResult (*HYGetFrameProcPtr)(void *instance, SInt32 frameNumber, GWorldPtr *outFrame, SInt16 width,
                                            SInt16 height, HYRefDVQuality quality, SInt16 *outVolume,
                                            void **outCookie);
typedef HYPluginResult (*HYReleaseFrameProcPtr)(void *instance, void *cookie);
typedef HYPluginResult (*HYGetAudioFrameProcPtr)(void *instance, SInt32 frameNumber, void **outSamples,
                                                 SInt32 *outSampleCount, void **outCookie);
typedef HYPluginResult (*HYReleaseAudioFrameProcPtr)(void *instance, void *cookie);
typedef HYPluginResult (*HYGetMovieInfoProcPtr)(HYRefDigitalVideoStandard *outStandard, SInt16 *ioWidth,
                                                SInt16 *ioHeight, SInt32 *outTotalFrames);
typedef HYPluginResult (*HYGetClipInfoProcPtr)(void *instance, SInt32 whichClip, HYPluginClipInfo *outInfo);
typedef HYPluginResult (*HYSetClipInfoProcPtr)(void *instance, SInt32 whichClip, const HYPluginClipInfo *info);
/* Draws sourceRect of source over destRect of dest; opacity 0..255, where
   255 means the source covers the destination. */
typedef HYPluginResult (*HYBlitProcPtr)(const PixMap *source, PixMap *dest, const Rect *sourceRect,
                                        const Rect *destRect, SInt16 opacity);
typedef HYPluginResult (*HYFillRectProcPtr)(PixMap *dest, const Rect *rect, const RGBColor *color, SInt16 opacity);
typedef HYPluginResult (*HYTextBoundsProcPtr)(void *instance, const char *text, Rect *outBounds);
typedef HYPluginResult (*HYDrawTextProcPtr)(void *instance, PixMap *dest, const char *text, const Rect *box);
typedef HYPluginResult (*HYGetTitleInfoProcPtr)(void *instance, void **outInfo);
typedef HYPluginResult (*HYReleaseTitleInfoProcPtr)(void *instance, void *info);
typedef HYPluginResult (*HYGetTransitionInfoProcPtr)(void *instance, void **outInfo);
typedef HYPluginResult (*HYReleaseTransitionInfoProcPtr)(void *instance, void *info);
/* Mixes the sound of the frame named by cookie into the output; level 256
   leaves it unchanged. */
typedef HYPluginResult (*HYMixAudioProcPtr)(void *instance, void *cookie, SInt32 level);
typedef HYPluginResult (*HYGetFilterInfoProcPtr)(void *instance, HYPluginFilterInfo **outInfo);
typedef HYPluginResult (*HYReleaseFilterInfoProcPtr)(void *instance, HYPluginFilterInfo *info);
typedef SInt32 (*HYStringWidthProcPtr)(void *instance, const char *text);
typedef HYPluginResult (*HYCGDrawTextProcPtr)(void *instance, void *context, const char *text, const Rect *box);
typedef Float32 (*HYCGStringWidthProcPtr)(void *instance, const char *text);

/* Thirty slots in this order. The plug-in calls only NewPtrClear,
   DisposePtr, GetFrame, ReleaseFrame, Blit, MixAudio, GetFilterInfo,
   ReleaseFilterInfo, GetMovieInfo and GetClipInfo; which of them each
   request needs is listed at the top of this file. */
typedef struct HYProcs {
    HYNewPtrProcPtr NewPtr;                                 /* slot 0 */
    HYNewPtrClearProcPtr NewPtrClear;                       /* slot 1 */
    HYDisposePtrProcPtr DisposePtr;                         /* slot 2 */
    HYptocstrProcPtr ptocstr;                               /* slot 3 */
    HYctopstrProcPtr ctopstr;                               /* slot 4 */
    HYpstrcpyProcPtr pstrcpy;                               /* slot 5 */
    HYstrcpyProcPtr strcpy;                                 /* slot 6 */
    HYstrlenProcPtr strlen;                                 /* slot 7 */
    HYGetLocalizedStringProcPtr GetLocalizedString;         /* slot 8 */
    HYGetFrameProcPtr GetFrame;                             /* slot 9 */
    HYReleaseFrameProcPtr ReleaseFrame;                     /* slot 10 */
    HYGetAudioFrameProcPtr GetAudioFrame;                   /* slot 11 */
    HYReleaseAudioFrameProcPtr ReleaseAudioFrame;           /* slot 12 */
    HYGetMovieInfoProcPtr GetMovieInfo;                     /* slot 13 */
    HYGetClipInfoProcPtr GetClipInfo;                       /* slot 14 */
    HYSetClipInfoProcPtr SetClipInfo;                       /* slot 15 */
    HYBlitProcPtr Blit;                                     /* slot 16 */
    HYFillRectProcPtr FillRect;                             /* slot 17 */
    HYTextBoundsProcPtr TextBounds;                         /* slot 18 */
    HYDrawTextProcPtr DrawText;                             /* slot 19 */
    HYGetTitleInfoProcPtr GetTitleInfo;                     /* slot 20 */
    HYReleaseTitleInfoProcPtr ReleaseTitleInfo;             /* slot 21 */
    HYGetTransitionInfoProcPtr GetTransitionInfo;           /* slot 22 */
    HYReleaseTransitionInfoProcPtr ReleaseTransitionInfo;   /* slot 23 */
    HYMixAudioProcPtr MixAudio;                             /* slot 24 */
    HYGetFilterInfoProcPtr GetFilterInfo;                   /* slot 25 */
    HYReleaseFilterInfoProcPtr ReleaseFilterInfo;           /* slot 26 */
    HYStringWidthProcPtr StringWidth;                       /* slot 27 */
    HYCGDrawTextProcPtr CGDrawText;                         /* slot 28 */
    HYCGStringWidthProcPtr CGStringWidth;                   /* slot 29 */
} HYProcs;

enum { kHYProcsSlotCount = 30 };

/* ---- The parameter block ----------------------------------------------- */

typedef struct PluginParams {
    SInt16 interfaceVersion;    /* must be above 3 */
    void *instance;             /* passed back to the callbacks */
    HYPluginSelector selector;  /* the request */
    HYProcs *procs;             /* host callbacks */
    HYPluginGetInfo getInfo;    /* written on get-info */
    SInt32 startFrame;          /* first frame of the clip in the movie */
    SInt32 renderFrame;         /* frame to render, counted from startFrame */
    SInt32 frameCount;          /* number of frames the filter covers */
    Boolean proxyOnly;          /* quick, low-quality render wanted */
    Rect frameRect;             /* where the result goes in `frame` */
    GWorldPtr frame;            /* target buffer */
    void *clientData;           /* the plug-in's data for one render run */
    HY2PluginGetInfo getInfo2;  /* written on get-info */
    HY3PluginGetInfo getInfo3;  /* written on get-info */
    HY4PluginGetInfo getInfo4;  /* not used by filters */
} PluginParams;

/* The exported entry point: which (narrowed to 16 bits, unused) and the
   parameter block; the result holds an HYPluginResult. */
typedef SInt32 (*HYPluginMainProcPtr)(SInt32 which, PluginParams *params);

/* ---- Pinned layout ------------------------------------------------------ */

#define QV_PIN(type, field, off32, off64)                                                             \
    QV_STATIC_ASSERT(offsetof(type, field) == (sizeof(void *) == 4 ? (off32) : (off64)),              \
                     #type "." #field " sits at its published offset")
#define QV_PIN_SIZE(type, size32, size64) \
    QV_STATIC_ASSERT(sizeof(type) == (sizeof(void *) == 4 ? (size32) : (size64)), #type " has its published size")

QV_STATIC_ASSERT(sizeof(void *) == 4 || sizeof(void *) == 8, "pointers are 4 or 8 bytes");

QV_PIN_SIZE(HYPluginGetInfo, 48, 48);
QV_PIN(HYPluginGetInfo, pluginType, 0, 0);
QV_PIN(HYPluginGetInfo, titleType, 1, 1);
QV_PIN(HYPluginGetInfo, pluginFlags, 4, 4);
QV_PIN(HYPluginGetInfo, framesToBeRendered, 8, 8);
QV_PIN(HYPluginGetInfo, takeFromClipBefore, 12, 12);
QV_PIN(HYPluginGetInfo, takeFromClipAfter, 16, 16);
QV_PIN(HYPluginGetInfo, minSpeedFrames, 20, 20);
QV_PIN(HYPluginGetInfo, maxSpeedFrames, 24, 24);
QV_PIN(HYPluginGetInfo, mustTakeFromSingleClips, 28, 28);
QV_PIN(HYPluginGetInfo, bestThumbOffset, 32, 32);
QV_PIN(HYPluginGetInfo, defaultColor, 36, 36);
QV_PIN(HYPluginGetInfo, defaultDirection, 42, 42);
QV_PIN(HYPluginGetInfo, justify, 43, 43);
QV_PIN(HYPluginGetInfo, defaultFontNum, 44, 44);
QV_PIN(HYPluginGetInfo, defaultFontSize, 46, 46);

QV_PIN_SIZE(HYPluginFilterSliderInfo, 388, 388);
QV_PIN(HYPluginFilterSliderInfo, label, 0, 0);
QV_PIN(HYPluginFilterSliderInfo, minLabel, 128, 128);
QV_PIN(HYPluginFilterSliderInfo, maxLabel, 256, 256);
QV_PIN(HYPluginFilterSliderInfo, defaultValue, 384, 384);

QV_PIN_SIZE(HY2PluginGetInfo, 1328, 1328);
QV_PIN(HY2PluginGetInfo, group, 0, 0);
QV_PIN(HY2PluginGetInfo, filterSliders, 128, 128);
QV_PIN(HY2PluginGetInfo, defaultFadeInFrames, 1292, 1292);
QV_PIN(HY2PluginGetInfo, defaultFadeOutFrames, 1296, 1296);
QV_PIN(HY2PluginGetInfo, minHangFrames, 1300, 1300);
QV_PIN(HY2PluginGetInfo, maxHangFrames, 1304, 1304);
QV_PIN(HY2PluginGetInfo, defaultFontSizeScale, 1308, 1308);
QV_PIN(HY2PluginGetInfo, selectedFrames, 1312, 1312);
QV_PIN(HY2PluginGetInfo, speedFrames, 1316, 1316);
QV_PIN(HY2PluginGetInfo, hangFrames, 1320, 1320);
QV_PIN(HY2PluginGetInfo, baseMemoryNeeded, 1324, 1324);

QV_PIN_SIZE(HYPluginFileOpenInfo, 80, 88);
QV_PIN(HYPluginFileOpenInfo, typeCount, 0, 0);
QV_PIN(HYPluginFileOpenInfo, hTypes, 4, 8);
QV_PIN(HYPluginFileOpenInfo, chosenFile, 8, 16);

QV_PIN_SIZE(HY3PluginGetInfo, 128, 136);
QV_PIN(HY3PluginGetInfo, defaultX, 0, 0);
QV_PIN(HY3PluginGetInfo, defaultY, 4, 4);
QV_PIN(HY3PluginGetInfo, userX, 8, 8);
QV_PIN(HY3PluginGetInfo, userY, 12, 12);
QV_PIN(HY3PluginGetInfo, fileInfo, 16, 16);
QV_PIN(HY3PluginGetInfo, buttonTitle, 96, 104);

QV_PIN_SIZE(HY4PluginGetInfo, 388, 388);

QV_PIN_SIZE(HYPluginFilterInfo, 20, 20);
QV_PIN(HYPluginFilterInfo, sliderValues, 0, 0);
QV_PIN(HYPluginFilterInfo, fadeInFrames, 12, 12);
QV_PIN(HYPluginFilterInfo, fadeOutFrames, 16, 16);

QV_PIN_SIZE(HYPluginClipInfo, 496, 496);

QV_PIN_SIZE(HYProcs, 120, 240);
QV_PIN(HYProcs, NewPtr, 0, 0);
QV_PIN(HYProcs, NewPtrClear, 4, 8);
QV_PIN(HYProcs, DisposePtr, 8, 16);
QV_PIN(HYProcs, ptocstr, 12, 24);
QV_PIN(HYProcs, ctopstr, 16, 32);
QV_PIN(HYProcs, pstrcpy, 20, 40);
QV_PIN(HYProcs, strcpy, 24, 48);
QV_PIN(HYProcs, strlen, 28, 56);
QV_PIN(HYProcs, GetLocalizedString, 32, 64);
QV_PIN(HYProcs, GetFrame, 36, 72);
QV_PIN(HYProcs, ReleaseFrame, 40, 80);
QV_PIN(HYProcs, GetAudioFrame, 44, 88);
QV_PIN(HYProcs, ReleaseAudioFrame, 48, 96);
QV_PIN(HYProcs, GetMovieInfo, 52, 104);
QV_PIN(HYProcs, GetClipInfo, 56, 112);
QV_PIN(HYProcs, SetClipInfo, 60, 120);
QV_PIN(HYProcs, Blit, 64, 128);
QV_PIN(HYProcs, FillRect, 68, 136);
QV_PIN(HYProcs, TextBounds, 72, 144);
QV_PIN(HYProcs, DrawText, 76, 152);
QV_PIN(HYProcs, GetTitleInfo, 80, 160);
QV_PIN(HYProcs, ReleaseTitleInfo, 84, 168);
QV_PIN(HYProcs, GetTransitionInfo, 88, 176);
QV_PIN(HYProcs, ReleaseTransitionInfo, 92, 184);
QV_PIN(HYProcs, MixAudio, 96, 192);
QV_PIN(HYProcs, GetFilterInfo, 100, 200);
QV_PIN(HYProcs, ReleaseFilterInfo, 104, 208);
QV_PIN(HYProcs, StringWidth, 108, 216);
QV_PIN(HYProcs, CGDrawText, 112, 224);
QV_PIN(HYProcs, CGStringWidth, 116, 232);

QV_PIN_SIZE(PluginParams, 1940, 1976);
QV_PIN(PluginParams, interfaceVersion, 0, 0);
QV_PIN(PluginParams, instance, 4, 8);
QV_PIN(PluginParams, selector, 8, 16);
QV_PIN(PluginParams, procs, 12, 24);
QV_PIN(PluginParams, getInfo, 16, 32);
QV_PIN(PluginParams, startFrame, 64, 80);
QV_PIN(PluginParams, renderFrame, 68, 84);
QV_PIN(PluginParams, frameCount, 72, 88);
QV_PIN(PluginParams, proxyOnly, 76, 92);
QV_PIN(PluginParams, frameRect, 78, 94);
QV_PIN(PluginParams, frame, 88, 104);
QV_PIN(PluginParams, clientData, 92, 112);
QV_PIN(PluginParams, getInfo2, 96, 120);
QV_PIN(PluginParams, getInfo3, 1424, 1448);
QV_PIN(PluginParams, getInfo4, 1552, 1584);

QV_EXTERN_C_END

#endif /* QUELVANE_HYPLUGININTERFACE_H */
