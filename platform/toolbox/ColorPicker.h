/*
 * ColorPicker.h: the colour picker of the toolbox stand-in. NPickColor runs
 * a modal colour dialog through the front end (on screen a real colour
 * dialog; headless the next answer of the script, else a cancel) and reports
 * in the record whether a new colour was chosen. The record belongs to the
 * caller; nothing is kept between calls.
 */
#ifndef QUELVANE_COLORPICKER_H
#define QUELVANE_COLORPICKER_H

#include "MacTypes.h"

QV_EXTERN_C_BEGIN

typedef struct CMProfile *CMProfileRef;

/* Colour of the picker: red, green, blue of 16 bits each. */
typedef struct CMRGBColor {
    UInt16 red;
    UInt16 green;
    UInt16 blue;
} CMRGBColor;

typedef union CMColor {
    CMRGBColor rgb;
    UInt16 raw[8];
} CMColor;

typedef struct PMColor {
    CMProfileRef profile;
    CMColor color;
} PMColor;

typedef struct PickerMenuItemInfo {
    SInt16 editMenuID;
    SInt16 cutItem;
    SInt16 copyItem;
    SInt16 pasteItem;
    SInt16 clearItem;
    SInt16 undoItem;
} PickerMenuItemInfo;

typedef Boolean (*UserEventProcPtr)(void *event);
typedef UserEventProcPtr UserEventUPP;
typedef void (*NColorChangedProcPtr)(SInt32 userData, PMColor *newColor);
typedef NColorChangedProcPtr NColorChangedUPP;

/* Flags. */
enum {
    kColorPickerDialogIsMoveable = 1,
    kColorPickerDialogIsModal = 2,
    kColorPickerCanModifyPalette = 4,
    kColorPickerCanAnimatePalette = 8,
    kColorPickerAppIsColorSyncAware = 16,
    kColorPickerInSystemDialog = 32,
    kColorPickerInApplicationDialog = 64,
    kColorPickerInPickerDialog = 128,
    kColorPickerDetachedFromChoices = 256,
    kColorPickerCallColorProcLive = 512
};
/* Placement. */
enum { kAtSpecifiedOrigin = 0, kDeepestColorScreen = 1, kCenterOnMainScreen = 2 };

typedef struct NColorPickerInfo {
    PMColor theColor;
    CMProfileRef dstProfile;
    UInt32 flags;
    SInt16 placeWhere;
    Point dialogOrigin;
    OSType pickerType;
    UserEventUPP eventProc;
    NColorChangedUPP colorProc;
    SInt32 colorProcData;
    Str255 prompt;
    PickerMenuItemInfo mInfo;
    Boolean newColorChosen;
    UInt8 reserved;
} NColorPickerInfo;

/* Runs the picker starting at theColor.color.rgb; on a choice sets
   theColor.color.rgb and newColorChosen. noErr also when the user
   cancelled (newColorChosen stays false); paramErr for a NULL record. */
QV_API OSErr NPickColor(NColorPickerInfo *theColorInfo);

QV_EXTERN_C_END

#endif /* QUELVANE_COLORPICKER_H */
