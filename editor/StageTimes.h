// StageTimes.h: where the time of a render goes, for the benchmarks. When
// QUELVANE_STAGE_TIMES is set in the environment, every stage of the frame
// path adds up the processor time of the thread that runs it and its wall
// time, and the totals are printed on standard error when the program ends,
// one line a stage. Otherwise a StageClock costs one test of a flag.
//
// Clocks nest: a stage started inside another one (the conversion inside
// the decoding step, the wait for a frame inside the plug-in's call) stops
// the outer one's clock until it ends, so no time is counted twice. Time
// spent in FFmpeg's own worker threads (the decoder's and x264's) is not in
// any stage: it belongs to no thread of ours.
#ifndef QUELVANE_EDITOR_STAGETIMES_H
#define QUELVANE_EDITOR_STAGETIMES_H

#include <cstdint>

namespace qvhost {

enum class Stage : int {
    Decode,        // the reader thread's decoding calls
    ToArgb,        // decoded picture to the plug-in's A, R, G, B
    WaitForFrame,  // the plug-in's GetFrame waiting for the reader
    PlugIn,        // the plug-in's own work during its calls
    WaitForTarget, // the main thread waiting for a free output buffer
    FromArgb,      // rendered picture to the encoder's format
    Encode,        // the encoder thread's encoding and writing calls
    Sound,         // reading and writing the frames' sound
    Count
};

bool StageTimesOn();

class StageClock {
public:
    explicit StageClock(Stage stage);
    ~StageClock();
    StageClock(const StageClock &) = delete;
    StageClock &operator=(const StageClock &) = delete;

private:
    void pause();
    void resume();

    Stage stage_;
    bool on_;
    StageClock *outer_ = nullptr;
    int64_t cpu0_ = 0, wall0_ = 0;
};

}  // namespace qvhost

#endif
