// dlgUtils.cpp: nib windows, posted commands, port flushing, block copies.
#include "dialog/dlgUtils.h"

#include "common/commonprocs.h"
#include "corefoundation/CFBundle.h"
#include "memory/MacMemory.h"
#include "quickdraw/QuickDraw.h"
#include "toolbox/CarbonEvents.h"

#include <cstdio>
#include <string>
#include <cstdlib>

namespace {

CFStringRef NewText(const char *text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingMacRoman);
}

std::string ErrorNumber(OSStatus status)
{
    Str255 number;
    Num2Text(status, number);
    return std::string(reinterpret_cast<const char *>(number + 1), number[0]);
}

[[noreturn]] void NibFailed(const std::string &description)
{
    Terminate("OpenNibWindow Failed", description.c_str());
}

// A window the nib does not hold ends the process at once with the status's
// low eight bits as exit code (never 0, which would read as success).
[[noreturn]] void WindowFailed(const char *nibName, const char *windowName, OSStatus status)
{
    std::fprintf(stderr, "Cannot create window \"%s\" from nib \"%s\" (errcode #%d)\n", windowName, nibName,
                 static_cast<int>(status));
    std::fflush(stderr);
    std::fflush(stdout);
    int code = static_cast<int>(static_cast<UInt32>(status) & 0xFF);
    std::_Exit(code == 0 ? 1 : code);
}

WindowRef WindowFromNib(IBNibRef theNib, const char *nibName, const char *TheWindow)
{
    CFStringRef windowName = NewText(TheWindow ? TheWindow : "");
    WindowRef theWindow = nullptr;
    OSStatus status = windowName ? CreateWindowFromNib(theNib, windowName, &theWindow) : memFullErr;
    if (windowName)
        CFRelease(windowName);
    if (status != noErr || !theWindow) {
        DisposeNibReference(theNib);
        WindowFailed(nibName, TheWindow ? TheWindow : "", status != noErr ? status : paramErr);
    }
    return theWindow;
}

} // namespace

void PostCommand(ConstStr255Param TheCommand)
{
    const FourCharCode theCode = String2Command(TheCommand);
    HICommand *theCommand = reinterpret_cast<HICommand *>(NewPtrClear(sizeof(HICommand)));
    Assert(theCommand, "Allocating HICommand from post command");
    theCommand->attributes = 0;
    theCommand->commandID = theCode;
    theCommand->menuRef = nullptr;
    theCommand->menuItemIndex = 0;
    ProcessHICommand(theCommand);
    DisposePtr(reinterpret_cast<Ptr>(theCommand));
}

WindowRef OpenNibWindow(const char *TheNib, const char *TheWindow)
{
    const char *nibName = TheNib && *TheNib ? TheNib : "main";
    CFStringRef nibText = NewText(nibName);
    IBNibRef theNib = nullptr;
    OSStatus status = nibText ? CreateNibReference(nibText, &theNib) : memFullErr;
    if (nibText)
        CFRelease(nibText);
    if (status != noErr)
        NibFailed(std::string("Unable to CreateNibReference for \"") + nibName + "\" as it returned errcode #" +
                  ErrorNumber(status) + ".");
    WindowRef theWindow = WindowFromNib(theNib, nibName, TheWindow);
    DisposeNibReference(theNib);
    return theWindow;
}

WindowRef OpenNibWindowFromCFBundle(const char *TheIdentifier, const char *TheNib, const char *TheWindow)
{
    const char *identifier = TheIdentifier ? TheIdentifier : "";
    CFStringRef bundleID = NewText(identifier);
    if (!bundleID)
        Assert(nullptr, (std::string("Cannot allocate CFSTR for ") + identifier).c_str());
    CFBundleRef theBundle = CFBundleGetBundleWithIdentifier(bundleID);
    CFRelease(bundleID);
    if (!theBundle)
        Assert(nullptr, (std::string("Cannot allocate bundle for ID = ") + identifier).c_str());
    CFRetain(theBundle);

    const char *nibName = TheNib && *TheNib ? TheNib : "quelvane";
    CFStringRef nibText = NewText(nibName);
    IBNibRef theNib = nullptr;
    OSStatus status = nibText ? CreateNibReferenceWithCFBundle(theBundle, nibText, &theNib) : memFullErr;
    if (nibText)
        CFRelease(nibText);
    if (status != noErr) {
        CFRelease(theBundle);
        NibFailed(std::string("Unable to CreateNibReferenceWithCFBundle for \"") + identifier + "/" + nibName +
                  "\" as it returned errcode #" + ErrorNumber(status) + ".");
    }
    WindowRef theWindow = WindowFromNib(theNib, nibName, TheWindow);
    DisposeNibReference(theNib);
    CFRelease(theBundle);
    return theWindow;
}

void FlushWindowBuffer(WindowRef TheWindow)
{
    CGrafPtr thePort = GetWindowPort(TheWindow);
    if (!thePort)
        return;
    Rect theBounds;
    GetPortBounds(thePort, &theBounds);
    RgnHandle theRegion = NewRgn();
    if (!theRegion)
        return;
    RectRgn(theRegion, &theBounds);
    QDFlushPortBuffer(thePort, theRegion);
    DisposeRgn(theRegion);
}

Ptr CloneObject(Ptr TheObject)
{
    if (!TheObject)
        return nullptr;
    const Size theSize = GetPtrSize(TheObject);
    if (theSize <= 0)
        return nullptr;
    Ptr theCopy = NewPtr(theSize);
    if (!theCopy)
        return nullptr;
    BlockMoveData(TheObject, theCopy, theSize);
    return theCopy;
}
