// The test host: recorded callbacks over the platform Memory Manager.
#include "TestHost.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "memory/MacMemory.h"

namespace qvtest {

namespace {

TestHost *gCurrentHost = nullptr;

long long P(const void *p) { return static_cast<long long>(reinterpret_cast<intptr_t>(p)); }

} // namespace

// The callbacks, as plain functions of the host's table. Those without an
// instance argument answer for the current host.
struct HostCallbacks {
    static Ptr Allocate(const char *name, SInt32 size, bool clear) {
        TestHost *host = gCurrentHost;
        if (!host) return nullptr;
        host->Record(name, {size});
        if (host->ShouldFail(name)) return nullptr;
        if (host->allocationBudget_ == 0) return nullptr;
        Ptr block = clear ? ::NewPtrClear(size) : ::NewPtr(size);
        if (!block) return nullptr;
        if (host->allocationBudget_ > 0) --host->allocationBudget_;
        host->liveBlocks_.insert(block);
        return block;
    }

    static Ptr NewPtr(SInt32 size) { return Allocate("NewPtr", size, false); }
    static Ptr NewPtrClear(SInt32 size) { return Allocate("NewPtrClear", size, true); }

    static void DisposePtr(Ptr block) {
        TestHost *host = gCurrentHost;
        if (!host) return;
        host->Record("DisposePtr", {P(block)});
        if (!block) return;
        if (host->liveBlocks_.erase(block) == 0) {
            ++host->foreignDisposals_; // never free what we did not hand out
            return;
        }
        ::DisposePtr(block);
    }

    static HYPluginResult GetMovieInfo(HYRefDigitalVideoStandard *outStandard, SInt16 *ioWidth, SInt16 *ioHeight,
                                       SInt32 *outTotalFrames) {
        TestHost *host = gCurrentHost;
        if (!host) return kPluginFailed;
        host->Record("GetMovieInfo", {P(outStandard), ioWidth ? *ioWidth : -1, ioHeight ? *ioHeight : -1,
                                      P(outTotalFrames)});
        HYPluginResult failure;
        if (host->ShouldFail("GetMovieInfo", &failure)) return failure;
        if (outStandard) *outStandard = host->movieStandard;
        if (ioWidth) *ioWidth = host->movieWidth;
        if (ioHeight) *ioHeight = host->movieHeight;
        if (outTotalFrames) *outTotalFrames = host->movieFrames;
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
        HYPluginResult failure;
        if (host->ShouldFail("GetClipInfo", &failure)) return failure;
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
        if (host->lendsFilterInfo_) {
            *outInfo = &host->filterInfo_;
            ++host->filterInfoLent_;
        }
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
        HYPluginResult failure;
        if (host->ShouldFail("MixAudio", &failure)) return failure;
        return host->mixAudioResult;
    }
};

TestHost::TestHost() : previous_(gCurrentHost) {
    procs_.NewPtr = &HostCallbacks::NewPtr;
    procs_.NewPtrClear = &HostCallbacks::NewPtrClear;
    procs_.DisposePtr = &HostCallbacks::DisposePtr;
    procs_.GetMovieInfo = &HostCallbacks::GetMovieInfo;
    procs_.GetClipInfo = &HostCallbacks::GetClipInfo;
    procs_.GetFilterInfo = &HostCallbacks::GetFilterInfo;
    procs_.ReleaseFilterInfo = &HostCallbacks::ReleaseFilterInfo;
    procs_.MixAudio = &HostCallbacks::MixAudio;
    for (float &v : filterInfo_.sliderValues) v = 0.5f;
    gCurrentHost = this;
}

TestHost::~TestHost() {
    if (gCurrentHost == this) gCurrentHost = previous_;
}

TestHost *TestHost::Current() { return gCurrentHost; }

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

std::vector<std::string> TestHost::CallNames() const {
    std::vector<std::string> names;
    for (const HostCall &c : calls_) names.push_back(c.name);
    return names;
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

std::string PluginBundle::LibraryPath() {
    const char *bundle = std::getenv("QUELVANE_BUNDLE");
    if (!bundle || !*bundle) return std::string();
    return std::string(bundle) + "/Contents/Linux/Quelvane.so";
}

PluginBundle *PluginBundle::Get() {
    static PluginBundle *loaded = [] () -> PluginBundle * {
        const std::string path = LibraryPath();
        if (path.empty()) return nullptr;
        void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
            return nullptr;
        }
        auto entry = reinterpret_cast<HYPluginMainProcPtr>(dlsym(handle, "main"));
        if (!entry) {
            ADD_FAILURE() << path << " exports no main";
            return nullptr;
        }
        return new PluginBundle(handle, entry);
    }();
    if (!loaded) ADD_FAILURE() << "the plug-in bundle is not loaded (QUELVANE_BUNDLE='" << LibraryPath() << "')";
    return loaded;
}

SInt32 PluginBundle::Call(PluginParams *params, HYPluginSelector selector, SInt32 which) const {
    if (params) params->selector = selector;
    return main_(which, params);
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
