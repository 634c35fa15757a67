// carbonmacros.cpp: control, popup, event and command helpers over the toolbox.
#include "dialog/carbonmacros.h"

#include "common/commonprocs.h"
#include "toolbox/TextUtils.h"

#include <cstring>

ControlRef SimpleGetControlByID(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    ControlID theID{TheSig, TheID};
    ControlRef theControl = nullptr;
    if (GetControlByID(theWindow, &theID, &theControl) != noErr)
        return nullptr;
    return theControl;
}

Rect SimpleGetControlBox(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    Rect theBox{0, 0, 0, 0};
    if (ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID))
        GetControlBounds(theControl, &theBox);
    return theBox;
}

Rect GetControlBox(ControlRef theControl)
{
    Rect theBox{0, 0, 0, 0};
    GetControlBounds(theControl, &theBox);
    return theBox;
}

void SimpleSetControlText(WindowRef theWindow, OSType TheSig, SInt16 TheID, ConstStr255Param TheText)
{
    ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID);
    if (!theControl || !TheText)
        return;
    SetControlData(theControl, kControlEntireControl, kControlEditTextTextTag, TheText[0], TheText + 1);
    Draw1Control(theControl);
}

void SimpleShowControl(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    if (ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID))
        ShowControl(theControl);
}

void SimpleHideControl(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    if (ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID))
        HideControl(theControl);
}

SInt32 SimpleGetControlValueByID(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID);
    return theControl ? GetControl32BitValue(theControl) : 0;
}

void SimpleSetControlValueByID(WindowRef theWindow, OSType TheSig, SInt16 TheID, SInt32 TheVal)
{
    if (ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID))
        SetControl32BitValue(theControl, TheVal);
}

void SimpleEnableControlByID(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    if (ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID))
        EnableControl(theControl);
}

void SimpleDisableControlByID(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    if (ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID))
        DisableControl(theControl);
}

void GetEditTextFromControl(WindowRef theWindow, OSType TheSig, SInt16 TheID, Str255 TheText)
{
    TheText[0] = 0;
    ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID);
    if (!theControl)
        return;
    Size actual = 0;
    if (GetControlData(theControl, kControlEntireControl, kControlEditTextTextTag, 255, TheText + 1, &actual) !=
        noErr)
        actual = 0;
    if (actual > 255)
        actual = 255;
    if (actual < 0)
        actual = 0;
    TheText[0] = static_cast<unsigned char>(actual);
}

SInt32 GetNumberFromEditTextControl(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    Str255 theText;
    GetEditTextFromControl(theWindow, TheSig, TheID, theText);
    long theNumber = 0;
    StringToNum(theText, &theNumber);
    return static_cast<SInt32>(theNumber);
}

void SetEditTextForControl(ConstStr255Param TheText, WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID);
    if (!theControl || !TheText)
        return;
    SetControlData(theControl, kControlEntireControl, kControlEditTextTextTag, TheText[0], TheText + 1);
}

void SetEditTextToNumberForControl(SInt32 TheNumber, WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    Str255 theText;
    NumToString(TheNumber, theText);
    SetEditTextForControl(theText, theWindow, TheSig, TheID);
}

void SetKeyboadFocusByID(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    if (ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID))
        SetKeyboardFocus(theWindow, theControl, kControlFocusNextPart);
}

void SelectTextByIDForControl(WindowRef theWindow, OSType TheSig, SInt16 TheID, SInt16 StartSel, SInt16 EndSel)
{
    ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID);
    if (!theControl)
        return;
    ControlEditTextSelectionRec theSelection{StartSel, EndSel};
    SetControlData(theControl, kControlEntireControl, kControlEditTextSelectionTag, sizeof theSelection,
                   &theSelection);
}

void GetPopupItemText(ControlRef theControl, SInt16 TheItem, Str255 TheText)
{
    TheText[0] = 0;
    MenuRef theMenu = GetControlPopupMenuHandle(theControl);
    if (theMenu && TheItem >= 1)
        GetMenuItemText(theMenu, static_cast<MenuItemIndex>(TheItem), TheText);
}

void GetSelectedPopupTextFromID(WindowRef theWindow, OSType TheSig, SInt16 TheID, Str255 TheText)
{
    TheText[0] = 0;
    if (ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID))
        GetPopupItemText(theControl, GetControlValue(theControl), TheText);
}

void GetIndexedPopupTextFromID(WindowRef theWindow, OSType TheSig, SInt16 TheID, SInt16 TheIndex, Str255 TheText)
{
    TheText[0] = 0;
    if (ControlRef theControl = SimpleGetControlByID(theWindow, TheSig, TheID))
        GetPopupItemText(theControl, TheIndex, TheText);
}

SInt16 GetFontIDFromPopup(WindowRef theWindow, OSType TheSig, SInt16 TheID)
{
    Str255 theName;
    GetSelectedPopupTextFromID(theWindow, TheSig, TheID, theName);
    return FMGetFontFamilyFromName(theName);
}

