// The host's callbacks on a real clip, and the loading of plug-in bundles.
#include "HostSession.h"

#include "Blit.h"
#include "HostError.h"
#include "StageTimes.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "memory/MacMemory.h"
#include "quickdraw/QuickDraw.h"

namespace qvhost {

namespace fs = std::filesystem;

int MaxFrameWidth() { return std::min<int>(kMaxGWorldWidth32, SHRT_MAX); }
int MaxFrameHeight() { return SHRT_MAX; }

std::string DefaultBundlePath() {
    if (const char *env = std::getenv("QUELVANE_BUNDLE"); env && *env) return env;
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = 0;
        // Beside bin/ in the build tree; under lib/quelvane/ when installed.
        const fs::path root = fs::path(self).parent_path().parent_path();
        std::error_code ec;
        if (fs::is_directory(root / "Quelvane.plugin", ec)) return (root / "Quelvane.plugin").string();
        return (root / "lib" / "quelvane" / "Quelvane.plugin").string();
    }
    return "Quelvane.plugin";
}

PluginLibrary::PluginLibrary(const std::string &path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) throw HostError(kExitPlugin, "plug-in not found: " + path);
    if (fs::is_directory(path, ec)) {
        const fs::path dir = fs::path(path) / "Contents" / "Linux";
        const fs::path named = dir / (fs::path(path).filename().replace_extension("").string() + ".so");
        if (fs::is_regular_file(named, ec)) {
            library_ = named.string();
        } else if (fs::is_directory(dir, ec)) {
            for (const auto &entry : fs::directory_iterator(dir, ec))
                if (entry.path().extension() == ".so") {
                    library_ = entry.path().string();
                    break;
                }
        }
        if (library_.empty()) throw HostError(kExitPlugin, path + ": not a plug-in bundle (no library in Contents/Linux)");
    } else {
        library_ = path;
    }
    handle_ = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *why = dlerror();
        throw HostError(kExitPlugin, "cannot load the plug-in " + library_ + ": " + (why ? why : "unknown error"));
    }
    void *sym = dlsym(handle_, "main");
    // The entry point must be the library's own, not one it happens to see.
    Dl_info where{};
    if (sym && dladdr(sym, &where) && where.dli_fname) {
        std::error_code e1, e2;
        if (!fs::equivalent(where.dli_fname, library_, e1) || e1) sym = nullptr;
        (void)e2;
    }
    if (!sym) throw HostError(kExitPlugin, "the plug-in " + library_ + " has no entry point `main`");
    main_ = reinterpret_cast<HYPluginMainProcPtr>(sym);
}

FrameBuffer NewWorldBuffer(int width, int height) {
    Rect r{0, 0, static_cast<SInt16>(height), static_cast<SInt16>(width)};
    GWorldPtr world = nullptr;
    const QDErr err = NewGWorld(&world, 32, &r, nullptr, nullptr, 0);
    if (err != noErr || !world) {
        if (err == memFullErr) throw std::bad_alloc();
        throw HostError(kExitRenderFailed, "cannot make a " + std::to_string(width) + " x " + std::to_string(height) +
                                               " picture buffer (error " + std::to_string(err) + ")");
    }
    PixMapHandle pm = GetGWorldPixMap(world);
    LockPixels(pm);
    FrameBuffer b;
    b.world = world;
    b.pixels = reinterpret_cast<uint8_t *>(GetPixBaseAddr(pm));
    b.rowBytes = GetPixRowBytes(pm);
    b.width = width;
    b.height = height;
    return b;
}

void DisposeWorldBuffer(const FrameBuffer &buffer) {
    if (buffer.world) DisposeGWorld(static_cast<GWorldPtr>(buffer.world));
}

void ClearBuffer(const FrameBuffer &b) {
    for (int y = 0; y < b.height; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(b.pixels + y * b.rowBytes);
        // A, R, G, B in memory: alpha is the first byte.
        const uint8_t black[4] = {255, 0, 0, 0};
        uint32_t word;
        std::memcpy(&word, black, 4);
        std::fill(row, row + b.width, word);
    }
}

