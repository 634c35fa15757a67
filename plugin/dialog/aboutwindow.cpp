// aboutwindow.cpp: the about window.
#include "dialog/aboutwindow.h"

#include "common/commonprocs.h"
#include "dialog/carbonmacros.h"
#include "dialog/dlgUtils.h"
#include "engine/PluginDefines.h"
#include "quickdraw/QuickDraw.h"
#include "toolbox/MacWindows.h"

void GetVersionText(Str255 theText)
{
    CString2PString("Version ", theText);
    PStrAppendC(theText, cPlugVersion);
}

void ShowAbout()
{
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);

    WindowRef theWindow = OpenNibWindowFromCFBundle(cMyBundleID, "about", "about");
    if (!theWindow) {
        SetGWorld(savedPort, savedDevice);
        return;
    }
    const EventTypeSpec commandEvent{kEventClassCommand, kEventCommandProcess};
    InstallWindowEventHandler(theWindow, NewEventHandlerUPP(AboutDialogHandler), 1, &commandEvent, theWindow,
                              nullptr);

    Str255 theText;
    CString2PString(cMyClearName, theText);
    SimpleSetControlText(theWindow, FourCC("Plug"), 1, theText);
    GetVersionText(theText);
    SimpleSetControlText(theWindow, FourCC("Vers"), 1, theText);

    ShowWindow(theWindow);
    BringToFront(theWindow);
    RunAppModalLoopForWindow(theWindow);

    DisposeWindow(theWindow);
    SetGWorld(savedPort, savedDevice);
}

OSStatus AboutDialogHandler(EventHandlerCallRef, EventRef theEvent, void *userData)
{
    HICommand theCommand{};
    GetEventParameter(theEvent, kEventParamDirectObject, typeHICommand, nullptr, sizeof theCommand, nullptr,
                      &theCommand);
    Str255 theText;
    CommandID2Str(theCommand.commandID, theText);
    if (PStrEqualsC(theText, "ok  ") || PStrEqualsC(theText, "not!")) {
        QuitAppModalLoopForWindow(static_cast<WindowRef>(userData));
        return noErr;
    }
    return eventNotHandledErr;
}
