// Pipeline.h: the two worker threads around the plug-in. The FrameReader
// decodes and converts frames ahead of the plug-in on its own thread: after a
// request for frame n it goes on with n + 1, n + 2, ... at the same size, so
// a clip rendered in order never waits for the decoder twice; any other
// request restarts it there. The EncodeQueue writes finished frames with
// their sound on a second thread while the plug-in renders the next.
//
// The plug-in and both queues' public calls run on one thread (the host's
// main thread); the buffers are allocated and freed there too, through the
// callbacks given at construction, and only their pixels are touched by the
// worker threads. Each queue owns its buffers; a FrameReader slot lent out by
// acquire() belongs to the caller until release().
#ifndef QUELVANE_EDITOR_PIPELINE_H
#define QUELVANE_EDITOR_PIPELINE_H

#include "ClipSource.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvhost {

class MediaWriter;

// A 32-bit A, R, G, B picture buffer; `world` is the platform object that
// holds it when there is one (a GWorld handed to the plug-in).
struct FrameBuffer {
    void *world = nullptr;
    uint8_t *pixels = nullptr;
    long rowBytes = 0;
    int width = 0;
    int height = 0;
};
using AllocateBuffer = std::function<FrameBuffer(int width, int height)>;
using FreeBuffer = std::function<void(const FrameBuffer &)>;

// How many frames of width x height a queue keeps: as many as 48 MB of
// 32-bit pixels hold, at least one and at most `most`. Big frames are not
// buffered deeply (a 3840 x 2160 frame is 33 MB).
int QueueDepth(int width, int height, int most);

class FrameReader {
public:
    struct Slot {
        FrameBuffer buf;
        int64_t index = -1;
        bool highQuality = true;
        AudioChunk audio;  // the frame's sound, when the reader was asked for it
        std::string error;
        uint64_t generation = 0;
    };

    // depth: how many frames may be decoded ahead, at most (see QueueDepth).
    FrameReader(ClipSource &source, AllocateBuffer allocate, FreeBuffer free, int depth, bool withAudio);
    ~FrameReader();
    FrameReader(const FrameReader &) = delete;
    FrameReader &operator=(const FrameReader &) = delete;

    // Reading ahead stops before frame `end` (default: the clip's end).
    void setEnd(int64_t end);

    // The slot holding frame n at width x height. Throws HostError when the
    // frame cannot be read.
    Slot *acquire(int64_t n, int width, int height, bool highQuality);
    // Gives a slot from acquire() back.
    void release(Slot *slot);
    // How many requests restarted the reading (not served from the read-ahead).
    int restarts() const { return restarts_; }

private:
    void run();
    Slot *addSlot(int width, int height);
    void restart(int64_t n, int width, int height, bool highQuality);

    ClipSource &source_;
    AllocateBuffer allocate_;
    FreeBuffer free_;
    int depth_;
    bool withAudio_;

    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::deque<Slot *> idle_;
    std::deque<Slot *> ready_;
    std::vector<Slot *> lent_;
    Slot *busy_ = nullptr;
    struct Plan {
        uint64_t generation = 0;
        bool active = false;
        int64_t next = 0;
        int width = 0;
        int height = 0;
        bool highQuality = true;
    } plan_;
    int64_t end_;
    bool stop_ = false;
    int restarts_ = 0;
    std::thread thread_;
};

class EncodeQueue {
public:
    struct Target {
        FrameBuffer buf;
        AudioChunk audio;
    };

    // depth: how many target buffers, at most (see QueueDepth). A target
    // comes back as soon as its picture is converted for the encoder.
    EncodeQueue(MediaWriter &writer, AllocateBuffer allocate, FreeBuffer free, int width, int height, int depth);
    ~EncodeQueue();
    EncodeQueue(const EncodeQueue &) = delete;
    EncodeQueue &operator=(const EncodeQueue &) = delete;

    // A free target buffer (waits for one). Throws the writer's HostError once writing failed.
    Target *acquire();
    // Queues a target for writing; it comes back to the free list afterwards.
    void submit(Target *target);
    // Waits until everything queued is written, then completes the file.
    void finish();

private:
    void run();
    void rethrow();

    MediaWriter &writer_;
    FreeBuffer free_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::unique_ptr<Target>> targets_;
    std::deque<Target *> idle_;
    std::deque<Target *> queued_;
    int writing_ = 0;
    bool stop_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace qvhost

#endif
