/*
 * Controls.h: the controls of the toolbox stand-in (push buttons, sliders,
 * popup buttons with their menus, check boxes, static and edit texts, group
 * boxes, custom controls of registered classes), addressed by control ID, and
 * the custom control classes (RegisterToolboxObjectClass).
 *
 * Controls are made by CreateWindowFromNib from a window description and
 * belong to their window: DisposeWindow disposes of them, their handlers and
 * their menus. References to a disposed control are refused by every call
 * (errUnknownControl, or a neutral answer) rather than followed.
 *
 * Values are signed 32-bit and kept within the minimum and maximum.
 * GetControlHilite answers 254 for a disabled control, 255 for an inactive
 * one (its window is not active), else the part being pressed (0 for none).
 * Changing the value, the hilite, the visibility or the activation of a
 * visible custom control redraws it at once (a draw event to its class), so
 * what the window's port shows is always current.
 *
 * Menu texts, titles and control texts are bytes (the descriptions and the
 * plug-in use ASCII); the on-screen front end shows them as UTF-8.
 */
#ifndef QUELVANE_CONTROLS_H
#define QUELVANE_CONTROLS_H

#include "MacTypes.h"
#include "toolbox/CarbonEvents.h"

QV_EXTERN_C_BEGIN

/* The string object of the CoreFoundation stand-in (corefoundation/CFString.h). */
typedef const struct __CFString *CFStringRef;

typedef struct ControlID {
    OSType signature;
    SInt32 id;
} ControlID;

typedef OSType ResType4;
typedef void (*ControlActionProcPtr)(ControlRef theControl, ControlPartCode partCode);
typedef ControlActionProcPtr ControlActionUPP;

typedef struct OpaqueToolboxObjectClassRef *ToolboxObjectClassRef;

/* Kinds of control (GetControlKind answers one of them as its kind). */
enum {
    kControlKindSignatureApple = QV_FOURCC('a', 'p', 'p', 'l'),
    kControlKindPushButton = QV_FOURCC('p', 'u', 's', 'h'),
    kControlKindSlider = QV_FOURCC('s', 'l', 'd', 'r'),
    kControlKindPopupButton = QV_FOURCC('p', 'o', 'p', 'b'),
    kControlKindCheckBox = QV_FOURCC('c', 'b', 'o', 'x'),
    kControlKindStaticText = QV_FOURCC('s', 't', 'x', 't'),
    kControlKindEditText = QV_FOURCC('e', 't', 'x', 't'),
    kControlKindGroupBox = QV_FOURCC('g', 'r', 'p', 'b'),
    kControlKindCustom = QV_FOURCC('c', 'u', 's', 't')
};
typedef struct ControlKind {
    OSType signature;
    OSType kind;
} ControlKind;

/* Part codes. */
enum {
    kControlNoPart = 0,
    kControlMenuPart = 2,
    kControlEditTextPart = 5,
    kControlButtonPart = 10,
    kControlCheckBoxPart = 11,
    kControlUpButtonPart = 20,
    kControlDownButtonPart = 21,
    kControlPageUpPart = 22,
    kControlPageDownPart = 23,
    kControlIndicatorPart = 129,
    kControlDisabledPart = 254,
    kControlInactivePart = 255
};
enum { kControlFocusNoPart = 0, kControlFocusNextPart = -1, kControlFocusPrevPart = -2 };
enum { kControlEntireControl = 0 };

/* Control data tags. */
enum {
    kControlEditTextTextTag = QV_FOURCC('t', 'e', 'x', 't'),
    kControlStaticTextTextTag = QV_FOURCC('t', 'e', 'x', 't'),
    kControlEditTextSelectionTag = QV_FOURCC('s', 'e', 'l', 'e')
};
typedef struct ControlEditTextSelectionRec {
    SInt16 selStart;
    SInt16 selEnd;
} ControlEditTextSelectionRec;

/* Statuses of this unit. */
enum {
    errDataNotSupported = -30583,   /* the control keeps no data under that tag */
    errInvalidPartCode = -30588,
    errControlIsNotEmbedder = -30590,
    controlPropertyInvalid = -5603,
    hiObjectClassExistsErr = -22080, /* a class of that identifier is registered */
    hiObjectClassHasInstancesErr = -22081, /* controls of the class still exist */
    hiObjectClassNotFoundErr = -22083 /* a description names an unregistered class */
};

/* Finding controls. */
QV_API OSStatus GetControlByID(WindowRef inWindow, const ControlID *inID, ControlRef *outControl);
QV_API OSStatus GetControlID(ControlRef inControl, ControlID *outID);
QV_API OSStatus GetControlKind(ControlRef inControl, ControlKind *outKind);
QV_API OSStatus GetControlCommandID(ControlRef inControl, UInt32 *outCommandID);
QV_API OSStatus SetControlCommandID(ControlRef inControl, UInt32 inCommandID);
QV_API WindowRef GetControlOwner(ControlRef inControl);

/* Values. */
QV_API SInt32 GetControl32BitValue(ControlRef theControl);
QV_API void SetControl32BitValue(ControlRef theControl, SInt32 newValue);
QV_API SInt32 GetControl32BitMinimum(ControlRef theControl);
QV_API void SetControl32BitMinimum(ControlRef theControl, SInt32 newMinimum);
QV_API SInt32 GetControl32BitMaximum(ControlRef theControl);
QV_API void SetControl32BitMaximum(ControlRef theControl, SInt32 newMaximum);
QV_API SInt16 GetControlValue(ControlRef theControl);
QV_API void SetControlValue(ControlRef theControl, SInt16 newValue);
QV_API SInt16 GetControlMaximum(ControlRef theControl);
QV_API SInt16 GetControlMinimum(ControlRef theControl);
/* A pointer-sized value of the control's own, for its owner's use. */
QV_API SInt64 GetControlReference(ControlRef theControl);
QV_API void SetControlReference(ControlRef theControl, SInt64 data);

