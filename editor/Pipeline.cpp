// The read-ahead decoder thread and the encoder thread of the host.
#include "Pipeline.h"

#include "HostError.h"
#include "MediaWriter.h"
#include "StageTimes.h"

#include <algorithm>

namespace qvhost {

namespace {
// A request this many frames ahead of the reader is reached by reading on.
constexpr int64_t kSkipAhead = 8;
constexpr int64_t kQueueBytes = 48 << 20;
}  // namespace

int QueueDepth(int width, int height, int most) {
    const int64_t frame = std::max<int64_t>(1, 4LL * width * height);
    return static_cast<int>(std::clamp<int64_t>(kQueueBytes / frame, 1, std::max(1, most)));
}

FrameReader::FrameReader(ClipSource &source, AllocateBuffer allocate, FreeBuffer free, int depth, bool withAudio)
    : source_(source), allocate_(std::move(allocate)), free_(std::move(free)), depth_(std::max(1, depth)),
      withAudio_(withAudio), end_(source.info().frameCount) {
    thread_ = std::thread([this] { run(); });
}

FrameReader::~FrameReader() {
    {
        std::lock_guard<std::mutex> lk(m_);
        stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
    for (auto &s : slots_) free_(s->buf);
}

void FrameReader::setEnd(int64_t end) {
    std::lock_guard<std::mutex> lk(m_);
    end_ = std::min(end, source_.info().frameCount);
}

FrameReader::Slot *FrameReader::addSlot(int width, int height) {
    auto slot = std::make_unique<Slot>();
    slot->buf = allocate_(width, height);
    Slot *s = slot.get();
    slots_.push_back(std::move(slot));
    return s;
}

void FrameReader::restart(int64_t n, int width, int height, bool highQuality) {
    // Called with m_ held through `lk` of acquire; waits for the reader to put
    // down the frame it is working on.
    ++plan_.generation;
    plan_.active = false;
    ++restarts_;
    while (!ready_.empty()) {
        idle_.push_back(ready_.front());
        ready_.pop_front();
    }
    if (plan_.width != width || plan_.height != height) {
        // Buffers of the old size that are not lent are freed; lent ones go when released.
        for (auto it = idle_.begin(); it != idle_.end();) {
            Slot *s = *it;
            it = idle_.erase(it);
            free_(s->buf);
            slots_.erase(std::find_if(slots_.begin(), slots_.end(), [s](auto &p) { return p.get() == s; }));
        }
        for (int i = 0; i < QueueDepth(width, height, depth_); ++i) idle_.push_back(addSlot(width, height));
    }
    plan_.active = true;
    plan_.next = n;
    plan_.width = width;
    plan_.height = height;
    plan_.highQuality = highQuality;
}

FrameReader::Slot *FrameReader::acquire(int64_t n, int width, int height, bool highQuality) {
    if (n < 0 || n >= source_.info().frameCount)
        throw HostError(kExitRenderFailed, "frame " + std::to_string(n) + " is outside the clip");
    StageClock clock(Stage::WaitForFrame);
    std::unique_lock<std::mutex> lk(m_);
    const bool same = plan_.active && plan_.width == width && plan_.height == height &&
                      plan_.highQuality == highQuality;
    // Frame n is on its way when it is read ahead already, being read, or a
    // few frames ahead of the reader (which then skips to it).
    bool onItsWay = false;
    if (same) {
        for (Slot *s : ready_) onItsWay |= s->index == n;
        onItsWay |= busy_ && busy_->index == n && busy_->generation == plan_.generation;
        if (!onItsWay && n >= plan_.next && n - plan_.next <= kSkipAhead) {
            plan_.next = n;
            onItsWay = true;
        }
    }
    if (!onItsWay) {
        // The frame in progress is put down first, so that the slots can be
        // reorganised safely.
        cv_.wait(lk, [this] { return busy_ == nullptr; });
        restart(n, width, height, highQuality);
    }
    if (n >= end_) end_ = n + 1;  // a frame past the read-ahead limit is still served
    cv_.notify_all();
    for (;;) {
        // Frames read ahead before n are of no use (the caller skipped them).
        while (!ready_.empty() && ready_.front()->index < n) {
            idle_.push_back(ready_.front());
            ready_.pop_front();
            cv_.notify_all();
        }
        if (!ready_.empty()) break;
        // Every buffer lent out and none left to decode into: add one.
        if (idle_.empty() && busy_ == nullptr) {
            idle_.push_back(addSlot(width, height));
            cv_.notify_all();
        }
        cv_.wait(lk, [this] { return !ready_.empty() || (idle_.empty() && busy_ == nullptr); });
    }
    Slot *s = ready_.front();
    ready_.pop_front();
    cv_.notify_all();
    if (s->index != n) s->error = "internal: frame " + std::to_string(n) + " was not read";
    if (!s->error.empty()) {
        idle_.push_back(s);
        std::string message = s->error;
        // The read-ahead after a failed frame is of no use.
        plan_.active = false;
        ++plan_.generation;
        throw HostError(kExitRenderFailed, message);
    }
    lent_.push_back(s);
    return s;
}

void FrameReader::release(Slot *slot) {
    std::lock_guard<std::mutex> lk(m_);
    auto it = std::find(lent_.begin(), lent_.end(), slot);
    if (it == lent_.end()) return;
    lent_.erase(it);
    if (slot->buf.width != plan_.width || slot->buf.height != plan_.height) {
        free_(slot->buf);
        slots_.erase(std::find_if(slots_.begin(), slots_.end(), [slot](auto &p) { return p.get() == slot; }));
        return;
    }
    idle_.push_back(slot);
    cv_.notify_all();
}

void FrameReader::run() {
    std::unique_lock<std::mutex> lk(m_);
    for (;;) {
        cv_.wait(lk, [this] { return stop_ || (plan_.active && plan_.next < end_ && !idle_.empty()); });
        if (stop_) return;
        Slot *s = idle_.front();
        idle_.pop_front();
        busy_ = s;
        s->index = plan_.next++;
        s->generation = plan_.generation;
        s->highQuality = plan_.highQuality;
        s->error.clear();
        const bool fits = s->buf.width == plan_.width && s->buf.height == plan_.height;
        lk.unlock();
        try {
            if (!fits) throw HostError(kExitRenderFailed, "internal: frame buffer of the wrong size");
            {
                StageClock clock(Stage::Decode);
                source_.readVideo(s->index, s->buf.width, s->buf.height, s->highQuality, s->buf.pixels,
                                  s->buf.rowBytes);
            }
            if (withAudio_) {
                StageClock clock(Stage::Sound);
                source_.readAudio(s->index, s->audio);
            }
        } catch (const std::exception &e) {
            s->error = e.what();
        }
        lk.lock();
        busy_ = nullptr;
        if (s->generation == plan_.generation && plan_.active)
            ready_.push_back(s);
        else
            idle_.push_back(s);
        cv_.notify_all();
    }
}

EncodeQueue::EncodeQueue(MediaWriter &writer, AllocateBuffer allocate, FreeBuffer free, int width, int height,
                         int depth)
    : writer_(writer), free_(std::move(free)) {
    for (int i = 0; i < QueueDepth(width, height, depth); ++i) {
        auto t = std::make_unique<Target>();
        t->buf = allocate(width, height);
        idle_.push_back(t.get());
        targets_.push_back(std::move(t));
    }
    thread_ = std::thread([this] { run(); });
}

EncodeQueue::~EncodeQueue() {
    {
        std::lock_guard<std::mutex> lk(m_);
        stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
    for (auto &t : targets_) free_(t->buf);
}

void EncodeQueue::rethrow() {
    if (error_) std::rethrow_exception(error_);
}

EncodeQueue::Target *EncodeQueue::acquire() {
    StageClock clock(Stage::WaitForTarget);
    std::unique_lock<std::mutex> lk(m_);
    cv_.wait(lk, [this] { return !idle_.empty() || error_; });
    rethrow();
    Target *t = idle_.front();
    idle_.pop_front();
    return t;
}

void EncodeQueue::submit(Target *target) {
    std::lock_guard<std::mutex> lk(m_);
    rethrow();
    queued_.push_back(target);
    cv_.notify_all();
}

void EncodeQueue::finish() {
    std::unique_lock<std::mutex> lk(m_);
    cv_.wait(lk, [this] { return (queued_.empty() && writing_ == 0) || error_; });
    rethrow();
    lk.unlock();
    writer_.finish();
}

void EncodeQueue::run() {
    std::unique_lock<std::mutex> lk(m_);
    for (;;) {
        cv_.wait(lk, [this] { return stop_ || (!queued_.empty() && !error_); });
        if (stop_) return;
        Target *t = queued_.front();
        queued_.pop_front();
        ++writing_;
        lk.unlock();
        // The target goes back once its picture is taken; the encoding and
        // the sound follow from the writer's own copy.
        AudioChunk audio;
        bool taken = false;
        try {
            writer_.takeVideo(t->buf.pixels, t->buf.rowBytes);
            audio = std::move(t->audio);
            taken = true;
        } catch (...) {
            lk.lock();
            if (!error_) error_ = std::current_exception();
            lk.unlock();
        }
        lk.lock();
        idle_.push_back(t);
        cv_.notify_all();
        if (taken) {
            lk.unlock();
            try {
                {
                    StageClock clock(Stage::Encode);
                    writer_.encodeVideo();
                }
                StageClock clock(Stage::Sound);
                writer_.writeAudio(audio);
            } catch (...) {
                lk.lock();
                if (!error_) error_ = std::current_exception();
                lk.unlock();
            }
            lk.lock();
        }
        --writing_;
        cv_.notify_all();
    }
}

}  // namespace qvhost
