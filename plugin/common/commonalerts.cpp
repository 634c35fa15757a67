// Alerts and fatal stops over the toolbox's standard alerts.
#include "common/commonprocs.h"

#include "toolbox/Alerts.h"

namespace {

void ReleaseString(CFStringRef s) {
    if (s) CFRelease(s);
}

// Creates and runs a standard alert; answers the item hit, or fallback when
// the alert cannot be made.
SInt16 RunAlert(AlertType kind, ConstStr255Param Headline, ConstStr255Param Description,
                const AlertStdCFStringAlertParamRec *param, SInt16 fallback) {
    CFStringRef headline = MakeCFString(Headline);
    CFStringRef description = MakeCFString(Description);
    DialogRef alert = nullptr;
    DialogItemIndex hit = fallback;
    if (CreateStandardAlert(kind, headline, description, param, &alert) == noErr && alert) {
        if (RunStandardAlert(alert, nullptr, &hit) != noErr) hit = fallback;
    }
    ReleaseString(headline);
    ReleaseString(description);
    return hit;
}

} // namespace

SInt16 StandardWarning(ConstStr255Param Headline, ConstStr255Param Description, ConstStr255Param OKText,
                       ConstStr255Param CancelText) {
    AlertStdCFStringAlertParamRec param;
    param.version = kStdCFStringAlertVersionOne;
    param.movable = true;
    param.helpButton = false;
    param.defaultText = MakeCFString(OKText);
    param.cancelText = CancelText[0] != 0 ? MakeCFString(CancelText) : nullptr;
    param.otherText = nullptr;
    param.defaultButton = kAlertStdAlertOKButton;
    param.cancelButton = kAlertStdAlertCancelButton;
    param.position = kWindowDefaultPosition;
    param.flags = 0;
    // Should the alert not come up, a warning that offers to cancel is taken
    // as cancelled: nothing the user did not confirm goes ahead.
    const SInt16 fallback = param.cancelText ? kAlertStdAlertCancelButton : kAlertStdAlertOKButton;
    const SInt16 hit = RunAlert(kAlertCautionAlert, Headline, Description, &param, fallback);
    ReleaseString(param.defaultText);
    ReleaseString(param.cancelText);
    return hit;
}

SInt16 StandardWarning(const char *Headline, const char *Description, const char *OKText, const char *CancelText) {
    Str255 headline, description, ok, cancel;
    CString2PString(Headline, headline);
    CString2PString(Description, description);
    CString2PString(OKText, ok);
    CString2PString(CancelText, cancel);
    return StandardWarning(headline, description, ok, cancel);
}

void StandardStop(ConstStr255Param Headline, ConstStr255Param Description) {
    RunAlert(kAlertStopAlert, Headline, Description, nullptr, kAlertStdAlertOKButton);
}

void StandardStop(const char *Headline, const char *Description) {
    Str255 headline, description;
    CString2PString(Headline, headline);
    CString2PString(Description, description);
    StandardStop(headline, description);
}

void Terminate(ConstStr255Param Headline, ConstStr255Param Description) {
    StandardStop(Headline, Description);
    ExitToShell();
}

void Terminate(const char *Headline, const char *Description) {
    Str255 headline, description;
    CString2PString(Headline, headline);
    CString2PString(Description, description);
    Terminate(headline, description);
}

void Assert(const void *thePtr, ConstStr255Param FailLocation) {
    if (thePtr) return;
    Str255 headline, description;
    CString2PString("Assertion Failure", headline);
    CString2PString("Assertion failed in: ", description);
    PStrAppend(description, FailLocation);
    Terminate(headline, description);
}

void Assert(const void *thePtr, const char *FailLocation) {
    if (thePtr) return;
    Str255 location;
    CString2PString(FailLocation, location);
    Assert(thePtr, location);
}

void Notify(ConstStr255Param theMessage) {
    Str255 headline, ok, none;
    CString2PString("Internal Notification:", headline);
    CString2PString("ok", ok);
    none[0] = 0;
    StandardWarning(headline, theMessage, ok, none);
}

void Notify(const char *theMessage) {
    Str255 message;
    CString2PString(theMessage, message);
    Notify(message);
}
