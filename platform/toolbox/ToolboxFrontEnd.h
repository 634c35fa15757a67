/*
 * ToolboxFrontEnd.h: how the toolbox stand-in meets the user. The toolbox
 * owns the semantics (controls, values, handler chains, commands, modal
 * loops); a front end shows its windows and turns user input into toolbox
 * actions. There are two:
 *
 *  - the on-screen front end (Qt Widgets): real windows, buttons, sliders
 *    and dialogs; custom controls show what their class drew into the
 *    window's port. Chosen automatically when a display is available
 *    (DISPLAY or WAYLAND_DISPLAY set, or QT_QPA_PLATFORM naming a platform
 *    other than "offscreen" or "minimal") and no script is loaded; tests
 *    select it explicitly to run it on Qt's offscreen platform.
 *  - the headless front end: plays a script of user actions, one action
 *    each time a modal loop waits for the user, and reports what windows
 *    show. Chosen when a script is loaded or no display is available.
 *
 * The script format (full description in platform/toolbox/HeadlessScripts.md):
 * one action per line, "#" starts a comment, texts with blanks in double
 * quotes (\" and \\ inside), a control is named by its signature (four
 * characters, quoted when they hold blanks: "ok  ") and its id.
 *
 *   set SIG ID VALUE [steps N]   drag a slider's thumb to VALUE (in N even
 *                                steps), calling its action procedure at each
 *                                step (once without live tracking), then
 *                                release it
 *   click SIG ID [at H V]        press and release a control (at its centre,
 *                                or at window point H V)
 *   choose SIG ID ITEM           choose a popup item by number or by text
 *   type SIG ID TEXT             replace an edit text's text
 *   command CODE                 send a command (ProcessHICommand)
 *   keys [shift] [option] [control] [command] | keys none
 *                                the modifier keys held from now on
 *   alert N                      answers the alert that the previous action
 *                                opened with button N (1 default, 2 cancel,
 *                                3 other)
 *   color R G B | color cancel   answers the colour picker the previous
 *                                action opened (16-bit components)
 *   file PATH... | file cancel   answers the open or save dialog the previous
 *                                action opened
 *   show                         reports the front window's state
 *   save PATH                    writes the front window's port to PNG
 *   expect value SIG ID N | expect text SIG ID TEXT |
 *   expect visible SIG ID yes|no | expect enabled SIG ID yes|no
 *                                checks what the front window shows; a
 *                                mismatch is reported and counted
 *
 * "front window" is the window of the innermost modal loop. An answer
 * (alert, color, file) is taken only by the dialog it answers: a dialog with
 * no answer next in the script is cancelled (an alert gets its default
 * button), and an answer that no dialog takes is reported and counted. When
 * the script runs out while a modal loop waits, the headless front end sends
 * the cancel command ("not!") to its window, and ends the loop itself if that
 * does not.
 *
 * Ownership: the toolbox keeps a copy of a loaded script until it is played
 * or cleared. Report lines are handed to the report procedure and not kept.
 */
#ifndef QUELVANE_TOOLBOXFRONTEND_H
#define QUELVANE_TOOLBOXFRONTEND_H

#include "MacTypes.h"

QV_EXTERN_C_BEGIN

typedef enum QVFrontEndKind { kQVFrontEndAutomatic = 0, kQVFrontEndHeadless = 1, kQVFrontEndScreen = 2 } QVFrontEndKind;

/* Chooses the front end. Refused (paramErr) while windows exist and the
   choice would change the front end in use; the screen front end is refused
   (-1) when no graphical platform can be opened. */
QV_API OSStatus QVToolboxSelectFrontEnd(QVFrontEndKind inKind);
/* The front end in use (deciding now if automatic). */
QV_API QVFrontEndKind QVToolboxGetFrontEnd(void);

/* Loads a script (replacing one loaded before) and selects the headless
   front end. paramErr with the reason and line in outError when a line
   cannot be understood; nothing is loaded then. A script file must be a
   regular file of at most kQVMaxScriptBytes (paramErr otherwise; fnfErr
   when it cannot be opened). */
enum { kQVMaxScriptBytes = 1 << 20 };
QV_API OSStatus QVToolboxLoadScript(const char *inText, size_t inLength, char *outError, size_t outErrorSize);
QV_API OSStatus QVToolboxLoadScriptFile(const char *inPath, char *outError, size_t outErrorSize);
QV_API void QVToolboxClearScript(void);
/* Actions of the loaded script not played yet. */
QV_API size_t QVToolboxScriptActionsLeft(void);
/* Failed expectations, actions that could not be played (missing control,
   disabled control, answer nobody asked for) and loops the script left
   waiting, since the script was loaded. */
QV_API UInt32 QVToolboxScriptProblems(void);

/* Where report lines go (without the line end); NULL restores the default,
   standard output. */
typedef void (*QVToolboxReportProc)(const char *inLine, void *inUserData);
QV_API void QVToolboxSetReportProc(QVToolboxReportProc inProc, void *inUserData);

/* What a window shows, as text: the window line, then one line per control
   with its kind, ID, value, range, text and state. Returns the length of
   the whole text; writes at most outSize bytes including the zero. */
QV_API size_t QVToolboxDescribeWindow(WindowRef inWindow, char *outText, size_t outSize);
/* Writes the window's port as a PNG file (opaque RGB). */
QV_API OSStatus QVToolboxSavePortImage(WindowRef inWindow, const char *inPath);

/* Sets the modifier keys the headless front end reports (the "keys"
   action does the same). */
QV_API void QVToolboxSetKeyModifiers(UInt32 inModifiers);

/* Makes the given signals (SIGINT, SIGTERM, SIGHUP, ...) cancel the open
   windows: from the moment one arrives, every modal loop that waits is
   ended as the window's cancel button (or the cancel command) ends it, the
   innermost first, and loops that start later end at once. The handler that
   was installed for the signal before is still called after ours (unless it
   was the default action or ignoring). Stays in force for the process.
   paramErr for a signal that cannot be caught. */
QV_API OSStatus QVToolboxCancelOnSignals(const int *inSignals, size_t inCount);
/* The first of those signals that arrived, or 0. */
QV_API int QVToolboxInterruptSignal(void);

QV_EXTERN_C_END

#endif /* QUELVANE_TOOLBOXFRONTEND_H */
