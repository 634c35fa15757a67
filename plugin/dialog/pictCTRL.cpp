// pictCTRL.cpp: the picture box class.
#include "dialog/pictCTRL.h"

#include "corefoundation/CFString.h"
#include "dialog/carbonmacros.h"
#include "engine/RectGeometry.h"
#include "imaging/CGglue.h"
#include "imaging/offscreen.h"
#include "quickdraw/QuickDraw.h"
#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"

#include <cstdint>
#include <iterator>

namespace {

ToolboxObjectClassRef lgPictureControlClassRef = nullptr;
EventHandlerUPP lgMyHandlerUPP = nullptr;

const EventTypeSpec kPictureEvents[] = {{kEventClassControl, kEventControlDraw},
                                        {kEventClassControl, kEventControlHitTest},
                                        {kEventClassControl, kEventControlHit}};

// Draws the image, sized and centred as the box's rule says, into the box
// only: the part that the rule places beyond the box is cut off instead of
// being painted over the rest of the window.
void DrawImageInBox(CGrafPtr thePort, CGImageRef theImage, const Rect &bounds)
{
    Rect r = CalcProportionalImageForFrame(theImage, bounds);
    CenterRectInRect(r, bounds);
    const Rect boxArea{0, 0, static_cast<SInt16>(bounds.bottom - bounds.top),
                       static_cast<SInt16>(bounds.right - bounds.left)};
    GrafPtr theBuffer = AllocateRectGWorld(bounds);
    if (!theBuffer) {
        DrawCGImageInQDRect(thePort, theImage, r, 0.0, false);
        return;
    }
    ClearGW(theBuffer, RGBColor{65535, 65535, 65535});
    OffsetRect(&r, static_cast<SInt16>(-bounds.left), static_cast<SInt16>(-bounds.top));
    DrawCGImageInQDRect(theBuffer, theImage, r, 0.0, false);
    CopyBits(GetPortBitMapForCopyBits(theBuffer), GetPortBitMapForCopyBits(thePort), &boxArea, &bounds, srcCopy,
             nullptr);
    DisposeGWorld(theBuffer);
}

} // namespace

void RegisterPictureControl()
{
    lgMyHandlerUPP = NewEventHandlerUPP(PictureControlHandler);
    RegisterToolboxObjectClass(CFSTR("com.dranwick.quillor.imageCTRL"), nullptr, std::size(kPictureEvents),
                               kPictureEvents, lgMyHandlerUPP, nullptr, &lgPictureControlClassRef);
}

void UnregisterPictureControl()
{
    if (lgPictureControlClassRef)
        UnregisterToolboxObjectClass(lgPictureControlClassRef);
    lgPictureControlClassRef = nullptr;
    DisposeEventHandlerUPP(lgMyHandlerUPP);
    lgMyHandlerUPP = nullptr;
}

void SetPictureBoxImage(ControlRef theBox, CGImageRef theImage)
{
    if (!theBox)
        return;
    const SInt64 reference = static_cast<SInt64>(reinterpret_cast<std::intptr_t>(theImage));
    const bool changed = GetControlReference(theBox) != reference;
    SetControlReference(theBox, reference);
    const SInt32 value = theImage ? 1 : 0;
    if (GetControl32BitValue(theBox) != value)
        SetControl32BitValue(theBox, value); // redraws the box
    else if (changed)
        Draw1Control(theBox);
}

CGImageRef GetPictureBoxImage(ControlRef theBox)
{
    if (!theBox || GetControl32BitValue(theBox) == 0)
        return nullptr;
    return reinterpret_cast<CGImageRef>(static_cast<std::intptr_t>(GetControlReference(theBox)));
}

OSStatus PictureControlHandler(EventHandlerCallRef, EventRef theEvent, void *)
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
        CGrafPtr thePort = GetWindowPort(GetControlOwner(theControl));
        if (thePort) {
            SetPort(thePort);
            const Rect bounds = GetControlBox(theControl);
            const UInt16 hilite = GetControlHilite(theControl);
            if (hilite != kControlInactivePart && hilite != kControlDisabledPart) {
                const RGBColor white{65535, 65535, 65535}, black{0, 0, 0};
                RGBBackColor(&white);
                EraseRect(&bounds);
                if (CGImageRef theImage = GetPictureBoxImage(theControl))
                    DrawImageInBox(thePort, theImage, bounds);
                RGBForeColor(&black);
                FrameRect(&bounds);
                if (hilite > 0)
                    InvertRect(&bounds);
            }
        }
        SetGWorld(savedPort, savedDevice);
        result = noErr;
        break;
    }
    case kEventControlHit:
        // Not handled: the standard handling sends the box's command.
        break;
    default:
        break;
    }
    return result;
}
