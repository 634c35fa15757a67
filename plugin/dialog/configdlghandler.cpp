// configdlghandler.cpp: the settings window: custom button, dialog session,
// window setup and the command handler.
#include "dialog/configdlghandler.h"

#include "common/commonprocs.h"
#include "corefoundation/CFBundle.h"
#include "dialog/aboutwindow.h"
#include "dialog/carbonmacros.h"
#include "dialog/clipCTRL.h"
#include "dialog/colorCTRL.h"
#include "dialog/dlgUtils.h"
#include "dialog/pictCTRL.h"
#include "dialog/sliderHandlers.h"
#include "engine/DataHandling.h"
#include "engine/callpixelfx.h"
#include "engine/lineEffect.h"
#include "host/EffectRun.h"
#include "host/PluginEntry.h"
#include "imaging/CGglue.h"
#include "imaging/EasyFile.h"
#include "imaging/EasyNav.h"
#include "imaging/offscreen.h"
#include "store/prefsloader.h"
#include "toolbox/LaunchServices.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

WindowRef lgTheWindow = nullptr;
SInt16 lgItemHit = -1;

// Images that a new picture replaced during the current dialog session. The
// backup taken when the session began may still refer to them, so they are
// released only when the session ends (FinishImages).
std::vector<CGImageRef> lgRetiredImages;

void Retire(CGImageRef &theImage)
{
    if (theImage)
        lgRetiredImages.push_back(theImage);
    theImage = nullptr;
}

// Ends a session's image bookkeeping. The record's two image fields each own
// one reference; every retired image not claimed by them is released.
void FinishImages(PluginDataRec *theConfig, const PluginDataRec *replaced)
{
    std::vector<CGImageRef> pool = lgRetiredImages;
    lgRetiredImages.clear();
    if (replaced) {
        // The record is being restored: what it held until now goes too,
        // unless the restored fields claim it again.
        if (replaced->TheOriginalImage)
            pool.push_back(replaced->TheOriginalImage);
        if (replaced->TheRendered)
            pool.push_back(replaced->TheRendered);
    }
    for (CGImageRef claimed : {theConfig->TheOriginalImage, theConfig->TheRendered}) {
        if (!claimed)
            continue;
        for (auto it = pool.begin(); it != pool.end(); ++it)
            if (*it == claimed) {
                pool.erase(it);
                break;
            }
    }
    for (CGImageRef theImage : pool)
        CGImageRelease(theImage);
}

PluginDataRec *EditedConfig()
{
    return gConfigWorkspace.TheConfig;
}

SInt32 ValueOf(const char (&sig)[5], SInt16 id)
{
    return SimpleGetControlValueByID(gConfigWorkspace.TheWindow, FourCC(sig), id);
}

void QuitWindow(void *userData)
{
    QuitAppModalLoopForWindow(static_cast<WindowRef>(userData));
}

// Scrubber one step forward (+1) or back (-1); nothing at either end.
void StepScrubber(SInt32 step)
{
    ControlRef theScrubber = gConfigWorkspace.ClipSlider;
    SInt32 position = GetControl32BitValue(theScrubber);
    if (step > 0 ? position >= gConfigWorkspace.MaxFrameIndex : position <= 0)
        return;
    position += step;
    SetControl32BitValue(theScrubber, position);
    gConfigWorkspace.CurrFrameIndex = position;
    AccessRenderAndBlit(position);
    Str255 theText;
    ScrubberText(position, theText);
    SimpleSetControlText(gConfigWorkspace.TheWindow, FourCC("ClpM"), 1, theText);
}

void OpenManual()
{
    CFBundleRef theBundle = CFBundleGetBundleWithIdentifier(CFSTR("com.dranwick.quillor.quelvane"));
    if (!theBundle)
        Notify("Cannot Locate Bundle. Proceed with caution. Crash imminent");
    // A missing bundle has no manual either: the look-up answers nothing.
    CFURLRef theURL = theBundle ? CFBundleCopyResourceURL(theBundle, CFSTR("manual"), CFSTR("pdf"), nullptr) : nullptr;
    if (!theURL) {
        Notify("Cannot locate manual in bundle");
        return;
    }
    FSRef theRef;
    if (CFURLGetFSRef(theURL, &theRef)) {
        const OSStatus status = LSOpenFSRef(&theRef, nullptr);
        if (status != noErr) {
            // The reader can still open the manual by hand: say where it is.
            Str255 theMessage, theNumber;
            CString2PString("LSOpen failed with ", theMessage);
            Num2Text(status, theNumber);
            PStrAppend(theMessage, theNumber);
            UInt8 thePath[1024];
            if (CFURLGetFileSystemRepresentation(theURL, true, thePath, sizeof thePath)) {
                PStrAppendC(theMessage, ". The manual is ");
                PStrAppendC(theMessage, reinterpret_cast<const char *>(thePath));
            }
            Notify(theMessage);
        }
    }
    CFRelease(theURL);
}

