// dlgUtils.h: window-level helpers of the dialogs: opening a window from a
// nib of the plug-in's bundle (or of the running program), posting a
// command as a menu choice or button would, flushing a window's port to the
// screen, and copying a heap block.
//
// Ownership: windows returned by the nib openers belong to the caller, who
// disposes of them with DisposeWindow. CloneObject's copy belongs to the
// caller (DisposePtr). A missing bundle, nib or window never comes back as a
// nil window: the openers end the process instead (after a stop alert, or
// with a line on standard error when the window itself is missing).
#ifndef QUELVANE_DLGUTILS_H
#define QUELVANE_DLGUTILS_H

#include "MacTypes.h"
#include "toolbox/MacWindows.h"

// Has the platform process the command named by the first four characters
// of TheCommand (ProcessHICommand: sent to the user focus).
void PostCommand(ConstStr255Param TheCommand);

// Window TheWindow of nib TheNib ("main" when empty) of the running
// program's bundle.
WindowRef OpenNibWindow(const char *TheNib, const char *TheWindow);

// Window TheWindow of nib TheNib ("quelvane" when empty) of the bundle with
// identifier TheIdentifier.
WindowRef OpenNibWindowFromCFBundle(const char *TheIdentifier, const char *TheNib, const char *TheWindow);

// Shows what was drawn into the window's port.
void FlushWindowBuffer(WindowRef TheWindow);

// A new Memory Manager block of TheObject's recorded size holding a copy of
// it; nil for nil, a block of size 0 or when memory runs out.
Ptr CloneObject(Ptr TheObject);

#endif // QUELVANE_DLGUTILS_H
