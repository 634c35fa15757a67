// The test host: recorded callbacks over calloc and free.
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qvtest {

namespace {

TestHost *gCurrentHost = nullptr;

long long P(const void *p) { return static_cast<long long>(reinterpret_cast<intptr_t>(p)); }

} // namespace

// The callbacks, as plain functions of the host's table. Those without an
// instance argument answer for the current host.
struct HostCallbacks {
    static Ptr NewPtrClear(SInt32 size) {
        TestHost *host = gCurrentHost;
        if (!host) return nullptr;
        host->Record("NewPtrClear", {size});
        if (host->allocationBudget_ == 0) return nullptr;
        // calloc, as a host of our own making might: nothing in the plug-in
        // may treat these blocks as Memory Manager blocks.
        Ptr block = size > 0 ? static_cast<Ptr>(std::calloc(1, size)) : nullptr;
        if (!block) return nullptr;
        if (host->allocationBudget_ > 0) --host->allocationBudget_;
        host->liveBlocks_.insert(block);
        return block;
    }

    static void DisposePtr(Ptr block) {
        TestHost *host = gCurrentHost;
        if (!host) return;
        host->Record("DisposePtr", {P(block)});
        if (!block) return;
        if (host->liveBlocks_.erase(block) == 0) {
            ++host->foreignDisposals_; // never free what we did not hand out
            return;
        }
        std::free(block);
    }

    static HYPluginResult GetMovieInfo(HYRefDigitalVideoStandard *outStandard, SInt16 *ioWidth, SInt16 *ioHeight,
                                       SInt32 *outTotalFrames) {
        TestHost *host = gCurrentHost;
        if (!host) return kPluginFailed;
        host->Record("GetMovieInfo", {});
        if (outStandard) *outStandard = kRefNTSCStandard;
        if (ioWidth) *ioWidth = 720;
        if (ioHeight) *ioHeight = 480;
        if (outTotalFrames) *outTotalFrames = 300;
        return kPluginOK;
    }

    static TestHost *Owner(void *instance) {
        TestHost *host = gCurrentHost;
        if (host && instance != host->Instance()) ADD_FAILURE() << "a callback got a foreign instance";
        return host;
    }

    static HYPluginResult GetClipInfo(void *instance, SInt32 whichClip, HYPluginClipInfo *outInfo) {
        TestHost *host = Owner(instance);
        if (!host) return kPluginFailed;
        host->Record("GetClipInfo", {P(instance), whichClip, P(outInfo)});
        if (outInfo) std::memset(outInfo, 0, sizeof *outInfo);
        return kPluginOK;
    }

    static HYPluginResult GetFilterInfo(void *instance, HYPluginFilterInfo **outInfo) {
        TestHost *host = Owner(instance);
        if (!host) return kPluginFailed;
        host->Record("GetFilterInfo", {P(instance), P(outInfo)});
        if (!outInfo) return kPluginBadParams;
        *outInfo = nullptr;
        HYPluginResult failure;
        if (host->ShouldFail("GetFilterInfo", &failure)) return failure;
        *outInfo = &host->filterInfo_;
        ++host->filterInfoLent_;
        return kPluginOK;
    }

    static HYPluginResult ReleaseFilterInfo(void *instance, HYPluginFilterInfo *info) {
        TestHost *host = Owner(instance);
        if (!host) return kPluginFailed;
        host->Record("ReleaseFilterInfo", {P(instance), P(info)});
        if (info != &host->filterInfo_ || host->filterInfoLent_ == 0) {
            ADD_FAILURE() << "ReleaseFilterInfo with a record that was not lent";
            return kPluginBadParams;
        }
        --host->filterInfoLent_;
        return kPluginOK;
    }

    static HYPluginResult MixAudio(void *instance, void *cookie, SInt32 level) {
        TestHost *host = Owner(instance);
        if (!host) return kPluginFailed;
        host->Record("MixAudio", {P(instance), P(cookie), level});
        return host->mixAudioResult;
    }
    static HYPluginResult GetFrame(void *instance, SInt32 frameNumber, GWorldPtr *outFrame, SInt16 width,
                                   SInt16 height, HYRefDVQuality quality, SInt16 *outVolume, void **outCookie) {
        TestHost *host = Owner(instance);
        if (!host) return kPluginFailed;
        host->Record("GetFrame", {P(instance), frameNumber, P(outFrame), width, height, quality, P(outVolume),
                                  P(outCookie)});
        if (!outFrame || !outCookie) return kPluginBadParams;
        HYPluginResult failure;
        if (host->ShouldFail("GetFrame", &failure)) return failure;
        if (frameNumber < 0 || frameNumber >= 300) return kPluginCantGetNeededFrame;
        if (host->lendsForgedFrame) {
            *outCookie = reinterpret_cast<void *>(host->nextFrameCookie_++);
            host->lentFrames_[*outCookie] = nullptr;
            *outFrame = reinterpret_cast<GWorldPtr>(&host->instanceTag_);
            return kPluginOK;
        }
        if (host->forcedFrameWidth > 0) width = host->forcedFrameWidth;
        if (host->forcedFrameHeight > 0) height = host->forcedFrameHeight;
        Rect r{0, 0, height, width};
        GWorldPtr world = nullptr;
        if (NewGWorld(&world, 32, &r, nullptr, nullptr, 0) != noErr || !world) return kPluginOutOfMemory;
        PixMapHandle pm = GetGWorldPixMap(world);
        LockPixels(pm);
        UInt8 argb[4];
        TestHost::FrameColor(frameNumber, argb);
        auto *base = reinterpret_cast<UInt8 *>(GetPixBaseAddr(pm));
        const long rowBytes = GetPixRowBytes(pm);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) std::memcpy(base + y * rowBytes + 4 * x, argb, 4);
        void *cookie = reinterpret_cast<void *>(host->nextFrameCookie_++);
        host->lentFrames_[cookie] = world;
        *outFrame = world;
        *outCookie = cookie;
        if (outVolume) *outVolume = 256;
        return kPluginOK;
    }

    static HYPluginResult ReleaseFrame(void *instance, void *cookie) {
        TestHost *host = Owner(instance);
        if (!host) return kPluginFailed;
        host->Record("ReleaseFrame", {P(instance), P(cookie)});
        auto it = host->lentFrames_.find(cookie);
        if (it == host->lentFrames_.end()) {
            ++host->foreignReleases_;
            return kPluginBadParams;
        }
        if (it->second) DisposeGWorld(it->second);
        host->lentFrames_.erase(it);
        HYPluginResult failure;
        if (host->ShouldFail("ReleaseFrame", &failure)) return failure;
        return kPluginOK;
    }

    // Records the opacity only: blends are checked through the example host.
    static HYPluginResult Blit(const PixMap *, PixMap *, const Rect *, const Rect *, SInt16 opacity) {
        TestHost *host = gCurrentHost;
        if (!host) return kPluginFailed;
        host->Record("Blit", {opacity});
        HYPluginResult result = kPluginOK;
        host->ShouldFail("Blit", &result);
        return result;
    }
};

