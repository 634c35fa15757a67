// TestHost.h: an in-process stand-in for the host editor, for tests. It
// implements the host callbacks (HYProcs) as plain C functions, records every
// call with its arguments, can be told to fail a call with a given result or
// to run out of memory, and hands out calloc blocks from its allocator
// callbacks, counting those still outstanding for leak checks.
// It also lends frames (GetFrame, ReleaseFrame) and answers Blit.
// MakeParams builds a parameter block wired to it.
//
// Ownership: the TestHost owns its callback table and the filter-info record
// it lends; the blocks its allocator hands out belong to the plug-in until it
// frees them. Allocator callbacks carry no instance, so exactly one TestHost
// is current at a time (the most recently constructed live one); tests run
// on one thread.
#ifndef QUELVANE_TESTHOST_H
#define QUELVANE_TESTHOST_H

#include <exception>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "HYPluginInterface.h"
#include "quickdraw/QuickDraw.h"

namespace qvtest {

// One callback invocation: its name and its arguments in order (pointers and
// integers widened to 64 bits; out-arguments as the pointers passed).
struct HostCall {
    std::string name;
    std::vector<long long> args;
};

class TestHost {
public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost &) = delete;
    TestHost &operator=(const TestHost &) = delete;

    HYProcs *Procs() { return &procs_; }
    void *Instance() { return &instanceTag_; }

    // ---- Recording -------------------------------------------------------
    const std::vector<HostCall> &Calls() const { return calls_; }
    std::vector<HostCall> CallsNamed(const std::string &name) const;
    int CountCalls(const std::string &name) const;
    void ClearCalls() { calls_.clear(); }
    // Adds a record (and throws when ThrowOnCall planned it); every callback
    // calls it first.
    void Record(const std::string &name, std::vector<long long> args);

    // ---- Failures ----------------------------------------------------------
    // The next `times` calls of `name` (every call when times < 0) answer
    // `result` without doing their work: GetFilterInfo, GetFrame,
    // ReleaseFrame (after taking the frame back) and Blit.
    void FailCall(const std::string &name, HYPluginResult result = kPluginFailed, int times = -1);
    // The next call of `name` throws `error` (a C++ exception crossing into
    // the plug-in, to test that none leaves its entry point).
    void ThrowOnCall(const std::string &name, std::exception_ptr error) { throws_[name] = error; }
    // After `successes` more successful allocations, every allocation answers
    // NULL (negative: never run out).
    void RunOutOfMemoryAfter(int successes) { allocationBudget_ = successes; }
    // True (and uses up one planned failure) when this call of `name` is to
    // fail; result receives the planned answer.
    bool ShouldFail(const std::string &name, HYPluginResult *result = nullptr);

    // ---- Memory ------------------------------------------------------------
    // Blocks from NewPtrClear that have not been given back.
    int OutstandingBlocks() const { return static_cast<int>(liveBlocks_.size()); }
    // DisposePtr calls with a block this host never handed out (or twice).
    int ForeignDisposals() const { return foreignDisposals_; }

    // ---- Filter settings (GetFilterInfo) ----------------------------------
    HYPluginFilterInfo &FilterInfo() { return filterInfo_; }
    // Filter-info records lent and not given back.
    int FilterInfoOutstanding() const { return filterInfoLent_; }

    // GetMovieInfo answers an NTSC movie of 720 x 480 and 300 frames.

    // Result of MixAudio (the plug-in hands it on as the request's result).
    HYPluginResult mixAudioResult = kPluginOK;

    // ---- Frames (GetFrame / ReleaseFrame) ---------------------------------
    // GetFrame lends a new 32-bit world of the asked size, every pixel the
    // colour FrameColor(frameNumber); a frame number outside [0, 300)
    // answers kPluginCantGetNeededFrame without a frame. ReleaseFrame takes
    // a lent frame back (and disposes of it); any other cookie is counted as
    // foreign and answers kPluginBadParams.
    // When set, GetFrame lends frames of this size whatever was asked.
    SInt16 forcedFrameWidth = 0;
    SInt16 forcedFrameHeight = 0;
    // When set, GetFrame answers kPluginOK with a pointer that is no world
    // (and a cookie that ReleaseFrame takes back).
    bool lendsForgedFrame = false;
    // Memory order A, R, G, B: opaque, red = frame number's low byte, green
    // 200, blue 100.
    static void FrameColor(SInt32 frameNumber, UInt8 argb[4]);
    int FramesOutstanding() const { return static_cast<int>(lentFrames_.size()); }
    int ForeignReleases() const { return foreignReleases_; }

    // Blit records its opacity and answers kPluginOK (or a planned failure).

private:
    friend struct HostCallbacks;
    struct Failure {
        HYPluginResult result;
        int times;
    };

    HYProcs procs_{};
    int instanceTag_ = 0;
    std::vector<HostCall> calls_;
    std::map<std::string, Failure> failures_;
    std::map<std::string, std::exception_ptr> throws_;
    int allocationBudget_ = -1;
    std::set<const void *> liveBlocks_;
    int foreignDisposals_ = 0;
    HYPluginFilterInfo filterInfo_{};
    std::map<void *, GWorldPtr> lentFrames_;
    long nextFrameCookie_ = 0x1000;
    int foreignReleases_ = 0;
    int filterInfoLent_ = 0;
    TestHost *previous_ = nullptr;
};

// A zero-filled parameter block wired to `host`: interfaceVersion, instance
// and procs set, selector as given. Owned by the caller.
std::unique_ptr<PluginParams> MakeParams(TestHost &host, HYPluginSelector selector = kPlugGetInfo,
                                         SInt16 interfaceVersion = 4);

// A fresh, empty folder under $TMPDIR (or /tmp) made the preferences folder
// of this process ($XDG_CONFIG_HOME) for its lifetime; the previous value
// comes back and the folder is removed with its contents on destruction.
class PrivatePreferences {
public:
    PrivatePreferences();
    ~PrivatePreferences();
    PrivatePreferences(const PrivatePreferences &) = delete;
    PrivatePreferences &operator=(const PrivatePreferences &) = delete;
    const std::string &Path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

} // namespace qvtest

#endif // QUELVANE_TESTHOST_H
