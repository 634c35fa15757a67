// The frame driver: one do-frame request, the place-holder still, and the
// work-buffer render between the host's frame and its target.
#include "host/FrameDriver.h"

#include "engine/callpixelfx.h"
#include "host/EffectRun.h"

#include <cstring>

namespace {

// Copies srcRect of source into dstRect of dest, source pixels locked meanwhile.
void CopyWorld(GWorldPtr source, GWorldPtr dest, const Rect &srcRect, const Rect &dstRect) {
    PixMapHandle srcPM = GetGWorldPixMap(source);
    const GWorldFlags srcState = GetPixelsState(srcPM);
    LockPixels(srcPM);
    PixMapHandle dstPM = GetGWorldPixMap(dest);
    const GWorldFlags dstState = GetPixelsState(dstPM);
    LockPixels(dstPM);
    CopyBits(GetPortBitMapForCopyBits(source), GetPortBitMapForCopyBits(dest), &srcRect, &dstRect, srcCopy, nullptr);
    SetPixelsState(dstPM, dstState);
    SetPixelsState(srcPM, srcState);
}

// Whether the engine can draw straight into the host's frame instead of a
// work buffer: the frame rectangle is the frame's whole port, at the origin,
// of the source's size, unclipped, and not the source itself. The engine
// paints every pixel of its target before it reads any, so the picture is
// the same as through a work buffer and its copy into the frame.
bool DrawsStraightIntoFrame(GWorldPtr sourceFrame, const Rect &rect, const PluginParams *params) {
    if (!params->frame || params->frame == sourceFrame || !GetGWorldPixMap(params->frame)) return false;
    Rect bounds;
    GetPortBounds(params->frame, &bounds);
    if (!EqualRect(&bounds, &rect) || !EqualRect(&params->frameRect, &rect)) return false;
    RgnHandle clip = NewRgn();
    if (!clip) return false;
    Rect clipBounds;
    GetRegionBounds(GetPortClipRegion(params->frame, clip), &clipBounds);
    DisposeRgn(clip);
    Rect covered;
    return SectRect(&clipBounds, &rect, &covered) && EqualRect(&covered, &rect);
}

} // namespace

HYRefDVQuality FrameQuality(const PluginParams *params, SInt16 height) {
    return (params->proxyOnly && height <= 259) ? kDVLowQuality : kDVHighQuality;
}

SInt16 FadeOpacity(SInt32 renderFrame, SInt32 frameCount, SInt32 fadeInFrames, SInt32 fadeOutFrames) {
    if (!(fadeInFrames > 0 || fadeOutFrames != 0)) return -1;
    double percent;
    if (renderFrame < fadeInFrames) {
        percent = static_cast<double>(renderFrame) / fadeInFrames;
    } else if (renderFrame > frameCount - fadeOutFrames && fadeOutFrames > 0) {
        percent = static_cast<double>(frameCount - renderFrame) / fadeOutFrames;
    } else {
        // Past the end with no fade-out, or a negative fade-out: no fade
        // (the blend would divide by nothing or leave 0 to 255).
        return -1;
    }
    if (percent < 0.0) percent = 0.0;
    if (percent > 1.0) percent = 1.0;
    return static_cast<SInt16>(255.0 * (1.0 - percent));
}

HYPluginResult CheckFrameRequest(const PluginParams *params) {
    if (!params || !params->procs) return kPluginBadParams;
    const HYProcs *procs = params->procs;
    // A frame lent must be given back: GetFrame and ReleaseFrame come as a pair.
    if (!procs->GetFrame || !procs->ReleaseFrame) return kPluginBadParams;
    // The target must be a world of the platform library this process holds.
    if (!IsValidPort(params->frame)) return kPluginBadParams;
    if (EmptyRect(&params->frameRect)) return kPluginBadParams;
    return kPluginOK;
}