void TestHost::FrameColor(SInt32 frameNumber, UInt8 argb[4]) {
    argb[0] = 255;
    argb[1] = static_cast<UInt8>(frameNumber & 0xFF);
    argb[2] = 200;
    argb[3] = 100;
}

TestHost::TestHost() : previous_(gCurrentHost) {
    procs_.NewPtrClear = &HostCallbacks::NewPtrClear;
    procs_.DisposePtr = &HostCallbacks::DisposePtr;
    procs_.GetMovieInfo = &HostCallbacks::GetMovieInfo;
    procs_.GetClipInfo = &HostCallbacks::GetClipInfo;
    procs_.GetFilterInfo = &HostCallbacks::GetFilterInfo;
    procs_.ReleaseFilterInfo = &HostCallbacks::ReleaseFilterInfo;
    procs_.MixAudio = &HostCallbacks::MixAudio;
    procs_.GetFrame = &HostCallbacks::GetFrame;
    procs_.ReleaseFrame = &HostCallbacks::ReleaseFrame;
    procs_.Blit = &HostCallbacks::Blit;
    for (float &v : filterInfo_.sliderValues) v = 0.5f;
    gCurrentHost = this;
}

TestHost::~TestHost() {
    for (auto &lent : lentFrames_)
        if (lent.second) DisposeGWorld(lent.second);
    if (gCurrentHost == this) gCurrentHost = previous_;
}

void TestHost::Record(const std::string &name, std::vector<long long> args) {
    calls_.push_back(HostCall{name, std::move(args)});
    auto planned = throws_.find(name);
    if (planned != throws_.end()) {
        std::exception_ptr error = planned->second;
        throws_.erase(planned);
        std::rethrow_exception(error);
    }
}

std::vector<HostCall> TestHost::CallsNamed(const std::string &name) const {
    std::vector<HostCall> found;
    for (const HostCall &c : calls_)
        if (c.name == name) found.push_back(c);
    return found;
}

int TestHost::CountCalls(const std::string &name) const {
    int n = 0;
    for (const HostCall &c : calls_) n += c.name == name;
    return n;
}

void TestHost::FailCall(const std::string &name, HYPluginResult result, int times) {
    if (times == 0) {
        failures_.erase(name);
        return;
    }
    failures_[name] = Failure{result, times};
}

bool TestHost::ShouldFail(const std::string &name, HYPluginResult *result) {
    auto it = failures_.find(name);
    if (it == failures_.end()) return false;
    if (result) *result = it->second.result;
    if (it->second.times > 0 && --it->second.times == 0) failures_.erase(it);
    return true;
}

std::unique_ptr<PluginParams> MakeParams(TestHost &host, HYPluginSelector selector, SInt16 interfaceVersion) {
    auto params = std::make_unique<PluginParams>();
    std::memset(params.get(), 0, sizeof(PluginParams));
    params->interfaceVersion = interfaceVersion;
    params->instance = host.Instance();
    params->selector = selector;
    params->procs = host.Procs();
    return params;
}

PrivatePreferences::PrivatePreferences() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quelvane-prefs-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "cannot make a preferences folder from " << pattern;
        return;
    }
    path_ = pattern;
    if (const char *old = std::getenv("XDG_CONFIG_HOME")) {
        hadPrevious_ = true;
        previous_ = old;
    }
    setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
}

PrivatePreferences::~PrivatePreferences() {
    if (hadPrevious_)
        setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

} // namespace qvtest