/* State. */
QV_API void ShowControl(ControlRef inControl);
QV_API void HideControl(ControlRef inControl);
QV_API Boolean IsControlVisible(ControlRef inControl);
QV_API OSStatus SetControlVisibility(ControlRef inControl, Boolean inIsVisible, Boolean inDoDraw);
QV_API OSStatus EnableControl(ControlRef inControl);
QV_API OSStatus DisableControl(ControlRef inControl);
QV_API Boolean IsControlEnabled(ControlRef inControl);
QV_API OSStatus ActivateControl(ControlRef inControl);
QV_API OSStatus DeactivateControl(ControlRef inControl);
QV_API Boolean IsControlActive(ControlRef inControl);
QV_API void HiliteControl(ControlRef theControl, ControlPartCode hiliteState);
QV_API UInt16 GetControlHilite(ControlRef inControl);
QV_API Boolean IsControlHilited(ControlRef inControl);

/* Geometry, in the owner window's coordinates. */
QV_API Rect *GetControlBounds(ControlRef inControl, Rect *outBounds);
QV_API void SetControlBounds(ControlRef inControl, const Rect *inBounds);

/* Titles (push buttons, check boxes, group boxes, popup labels). */
QV_API void SetControlTitle(ControlRef theControl, ConstStr255Param title);
QV_API void GetControlTitle(ControlRef theControl, Str255 title);

/* Control data: kControlEditTextTextTag ("text") on static and edit texts,
   kControlEditTextSelectionTag ("sele") on edit texts. GetControlData copies
   at most inBufferSize bytes and reports the whole size in outActualSize. */
QV_API OSStatus SetControlData(ControlRef inControl, ControlPartCode inPart, ResType inTagName, Size inSize,
                               const void *inData);
QV_API OSStatus GetControlData(ControlRef inControl, ControlPartCode inPart, ResType inTagName, Size inBufferSize,
                               void *inBuffer, Size *outActualSize);
QV_API OSStatus GetControlDataSize(ControlRef inControl, ControlPartCode inPart, ResType inTagName,
                                   Size *outMaxSize);

/* Drawing: sends the draw event to a visible custom control (it draws into
   its window's port) and has the front end show the control again. */
QV_API void Draw1Control(ControlRef theControl);
QV_API void DrawControls(WindowRef theWindow);

/* Tracking: the procedure called while the user drags a slider's thumb
   (live tracking) with the part being tracked. */
QV_API ControlActionUPP NewControlActionUPP(ControlActionProcPtr userRoutine);
QV_API void DisposeControlActionUPP(ControlActionUPP userUPP);
QV_API void SetControlAction(ControlRef theControl, ControlActionUPP actionProc);
QV_API ControlActionUPP GetControlAction(ControlRef theControl);

/* Keyboard focus of a window: kControlFocusNextPart focuses the control,
   kControlFocusNoPart takes the focus away. */
QV_API OSStatus SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlPartCode inPart);
QV_API OSStatus GetKeyboardFocus(WindowRef inWindow, ControlRef *outControl);

/* Popup menus. Items are numbered from 1. */
QV_API MenuRef GetControlPopupMenuHandle(ControlRef control);
QV_API UInt16 CountMenuItems(MenuRef theMenu);
/* The text of an item; the empty text for an item that does not exist. */
QV_API void GetMenuItemText(MenuRef theMenu, MenuItemIndex item, Str255 itemString);
QV_API void SetMenuItemText(MenuRef theMenu, MenuItemIndex item, ConstStr255Param itemString);
QV_API OSStatus AppendMenuItemText(MenuRef inMenu, ConstStr255Param inString);
QV_API void DeleteMenuItem(MenuRef theMenu, MenuItemIndex item);

/* Custom control classes. A class is identified by the text of its class
   ID; a window description's custom control names it. The class handler
   receives the registered control events (the control is the direct-object
   parameter, typeControlRef) after the control's own handlers and before the
   standard handling. Registering an identifier twice fails with
   hiObjectClassExistsErr; unregistering a class whose controls still exist
   fails with hiObjectClassHasInstancesErr. inBaseClassID must be NULL or
   empty (no base classes). */
QV_API OSStatus RegisterToolboxObjectClass(CFStringRef inClassID, ToolboxObjectClassRef inBaseClass,
                                           ItemCount inNumEvents, const EventTypeSpec *inEventList,
                                           EventHandlerUPP inEventHandler, void *inEventHandlerData,
                                           ToolboxObjectClassRef *outClassRef);
QV_API OSStatus UnregisterToolboxObjectClass(ToolboxObjectClassRef inClassRef);

/* Stand-in extensions for callers without string objects: the same with a
   zero-terminated class ID. */
QV_API OSStatus QVRegisterToolboxObjectClass(const char *inClassID, ItemCount inNumEvents,
                                             const EventTypeSpec *inEventList, EventHandlerUPP inEventHandler,
                                             void *inEventHandlerData, ToolboxObjectClassRef *outClassRef);

QV_EXTERN_C_END

#endif /* QUELVANE_CONTROLS_H */
