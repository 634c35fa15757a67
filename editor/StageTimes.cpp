// Per-stage processor and wall time of the frame path, printed at exit.
#include "StageTimes.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace qvhost {

namespace {

constexpr int kStages = static_cast<int>(Stage::Count);
const char *const kNames[kStages] = {"decode",        "convert to ARGB",      "wait for a frame", "plug-in",
                                     "wait for a target", "convert from ARGB", "encode and write", "sound"};

int64_t Nanos(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Totals {
    std::atomic<int64_t> cpu[kStages] = {};
    std::atomic<int64_t> wall[kStages] = {};
    std::atomic<int64_t> calls[kStages] = {};
    const bool on = std::getenv("QUELVANE_STAGE_TIMES") != nullptr;
    ~Totals() {
        if (!on) return;
        std::fprintf(stderr, "stage times: %-18s %8s %10s %10s\n", "stage", "calls", "cpu s", "wall s");
        for (int i = 0; i < kStages; ++i)
            std::fprintf(stderr, "stage times: %-18s %8lld %10.3f %10.3f\n", kNames[i],
                         static_cast<long long>(calls[i].load()), cpu[i].load() / 1e9, wall[i].load() / 1e9);
    }
};

Totals &Global() {
    static Totals totals;
    return totals;
}

thread_local StageClock *tCurrent = nullptr;

}  // namespace

bool StageTimesOn() { return Global().on; }

StageClock::StageClock(Stage stage) : stage_(stage), on_(StageTimesOn()) {
    if (!on_) return;
    Global().calls[static_cast<int>(stage_)]++;
    outer_ = tCurrent;
    if (outer_) outer_->pause();
    tCurrent = this;
    resume();
}

StageClock::~StageClock() {
    if (!on_) return;
    pause();
    tCurrent = outer_;
    if (outer_) outer_->resume();
}

void StageClock::pause() {
    const int i = static_cast<int>(stage_);
    Global().cpu[i] += Nanos(CLOCK_THREAD_CPUTIME_ID) - cpu0_;
    Global().wall[i] += Nanos(CLOCK_MONOTONIC) - wall0_;
}

void StageClock::resume() {
    cpu0_ = Nanos(CLOCK_THREAD_CPUTIME_ID);
    wall0_ = Nanos(CLOCK_MONOTONIC);
}

}  // namespace qvhost