void ChoosePicture(PluginDataRec *theConfig)
{
    Str255 thePrompt;
    CString2PString("Please choose an image", thePrompt);
    FSSpec theFile;
    if (!EasyNavGetFile(thePrompt, cAnyFileType, cAnyFileType, false, theFile))
        return;
    Retire(theConfig->TheOriginalImage);
    Retire(theConfig->TheRendered);
    theConfig->TheOriginalImage = GetCGImageFromFSSUsingCG(theFile);
    SetPictureBoxImage(SimpleGetControlByID(gConfigWorkspace.TheWindow, FourCC("Pict"), 1),
                       theConfig->TheOriginalImage);
    CalcAndKeepImageProps();
    RenderLineArt(theConfig);
    RerenderAndBlit();
}

} // namespace

const char *ConfigWindowName(SInt16 mediaType)
{
    switch (mediaType) {
    case kMediaPAL:
        return "configPAL";
    case kMediaHD:
        return "configHD";
    default:
        return "configNTSC";
    }
}

void MediaFrameSize(SInt16 mediaType, SInt16 &width, SInt16 &height)
{
    switch (mediaType) {
    case kMediaPAL:
        width = 720;
        height = 576;
        break;
    case kMediaHD:
        width = 960;
        height = 540;
        break;
    default:
        width = 720;
        height = 480;
        break;
    }
}

SInt16 ShownMediaType(SInt16 mediaType)
{
    return mediaType == kMediaPAL || mediaType == kMediaHD ? mediaType : SInt16(kMediaNTSC);
}

HYPluginResult CustomButton(SInt16 which, PluginParams *params)
{
    (void)which;
    HYProcs *procs = params->procs;
    const SInt32 frame = params->renderFrame + gMostRecentStartFrame;
    // The scrubber covers the frames of the last render run, with the thumb on
    // the frame asked for. A frame outside them (or asked for before any run
    // said where they are) is the scrubber's only position: no position may
    // name a frame the clip does not have.
    const bool inRun = params->renderFrame >= 0 && params->renderFrame < gMostRecentFrameCount;
    SInt16 width = 0, height = 0;
    MediaFrameSize(GetMediaFormat(gPascalData), width, height);

    GWorldPtr theGW = nullptr;
    SInt16 volume = 0;
    void *cookie = nullptr;
    if (procs->GetFrame)
        procs->GetFrame(params->instance, frame, &theGW, width, height, kDVHighQuality, &volume, &cookie);
    const bool kept = inRun ? ConfigurePlugIn(gPascalData, theGW, params, gMostRecentStartFrame,
                                              gMostRecentFrameCount, params->renderFrame)
                            : ConfigurePlugIn(gPascalData, theGW, params, frame, 1);
    // Only a frame the host lent is given back.
    if ((theGW || cookie) && procs->ReleaseFrame)
        procs->ReleaseFrame(params->instance, cookie);
    return kept ? kPluginOK : kPluginFailed;
}

Boolean ConfigurePlugIn(PluginDataRec *theData, GWorldPtr theGW, PluginParams *params, SInt32 firstFrameIndex,
                        SInt32 numberOfFrames, SInt32 currentIndex)
{
    // Without a frame from the host the dialog works on a black frame of
    // the format's size.
    GWorldPtr theBlackFrame = nullptr;
    if (!theGW) {
        SInt16 width = 0, height = 0;
        MediaFrameSize(GetMediaFormat(theData), width, height);
        theBlackFrame = AllocateGWorld(width, height);
        Assert(theBlackFrame, "Unable to allocate a black frame in ConfigurePlugIn");
        ClearGW(theBlackFrame, RGBColor{0, 0, 0});
        theGW = theBlackFrame;
    }

    gTheConfig = theData;
    gConfigWorkspace.TheConfig = theData;
    gConfigWorkspace.SourceClip = theGW;
    gConfigWorkspace.iMovieParams = params;
    gConfigWorkspace.MinFrameIndex = firstFrameIndex;
    gConfigWorkspace.MaxFrameIndex = (numberOfFrames < 1 ? 1 : numberOfFrames) - 1;
    gConfigWorkspace.CurrFrameIndex =
        currentIndex < 0 ? 0 : (currentIndex > gConfigWorkspace.MaxFrameIndex ? gConfigWorkspace.MaxFrameIndex
                                                                               : currentIndex);
    gConfigWorkspace.ActiveRel = 1;

    gConfigWorkspace.TheFXClip = AllocateRectGWorld(GetPortRect(theGW));
    Assert(gConfigWorkspace.TheFXClip, "Unable to allocate theProcessed in ConffigurePlug Init run");
    Assert(theData, "uninited theData in Configure master proc. need to call init before calling me");

    CallPixelEffect(theGW, gConfigWorkspace.TheFXClip);

    RegisterColorBox();
    RegisterClipCtrl();
    RegisterPictureControl();

    const Boolean kept = DoConfig(gTheConfig);

    UnregisterClipCtrl();
    UnregisterColorBox();
    UnregisterPictureControl();

    DisposeGWorld(gConfigWorkspace.TheFXClip);
    gConfigWorkspace.TheFXClip = nullptr;
    if (theBlackFrame)
        DisposeGWorld(theBlackFrame);
    gConfigWorkspace.SourceClip = nullptr;
    return kept;
}

