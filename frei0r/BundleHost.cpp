// The plug-in host inside a frei0r filter: loading the bundle, the callbacks,
// the render runs, and the guard that keeps the plug-in's fatal stops from
// ending the host's process.
#include "BundleHost.h"

#include "Blit.h"
#include "HYPluginInterface.h"
#include "engine/PluginDefines.h"
#include "memory/MacMemory.h"
#include "quickdraw/QuickDraw.h"
#include "toolbox/Alerts.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

namespace qvfrei0r {

namespace fs = std::filesystem;

// The interface version this host announces (the plug-in needs more than 3).
constexpr SInt16 kInterfaceVersion = 5;
// The frames a run covers as far as the plug-in knows: a frei0r host never
// says how long its clip is. Frames are numbered from 0 and wrap here.
constexpr SInt32 kRunLength = 1 << 30;

struct RenderRun {
    PluginParams params;             // the run's parameter block; clientData holds the plug-in's run
    PluginDataRec *config = nullptr; // the run's configuration copy (the plug-in's block)
    Settings applied;                // what config holds
    HYPluginFilterInfo filterInfo{}; // lent by GetFilterInfo
    bool filterInfoLent = false;
    std::unique_ptr<uint8_t[]> pixels;  // the input frame
    GWorldPtr source = nullptr;         // a world over pixels, lent by GetFrame
    bool frameLent = false;
    int width = 0, height = 0;
    SInt32 nextFrame = 0;
};

namespace {

struct Host {
    Host();
    std::mutex lock;  // held for every call into the plug-in
    bool loadTried = false;
    std::string loadError;
    HYPluginMainProcPtr entry = nullptr;
    HYProcs procs{};
    RenderRun *serving = nullptr;  // the run whose request is in progress
    // The blocks the plug-in allocates during initialize, to find the run's
    // configuration copy among them.
    bool collecting = false;
    std::vector<std::pair<Ptr, Size>> collected;
    // A stop alert came up during a request: the plug-in would have ended
    // the process. It is not called again.
    bool stopped = false;
    std::string stopText;
};

Host &TheHost();

std::string ResultName(SInt32 result) {
    static const char *const kNames[] = {"kPluginOK",           "kPluginCancel",          "kPluginFinished",
                                         "kPluginBadParams",    "kPluginOutOfMemory",     "kPluginOutOfDiskSpace",
                                         "kPluginFailed",       "kPluginCantGetNeededFrame", "kPluginUnimplemented",
                                         "kPluginTryAgainLater", "kPluginAppIsTooOld",    "kPluginAppIsTooNew"};
    if (result >= 0 && result < static_cast<SInt32>(std::size(kNames))) return kNames[result];
    return "result " + std::to_string(result);
}

// ---- Callbacks ------------------------------------------------------------

// Host blocks come from the platform's Memory Manager, the allocator the
// plug-in's own blocks come from, so that blocks it compares have sizes it
// can read.
Ptr HostNewPtr(SInt32 size) { return size < 0 ? nullptr : NewPtr(size); }

Ptr HostNewPtrClear(SInt32 size) {
    if (size < 0) return nullptr;
    Ptr p = NewPtrClear(size);
    Host &h = TheHost();
    if (p && h.collecting) h.collected.emplace_back(p, size);
    return p;
}

void HostDisposePtr(Ptr block) {
    if (!block) return;
    Host &h = TheHost();
    if (h.collecting)
        std::erase_if(h.collected, [block](const auto &entry) { return entry.first == block; });
    DisposePtr(block);
}

// The run a callback serves: only the one whose request is in progress.
RenderRun *Serving(void *instance) {
    RenderRun *run = TheHost().serving;
    return run && run == instance ? run : nullptr;
}

HYPluginResult HostGetFrame(void *instance, SInt32 frameNumber, GWorldPtr *outFrame, SInt16 width, SInt16 height,
                            HYRefDVQuality quality, SInt16 *outVolume, void **outCookie) {
    (void)quality;  // the frame is the host's one frame, whatever the quality
    RenderRun *run = Serving(instance);
    if (!run || !outFrame || !outCookie) return kPluginBadParams;
    *outFrame = nullptr;
    *outCookie = nullptr;
    // Only the frame being rendered exists, at the run's size, lent once.
    if (frameNumber != run->params.startFrame + run->params.renderFrame) return kPluginCantGetNeededFrame;
    if (width != run->width || height != run->height || run->frameLent) return kPluginBadParams;
    run->frameLent = true;
    *outFrame = run->source;
    *outCookie = run;
    if (outVolume) *outVolume = 256;
    return kPluginOK;
}

HYPluginResult HostReleaseFrame(void *instance, void *cookie) {
    RenderRun *run = Serving(instance);
    if (!run || cookie != run || !run->frameLent) return kPluginBadParams;
    run->frameLent = false;
    return kPluginOK;
}

HYPluginResult HostBlit(const PixMap *source, PixMap *dest, const Rect *sourceRect, const Rect *destRect,
                        SInt16 opacity) {
    return qvhost::BlitPixMaps(source, dest, sourceRect, destRect, opacity);
}

// A frei0r filter sees no sound: there is nothing to mix.
HYPluginResult HostMixAudio(void *instance, void *cookie, SInt32 level) {
    (void)level;
    RenderRun *run = Serving(instance);
    return run && cookie == run && run->frameLent ? kPluginOK : kPluginBadParams;
}

HYPluginResult HostGetFilterInfo(void *instance, HYPluginFilterInfo **outInfo) {
    RenderRun *run = Serving(instance);
    if (!run || !outInfo) return kPluginBadParams;
    *outInfo = &run->filterInfo;
    run->filterInfoLent = true;
    return kPluginOK;
}

HYPluginResult HostReleaseFilterInfo(void *instance, HYPluginFilterInfo *info) {
    RenderRun *run = Serving(instance);
    if (!run || info != &run->filterInfo || !run->filterInfoLent) return kPluginBadParams;
    run->filterInfoLent = false;
    return kPluginOK;
}

HYPluginResult HostGetMovieInfo(HYRefDigitalVideoStandard *outStandard, SInt16 *ioWidth, SInt16 *ioHeight,
                                SInt32 *outTotalFrames) {
    (void)ioWidth;  // the frame's own size, preset by the plug-in, stands
    (void)ioHeight;
    if (!TheHost().serving) return kPluginBadParams;
    if (outStandard) *outStandard = kRefUnknownStandard;
    if (outTotalFrames) *outTotalFrames = kRunLength;
    return kPluginOK;
}

HYPluginResult HostGetClipInfo(void *instance, SInt32 whichClip, HYPluginClipInfo *outInfo) {
    if (!Serving(instance) || whichClip != 1) return kPluginBadParams;
    if (outInfo) std::memset(outInfo, 0, sizeof *outInfo);
    return kPluginOK;
}

Host::Host() {
    procs.NewPtr = HostNewPtr;
    procs.NewPtrClear = HostNewPtrClear;
    procs.DisposePtr = HostDisposePtr;
    procs.GetFrame = HostGetFrame;
    procs.ReleaseFrame = HostReleaseFrame;
    procs.GetMovieInfo = HostGetMovieInfo;
    procs.GetClipInfo = HostGetClipInfo;
    procs.Blit = HostBlit;
    procs.MixAudio = HostMixAudio;
    procs.GetFilterInfo = HostGetFilterInfo;
    procs.ReleaseFilterInfo = HostReleaseFilterInfo;
}

Host &TheHost() {
    static Host host;
    return host;
}

// ---- Alerts during a request ----------------------------------------------

// Thrown out of a stop alert: the request unwinds instead of ending the process.
struct PluginStopped {};

std::string Utf8(CFStringRef s) {
    if (!s) return {};
    char text[512];
    QVCFStringGetUTF8(s, text, sizeof text);
    return text;
}

DialogItemIndex GuardedAlert(const QVAlertContent *alert, void *refCon) {
    if (alert && alert->alertType == kAlertStopAlert) {
        Host &h = TheHost();
        h.stopped = true;
        h.stopText = Utf8(alert->messageText);
        const std::string detail = Utf8(alert->explanationText);
        if (!detail.empty()) h.stopText += (h.stopText.empty() ? "" : ": ") + detail;
        throw PluginStopped{};
    }
    return QVHeadlessAlertPresenter(alert, refCon);
}

// One request of a run, with the lock held.
SInt32 Call(Host &h, RenderRun &run, HYPluginSelector selector) {
    run.params.selector = selector;
    h.serving = &run;
    void *previousRefCon = nullptr;
    const QVAlertPresenterProc previous = QVGetAlertPresenter(&previousRefCon);
    QVSetAlertPresenter(GuardedAlert, nullptr);
    SInt32 result;
    try {
        result = h.entry(selector, &run.params);
    } catch (...) {
        result = kPluginFailed;
    }
    QVSetAlertPresenter(previous, previousRefCon);
    h.serving = nullptr;
    return h.stopped ? kPluginFailed : result;
}

std::string StoppedReason(const Host &h) {
    return "the plug-in stopped" + (h.stopText.empty() ? std::string() : " (" + h.stopText + ")") +
           " and is not used again in this process";
}

// ---- Loading --------------------------------------------------------------

// The library of a bundle folder (Contents/Linux/<name>.so, else the first
// .so there), or the path itself when it names a file.
std::string LibraryOf(const std::string &path) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return path;
    const fs::path dir = fs::path(path) / "Contents" / "Linux";
    const fs::path named = dir / (fs::path(path).filename().replace_extension("").string() + ".so");
    if (fs::is_regular_file(named, ec)) return named.string();
    for (const auto &entry : fs::directory_iterator(dir, ec))
        if (entry.path().extension() == ".so") return entry.path().string();
    return {};
}

bool Load(Host &h) {
    if (h.loadTried) return h.entry != nullptr;
    h.loadTried = true;
    const std::string bundle = BundlePath();
    std::error_code ec;
    if (bundle.empty() || !fs::exists(bundle, ec)) {
        h.loadError = "the Quelvane bundle was not found" + (bundle.empty() ? "" : " at " + bundle) +
                      " (set QUELVANE_BUNDLE to its folder)";
        return false;
    }
    const std::string library = LibraryOf(bundle);
    if (library.empty()) {
        h.loadError = bundle + " is not a plug-in bundle (no library in Contents/Linux)";
        return false;
    }
    // Never closed: the plug-in's settings live as long as the process.
    void *handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        h.loadError = "cannot load " + library + ": " + (why ? why : "unknown error");
        return false;
    }
    void *entry = dlsym(handle, "main");
    // The entry point must be the library's own, not one it happens to see.
    Dl_info where{};
    if (entry && (!dladdr(entry, &where) || !where.dli_fname || !fs::equivalent(where.dli_fname, library, ec)))
        entry = nullptr;
    if (!entry) {
        h.loadError = library + " has no entry point `main`";
        return false;
    }
    h.entry = reinterpret_cast<HYPluginMainProcPtr>(entry);
    return true;
}

