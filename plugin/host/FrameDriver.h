// FrameDriver.h: the per-frame work of a render run. EffectDrive answers a
// do-frame request: it fetches the source frame from the host, renders the
// effect through a work buffer into the host's target, blends the untouched
// frame over it inside the fades and passes the frame's sound through.
// MakeEffectPlaceHolder renders one frame as a stand-alone run for the host's
// place-holder still.
//
// Ownership: the host owns the parameter block, its frames and the target;
// every buffer made here (the work buffer, the keep-copy for a fade) is
// disposed of before the request returns, and every frame fetched is given
// back. The current graphics world and device are restored before returning.
#ifndef QUELVANE_FRAMEDRIVER_H
#define QUELVANE_FRAMEDRIVER_H

#include "HYPluginInterface.h"
#include "quickdraw/QuickDraw.h"

// What a do-frame or place-holder request needs of the host, checked once
// before anything is asked or allocated: the GetFrame and ReleaseFrame slots,
// a target `frame` that is a world of the platform library, and a non-empty
// frameRect. kPluginOK, or kPluginBadParams when one is missing.
HYPluginResult CheckFrameRequest(const PluginParams *params);

// Do-frame request. kPluginBadParams without a render run in clientData or
// when CheckFrameRequest refuses (nothing is drawn or asked then), and when
// GetFrame lends something that is no world of the platform library (it is
// given back, nothing is drawn). A lent world of another size than asked is
// used whole, scaled to frameRect. Blit and MixAudio are optional: without
// Blit a frame in a fade is drawn without the fade, without MixAudio no
// sound is mixed.
HYPluginResult EffectDrive(SInt16 which, PluginParams *params);

// Place-holder request: initialize, one do-frame at getInfo.bestThumbOffset
// and terminate, on a private copy of the block that starts without a run,
// so that a run the host's block holds is left alone. Answers the result of
// the initialize step, or CheckFrameRequest's refusal before anything starts.
HYPluginResult MakeEffectPlaceHolder(SInt16 which, PluginParams *params);

// Renders sourceFrame through a new work buffer into params->frame at
// params->frameRect; straight into params->frame when that is the work
// buffer's twin (frameRect its whole unclipped port at the origin, of the
// source's size), which gives the same picture. kPluginOutOfMemory or
// kPluginFailed when the work buffer cannot be made (the target is then
// unchanged).
HYPluginResult ApplyEffect(GWorldPtr sourceFrame, PluginParams *params);

// The engine's render of sourceFrame into targetFrame with the run's
// configuration copy, with targetFrame as the current port.
void ApplyLineArtEffect(GWorldPtr sourceFrame, GWorldPtr targetFrame, PluginParams *params);

// The quality asked of GetFrame for a frame of `height` rows: low only for a
// proxy render of at most 259 rows.
HYRefDVQuality FrameQuality(const PluginParams *params, SInt16 height);

// The fade opacity of frame renderFrame of a clip of frameCount frames: 255
// on the first frame of a fade-in, falling toward the inside of the clip,
// rising again through the fade-out. -1 when the frame lies in no fade.
SInt16 FadeOpacity(SInt32 renderFrame, SInt32 frameCount, SInt32 fadeInFrames, SInt32 fadeOutFrames);

#endif // QUELVANE_FRAMEDRIVER_H
