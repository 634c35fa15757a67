/*
 * Alerts.h: standard alerts of the toolbox stand-in. An alert is made with
 * CreateStandardAlert (kind, message text, explanation, buttons) and run
 * modally with RunStandardAlert, which answers the item hit and disposes of
 * the alert. ExitToShell ends the process.
 *
 * Presentation is replaceable: RunStandardAlert hands the alert's content to
 * the current alert presenter (QVSetAlertPresenter). The on-screen front end
 * installs one that shows a dialog; the default, headless presenter writes
 * the headline and the description to standard error and answers the
 * default button. An answer that names no button of the alert is taken as
 * the default button.
 *
 * Buttons are items 1 (the default text, "OK" unless given), 2 (the cancel
 * text; no cancel button when it is NULL) and 3 (the other text; none when
 * NULL). kAlertDefaultOKText, kAlertDefaultCancelText and
 * kAlertDefaultOtherText stand for the standard texts.
 *
 * Ownership: CreateStandardAlert retains the strings it is given and hands
 * out an alert that RunStandardAlert disposes of (DisposeDialog disposes of
 * one that is not run). The presenter borrows the content for the duration
 * of its call. Alerts are application-modal and run on the main thread.
 */
#ifndef QUELVANE_ALERTS_H
#define QUELVANE_ALERTS_H

#include "MacTypes.h"
#include "corefoundation/CFString.h"

QV_EXTERN_C_BEGIN

typedef struct OpaqueDialogPtr *DialogRef;
typedef DialogRef DialogPtr;
typedef SInt16 DialogItemIndex;
typedef UInt32 OptionBits;

typedef SInt16 AlertType;
enum { kAlertStopAlert = 0, kAlertNoteAlert = 1, kAlertCautionAlert = 2, kAlertPlainAlert = 3 };

/* Item numbers of the standard buttons. */
enum {
    kAlertStdAlertOKButton = 1,
    kAlertStdAlertCancelButton = 2,
    kAlertStdAlertOtherButton = 3,
    kAlertStdAlertHelpButton = 4
};

enum { kStdCFStringAlertVersionOne = 1 };
enum { kWindowDefaultPosition = 0 };

/* Stand for the standard button texts ("OK", "Cancel", "Don't Save"). */
#define kAlertDefaultOKText ((CFStringRef)(intptr_t)-1)
#define kAlertDefaultCancelText ((CFStringRef)(intptr_t)-1)
#define kAlertDefaultOtherText ((CFStringRef)(intptr_t)-1)

/* Button parameters of a standard alert. */
typedef struct AlertStdCFStringAlertParamRec {
    UInt32 version;          /* kStdCFStringAlertVersionOne */
    Boolean movable;
    Boolean helpButton;
    CFStringRef defaultText; /* item 1; NULL or kAlertDefaultOKText: "OK" */
    CFStringRef cancelText;  /* item 2; NULL: no cancel button */
    CFStringRef otherText;   /* item 3; NULL: no other button */
    SInt16 defaultButton;    /* the item Return chooses */
    SInt16 cancelButton;     /* the item Escape chooses; 0 for none */
    UInt16 position;         /* kWindowDefaultPosition */
    OptionBits flags;
} AlertStdCFStringAlertParamRec;

/* An event filter of a modal dialog. The stand-in accepts one and does not
   call it: the presenter handles every event. */
typedef Boolean (*ModalFilterProcPtr)(DialogRef theDialog, void *theEvent, DialogItemIndex *itemHit);
typedef ModalFilterProcPtr ModalFilterUPP;

/* Fills param with the defaults: not movable, no help button, "OK" as the
   only button (default item 1, no cancel item), default position, no
   flags. paramErr for a NULL record or a version other than 1. */
QV_API OSStatus GetStandardAlertDefaultParams(AlertStdCFStringAlertParamRec *param, UInt32 version);

/* Makes an alert of the given kind. error is the message text (the
   headline), explanation the description; either may be NULL. param NULL
   gives the defaults. paramErr for a NULL outAlert or an unknown kind;
   memFullErr when memory runs out. */
QV_API OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                                    const AlertStdCFStringAlertParamRec *param, DialogRef *outAlert);

/* Shows the alert through the current presenter, waits for the answer,
   stores the item hit in outItemHit (when not NULL) and disposes of the
   alert. paramErr for a NULL alert. */
QV_API OSStatus RunStandardAlert(DialogRef inAlert, ModalFilterUPP filterProc, DialogItemIndex *outItemHit);

/* Disposes of an alert that was not run. */
QV_API void DisposeDialog(DialogRef theDialog);

/* The exit status with which ExitToShell ends the process. */
enum { kQVExitToShellStatus = 70 };

/* Ends the process at once with kQVExitToShellStatus, after flushing the
   standard streams; no exit handlers or destructors run. */
QV_API void ExitToShell(void) __attribute__((noreturn));

/* ---- Stand-in extension: alert presenters -------------------------------- */

/* What a presenter shows. Button texts are resolved: NULL means the alert
   has no such button. */
typedef struct QVAlertContent {
    AlertType alertType;
    CFStringRef messageText;      /* headline; NULL for none */
    CFStringRef explanationText;  /* description; NULL for none */
    CFStringRef buttonText[3];    /* items 1, 2 and 3 */
    DialogItemIndex defaultButton;
    DialogItemIndex cancelButton; /* 0 for none */
    Boolean movable;
    Boolean helpButton;
} QVAlertContent;

/* Shows an alert and answers the item hit. */
typedef DialogItemIndex (*QVAlertPresenterProc)(const QVAlertContent *alert, void *refCon);

/* Installs the presenter for the following alerts; NULL restores the
   headless presenter. */
QV_API void QVSetAlertPresenter(QVAlertPresenterProc presenter, void *refCon);
/* The current presenter and its refCon (refCon may be NULL). */
QV_API QVAlertPresenterProc QVGetAlertPresenter(void **refCon);

/* The headless presenter: writes "Alert (<kind>): <headline>", the
   description indented by two blanks, and the answer to standard error, and
   answers the default button. */
QV_API DialogItemIndex QVHeadlessAlertPresenter(const QVAlertContent *alert, void *refCon);

QV_EXTERN_C_END

#endif /* QUELVANE_ALERTS_H */