// ---- Settings in the run's configuration ----------------------------------

Settings ReadSettings(const PluginDataRec &c) {
    Settings s;
    s.cropLeft = c.StartRel.Left;
    s.cropTop = c.StartRel.Top;
    s.cropRight = c.StartRel.Right;
    s.cropBottom = c.StartRel.Bottom;
    s.zoomH = c.Sliders[0];
    s.zoomV = c.Sliders[1];
    s.turn = c.Sliders[2];
    s.fill = c.Colors[0];
    return s;
}

void WriteSettings(PluginDataRec &c, const Settings &s) {
    c.StartRel.Left = s.cropLeft;
    c.StartRel.Top = s.cropTop;
    c.StartRel.Right = s.cropRight;
    c.StartRel.Bottom = s.cropBottom;
    c.Sliders[0] = s.zoomH;
    c.Sliders[1] = s.zoomV;
    c.Sliders[2] = s.turn;
    c.Colors[0] = s.fill;
}

// Ends the plug-in's run of `run`, if it holds one and the plug-in may be called.
void Terminate(Host &h, RenderRun &run) {
    if (run.params.clientData && !h.stopped) Call(h, run, kPlugTerminate);
    run.params.clientData = nullptr;
    run.config = nullptr;
}

void FreeRun(RenderRun *run) {
    if (run->source) DisposeGWorld(run->source);
    delete run;
}

}  // namespace

