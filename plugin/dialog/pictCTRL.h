// pictCTRL.h: the picture box, a custom control class of the settings
// window. It shows the user's picture on white, sized to the box by the
// orientation rule of the rectangle geometry and centred, framed in black
// (inverted while pressed). A click is not handled here, so the toolbox's
// standard hit handling sends the box's command ("Pict") to the window.
//
// The box's picture: a control value is 32 bits, too small for an image
// reference on 64-bit builds, so the reference travels in the control's
// reference field and the value is 1 while a picture is set, 0 for none.
// SetPictureBoxImage and GetPictureBoxImage are the only ways to reach it.
//
// Ownership: the box borrows the image; the configuration record
// (TheOriginalImage) owns it. The class exists from RegisterPictureControl
// to UnregisterPictureControl (one dialog session).
#ifndef QUELVANE_PICTCTRL_H
#define QUELVANE_PICTCTRL_H

#include "MacTypes.h"
#include "quartz/CoreGraphics.h"
#include "toolbox/CarbonEvents.h"

inline constexpr const char *cImageCtrlID = "com.dranwick.quillor.imageCTRL";

void RegisterPictureControl();
// Unregisters only when the class is registered.
void UnregisterPictureControl();

// The class's event handler (hit test, draw, hit).
OSStatus PictureControlHandler(EventHandlerCallRef callRef, EventRef theEvent, void *userData);

// Shows theImage (NULL for none) in the box and redraws it.
void SetPictureBoxImage(ControlRef theBox, CGImageRef theImage);
// The image the box shows, NULL for none.
CGImageRef GetPictureBoxImage(ControlRef theBox);

#endif // QUELVANE_PICTCTRL_H
