// Frame fetch for the settings window's scrubber.
#include "host/iMovieGlue.h"

#include "quickdraw/QuickDraw.h"

SInt32 GetFrameIntoGW(GWorldPtr theGW, PluginParams *params, SInt32 frameIndex, SInt32 disposeAfterUse) {
    // Frames belong to the host, which takes them back with ReleaseFrame;
    // disposing of one here would free the host's memory under it.
    (void)disposeAfterUse;
    if (!theGW || !params || !params->procs) return kPluginBadParams;
    Rect dest;
    GetPortBounds(theGW, &dest);
    const SInt16 width = static_cast<SInt16>(dest.right - dest.left);
    const SInt16 height = static_cast<SInt16>(dest.bottom - dest.top);
    frameIndex += params->startFrame;
    if (frameIndex < 0) return -1;
    const HYRefDVQuality quality = (params->proxyOnly && height <= 259) ? kDVLowQuality : kDVHighQuality;

    GWorldPtr clip = nullptr;
    void *cookie = nullptr;
    SInt16 volume = 0;
    SInt32 result = params->procs->GetFrame(params->instance, frameIndex, &clip, width, height, quality, &volume, &cookie);
    if (clip) {
        if (result == kPluginOK) {
            PixMapHandle clipPM = GetGWorldPixMap(clip);
            const GWorldFlags state = GetPixelsState(clipPM);
            LockPixels(clipPM);
            Rect bounds;
            GetPortBounds(clip, &bounds);
            CopyBits(GetPortBitMapForCopyBits(clip), GetPortBitMapForCopyBits(theGW), &bounds, &dest, srcCopy, nullptr);
            SetPixelsState(clipPM, state);
        }
        result = params->procs->ReleaseFrame(params->instance, cookie);
    }
    return result;
}