int MaxFrameWidth() { return kMaxGWorldWidth32; }
int MaxFrameHeight() { return SHRT_MAX; }

std::string BundlePath() {
    if (const char *env = std::getenv("QUELVANE_BUNDLE"); env && *env) return env;
    Dl_info self{};
    if (!dladdr(reinterpret_cast<void *>(&BundlePath), &self) || !self.dli_fname) return {};
    std::error_code ec;
    const fs::path lib = fs::absolute(fs::path(self.dli_fname), ec).parent_path().parent_path();
    for (const fs::path &candidate : {lib / "quelvane" / "Quelvane.plugin", lib.parent_path() / "Quelvane.plugin"})
        if (fs::is_directory(candidate, ec)) return candidate.string();
    return (lib / "quelvane" / "Quelvane.plugin").string();
}

RenderRun *BeginRun(int width, int height, Settings &saved, std::string &why) {
    if (width < 1 || height < 1 || width > MaxFrameWidth() || height > MaxFrameHeight()) {
        why = "frames of " + std::to_string(width) + " x " + std::to_string(height) +
              " pixels are beyond what the plug-in takes (1 x 1 to " + std::to_string(MaxFrameWidth()) + " x " +
              std::to_string(MaxFrameHeight()) + ")";
        return nullptr;
    }
    Host &h = TheHost();
    std::lock_guard<std::mutex> held(h.lock);
    if (!Load(h)) {
        why = h.loadError;
        return nullptr;
    }
    if (h.stopped) {
        why = StoppedReason(h);
        return nullptr;
    }

    auto *run = new (std::nothrow) RenderRun;
    if (!run) {
        why = "out of memory";
        return nullptr;
    }
    std::memset(&run->params, 0, sizeof run->params);
    run->width = width;
    run->height = height;
    run->pixels.reset(new (std::nothrow) uint8_t[size_t(width) * size_t(height) * 4]);
    const Rect bounds = {0, 0, static_cast<SInt16>(height), static_cast<SInt16>(width)};
    if (!run->pixels || NewGWorldFromPtr(&run->source, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0,
                                         reinterpret_cast<Ptr>(run->pixels.get()), long(width) * 4) != noErr) {
        FreeRun(run);
        why = "out of memory for a frame of " + std::to_string(width) + " x " + std::to_string(height);
        return nullptr;
    }
    // The host's sliders at their published default, no fades: the picture
    // is the configuration's alone.
    for (Float32 &v : run->filterInfo.sliderValues) v = 0.5f;

    PluginParams &p = run->params;
    p.interfaceVersion = kInterfaceVersion;
    p.instance = run;
    p.procs = &h.procs;
    p.getInfo2.selectedFrames = kRunLength;
    SInt32 result = Call(h, *run, kPlugGetInfo);
    if (result == kPluginOK && p.getInfo.pluginType != kPluginFilterType) {
        why = "the bundle at " + BundlePath() + " is not a video filter";
        FreeRun(run);
        return nullptr;
    }
    if (result == kPluginOK) {
        p.startFrame = 0;
        p.renderFrame = 0;
        p.frameCount = kRunLength;
        p.proxyOnly = false;
        p.frameRect = bounds;
        p.clientData = nullptr;
        h.collecting = true;
        h.collected.clear();
        result = Call(h, *run, kPlugInitialize);
        h.collecting = false;
        // The run's configuration copy: the one block of the record's size
        // the plug-in allocated for the run and kept.
        std::vector<Ptr> records;
        for (const auto &[block, size] : h.collected)
            if (size == Size(sizeof(PluginDataRec))) records.push_back(block);
        h.collected.clear();
        if (result == kPluginOK && records.size() == 1) {
            run->config = reinterpret_cast<PluginDataRec *>(records.front());
            saved = run->applied = ReadSettings(*run->config);
            return run;
        }
        if (result == kPluginOK)
            why = "the plug-in at " + BundlePath() + " keeps its settings in a form this filter does not know";
    }
    if (why.empty()) why = h.stopped ? StoppedReason(h) : "the plug-in answered " + ResultName(result);
    Terminate(h, *run);
    FreeRun(run);
    return nullptr;
}