HYPluginResult EffectDrive(SInt16 which, PluginParams *params) {
    (void)which;
    if (!params || !params->clientData) return kPluginBadParams;
    const HYPluginResult usable = CheckFrameRequest(params);
    if (usable != kPluginOK) return usable;
    EffectData *data = static_cast<EffectData *>(params->clientData);
    const HYProcs *procs = params->procs;
    // The optional slots, looked at once: without Blit no fade is blended,
    // without MixAudio no sound is mixed.
    const HYBlitProcPtr blit = procs->Blit;
    const HYMixAudioProcPtr mixAudio = procs->MixAudio;

    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(params->frame, nullptr);

    const SInt16 width = static_cast<SInt16>(params->frameRect.right - params->frameRect.left);
    const SInt16 height = static_cast<SInt16>(params->frameRect.bottom - params->frameRect.top);
    const SInt32 frame = params->startFrame + params->renderFrame;
    gMostRecentStartFrame = params->startFrame;
    gMostRecentFrameCount = params->frameCount;

    HYPluginResult result = kPluginOK;
    GWorldPtr source = nullptr;
    void *cookie = nullptr;
    bool fetched = false;
    GWorldPtr keep = nullptr;
    bool keepFailed = false;
    SInt16 opacity = 0;

    if (frame >= 0) {
        SInt16 volume = 0;
        result = procs->GetFrame(params->instance, frame, &source, width, height, FrameQuality(params, height), &volume,
                                 &cookie);
        if (result == kPluginOK) {
            fetched = true;
            // Anything but a world of the platform library is refused (and
            // given back); a world of another size is used whole, scaled to
            // frameRect like the effect.
            if (!IsValidPort(source)) result = kPluginBadParams;
        }
        if (result == kPluginOK) {
            const Rect rect = {0, 0, height, width};
            const SInt16 fade =
                blit ? FadeOpacity(params->renderFrame, params->frameCount, data->fadeInFrames, data->fadeOutFrames)
                     : -1;
            if (fade >= 0) {
                const QDErr err = NewGWorld(&keep, 32, &rect, nullptr, nullptr, 0);
                if (err != noErr || !keep) {
                    // The frame cannot be rendered: reported as a failure even
                    // when the platform gave no error code.
                    if (keep) DisposeGWorld(keep);
                    keep = nullptr;
                    keepFailed = true;
                } else {
                    Rect sourceBounds;
                    GetPortBounds(source, &sourceBounds);
                    CopyWorld(source, keep, sourceBounds, rect);
                    opacity = fade;
                }
            }
            if (!keepFailed) {
                result = ApplyEffect(source, params);
                if (keep) {
                    PixMapHandle keepPM = GetGWorldPixMap(keep);
                    PixMapHandle framePM = GetGWorldPixMap(params->frame);
                    const GWorldFlags keepState = GetPixelsState(keepPM);
                    const GWorldFlags frameState = GetPixelsState(framePM);
                    LockPixels(keepPM);
                    LockPixels(framePM);
                    // The keep-copy is frameRect's size whatever the host lent.
                    result = blit(*keepPM, *framePM, &rect, &params->frameRect, opacity);
                    SetPixelsState(framePM, frameState);
                    SetPixelsState(keepPM, keepState);
                }
                if (result == kPluginOK && !params->proxyOnly && mixAudio)
                    result = mixAudio(params->instance, cookie, 256);
            }
        }
    }

    // Only a frame the host lent is given back.
    if (fetched) {
        const HYPluginResult released = procs->ReleaseFrame(params->instance, cookie);
        if (result == kPluginOK) result = released;
    }
    if (keep) DisposeGWorld(keep);
    SetGWorld(savedPort, savedDevice);
    if (result == kPluginOK && keepFailed) result = kPluginFailed;
    return result;
}

