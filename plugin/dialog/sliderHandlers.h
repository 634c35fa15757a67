// sliderHandlers.h: the settings window's sliders and frame scrubber, and
// the live preview they drive. The workspace's SourceClip holds a frame of
// the clip, CallPixelEffect renders it with the current record into
// TheFXClip, and the preview control copies TheFXClip to the screen when its
// value flips. Sliders 1 and 2 and the scrubber follow the thumb while it is
// dragged: the record, the value text and the preview change at each step.
//
// Ownership: action procedures are installed on the controls of each window
// and go with the window. Nothing here allocates; frames fetched from the
// host are drawn into SourceClip and given back by GetFrameIntoGW.
#ifndef QUELVANE_SLIDERHANDLERS_H
#define QUELVANE_SLIDERHANDLERS_H

#include "MacTypes.h"
#include "toolbox/Controls.h"

// Sets up the sliders of a freshly opened window: sliders in use get their
// value, value text and action procedure; the others are hidden with their
// texts and labels; the scrubber gets its range, position and text. A
// missing slider or scrubber is a fatal assertion.
void SetupSliders(WindowRef theWindow);

// Action procedures of slider n while its thumb is dragged: the record's
// Sliders[n] and the "Lgnd" n text follow the value, then the preview is
// rendered again.
void Slider1Action(ControlRef theControl, ControlPartCode partCode);
void Slider2Action(ControlRef theControl, ControlPartCode partCode);
void Slider3Action(ControlRef theControl, ControlPartCode partCode);
void Slider4Action(ControlRef theControl, ControlPartCode partCode);
void Slider5Action(ControlRef theControl, ControlPartCode partCode);
void Slider6Action(ControlRef theControl, ControlPartCode partCode);

// Action procedure of the scrubber: position, its text, the frame at that
// position and the preview follow the thumb.
void ClipSliderAction(ControlRef theControl, ControlPartCode partCode);

// Fetches frame MinFrameIndex + position from the host into SourceClip (a
// frame the host cannot give leaves the previous one) and re-renders.
void AccessRenderAndBlit(SInt32 position);

// Renders the preview from SourceClip with the current record and makes
// the preview control redraw.
void RerenderAndBlit();

// The scrubber's text: position "/" MaxFrameIndex.
void ScrubberText(SInt32 position, Str255 theText);

#endif // QUELVANE_SLIDERHANDLERS_H