uint8_t *RunInput(RenderRun *run) { return run ? run->pixels.get() : nullptr; }

bool RenderFrame(RenderRun *run, const Settings &settings, uint8_t *out, std::string &why) {
    Host &h = TheHost();
    std::lock_guard<std::mutex> held(h.lock);
    if (h.stopped) {
        why = StoppedReason(h);
        return false;
    }
    if (!(settings == run->applied)) {
        WriteSettings(*run->config, settings);
        run->applied = settings;
    }
    const Rect bounds = {0, 0, static_cast<SInt16>(run->height), static_cast<SInt16>(run->width)};
    GWorldPtr target = nullptr;
    if (NewGWorldFromPtr(&target, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0, reinterpret_cast<Ptr>(out),
                         long(run->width) * 4) != noErr) {
        why = "out of memory";
        return false;
    }
    run->params.frame = target;
    run->params.renderFrame = run->nextFrame;
    const SInt32 result = Call(h, *run, kPlugDoFrame);
    run->params.frame = nullptr;
    DisposeGWorld(target);
    run->nextFrame = (run->nextFrame + 1) % kRunLength;
    run->frameLent = false;  // the frame is the run's own, given back or not
    if (result == kPluginOK) return true;
    why = h.stopped ? StoppedReason(h) : "the plug-in answered " + ResultName(result) + " for a frame";
    return false;
}

void EndRun(RenderRun *run) {
    if (!run) return;
    Host &h = TheHost();
    {
        std::lock_guard<std::mutex> held(h.lock);
        Terminate(h, *run);
    }
    FreeRun(run);
}

}  // namespace qvfrei0r
