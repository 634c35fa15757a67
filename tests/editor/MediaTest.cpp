// The host's media side: exact frame access when reading in order and when
// seeking. (Timing, sound, damage, metadata and bad input are the host's
// end-to-end test; the converters have their own.)
#include "ClipSource.h"
#include "HostError.h"
#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
}

using namespace qvhost;
using qvtest::TempDir;

namespace {

TEST(FileSource, ReadsOnInOrderAndSeeksToTheExactFrame) {
    TempDir dir;
    qvtest::MakeClip(dir.file("marked.mp4"), {.frames = 200});
    auto src = OpenFileSource(dir.file("marked.mp4"));
    ASSERT_EQ(src->info().frameCount, 200);
    const int w = src->info().width, h = src->info().height;
    std::vector<uint8_t> px(4u * w * h);
    auto frameAt = [&](int64_t n) {
        src->readVideo(n, w, h, true, px.data(), 4L * w);
        return qvtest::ReadMarks(px.data(), 4L * w, w, h);
    };
    // In order, and a short step ahead, decoding goes on without seeking.
    const int opened = src->seekCount();
    for (int n : {0, 1, 2, 3, 9, 10}) EXPECT_EQ(frameAt(n), n);
    EXPECT_EQ(src->seekCount(), opened);
    // Between key frames, on key frames, backwards, far ahead, the last frame.
    for (int n : {150, 20, 23, 190, 199, 0, 97, 96, 48, 47, 130}) EXPECT_EQ(frameAt(n), n) << "frame " << n;
    EXPECT_GE(src->seekCount(), opened + 6);
    EXPECT_THROW(frameAt(200), HostError);
}

}  // namespace