namespace {

HostSession *gActive = nullptr;  // the session whose plug-in call is running

Ptr HostNewPtr(SInt32 size) { return NewPtr(size); }
Ptr HostNewPtrClear(SInt32 size) { return NewPtrClear(size); }
void HostDisposePtr(Ptr block) {
    if (block) DisposePtr(block);
}

HostSession *SessionOf(void *instance) { return static_cast<HostSession *>(instance); }

}  // namespace

std::string ResultName(SInt32 result) {
    static const char *const kNames[] = {"kPluginOK",          "kPluginCancel",         "kPluginFinished",
                                         "kPluginBadParams",   "kPluginOutOfMemory",    "kPluginOutOfDiskSpace",
                                         "kPluginFailed",      "kPluginCantGetNeededFrame", "kPluginUnimplemented",
                                         "kPluginTryAgainLater", "kPluginAppIsTooOld",  "kPluginAppIsTooNew"};
    if (result >= 0 && result < static_cast<SInt32>(std::size(kNames))) return kNames[result];
    return "result " + std::to_string(result);
}

HostSession::HostSession(const PluginLibrary &plugin, ClipSource &source, const FilterSettings &filter, bool withAudio)
    : plugin_(plugin), source_(source),
      reader_(source, NewWorldBuffer, DisposeWorldBuffer, 3, withAudio && source.info().hasAudio) {
    for (int i = 0; i < kHYFilterSliderCount; ++i) filterInfo_.sliderValues[i] = filter.sliders[i];
    filterInfo_.fadeInFrames = filter.fadeIn;
    filterInfo_.fadeOutFrames = filter.fadeOut;
    procs_.NewPtr = HostNewPtr;
    procs_.NewPtrClear = HostNewPtrClear;
    procs_.DisposePtr = HostDisposePtr;
    procs_.GetFrame = GetFrameProc;
    procs_.ReleaseFrame = ReleaseFrameProc;
    procs_.GetMovieInfo = GetMovieInfoProc;
    procs_.GetClipInfo = GetClipInfoProc;
    procs_.Blit = BlitProc;
    procs_.MixAudio = MixAudioProc;
    procs_.GetFilterInfo = GetFilterInfoProc;
    procs_.ReleaseFilterInfo = ReleaseFilterInfoProc;
}

HostSession::~HostSession() {
    for (auto *s : lent_) reader_.release(s);
    if (gActive == this) gActive = nullptr;
}

void HostSession::prepare(PluginParams &params) {
    std::memset(&params, 0, sizeof params);
    params.interfaceVersion = kHostInterfaceVersion;
    params.instance = this;
    params.procs = &procs_;
}

SInt32 HostSession::call(PluginParams &params) {
    HostSession *previous = gActive;
    gActive = this;
    StageClock clock(Stage::PlugIn);
    const SInt32 r = plugin_.call(&params);
    gActive = previous;
    return r;
}

std::string HostSession::takeError() {
    std::string e;
    e.swap(error_);
    return e;
}

HYPluginResult HostSession::GetFrameProc(void *instance, SInt32 frameNumber, GWorldPtr *outFrame, SInt16 width,
                                         SInt16 height, HYRefDVQuality quality, SInt16 *outVolume, void **outCookie) {
    HostSession *s = SessionOf(instance);
    if (!s || !outFrame || !outCookie) return kPluginBadParams;
    *outFrame = nullptr;
    *outCookie = nullptr;
    if (width <= 0 || height <= 0 || width > MaxFrameWidth()) {
        s->error_ = "the plug-in asked for a frame of " + std::to_string(width) + " x " + std::to_string(height);
        return kPluginBadParams;
    }
    if (frameNumber < 0 || frameNumber >= s->source_.info().frameCount) {
        s->error_ = "the plug-in asked for frame " + std::to_string(frameNumber) + ", outside the clip";
        return kPluginCantGetNeededFrame;
    }
    try {
        FrameReader::Slot *slot = s->reader_.acquire(frameNumber, width, height, quality != kDVLowQuality);
        s->lent_.push_back(slot);
        *outFrame = static_cast<GWorldPtr>(slot->buf.world);
        *outCookie = slot;
        if (outVolume) *outVolume = 256;
        return kPluginOK;
    } catch (const std::bad_alloc &) {
        s->error_ = "out of memory for frame " + std::to_string(frameNumber);
        return kPluginOutOfMemory;
    } catch (const std::exception &e) {
        s->error_ = e.what();
        return kPluginFailed;
    }
}

