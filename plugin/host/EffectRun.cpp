// The render run lifecycle.
#include "host/EffectRun.h"

#include "engine/DataHandling.h"
#include "host/PluginEntry.h"
#include "quickdraw/QuickDraw.h"

SInt32 gMostRecentStartFrame = 0;
SInt32 gMostRecentFrameCount = 0;

namespace {

// Releases a run's configuration copy and empties the field.
void ReleaseRunConfig(EffectData *data, HYProcs *procs) {
    if (!data->pascalData) return;
    pUncopyConfig(data->pascalData);
    pForgetConfigBlock(data->pascalData);
    procs->DisposePtr(reinterpret_cast<Ptr>(data->pascalData));
    data->pascalData = nullptr;
}

void ReleaseWorkBuffer(EffectData *data) {
    if (!data->effectGWorld) return;
    DisposeGWorld(data->effectGWorld);
    data->effectGWorld = nullptr;
}

} // namespace

void ClampFades(SInt32 &fadeInFrames, SInt32 &fadeOutFrames, SInt32 frameCount) {
    const SInt32 half = frameCount / 2;
    if (fadeInFrames != 0 && fadeOutFrames != 0) {
        if (fadeInFrames > half) fadeInFrames = half;
        if (fadeOutFrames > half) fadeOutFrames = half;
    } else if (fadeInFrames != 0) {
        if (fadeInFrames > frameCount) fadeInFrames = frameCount;
    } else if (fadeOutFrames != 0) {
        if (fadeOutFrames > frameCount) fadeOutFrames = frameCount;
    }
}

HYPluginResult EffectBegin(SInt16 which, PluginParams *params) {
    (void)which;
    HYProcs *procs = params->procs;
    auto *data = static_cast<EffectData *>(params->clientData);
    if (!data) {
        data = reinterpret_cast<EffectData *>(procs->NewPtrClear(sizeof(EffectData)));
        if (!data) return kPluginOutOfMemory;
        params->clientData = data;
    } else {
        // An initialize request over a run that was never terminated reuses
        // its record; the old copy is released so it neither leaks nor
        // renders again.
        ReleaseRunConfig(data, procs);
        ReleaseWorkBuffer(data);
    }

    UInt32 configSize = 0;
    pGetConfigSize(configSize);
    data->pascalData = reinterpret_cast<PluginDataRec *>(procs->NewPtrClear(static_cast<SInt32>(configSize)));
    if (!data->pascalData) {
        // A run without a configuration could only fail later, ending the
        // host; report the shortage now and leave no run behind.
        procs->DisposePtr(reinterpret_cast<Ptr>(data));
        params->clientData = nullptr;
        return kPluginOutOfMemory;
    }
    pNoteConfigBlock(data->pascalData, configSize);
    pCopyConfig(gPascalData, data->pascalData);
    data->effectSourceCount = 1;

    if (procs->GetMovieInfo) { // asked as the host expects; the answer is not used
        HYRefDigitalVideoStandard standard = kRefUnknownStandard;
        SInt16 width = static_cast<SInt16>(params->frameRect.right - params->frameRect.left);
        SInt16 height = static_cast<SInt16>(params->frameRect.bottom - params->frameRect.top);
        SInt32 totalFrames = 0;
        procs->GetMovieInfo(&standard, &width, &height, &totalFrames);
    }

    // Without a record from the host the run has no fades and the sliders'
    // published default values.
    for (Float32 &value : data->sliderValues) value = 0.5f;
    data->fadeInFrames = 0;
    data->fadeOutFrames = 0;
    HYPluginResult result = kPluginOK;
    HYPluginFilterInfo *filterInfo = nullptr;
    if (procs->GetFilterInfo) result = procs->GetFilterInfo(params->instance, &filterInfo);
    if (filterInfo) {
        data->fadeInFrames = filterInfo->fadeInFrames;
        data->fadeOutFrames = filterInfo->fadeOutFrames;
        for (int i = 0; i < kHYFilterSliderCount; ++i) data->sliderValues[i] = filterInfo->sliderValues[i];
        if (procs->ReleaseFilterInfo) procs->ReleaseFilterInfo(params->instance, filterInfo);
    }
    ClampFades(data->fadeInFrames, data->fadeOutFrames, params->frameCount);
    data->effectGWorld = nullptr;
    return result;
}

HYPluginResult EffectEnd(SInt16 which, PluginParams *params) {
    (void)which;
    HYProcs *procs = params->procs;
    if (procs->GetClipInfo) { // asked as the host expects; the answer is not used
        HYPluginClipInfo clipInfo;
        procs->GetClipInfo(params->instance, 1, &clipInfo);
    }
    auto *data = static_cast<EffectData *>(params->clientData);
    if (data) {
        ReleaseWorkBuffer(data);
        ReleaseRunConfig(data, procs);
        procs->DisposePtr(reinterpret_cast<Ptr>(data));
        params->clientData = nullptr;
    }
    return kPluginOK;
}
