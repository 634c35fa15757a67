// clipCTRL.cpp: the preview control class and the picture-proportion rule.
#include "dialog/clipCTRL.h"

#include "corefoundation/CFString.h"
#include "dialog/carbonmacros.h"
#include "engine/DataHandling.h"
#include "engine/RectGeometry.h"
#include "engine/relrects.h"
#include "imaging/CGglue.h"
#include "imaging/offscreen.h"
#include "quickdraw/QuickDraw.h"
#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"

#include <iterator>

namespace {

ToolboxObjectClassRef lgClipCtrlClassRef1 = nullptr;
EventHandlerUPP lgMyHandlerUPP = nullptr;

const EventTypeSpec kClipEvents[] = {
    {kEventClassControl, kEventControlDraw},     {kEventClassControl, kEventControlHitTest},
    {kEventClassControl, kEventControlHit},      {kEventClassControl, kEventControlActivate},
    {kEventClassControl, kEventControlOwningWindowChanged}, {kEventClassControl, kEventControlTrack}};

// The owner window's clip is its whole port rectangle again.
void ResetOwnerClip(ControlRef theControl)
{
    CGrafPtr thePort = GetWindowPort(GetControlOwner(theControl));
    if (!thePort)
        return;
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetPort(thePort);
    Rect portRect = GetPortRect(thePort);
    ClipRect(&portRect);
    SetGWorld(savedPort, savedDevice);
}

} // namespace

void RegisterClipCtrl()
{
    lgMyHandlerUPP = NewEventHandlerUPP(ClipCtrlControlHandler);
    RegisterToolboxObjectClass(CFSTR("com.dranwick.quillor.clip"), nullptr, std::size(kClipEvents),
                               kClipEvents, lgMyHandlerUPP, nullptr, &lgClipCtrlClassRef1);
}

void UnregisterClipCtrl()
{
    if (lgClipCtrlClassRef1)
        UnregisterToolboxObjectClass(lgClipCtrlClassRef1);
    lgClipCtrlClassRef1 = nullptr;
    DisposeEventHandlerUPP(lgMyHandlerUPP);
    lgMyHandlerUPP = nullptr;
}

OSStatus ClipCtrlControlHandler(EventHandlerCallRef, EventRef theEvent, void *)
{
    OSStatus result = eventNotHandledErr;
    const UInt32 kind = GetEventKind(theEvent);
    ControlRef theControl = GetControlFromEvent(theEvent);
    switch (kind) {
    case kEventControlDraw:
    case kEventControlActivate:
    case kEventControlOwningWindowChanged: {
        CGrafPtr savedPort = nullptr;
        GDHandle savedDevice = nullptr;
        GetGWorld(&savedPort, &savedDevice);
        WindowRef theWindow = GetControlOwner(theControl);
        if (CGrafPtr thePort = GetWindowPort(theWindow))
            SetPort(thePort);
        const Rect bounds = GetControlBox(theControl);
        const UInt16 hilite = GetControlHilite(theControl);
        if (theWindow && hilite != kControlInactivePart && hilite != kControlDisabledPart)
            DrawFrameContents(theWindow, bounds);
        SetGWorld(savedPort, savedDevice);
        result = noErr;
        break;
    }
    case kEventControlHitTest: {
        // No part anywhere: the preview cannot be clicked.
        ControlPartCode part = kControlNoPart;
        SetEventParameter(theEvent, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
        result = noErr;
        break;
    }
    case kEventControlHit:
    case kEventControlTrack:
        // Nothing is tracked and nothing changes.
        result = noErr;
        break;
    default:
        break;
    }
    if (theControl)
        ResetOwnerClip(theControl);
    return result;
}

void DrawFrameContents(WindowRef theWindow, const Rect &theBox)
{
    CGrafPtr thePort = GetWindowPort(theWindow);
    GWorldPtr thePreview = gConfigWorkspace.TheFXClip;
    if (!thePort || !thePreview)
        return;
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetPort(thePort);

    const Rect source = GetPortRect(thePreview);
    const RGBColor white{65535, 65535, 65535}, black{0, 0, 0};
    RGBBackColor(&white);
    RGBForeColor(&black);
    CopyBits(GetPortBitMapForCopyBits(thePreview), GetPortBitMapForCopyBits(thePort), &source, &theBox, srcCopy,
             nullptr);

    const Rect portRect = GetPortRect(thePort);
    ClipRect(&portRect);
    RGBForeColor(&black);
    FrameRect(&theBox);
    SetGWorld(savedPort, savedDevice);
}

void KeepImageProps(Rect &theRect, const Rect &theFrame)
{
    const PluginDataRec *theConfig = gConfigWorkspace.TheConfig;
    if (!theConfig || !theConfig->KeepProps || !theConfig->TheOriginalImage)
        return;
    SInt32 wid = 0, hig = 0;
    GetImageDims(theConfig->TheOriginalImage, wid, hig);
    const Rect imageRect{0, 0, static_cast<SInt16>(hig), static_cast<SInt16>(wid)};
    Rect fitted = wid > hig ? KeepPropsWithFixedHorizontal(imageRect, theRect)
                            : KeepPropsWithFixedVertical(imageRect, theRect);
    // A rectangle past the frame would make the render stretch the crop:
    // the other side is kept instead, which shrinks the one that ran over.
    if (fitted.bottom > theFrame.bottom || fitted.right > theFrame.right)
        fitted = wid > hig ? KeepPropsWithFixedVertical(imageRect, theRect)
                           : KeepPropsWithFixedHorizontal(imageRect, theRect);
    theRect = fitted;
}

void CalcAndKeepImageProps()
{
    RelRect theRel = GetCurrentRel();
    const Rect theBox = GetControlBox(gConfigWorkspace.TheFrameCtrl);
    // A preview control without area has no pixel grid to fit in.
    if (theBox.right <= theBox.left || theBox.bottom <= theBox.top)
        return;
    Rect r = Rel2Rect(theRel, theBox);
    KeepImageProps(r, theBox);
    theRel = Rect2Rel(r, theBox);
    PutCurrentRel(theRel);
}
