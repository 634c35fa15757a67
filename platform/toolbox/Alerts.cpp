// Standard alerts: creation, the replaceable presenter, the headless one.
#include "toolbox/Alerts.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

struct OpaqueDialogPtr {
    QVAlertContent content;
};

namespace {

QVAlertPresenterProc gPresenter = nullptr; // nullptr: the headless presenter
void *gPresenterRefCon = nullptr;

bool IsStandardText(CFStringRef text) { return text == (CFStringRef)(intptr_t)-1; }

CFStringRef Keep(CFStringRef text) {
    if (text) CFRetain(text);
    return text;
}

void Drop(CFStringRef text) {
    if (text) CFRelease(text);
}

std::string Utf8(CFStringRef text) {
    if (!text) return std::string();
    const CFIndex needed = QVCFStringGetUTF8(text, nullptr, 0);
    if (needed <= 0) return std::string();
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    QVCFStringGetUTF8(text, out.data(), needed + 1);
    out.resize(static_cast<size_t>(needed));
    return out;
}

const char *KindName(AlertType type) {
    switch (type) {
    case kAlertStopAlert: return "stop";
    case kAlertNoteAlert: return "note";
    case kAlertCautionAlert: return "caution";
    default: return "plain";
    }
}

bool HasButton(const QVAlertContent &c, DialogItemIndex item) {
    return item >= 1 && item <= 3 && c.buttonText[item - 1] != nullptr;
}

} // namespace

extern "C" {

OSStatus GetStandardAlertDefaultParams(AlertStdCFStringAlertParamRec *param, UInt32 version) {
    if (!param || version != kStdCFStringAlertVersionOne) return paramErr;
    param->version = version;
    param->movable = false;
    param->helpButton = false;
    param->defaultText = kAlertDefaultOKText;
    param->cancelText = nullptr;
    param->otherText = nullptr;
    param->defaultButton = kAlertStdAlertOKButton;
    param->cancelButton = 0;
    param->position = kWindowDefaultPosition;
    param->flags = 0;
    return noErr;
}

OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                             const AlertStdCFStringAlertParamRec *param, DialogRef *outAlert) {
    if (!outAlert) return paramErr;
    *outAlert = nullptr;
    if (alertType < kAlertStopAlert || alertType > kAlertPlainAlert) return paramErr;
    AlertStdCFStringAlertParamRec defaults;
    if (!param) {
        GetStandardAlertDefaultParams(&defaults, kStdCFStringAlertVersionOne);
        param = &defaults;
    }
    auto *alert = new (std::nothrow) OpaqueDialogPtr;
    if (!alert) return memFullErr;
    QVAlertContent &c = alert->content;
    c.alertType = alertType;
    c.messageText = Keep(error);
    c.explanationText = Keep(explanation);
    c.buttonText[0] = !param->defaultText || IsStandardText(param->defaultText) ? Keep(CFSTR("OK"))
                                                                                 : Keep(param->defaultText);
    c.buttonText[1] = IsStandardText(param->cancelText) ? Keep(CFSTR("Cancel")) : Keep(param->cancelText);
    c.buttonText[2] = IsStandardText(param->otherText) ? Keep(CFSTR("Don't Save")) : Keep(param->otherText);
    c.movable = param->movable;
    c.helpButton = param->helpButton;
    // Items that name no button of this alert fall back to OK / none.
    c.defaultButton =
        HasButton(c, param->defaultButton) ? param->defaultButton : DialogItemIndex(kAlertStdAlertOKButton);
    c.cancelButton = HasButton(c, param->cancelButton) ? param->cancelButton : 0;
    *outAlert = alert;
    return noErr;
}

void DisposeDialog(DialogRef theDialog) {
    if (!theDialog) return;
    QVAlertContent &c = theDialog->content;
    Drop(c.messageText);
    Drop(c.explanationText);
    for (CFStringRef text : c.buttonText) Drop(text);
    delete theDialog;
}

OSStatus RunStandardAlert(DialogRef inAlert, ModalFilterUPP filterProc, DialogItemIndex *outItemHit) {
    (void)filterProc;
    if (!inAlert) return paramErr;
    const QVAlertContent &c = inAlert->content;
    QVAlertPresenterProc presenter = gPresenter ? gPresenter : QVHeadlessAlertPresenter;
    DialogItemIndex hit = presenter(&c, gPresenter ? gPresenterRefCon : nullptr);
    if (!HasButton(c, hit)) hit = c.defaultButton;
    DisposeDialog(inAlert);
    if (outItemHit) *outItemHit = hit;
    return noErr;
}

void ExitToShell(void) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(kQVExitToShellStatus);
}

void QVSetAlertPresenter(QVAlertPresenterProc presenter, void *refCon) {
    gPresenter = presenter;
    gPresenterRefCon = presenter ? refCon : nullptr;
}

QVAlertPresenterProc QVGetAlertPresenter(void **refCon) {
    if (refCon) *refCon = gPresenterRefCon;
    return gPresenter ? gPresenter : QVHeadlessAlertPresenter;
}

DialogItemIndex QVHeadlessAlertPresenter(const QVAlertContent *alert, void *refCon) {
    (void)refCon;
    if (!alert) return kAlertStdAlertOKButton;
    const std::string headline = Utf8(alert->messageText);
    const std::string description = Utf8(alert->explanationText);
    const DialogItemIndex answer = alert->defaultButton;
    const std::string button = answer >= 1 && answer <= 3 ? Utf8(alert->buttonText[answer - 1]) : std::string();
    std::string text = std::string("Alert (") + KindName(alert->alertType) + "): " + headline + "\n";
    if (!description.empty()) text += "  " + description + "\n";
    text += "  [" + button + "]\n";
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    return answer;
}

} // extern "C"
