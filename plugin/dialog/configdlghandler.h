// configdlghandler.h: the settings window. The host's custom-button request
// fetches a frame of the clip and opens the modal window of the saved video
// format on the shared configuration; every command of the window edits the
// record in place and refreshes the live preview. OK saves the record,
// Cancel puts it back byte for byte as it was when the window opened, and a
// change of video format closes the window and opens the one of the new
// format on the same record.
//
// Ownership: the record belongs to the caller (the shared configuration);
// the dialog owns the preview buffer and, while it runs, the images a new
// picture replaced: they are kept until the dialog ends, so that Cancel can
// restore the old references, and then released unless the record refers
// to them again. The source frame belongs to whoever fetched it
// (CustomButton gives it back to the host); when the host gives none, the
// dialog makes and disposes of a black frame of the format's size.
#ifndef QUELVANE_CONFIGDLGHANDLER_H
#define QUELVANE_CONFIGDLGHANDLER_H

#include "HYPluginInterface.h"
#include "engine/PluginDefines.h"
#include "toolbox/CarbonEvents.h"

// Custom-button request: fetches frame renderFrame + the most recent start
// frame at the size of the configured video format, runs the dialog on the
// shared configuration and gives the frame back. The scrubber covers the
// frames of the last render run with the thumb on renderFrame, or only that
// frame when renderFrame lies outside them. Answers kPluginOK, or
// kPluginFailed when OK could not save the settings.
HYPluginResult CustomButton(SInt16 which, PluginParams *params);

// Runs the dialog on theData with theGW as source frame (NULL: a black
// frame of theData's format); scrubber position p shows frame
// firstFrameIndex + p, and the window opens at currentIndex (kept within
// the positions). Returns when the dialog has closed: false when OK could
// not save the settings.
Boolean ConfigurePlugIn(PluginDataRec *theData, GWorldPtr theGW, PluginParams *params, SInt32 firstFrameIndex,
                        SInt32 numberOfFrames, SInt32 currentIndex = 0);

// Opens the windows on theConfig until OK or Cancel; saves on OK (a failed
// save is told in an alert over the window and answered false), restores
// on Cancel. Expects the workspace filled and the control classes
// registered (ConfigurePlugIn does both).
Boolean DoConfig(PluginDataRec *theConfig);

// Prepares a freshly opened window: workspace controls, colour boxes,
// sliders, the video format, the record's values, the preview.
void SetupDialog(WindowRef theWindow, PluginDataRec *theConfig);
// Prepares the six colour boxes (range, value; hidden with their legends).
void SetupColors(WindowRef theWindow, PluginDataRec *theConfig);
// Copies the record's values into the controls and refreshes the preview.
void Config2Dlg(PluginDataRec *theConfig);

// The window's handler of command events; userData is the window. noErr for
// the window's own commands, eventNotHandledErr for any other.
OSStatus TheDialogHandler(EventHandlerCallRef callRef, EventRef theEvent, void *userData);

// The video format whose window a format opens: 1, 2 or 3 (unknown: 1).
SInt16 ShownMediaType(SInt16 mediaType);
// The window name of a video format ("configNTSC" for unknown formats).
const char *ConfigWindowName(SInt16 mediaType);
// Width and height of the frame of a video format (720 x 480 for unknown).
void MediaFrameSize(SInt16 mediaType, SInt16 &width, SInt16 &height);

#endif // QUELVANE_CONFIGDLGHANDLER_H