Boolean DoConfig(PluginDataRec *theConfig)
{
    Assert(theConfig, "Nil theConfig on DoConfig");
    PluginDataRec backup;
    std::memcpy(&backup, theConfig, sizeof backup);
    lgRetiredImages.clear();

    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    const EventTypeSpec commandEvent{kEventClassCommand, kEventCommandProcess};
    Boolean saved = true;
    do {
        lgItemHit = -1;
        lgTheWindow = OpenNibWindowFromCFBundle(cMyBundleID, cMyPluginName, ConfigWindowName(theConfig->MediaType));
        InstallWindowEventHandler(lgTheWindow, NewEventHandlerUPP(TheDialogHandler), 1, &commandEvent, lgTheWindow,
                                  nullptr);
        SetupDialog(lgTheWindow, theConfig);
        ShowWindow(lgTheWindow);
        SetPort(GetWindowPort(lgTheWindow));
        BringToFront(lgTheWindow);
        RunAppModalLoopForWindow(lgTheWindow);
        // OK saves while the window still shows, so that a failure is told
        // over it; the record keeps the edits either way.
        if (lgItemHit == 1) {
            saved = SaveConfig(theConfig);
            if (!saved)
                Notify("The settings could not be saved in the preferences folder. They apply until the editor "
                       "quits.");
        }
        DisposeWindow(lgTheWindow);
        lgTheWindow = nullptr;
        // The window's port is gone with it.
        SetGWorld(savedPort, savedDevice);
        // A loop that ended without OK, Cancel or a format change (the window
        // was closed another way) counts as Cancel.
        if (lgItemHit != 0 && lgItemHit != 1)
            lgItemHit = 2;
    } while (lgItemHit != 1 && lgItemHit != 2);

    if (lgItemHit == 1) {
        FinishImages(theConfig, nullptr);
    } else {
        PluginDataRec replaced;
        std::memcpy(&replaced, theConfig, sizeof replaced);
        std::memcpy(theConfig, &backup, sizeof backup);
        FinishImages(theConfig, &replaced);
    }
    return saved;
}

void SetupDialog(WindowRef theWindow, PluginDataRec *theConfig)
{
    Assert(theWindow, "Nil Window in SetupDialog");
    Assert(theConfig, "Nil theConfig in SetupDialog");
    gConfigWorkspace.TheWindow = theWindow;
    gConfigWorkspace.TheFrameCtrl = SimpleGetControlByID(theWindow, FourCC("Clip"), 1);
    Assert(gConfigWorkspace.TheFrameCtrl, "Cannot acces Clip 1 CTRL");
    SetupColors(theWindow, theConfig);
    SetupSliders(theWindow);
    SimpleHideControl(theWindow, FourCC("Rect"), 1);
    SimpleHideControl(theWindow, FourCC("Rect"), 2);
    // The popup names the format of the window that opened.
    SimpleSetControlValueByID(theWindow, FourCC("Medi"), 1, ShownMediaType(theConfig->MediaType));
    Config2Dlg(gConfigWorkspace.TheConfig);
    // A window reopened for another format shows the picture chosen before.
    SetPictureBoxImage(SimpleGetControlByID(theWindow, FourCC("Pict"), 1), theConfig->TheOriginalImage);
    CalcAndKeepImageProps();
    RenderLineArt(gConfigWorkspace.TheConfig);
    RerenderAndBlit();
}

