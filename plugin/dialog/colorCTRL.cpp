// colorCTRL.cpp: the colour box class and the colour picker call.
#include "dialog/colorCTRL.h"

#include "common/commonprocs.h"
#include "corefoundation/CFString.h"
#include "dialog/carbonmacros.h"
#include "quickdraw/QuickDraw.h"
#include "toolbox/ColorPicker.h"
#include "toolbox/Controls.h"

#include <cstring>
#include <iterator>

namespace {

ToolboxObjectClassRef lgColorBoxClassRef = nullptr;
EventHandlerUPP lgMyHandlerUPP = nullptr;

const EventTypeSpec kColorBoxEvents[] = {{kEventClassControl, kEventControlDraw},
                                         {kEventClassControl, kEventControlHitTest},
                                         {kEventClassControl, kEventControlHit}};

// The packed value as a colour: each byte times 256.
RGBColor ValueColor(ControlRef theControl)
{
    const PixRec thePixel = LongInt2PixRec(GetControl32BitValue(theControl));
    return SetRGBColor(static_cast<UInt16>(thePixel.RED * 256), static_cast<UInt16>(thePixel.GREEN * 256),
                       static_cast<UInt16>(thePixel.BLUE * 256));
}

} // namespace

void RegisterColorBox()
{
    lgMyHandlerUPP = NewEventHandlerUPP(ColorBoxControlHandler);
    RegisterToolboxObjectClass(CFSTR("com.dranwick.quillor.color"), nullptr, std::size(kColorBoxEvents),
                               kColorBoxEvents, lgMyHandlerUPP, nullptr, &lgColorBoxClassRef);
}

void UnregisterColorBox()
{
    if (lgColorBoxClassRef)
        UnregisterToolboxObjectClass(lgColorBoxClassRef);
    lgColorBoxClassRef = nullptr;
    DisposeEventHandlerUPP(lgMyHandlerUPP);
    lgMyHandlerUPP = nullptr;
}

OSStatus ColorBoxControlHandler(EventHandlerCallRef, EventRef theEvent, void *)
{
    OSStatus result = eventNotHandledErr;
    ControlRef theControl = GetControlFromEvent(theEvent);
    switch (GetEventKind(theEvent)) {
    case kEventControlHitTest: {
        Point where{0, 0};
        GetEventParameter(theEvent, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr, &where);
        const Rect bounds = GetControlBox(theControl);
        ControlPartCode part = PtInRect(where, &bounds) ? 1 : 0;
        SetEventParameter(theEvent, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
        result = noErr;
        break;
    }
    case kEventControlDraw: {
        CGrafPtr savedPort = nullptr;
        GDHandle savedDevice = nullptr;
        GetGWorld(&savedPort, &savedDevice);
        if (CGrafPtr thePort = GetWindowPort(GetControlOwner(theControl))) {
            SetPort(thePort);
            const Rect bounds = GetControlBox(theControl);
            const UInt16 hilite = GetControlHilite(theControl);
            if (hilite == kControlInactivePart || hilite == kControlDisabledPart)
                EraseRect(&bounds);
            else
                ColorBoxDraw(bounds, ValueColor(theControl));
        }
        SetGWorld(savedPort, savedDevice);
        result = noErr;
        break;
    }
    case kEventControlHit: {
        RGBColor theColor = ValueColor(theControl);
        Str255 thePrompt;
        CString2PString("Please choose color:", thePrompt);
        if (UseColorPicker(thePrompt, theColor, theColor, Point{0, 0})) {
            PixRec thePixel{0, static_cast<UInt8>(theColor.red >> 8), static_cast<UInt8>(theColor.green >> 8),
                            static_cast<UInt8>(theColor.blue >> 8)};
            SetControl32BitValue(theControl, PixRec2LongInt(thePixel));
        }
        // Not handled: the standard handling sends the box's command.
        break;
    }
    default:
        break;
    }
    return result;
}

void ColorBoxDraw(const Rect &theBox, const RGBColor &theColor)
{
    const RGBColor black{0, 0, 0};
    RGBForeColor(&theColor);
    PaintRect(&theBox);
    RGBForeColor(&black);
    FrameRect(&theBox);
}

Boolean UseColorPicker(ConstStr255Param thePrompt, const RGBColor &inColor, RGBColor &outColor, Point where)
{
    NColorPickerInfo theInfo;
    std::memset(&theInfo, 0, sizeof theInfo);
    theInfo.theColor.profile = nullptr;
    theInfo.theColor.color.rgb.red = inColor.red;
    theInfo.theColor.color.rgb.green = inColor.green;
    theInfo.theColor.color.rgb.blue = inColor.blue;
    theInfo.dstProfile = nullptr;
    theInfo.flags = kColorPickerInPickerDialog | kColorPickerAppIsColorSyncAware | kColorPickerDialogIsModal |
                    kColorPickerDialogIsMoveable;
    theInfo.placeWhere = kAtSpecifiedOrigin;
    theInfo.dialogOrigin = where;
    theInfo.pickerType = 0;
    theInfo.eventProc = nullptr;
    theInfo.colorProc = nullptr;
    theInfo.colorProcData = 0;
    PStrCopy(theInfo.prompt, thePrompt);
    theInfo.newColorChosen = false;
    if (NPickColor(&theInfo) == noErr && theInfo.newColorChosen) {
        outColor.red = theInfo.theColor.color.rgb.red;
        outColor.green = theInfo.theColor.color.rgb.green;
        outColor.blue = theInfo.theColor.color.rgb.blue;
        return true;
    }
    return false;
}
