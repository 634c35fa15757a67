// clipCTRL.h: the settings window's live preview, a custom control class
// that copies the workspace's preview buffer (TheFXClip) scaled into its
// bounds and frames it in black. It has no clickable part: clicks and drags
// on it change nothing. The dialog's refresh makes it redraw by flipping its
// value between 0 and 1.
//
// The unit also fits the rectangle being edited to the proportions of the
// user's picture when the keep-proportions option is on.
//
// Ownership: the class exists from RegisterClipCtrl to UnregisterClipCtrl
// (one dialog session); the control keeps no state and only reads the
// workspace (gConfigWorkspace), which owns nothing it draws.
#ifndef QUELVANE_CLIPCTRL_H
#define QUELVANE_CLIPCTRL_H

#include "MacTypes.h"
#include "toolbox/CarbonEvents.h"

inline constexpr const char *cClipCtrlID = "com.dranwick.quillor.clip";

// Registers the preview class with the toolbox (no base class, the draw,
// hit-test, hit, activate, owning-window-changed and track events).
void RegisterClipCtrl();
// Unregisters it; its controls must be gone (their window disposed of).
void UnregisterClipCtrl();

// The class's event handler.
OSStatus ClipCtrlControlHandler(EventHandlerCallRef callRef, EventRef theEvent, void *userData);

// Copies the whole preview buffer into theBox of the window's port (scaled,
// proportions following the box) and frames theBox in black. The current
// port is the same afterwards.
void DrawFrameContents(WindowRef theWindow, const Rect &theBox);

// With KeepProps on and a picture set, theRect keeps its top-left corner and
// takes the picture's proportions: a landscape picture keeps theRect's
// width, any other keeps its height; when that would take it past the
// bottom or right of theFrame, the other side is kept instead. Otherwise
// theRect is unchanged.
void KeepImageProps(Rect &theRect, const Rect &theFrame);

// Applies KeepImageProps to the rectangle being edited in the preview
// control's pixels and stores the result back in fractions (so it is always
// quantised to the control's pixel grid).
void CalcAndKeepImageProps();

#endif // QUELVANE_CLIPCTRL_H
