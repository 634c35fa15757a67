// iMovieGlue.h: fetching a frame of the clip from the host into a buffer of
// the caller's, for the settings window's frame scrubber.
//
// Ownership: theGW belongs to the caller; the host's frame is given back
// (ReleaseFrame) before returning and never disposed of here: frames belong
// to the host.
#ifndef QUELVANE_IMOVIEGLUE_H
#define QUELVANE_IMOVIEGLUE_H

#include "HYPluginInterface.h"

QV_EXTERN_C_BEGIN

// Asks the host for frame params->startFrame + frameIndex at theGW's size and
// copies it into theGW (scaled when the host lent another size). Answers the
// host's result (that of ReleaseFrame once a frame was lent), -1 without
// asking when the frame number is negative, kPluginBadParams when the host
// offers no GetFrame or ReleaseFrame or lends something that is no world of
// the platform library (it is given back).
// disposeAfterUse is accepted for the callers' sake and has no effect.
SInt32 GetFrameIntoGW(GWorldPtr theGW, PluginParams *params, SInt32 frameIndex, SInt32 disposeAfterUse);

QV_EXTERN_C_END

#endif // QUELVANE_IMOVIEGLUE_H
