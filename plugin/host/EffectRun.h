// EffectRun.h: one render run, from the host's initialize request to its
// terminate request. EffectBegin takes a private copy of the shared
// configuration and the host's filter settings (slider values, fade lengths,
// clamped to the clip) into an EffectData record hung off
// PluginParams.clientData; EffectEnd releases it.
//
// Ownership: the run owns its EffectData, the configuration copy in
// pascalData and, through the copy, its duplicate of TheRendered; all are
// allocated through the host's NewPtrClear and freed with its DisposePtr.
// effectGWorld is the work buffer of one do-frame request and is empty
// between requests.
#ifndef QUELVANE_EFFECTRUN_H
#define QUELVANE_EFFECTRUN_H

#include "HYPluginInterface.h"
#include "engine/PluginDefines.h"

struct EffectData {
    SInt32 frameCount;                          // not used (stays 0)
    SInt32 effectSourceCount;                   // number of source clips: 1
    Float32 sliderValues[kHYFilterSliderCount]; // the host's slider values at the start
    SInt32 fadeInFrames;                        // clamped to the clip
    SInt32 fadeOutFrames;                       // clamped to the clip
    GWorldPtr effectGWorld;                     // work buffer of one do-frame request
    PluginDataRec *pascalData;                  // the run's private configuration copy
};
typedef EffectData *EffectDataPtr;

// startFrame and frameCount of the latest do-frame request (written by the
// frame driver, read by the dialog). Never reset.
extern SInt32 gMostRecentStartFrame;
extern SInt32 gMostRecentFrameCount;

// Initialize request: starts a run (or restarts the one in clientData,
// releasing its previous configuration copy). Answers the host's
// GetFilterInfo result, or kPluginOutOfMemory when the run's records cannot
// be allocated (clientData is then left empty).
HYPluginResult EffectBegin(SInt16 which, PluginParams *params);

// Terminate request: releases the run in clientData, if any, and empties it.
HYPluginResult EffectEnd(SInt16 which, PluginParams *params);

// Clamps the fade lengths against a clip of frameCount frames: with both
// fades set, each is at most frameCount / 2; a single fade is at most
// frameCount. Negative fades are left alone.
void ClampFades(SInt32 &fadeInFrames, SInt32 &fadeOutFrames, SInt32 frameCount);

#endif // QUELVANE_EFFECTRUN_H