void SetupColors(WindowRef theWindow, PluginDataRec *theConfig)
{
    for (int n = 1; n <= kColorCount; ++n) {
        const SInt16 id = static_cast<SInt16>(n);
        ControlRef theBox = SimpleGetControlByID(theWindow, FourCC("Colr"), id);
        Assert(theBox, ("Cannot allocate color" + std::to_string(n) + " in SetupDialog").c_str());
        SetControl32BitMinimum(theBox, 0);
        SetControl32BitMaximum(theBox, 0xFFFFFF);
        SetControl32BitValue(theBox, RGBColor2LongInt(theConfig->Colors[n - 1]));
        if (!cUsesColor[n - 1]) {
            HideControl(theBox);
            SimpleHideControl(theWindow, FourCC("CLgd"), id);
        }
        gConfigWorkspace.Colors[n - 1] = theBox;
    }
}

void Config2Dlg(PluginDataRec *theConfig)
{
    WindowRef theWindow = gConfigWorkspace.TheWindow;
    for (int n = 1; n <= kColorCount; ++n)
        SetControl32BitValue(gConfigWorkspace.Colors[n - 1], RGBColor2LongInt(theConfig->Colors[n - 1]));
    for (int n = 1; n <= kSliderCount; ++n) {
        SetControl32BitValue(gConfigWorkspace.Sliders[n - 1], theConfig->Sliders[n - 1]);
        Str255 theText;
        Num2Text(theConfig->Sliders[n - 1], theText);
        PStrAppendC(theText, "%");
        SimpleSetControlText(theWindow, FourCC("Lgnd"), static_cast<SInt16>(n), theText);
    }
    SimpleSetControlValueByID(theWindow, FourCC("Blnd"), 1, theConfig->BlendMode);
    SimpleSetControlValueByID(theWindow, FourCC("Prop"), 1, gConfigWorkspace.TheConfig->KeepProps ? 1 : 0);
    RerenderAndBlit();
}

OSStatus TheDialogHandler(EventHandlerCallRef, EventRef theEvent, void *userData)
{
    OSStatus result = eventNotHandledErr;
    HICommand theCommand{};
    GetEventParameter(theEvent, kEventParamDirectObject, typeHICommand, nullptr, sizeof theCommand, nullptr,
                      &theCommand);
    Str255 theText;
    CommandID2Str(theCommand.commandID, theText);
    lgItemHit = -1;
    PluginDataRec *theConfig = EditedConfig();
    auto is = [&](const char *literal) { return PStrEqualsC(theText, literal); };

    if (is("ok  ")) {
        lgItemHit = 1;
        QuitWindow(userData);
    } else if (is("not!")) {
        lgItemHit = 2;
        QuitWindow(userData);
    } else if (is("Info")) {
        ShowAbout();
    } else if (theText[0] == 4 && std::memcmp(theText + 1, "Col", 3) == 0 && theText[4] >= '1' &&
               theText[4] <= '6') {
        const int n = theText[4] - '0';
        const SInt32 value = SimpleGetControlValueByID(gConfigWorkspace.TheWindow, FourCC("Colr"),
                                                       static_cast<SInt16>(n));
        theConfig->Colors[n - 1] = LongInt2RGBColor(value);
        RerenderAndBlit();
    } else if (is("Adva")) {
        StepScrubber(+1);
    } else if (is("Revi")) {
        StepScrubber(-1);
    } else if (is("Rset")) {
        const SInt16 mediaType = theConfig->MediaType;
        ResetConfig(theConfig, false);
        theConfig->MediaType = mediaType;
        Config2Dlg(theConfig);
        RenderLineArt(theConfig);
        RerenderAndBlit();
    } else if (is("Medi")) {
        const SInt16 old = theConfig->MediaType;
        theConfig->MediaType = static_cast<SInt16>(ValueOf("Medi", 1));
        if (ShownMediaType(theConfig->MediaType) != ShownMediaType(old)) {
            lgItemHit = 0;
            QuitWindow(userData);
        }
    } else if (is("Sall")) {
        RelRect theRel;
        InitRelRect(theRel);
        PutCurrentRel(theRel);
        RerenderAndBlit();
    } else if (is("Help")) {
        OpenManual();
    } else if (is("Rect")) {
        gConfigWorkspace.ActiveRel = static_cast<SInt16>(ValueOf("Rect", 1));
        CalcAndKeepImageProps();
        RerenderAndBlit();
    } else if (is("Prop")) {
        theConfig->KeepProps = ValueOf("Prop", 1) == 1;
        CalcAndKeepImageProps();
        RerenderAndBlit();
    } else if (is("Pict")) {
        ChoosePicture(theConfig);
    } else if (is("Blnd")) {
        theConfig->BlendMode = static_cast<SInt16>(ValueOf("Blnd", 1));
        RerenderAndBlit();
    } else {
        return result;
    }
    return noErr;
}