HYPluginResult HostSession::ReleaseFrameProc(void *instance, void *cookie) {
    HostSession *s = SessionOf(instance);
    if (!s) return kPluginBadParams;
    auto it = std::find(s->lent_.begin(), s->lent_.end(), static_cast<FrameReader::Slot *>(cookie));
    if (it == s->lent_.end()) {
        s->error_ = "the plug-in gave back a frame it was not lent";
        return kPluginBadParams;
    }
    s->lent_.erase(it);
    s->reader_.release(static_cast<FrameReader::Slot *>(cookie));
    return kPluginOK;
}

HYPluginResult HostSession::BlitProc(const PixMap *source, PixMap *dest, const Rect *sourceRect, const Rect *destRect,
                                     SInt16 opacity) {
    return BlitPixMaps(source, dest, sourceRect, destRect, opacity);
}

HYPluginResult HostSession::MixAudioProc(void *instance, void *cookie, SInt32 level) {
    HostSession *s = SessionOf(instance);
    if (!s) return kPluginBadParams;
    auto *slot = static_cast<FrameReader::Slot *>(cookie);
    if (std::find(s->lent_.begin(), s->lent_.end(), slot) == s->lent_.end()) {
        s->error_ = "the plug-in mixed the sound of a frame it was not lent";
        return kPluginBadParams;
    }
    ++s->mixCount_;
    AudioChunk *out = s->mixTarget_;
    if (!out || slot->audio.planes.empty()) return kPluginOK;
    const float gain = static_cast<float>(level) / 256.0f;
    const size_t channels = std::min(out->planes.size(), slot->audio.planes.size());
    for (size_t c = 0; c < channels; ++c) {
        const size_t n = std::min(out->planes[c].size(), slot->audio.planes[c].size());
        for (size_t i = 0; i < n; ++i) out->planes[c][i] += slot->audio.planes[c][i] * gain;
    }
    return kPluginOK;
}

HYPluginResult HostSession::GetFilterInfoProc(void *instance, HYPluginFilterInfo **outInfo) {
    HostSession *s = SessionOf(instance);
    if (!s || !outInfo) return kPluginBadParams;
    *outInfo = &s->filterInfo_;
    s->filterLent_ = true;
    return kPluginOK;
}

HYPluginResult HostSession::ReleaseFilterInfoProc(void *instance, HYPluginFilterInfo *info) {
    HostSession *s = SessionOf(instance);
    if (!s || info != &s->filterInfo_) return kPluginBadParams;
    s->filterLent_ = false;
    return kPluginOK;
}

HYPluginResult HostSession::GetMovieInfoProc(HYRefDigitalVideoStandard *outStandard, SInt16 *ioWidth, SInt16 *ioHeight,
                                             SInt32 *outTotalFrames) {
    (void)ioWidth;
    (void)ioHeight;  // the frame rectangle's size, preset by the plug-in, stands
    HostSession *s = gActive;
    if (!s) return kPluginBadParams;
    const ClipInfo &c = s->source_.info();
    if (outStandard) {
        const double fps = av_q2d(c.frameRate);
        *outStandard = std::abs(fps - 25.0) < 0.01 ? kRefPALStandard
                       : (std::abs(fps - 30000.0 / 1001.0) < 0.01 || std::abs(fps - 30.0) < 0.01) ? kRefNTSCStandard
                                                                                                  : kRefUnknownStandard;
    }
    if (outTotalFrames) *outTotalFrames = static_cast<SInt32>(std::min<int64_t>(c.frameCount, INT32_MAX));
    return kPluginOK;
}

HYPluginResult HostSession::GetClipInfoProc(void *instance, SInt32 whichClip, HYPluginClipInfo *outInfo) {
    if (!SessionOf(instance) || whichClip != 1) return kPluginBadParams;
    if (outInfo) std::memset(outInfo, 0, sizeof *outInfo);
    return kPluginOK;
}

}  // namespace qvhost
