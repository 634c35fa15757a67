// callpixelfx.h: the entry procedures of the renderer. DoEffect is the host
// path (called by the frame driver for every frame of a render run),
// CallPixelEffect the dialog's preview render; both reach TheLineEffect
// through PixelDrive with the crop rectangle Rel2Rect(StartRel, port
// rectangle of the destination).
//
// Ownership: the caller owns the buffers and the configuration. The current
// graphics world and device are the same after each call as before.
#ifndef QUELVANE_CALLPIXELFX_H
#define QUELVANE_CALLPIXELFX_H

#include "engine/PluginDefines.h"

// Renders one frame of the clip from theSource into theTarget with
// myConfig; a NULL myConfig is a fatal assertion. params, the fade lengths,
// the host's slider values s1 to s3 and opacity (may be NULL; not written)
// do not change the picture: fades are the frame driver's.
void DoEffect(PluginDataRec *myConfig, PluginParams *params, GrafPtr theSource, GrafPtr theTarget,
              SInt32 currentFrameIndex, SInt32 fadeInFrames, SInt32 fadeOutFrames, SInt32 totalFrames, float s1,
              float s2, float s3, SInt16 *opacity);

// The host path's render of one frame: the crop is StartRel in dest's frame.
void DoPascalPixelEffect(GrafPtr source, GrafPtr dest, const PluginDataRec *theConfig, SInt32 currentFrameIndex,
                         SInt32 maxFrames);

// The dialog's preview: the whole source is first copied, scaled, onto dest,
// then rendered over with the workspace's configuration and frame position
// (gConfigWorkspace, valid while the dialog is open).
void CallPixelEffect(GrafPtr source, GrafPtr dest);

// TheLineEffect with copyRest true, and nothing else.
void PixelDrive(GrafPtr source, GrafPtr dest, const Rect &theRect, const PluginDataRec *theConfig,
                SInt32 currentFrame, SInt32 numFrames);

#endif // QUELVANE_CALLPIXELFX_H