HYPluginResult MakeEffectPlaceHolder(SInt16 which, PluginParams *params) {
    // Checked before the still's run starts, so that a still that cannot be
    // made allocates nothing.
    const HYPluginResult usable = CheckFrameRequest(params);
    if (usable != kPluginOK) return usable;
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(params->frame, nullptr);

    PluginParams copy;
    std::memcpy(&copy, params, sizeof copy);
    // The still is a run of its own: a run the host's block holds stays intact.
    copy.clientData = nullptr;
    copy.renderFrame = copy.getInfo.bestThumbOffset;
    copy.selector = kPlugInitialize;
    const HYPluginResult result = EffectBegin(which, &copy);
    if (result == kPluginOK) {
        copy.selector = kPlugDoFrame;
        (void)EffectDrive(which, &copy);
    }
    // Ended whenever it holds a run, also when initialize failed after
    // allocating it: the copy is dropped on return and nothing may leak.
    if (copy.clientData) {
        copy.selector = kPlugTerminate;
        (void)EffectEnd(which, &copy);
    }

    SetGWorld(savedPort, savedDevice);
    return result;
}

HYPluginResult ApplyEffect(GWorldPtr sourceFrame, PluginParams *params) {
    EffectData *data = static_cast<EffectData *>(params->clientData);
    Rect rect;
    GetPortBounds(sourceFrame, &rect);
    OffsetRect(&rect, static_cast<SInt16>(-rect.left), static_cast<SInt16>(-rect.top));

    PixMapHandle srcPM = GetGWorldPixMap(sourceFrame);
    const GWorldFlags srcState = GetPixelsState(srcPM);
    LockPixels(srcPM);

    data->effectGWorld = nullptr;
    if (DrawsStraightIntoFrame(sourceFrame, rect, params)) {
        PixMapHandle framePM = GetGWorldPixMap(params->frame);
        const GWorldFlags frameState = GetPixelsState(framePM);
        LockPixels(framePM);
        ApplyLineArtEffect(sourceFrame, params->frame, params);
        SetPixelsState(framePM, frameState);
        SetPixelsState(srcPM, srcState);
        return kPluginOK;
    }
    const QDErr err = NewGWorld(&data->effectGWorld, 32, &rect, nullptr, nullptr, 0);
    const bool made = err == noErr && data->effectGWorld;
    if (made) {
        // The work buffer is not filled from the source first: the engine
        // paints all of it before reading any.
        PixMapHandle workPM = GetGWorldPixMap(data->effectGWorld);
        const GWorldFlags workState = GetPixelsState(workPM);
        LockPixels(workPM);
        ApplyLineArtEffect(sourceFrame, data->effectGWorld, params);
        PixMapHandle framePM = GetGWorldPixMap(params->frame);
        const GWorldFlags frameState = GetPixelsState(framePM);
        LockPixels(framePM);
        CopyBits(GetPortBitMapForCopyBits(data->effectGWorld), GetPortBitMapForCopyBits(params->frame), &rect,
                 &params->frameRect, srcCopy, nullptr);
        SetPixelsState(framePM, frameState);
        SetPixelsState(workPM, workState);
    }
    SetPixelsState(srcPM, srcState);
    if (data->effectGWorld) DisposeGWorld(data->effectGWorld);
    data->effectGWorld = nullptr;

    if (made) return kPluginOK;
    return err == memFullErr ? kPluginOutOfMemory : kPluginFailed;
}

void ApplyLineArtEffect(GWorldPtr sourceFrame, GWorldPtr targetFrame, PluginParams *params) {
    EffectData *data = static_cast<EffectData *>(params->clientData);
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(targetFrame, nullptr);
    SInt16 opacity = 0;
    DoEffect(data->pascalData, params, sourceFrame, targetFrame, params->renderFrame, data->fadeInFrames,
             data->fadeOutFrames, params->frameCount, data->sliderValues[0], data->sliderValues[1],
             data->sliderValues[2], &opacity);
    SetGWorld(savedPort, savedDevice);
}
