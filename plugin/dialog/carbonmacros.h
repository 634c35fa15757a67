// carbonmacros.h: thin, uniform wrappers over the toolbox that the dialog
// code uses to reach the controls of a window by control ID (signature and
// id), to read and write control values, texts and popup menus, to install
// event handlers and read event parameters, to turn command IDs into text
// and to test the modifier keys.
//
// Nothing here keeps state or allocates anything the caller must free. A
// control that is not in the window is never an error: each procedure gives
// its neutral answer (nil, 0, the empty text or the empty rectangle) or does
// nothing. Texts are length-prefixed strings of at most 255 characters.
#ifndef QUELVANE_CARBONMACROS_H
#define QUELVANE_CARBONMACROS_H

#include "MacTypes.h"
#include "toolbox/CarbonEvents.h"
#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"

// A four-character code from its text, most significant byte first:
// FourCC("Clip").
constexpr FourCharCode FourCC(const char (&text)[5])
{
    return (FourCharCode(UInt8(text[0])) << 24) | (FourCharCode(UInt8(text[1])) << 16) |
           (FourCharCode(UInt8(text[2])) << 8) | FourCharCode(UInt8(text[3]));
}

// Bits of the current key modifiers.
constexpr UInt32 CmdMask = 256;
constexpr UInt32 ShiftMask = 512;
constexpr UInt32 AlphaLockMask = 1024;
constexpr UInt32 OptionMask = 2048;
constexpr UInt32 CtrlMask = 4096;

// ---- Controls by ID ---------------------------------------------------------

// The control (TheSig, TheID) of theWindow, or nil.
ControlRef SimpleGetControlByID(WindowRef theWindow, OSType TheSig, SInt16 TheID);
// Its bounds in window coordinates; the empty rectangle when it is missing.
Rect SimpleGetControlBox(WindowRef theWindow, OSType TheSig, SInt16 TheID);
// The bounds of a control in its window's coordinates.
Rect GetControlBox(ControlRef theControl);
// Sets a static or edit text's text and redraws the control at once.
void SimpleSetControlText(WindowRef theWindow, OSType TheSig, SInt16 TheID, ConstStr255Param TheText);
void SimpleShowControl(WindowRef theWindow, OSType TheSig, SInt16 TheID);
void SimpleHideControl(WindowRef theWindow, OSType TheSig, SInt16 TheID);
// 0 when the control is missing.
SInt32 SimpleGetControlValueByID(WindowRef theWindow, OSType TheSig, SInt16 TheID);
void SimpleSetControlValueByID(WindowRef theWindow, OSType TheSig, SInt16 TheID, SInt32 TheVal);
void SimpleEnableControlByID(WindowRef theWindow, OSType TheSig, SInt16 TheID);
void SimpleDisableControlByID(WindowRef theWindow, OSType TheSig, SInt16 TheID);

// ---- Edit texts -------------------------------------------------------------

// The control's text, at most 255 characters; empty when the control is
// missing or the platform reports a failure.
void GetEditTextFromControl(WindowRef theWindow, OSType TheSig, SInt16 TheID, Str255 TheText);
// The number at the front of the control's text (0 when there is none).
SInt32 GetNumberFromEditTextControl(WindowRef theWindow, OSType TheSig, SInt16 TheID);
// Sets the text without redrawing (the platform redraws when it likes).
void SetEditTextForControl(ConstStr255Param TheText, WindowRef theWindow, OSType TheSig, SInt16 TheID);
void SetEditTextToNumberForControl(SInt32 TheNumber, WindowRef theWindow, OSType TheSig, SInt16 TheID);
// Gives the control the keyboard focus.
void SetKeyboadFocusByID(WindowRef theWindow, OSType TheSig, SInt16 TheID);
// Selects characters StartSel up to EndSel of an edit text.
void SelectTextByIDForControl(WindowRef theWindow, OSType TheSig, SInt16 TheID, SInt16 StartSel, SInt16 EndSel);

// ---- Popup menus (items numbered from 1) ------------------------------------

// The text of item TheItem of the control's popup menu (empty when none).
void GetPopupItemText(ControlRef theControl, SInt16 TheItem, Str255 TheText);
// The selected item's text (the item whose number is the control's value).
void GetSelectedPopupTextFromID(WindowRef theWindow, OSType TheSig, SInt16 TheID, Str255 TheText);
void GetIndexedPopupTextFromID(WindowRef theWindow, OSType TheSig, SInt16 TheID, SInt16 TheIndex, Str255 TheText);
// The font family named by the selected item.
SInt16 GetFontIDFromPopup(WindowRef theWindow, OSType TheSig, SInt16 TheID);
// The first item, 1 up to the control's maximum, whose text equals TheName
// exactly (case and length); -1 when none does.
SInt16 GetMenuItemPosition(ControlRef theControl, ConstStr255Param TheName);
SInt16 FindNameInPopupByID(WindowRef theWindow, OSType TheSig, SInt16 TheID, ConstStr255Param TheName);

// ---- Events -----------------------------------------------------------------

// InstallEventHandler on the object's event target; the platform's status.
OSStatus InstallWindowEventHandler(WindowRef theWindow, EventHandlerUPP TheHandler, ItemCount NumTypes,
                                   const EventTypeSpec *TypeList, void *UserData, EventHandlerRef *HandlerRef);
OSStatus InstallMenuEventHandler(MenuRef theMenu, EventHandlerUPP TheHandler, ItemCount NumTypes,
                                 const EventTypeSpec *TypeList, void *UserData, EventHandlerRef *HandlerRef);
OSStatus InstallControlEventHandler(ControlRef theControl, EventHandlerUPP TheHandler, ItemCount NumTypes,
                                    const EventTypeSpec *TypeList, void *UserData, EventHandlerRef *HandlerRef);
OSStatus InstallApplicationEventHandler(EventHandlerUPP TheHandler, ItemCount NumTypes, const EventTypeSpec *TypeList,
                                        void *UserData, EventHandlerRef *HandlerRef);

// The event's window (direct object); nil when it carries none.
WindowRef GetWindowFromEvent(EventRef theEvent);
// The event's control (direct object); nil when it carries none.
ControlRef GetControlFromEvent(EventRef theEvent);
// The mouse location in window coordinates; (0, 0) when the event has none.
Point GetMouseLocFromEvent(EventRef theEvent);
// The key's character, its key code and the modifiers; zero for what the
// event does not carry.
void GetWindowKeyboardDataFromEvent(EventRef theEvent, char &TheKey, UInt32 &TheKeyCode, UInt32 &TheMods);

// ---- Commands and modifiers -------------------------------------------------

// The command ID as its four characters, most significant first (length 4),
// the same on every processor.
void CommandID2Str(UInt32 CommandID, Str255 TheText);
// Whether a length-prefixed text equals a zero-terminated literal.
Boolean PStrEqualsC(ConstStr255Param TheText, const char *TheLiteral);

Boolean IsShiftDown();
Boolean IsCtrlDown();
Boolean IsOptionDown();
Boolean IsCommandDown();

#endif // QUELVANE_CARBONMACROS_H
