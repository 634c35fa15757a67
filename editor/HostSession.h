// HostSession.h: the host side of the plug-in interface. PluginLibrary loads
// a plug-in bundle with dlopen and finds its entry point `main`. HostSession
// is one clip opened for a plug-in: it owns the parameter block's callback
// table (every callback the plug-in calls is implemented on the clip: frames
// from the FrameReader in 32-bit graphics worlds, Blit, MixAudio into the
// sound of the frame being rendered, the filter settings, movie and clip
// information) and lends the plug-in frames until it gives them back.
//
// All calls of a session, and all calls the plug-in makes back into it, run
// on one thread. The session's `instance` in the parameter block is the
// session itself.
#ifndef QUELVANE_EDITOR_HOSTSESSION_H
#define QUELVANE_EDITOR_HOSTSESSION_H

#include "ClipSource.h"
#include "HYPluginInterface.h"
#include "Pipeline.h"

#include <memory>
#include <string>
#include <vector>

namespace qvhost {

// The interface version this host announces (the plug-in needs more than 3).
constexpr SInt16 kHostInterfaceVersion = 5;

// The largest frame the records and the platform's pixel maps can describe.
int MaxFrameWidth();
int MaxFrameHeight();

// The bundle: $QUELVANE_BUNDLE, else Quelvane.plugin beside the program's
// bin/ folder (the build tree), else lib/quelvane/Quelvane.plugin beside it
// (an install).
std::string DefaultBundlePath();

class PluginLibrary {
public:
    // Loads a bundle folder (its library in Contents/Linux) or a library file.
    // Throws HostError (kExitPlugin) when it is missing, cannot be loaded or
    // has no `main`.
    explicit PluginLibrary(const std::string &path);
    SInt32 call(PluginParams *params) const { return main_(params->selector, params); }
    const std::string &libraryPath() const { return library_; }

private:
    std::string library_;
    HYPluginMainProcPtr main_ = nullptr;
    void *handle_ = nullptr;  // kept loaded for the life of the process
};

// A new 32-bit graphics world of width x height, pixels locked; and its disposal.
FrameBuffer NewWorldBuffer(int width, int height);
void DisposeWorldBuffer(const FrameBuffer &buffer);
// Fills a buffer with opaque black.
void ClearBuffer(const FrameBuffer &buffer);

struct FilterSettings {
    float sliders[kHYFilterSliderCount] = {0.5f, 0.5f, 0.5f};
    SInt32 fadeIn = 0;
    SInt32 fadeOut = 0;
};

class HostSession {
public:
    // withAudio: the frames' sound is read for MixAudio.
    HostSession(const PluginLibrary &plugin, ClipSource &source, const FilterSettings &filter, bool withAudio);
    ~HostSession();
    HostSession(const HostSession &) = delete;
    HostSession &operator=(const HostSession &) = delete;

    // A parameter block for this session, zeroed, with version, instance and callbacks.
    void prepare(PluginParams &params);
    // Calls the plug-in with params.selector.
    SInt32 call(PluginParams &params);

    FrameReader &reader() { return reader_; }
    const ClipInfo &clip() const { return source_.info(); }

    // The sound of the frame being rendered: MixAudio adds into it while set.
    void setMixTarget(AudioChunk *chunk) { mixTarget_ = chunk; }

    // The last failure a callback met (for the user's message); cleared by takeError.
    std::string takeError();

    // Callback bookkeeping, for the checks of a finished render.
    int framesLent() const { return static_cast<int>(lent_.size()); }
    bool filterInfoLent() const { return filterLent_; }
    int mixCount() const { return mixCount_; }

    // The callbacks (C entry points that find the session through `instance`).
    static HYPluginResult GetFrameProc(void *instance, SInt32 frameNumber, GWorldPtr *outFrame, SInt16 width,
                                       SInt16 height, HYRefDVQuality quality, SInt16 *outVolume, void **outCookie);
    static HYPluginResult ReleaseFrameProc(void *instance, void *cookie);
    static HYPluginResult BlitProc(const PixMap *source, PixMap *dest, const Rect *sourceRect, const Rect *destRect,
                                   SInt16 opacity);
    static HYPluginResult MixAudioProc(void *instance, void *cookie, SInt32 level);
    static HYPluginResult GetFilterInfoProc(void *instance, HYPluginFilterInfo **outInfo);
    static HYPluginResult ReleaseFilterInfoProc(void *instance, HYPluginFilterInfo *info);
    static HYPluginResult GetMovieInfoProc(HYRefDigitalVideoStandard *outStandard, SInt16 *ioWidth, SInt16 *ioHeight,
                                           SInt32 *outTotalFrames);
    static HYPluginResult GetClipInfoProc(void *instance, SInt32 whichClip, HYPluginClipInfo *outInfo);

private:
    const PluginLibrary &plugin_;
    ClipSource &source_;
    FrameReader reader_;
    HYProcs procs_{};
    HYPluginFilterInfo filterInfo_{};
    bool filterLent_ = false;
    std::vector<FrameReader::Slot *> lent_;
    AudioChunk *mixTarget_ = nullptr;
    int mixCount_ = 0;
    std::string error_;
};

// Name of an HYPluginResult, e.g. "kPluginFailed".
std::string ResultName(SInt32 result);

}  // namespace qvhost

#endif
