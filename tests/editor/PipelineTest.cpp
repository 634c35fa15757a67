// The read-ahead reader: the frame asked for, whatever the order, size and
// quality. (Damaged frames, ranges that end early, the encoder queue and the
// output file serve every render of the host's end-to-end test, a full disk
// and signals included.)
#include "HostError.h"
#include "MediaFixtures.h"
#include "Pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace qvhost;

namespace {

// Plain heap buffers stand in for graphics worlds; counts what is alive.
struct Buffers {
    int live = 0;
    AllocateBuffer allocate() {
        return [this](int w, int h) {
            ++live;
            FrameBuffer b;
            b.rowBytes = 4L * w + 16;
            b.pixels = new uint8_t[static_cast<size_t>(b.rowBytes) * h];
            b.width = w;
            b.height = h;
            return b;
        };
    }
    FreeBuffer release() {
        return [this](const FrameBuffer &b) {
            --live;
            delete[] b.pixels;
        };
    }
};

// A clip source that paints marks and counts the frames read.
class MarkSource : public ClipSource {
public:
    MarkSource() {
        info_.width = 64;
        info_.height = 40;
        info_.frameRate = AVRational{30, 1};
        info_.frameCount = 100;
        info_.hasAudio = true;
        info_.sampleRate = 48000;
        info_.channels = 1;
    }
    const ClipInfo &info() const override { return info_; }
    int64_t frameTime(int64_t n) const override { return n; }
    void readVideo(int64_t n, int w, int h, bool, uint8_t *px, long rb) override {
        ++reads;
        qvtest::PaintMarks(px, rb, w, h, static_cast<int>(n));
    }
    void readAudio(int64_t n, AudioChunk &out) override {
        out.resize(1, 1600);
        out.planes[0][0] = static_cast<float>(n);
    }
    std::atomic<int> reads{0};

private:
    ClipInfo info_;
};

int Marks(const FrameReader::Slot *s) { return qvtest::ReadMarks(s->buf.pixels, s->buf.rowBytes, s->buf.width, s->buf.height); }

TEST(FrameReader, ReadsAheadAndRestartsOnlyWhenItMust) {
    MarkSource src;
    Buffers bufs;
    {
        FrameReader reader(src, bufs.allocate(), bufs.release(), 3, true);
        for (int n = 0; n < 40; ++n) {
            FrameReader::Slot *s = reader.acquire(n, 64, 40, true);
            ASSERT_EQ(Marks(s), n);
            EXPECT_EQ(s->audio.planes[0][0], static_cast<float>(n));
            reader.release(s);
        }
        EXPECT_EQ(reader.restarts(), 1) << "a clip read in order starts the reader once";
        // Skipping ahead inside the read-ahead is served too: once frame 42
        // is being read, frames 40 and 41 wait in the read-ahead.
        for (int i = 0; i < 5000 && src.reads < 43; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        FrameReader::Slot *s = reader.acquire(41, 64, 40, true);
        EXPECT_EQ(Marks(s), 41);
        reader.release(s);
        EXPECT_EQ(reader.restarts(), 1);
        // Backwards, another size, another quality: restarts, right frame.
        s = reader.acquire(10, 64, 40, true);
        EXPECT_EQ(Marks(s), 10);
        reader.release(s);
        s = reader.acquire(11, 32, 20, true);
        EXPECT_EQ(s->buf.width, 32);
        EXPECT_EQ(Marks(s), 11);
        reader.release(s);
        s = reader.acquire(12, 32, 20, false);
        EXPECT_EQ(Marks(s), 12);
        reader.release(s);
        EXPECT_EQ(reader.restarts(), 4);
        EXPECT_THROW(reader.acquire(100, 32, 20, false), HostError);
        EXPECT_THROW(reader.acquire(-1, 32, 20, false), HostError);
    }
    EXPECT_EQ(bufs.live, 0) << "every buffer freed";
}

}  // namespace
