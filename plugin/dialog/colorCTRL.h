// colorCTRL.h: the colour box, a custom control class of the settings
// window. It shows one colour as a filled, black-framed rectangle; its value
// is the packed colour 0x00RRGGBB (high byte of each channel). A click opens
// the colour picker and stores the picked colour as the value; the toolbox's
// standard hit handling then sends the box's command ("Col1".."Col6") to the
// window, whether or not a colour was picked.
//
// Ownership: the class exists from RegisterColorBox to UnregisterColorBox
// (one dialog session); the control keeps nothing but its value.
#ifndef QUELVANE_COLORCTRL_H
#define QUELVANE_COLORCTRL_H

#include "MacTypes.h"
#include "toolbox/CarbonEvents.h"

inline constexpr const char *cColorCtrlID = "com.dranwick.quillor.color";

void RegisterColorBox();
void UnregisterColorBox();

// The class's event handler (hit test, draw, hit).
OSStatus ColorBoxControlHandler(EventHandlerCallRef callRef, EventRef theEvent, void *userData);

// Paints theBox with theColor and frames it in black, in the current port.
void ColorBoxDraw(const Rect &theBox, const RGBColor &theColor);

// Runs the colour picker starting at inColor; true and outColor set when the
// user chose a colour, false (outColor untouched) when cancelled.
Boolean UseColorPicker(ConstStr255Param thePrompt, const RGBColor &inColor, RGBColor &outColor, Point where);

#endif // QUELVANE_COLORCTRL_H
