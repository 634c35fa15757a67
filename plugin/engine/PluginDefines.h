// PluginDefines.h: the records every unit of the plug-in shares (the
// configuration record PluginDataRec, the fractional rectangle RelRect, the
// dialog workspace PluginWorkspace) and the build constants that shape the
// product.
//
// Ownership: a PluginDataRec is one zero-filled block from the Memory Manager
// or the host's allocator; whoever allocates it frees it. The shared record
// (gPascalData) lives for the whole process; a render run's copy owns its
// duplicate of TheRendered. The workspace points at objects it does not own.
//
// Arrays that are numbered 1..6 in the dialog (Sliders, Colors) are stored
// 0-based: index n - 1 holds slider or colour n.
#ifndef QUELVANE_PLUGINDEFINES_H
#define QUELVANE_PLUGINDEFINES_H

#include "HYPluginInterface.h"
#include "MacTypes.h"
#include "quartz/CoreGraphics.h"

// A rectangle as fractions of a frame; the full frame is Left 0, Right 1,
// Top 0, Bottom 1. Note the field order: horizontal pair first.
struct RelRect {
    double Left;
    double Right;
    double Top;
    double Bottom;
};

// A point as fractions of a frame.
struct RelPoint {
    double Horiz;
    double Vert;
};

constexpr int kSliderCount = 6;
constexpr int kColorCount = 6;

// Video formats of MediaType.
enum : SInt16 { kMediaNTSC = 1, kMediaPAL = 2, kMediaHD = 3 };

// All user settings of the filter.
struct PluginDataRec {
    RelRect StartRel;                // the crop rectangle that is rendered
    RelRect EndRel;                  // kept, reset and stored; not rendered
    SInt16 Sliders[kSliderCount];    // Sliders[n - 1] is dialog slider n
    RGBColor Colors[kColorCount];    // Colors[n - 1] is colour box n
    RGBColor FrameStartColor;
    RGBColor FrameEndColor;
    SInt16 MediaType;                // 1 = 720 x 480, 2 = 720 x 576, 3 = 960 x 540
    Boolean Sync;
    Boolean Outside;
    Boolean ClipActive;
    CGImageRef TheOriginalImage;     // the dialog's picture; never carried into a copy
    CGImageRef TheRendered;          // a copy owns its own duplicate
    Boolean KeepProps;
    SInt16 BlendMode;
};
typedef PluginDataRec *PluginDataPtr;

// The dialog workspace: ties the record being edited to the host request that
// opened the dialog, the source frame, the preview buffer and the controls.
// Valid only while the dialog is open.
struct PluginWorkspace {
    PluginDataRec *TheConfig;
    PluginParams *iMovieParams;
    GWorldPtr SourceClip;
    GWorldPtr TheFXClip;
    SInt32 CurrFrameIndex;
    SInt32 MinFrameIndex;
    SInt32 MaxFrameIndex;
    SInt16 ActiveRel;
    ControlRef TheFrameCtrl;
    ControlRef Sliders[kSliderCount];  // Sliders[n - 1] is slider n
    ControlRef ClipSlider;
    ControlRef Colors[kColorCount];    // Colors[n - 1] is colour box n
    WindowRef TheWindow;
};

// Build constants.
inline constexpr const char *cMyPluginName = "quelvane";
inline constexpr const char *cMyClearName = "Quelvane";
inline constexpr const char *cMyBundleID = "com.dranwick.quillor.quelvane";
inline constexpr const char *cProductCode = "qrvtn";
#if defined(__i386__)
inline constexpr const char *cPlugVersion = "3.0.0 (i386 Universal)";
#elif defined(__x86_64__)
inline constexpr const char *cPlugVersion = "3.0.0 (x86_64 Linux)";
#elif defined(__powerpc__)
inline constexpr const char *cPlugVersion = "3.0.0 (PPC Universal)";
#else
inline constexpr const char *cPlugVersion = "3.0.0";
#endif
constexpr SInt32 cPlugVersionNum = 0x30000;

constexpr int cUsesColor1 = 0, cUsesColor2 = 0, cUsesColor3 = 0, cUsesColor4 = 0, cUsesColor5 = 0,
              cUsesColor6 = 0;
constexpr int cUsesSlider1 = 1, cUsesSlider2 = 1, cUsesSlider3 = 0, cUsesSlider4 = 0, cUsesSlider5 = 0,
              cUsesSlider6 = 0;
constexpr int cUsesColor[kColorCount] = {cUsesColor1, cUsesColor2, cUsesColor3,
                                         cUsesColor4, cUsesColor5, cUsesColor6};
constexpr int cUsesSlider[kSliderCount] = {cUsesSlider1, cUsesSlider2, cUsesSlider3,
                                           cUsesSlider4, cUsesSlider5, cUsesSlider6};
constexpr int cUsedNumberOfRects = 1;
constexpr SInt32 cUseDisposeGWInSlider = 1;

#endif // QUELVANE_PLUGINDEFINES_H
