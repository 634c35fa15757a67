// Frame fetch for the settings window's scrubber.
#include "host/iMovieGlue.h"

#include "host/FrameDriver.h"
#include "quickdraw/QuickDraw.h"

SInt32 GetFrameIntoGW(GWorldPtr theGW, PluginParams *params, SInt32 frameIndex, SInt32 disposeAfterUse) {
    // Frames belong to the host, which takes them back with ReleaseFrame;
    // disposing of one here would free the host's memory under it.
    (void)disposeAfterUse;
    if (!theGW || !params || !params->procs) return kPluginBadParams;
    if (!params->procs->GetFrame || !params->procs->ReleaseFrame) return kPluginBadParams;
    Rect dest;
    GetPortBounds(theGW, &dest);
    const SInt16 width = static_cast<SInt16>(dest.right - dest.left);
    const SInt16 height = static_cast<SInt16>(dest.bottom - dest.top);
    frameIndex += params->startFrame;
    if (frameIndex < 0) return -1;
    const HYRefDVQuality quality = FrameQuality(params, height);

    GWorldPtr clip = nullptr;
    void *cookie = nullptr;
    SInt16 volume = 0;
    SInt32 result = params->procs->GetFrame(params->instance, frameIndex, &clip, width, height, quality, &volume, &cookie);
    if (clip) {
        // Only a world of the platform library is copied from; it is given
        // back either way.
        const bool usable = IsValidPort(clip);
        if (result == kPluginOK && usable) {
            PixMapHandle clipPM = GetGWorldPixMap(clip);
            const GWorldFlags state = GetPixelsState(clipPM);
            LockPixels(clipPM);
            Rect bounds;
            GetPortBounds(clip, &bounds);
            CopyBits(GetPortBitMapForCopyBits(clip), GetPortBitMapForCopyBits(theGW), &bounds, &dest, srcCopy, nullptr);
            SetPixelsState(clipPM, state);
        }
        const SInt32 released = params->procs->ReleaseFrame(params->instance, cookie);
        result = result == kPluginOK && !usable ? kPluginBadParams : released;
    }
    return result;
}
