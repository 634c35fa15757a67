// aboutwindow.h: the about window, a small application-modal window from
// the nib "about" of the plug-in's bundle that shows the display name and
// the version of the running build. Either of its two buttons (commands
// "ok  " and "not!") closes it; other commands pass on unhandled.
//
// Ownership: the window lives for one call of ShowAbout; the current
// graphics world is the same after the call as before.
#ifndef QUELVANE_ABOUTWINDOW_H
#define QUELVANE_ABOUTWINDOW_H

#include "MacTypes.h"
#include "toolbox/CarbonEvents.h"

// Opens, runs and closes the about window; returns when it has closed.
void ShowAbout();

// The window's command handler; userData is the window.
OSStatus AboutDialogHandler(EventHandlerCallRef nextHandler, EventRef theEvent, void *userData);

// The version text shown: "Version " followed by the build's version.
void GetVersionText(Str255 theText);

#endif // QUELVANE_ABOUTWINDOW_H