SInt16 GetMenuItemPosition(ControlRef theControl, ConstStr255Param TheName)
{
    if (!theControl || !TheName)
        return -1;
    const int last = GetControlMaximum(theControl);
    for (int item = 1; item <= last; ++item) {
        Str255 theText;
        GetPopupItemText(theControl, static_cast<SInt16>(item), theText);
        if (theText[0] == TheName[0] && std::memcmp(theText + 1, TheName + 1, TheName[0]) == 0)
            return static_cast<SInt16>(item);
    }
    return -1;
}

SInt16 FindNameInPopupByID(WindowRef theWindow, OSType TheSig, SInt16 TheID, ConstStr255Param TheName)
{
    return GetMenuItemPosition(SimpleGetControlByID(theWindow, TheSig, TheID), TheName);
}

OSStatus InstallWindowEventHandler(WindowRef theWindow, EventHandlerUPP TheHandler, ItemCount NumTypes,
                                   const EventTypeSpec *TypeList, void *UserData, EventHandlerRef *HandlerRef)
{
    return InstallEventHandler(GetWindowEventTarget(theWindow), TheHandler, NumTypes, TypeList, UserData, HandlerRef);
}

OSStatus InstallMenuEventHandler(MenuRef theMenu, EventHandlerUPP TheHandler, ItemCount NumTypes,
                                 const EventTypeSpec *TypeList, void *UserData, EventHandlerRef *HandlerRef)
{
    return InstallEventHandler(GetMenuEventTarget(theMenu), TheHandler, NumTypes, TypeList, UserData, HandlerRef);
}

OSStatus InstallControlEventHandler(ControlRef theControl, EventHandlerUPP TheHandler, ItemCount NumTypes,
                                    const EventTypeSpec *TypeList, void *UserData, EventHandlerRef *HandlerRef)
{
    return InstallEventHandler(GetControlEventTarget(theControl), TheHandler, NumTypes, TypeList, UserData,
                               HandlerRef);
}

OSStatus InstallApplicationEventHandler(EventHandlerUPP TheHandler, ItemCount NumTypes, const EventTypeSpec *TypeList,
                                        void *UserData, EventHandlerRef *HandlerRef)
{
    return InstallEventHandler(GetApplicationEventTarget(), TheHandler, NumTypes, TypeList, UserData, HandlerRef);
}

WindowRef GetWindowFromEvent(EventRef theEvent)
{
    WindowRef theWindow = nullptr;
    if (GetEventParameter(theEvent, kEventParamDirectObject, typeWindowRef, nullptr, sizeof theWindow, nullptr,
                          &theWindow) != noErr)
        theWindow = nullptr;
    return theWindow;
}

ControlRef GetControlFromEvent(EventRef theEvent)
{
    ControlRef theControl = nullptr;
    if (GetEventParameter(theEvent, kEventParamDirectObject, typeControlRef, nullptr, sizeof theControl, nullptr,
                          &theControl) != noErr)
        theControl = nullptr;
    return theControl;
}

Point GetMouseLocFromEvent(EventRef theEvent)
{
    Point where{0, 0};
    if (GetEventParameter(theEvent, kEventParamWindowMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr,
                          &where) != noErr)
        where = Point{0, 0};
    return where;
}

void GetWindowKeyboardDataFromEvent(EventRef theEvent, char &TheKey, UInt32 &TheKeyCode, UInt32 &TheMods)
{
    TheKey = 0;
    TheKeyCode = 0;
    TheMods = 0;
    if (GetEventParameter(theEvent, kEventParamKeyMacCharCodes, typeChar, nullptr, 1, nullptr, &TheKey) != noErr)
        TheKey = 0;
    if (GetEventParameter(theEvent, kEventParamKeyCode, typeUInt32, nullptr, 4, nullptr, &TheKeyCode) != noErr)
        TheKeyCode = 0;
    if (GetEventParameter(theEvent, kEventParamKeyModifiers, typeUInt32, nullptr, 4, nullptr, &TheMods) != noErr)
        TheMods = 0;
}

void CommandID2Str(UInt32 CommandID, Str255 TheText)
{
    Str32 theCode;
    Command2String(CommandID, theCode);
    PStrCopy(TheText, theCode);
}

Boolean PStrEqualsC(ConstStr255Param TheText, const char *TheLiteral)
{
    const size_t length = std::strlen(TheLiteral);
    return TheText[0] == length && std::memcmp(TheText + 1, TheLiteral, length) == 0;
}

Boolean IsShiftDown()
{
    return (GetCurrentKeyModifiers() & ShiftMask) != 0;
}

Boolean IsCtrlDown()
{
    return (GetCurrentKeyModifiers() & CtrlMask) != 0;
}

Boolean IsOptionDown()
{
    return (GetCurrentKeyModifiers() & OptionMask) != 0;
}

Boolean IsCommandDown()
{
    return (GetCurrentKeyModifiers() & CmdMask) != 0;
}
