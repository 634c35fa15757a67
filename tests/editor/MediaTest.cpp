// The host's media side: exact frame access, the sound grid and refusal of
// bad input.
#include "ClipSource.h"
#include "HostError.h"
#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

extern "C" {
#include <libavformat/avformat.h>
}

using namespace qvhost;
using qvtest::MarkedClip;
using qvtest::TempDir;

namespace {

class FileSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        clip_.frames = 200;
        qvtest::WriteMarkedClip(dir_->file("marked.mp4"), clip_);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string Path() { return dir_->file("marked.mp4"); }

    int FrameAt(ClipSource &src, int64_t n) {
        const long rb = 4L * clip_.width;
        std::vector<uint8_t> px(static_cast<size_t>(rb) * clip_.height);
        src.readVideo(n, clip_.width, clip_.height, true, px.data(), rb);
        return qvtest::ReadMarks(px.data(), rb, clip_.width, clip_.height);
    }

    static TempDir *dir_;
    static MarkedClip clip_;
};
TempDir *FileSourceTest::dir_ = nullptr;
MarkedClip FileSourceTest::clip_;

TEST_F(FileSourceTest, EveryFrameInOrderWithoutSeekingAgain) {
    auto src = OpenFileSource(Path());
    ASSERT_EQ(src->info().frameCount, 200);
    const int opened = src->seekCount();
    for (int n = 0; n < 200; ++n) ASSERT_EQ(FrameAt(*src, n), n) << "frame " << n;
    EXPECT_EQ(src->seekCount(), opened);
    // A short step ahead decodes through, too.
    auto again = OpenFileSource(Path());
    const int before = again->seekCount();
    EXPECT_EQ(FrameAt(*again, 3), 3);
    EXPECT_EQ(FrameAt(*again, 9), 9);
    EXPECT_EQ(again->seekCount(), before);
}

TEST_F(FileSourceTest, BackwardAndFarSeeksLandOnTheFrame) {
    auto src = OpenFileSource(Path());
    // Between key frames, on key frames, backwards, far ahead, the last frame.
    const int order[] = {150, 20, 23, 190, 199, 0, 97, 96, 48, 47, 130};
    for (int n : order) EXPECT_EQ(FrameAt(*src, n), n) << "frame " << n;
    EXPECT_GE(src->seekCount(), 6);
    EXPECT_THROW(FrameAt(*src, 200), HostError);
}

TEST_F(FileSourceTest, SoundFollowsTheFrameGrid) {
    auto src = OpenFileSource(Path());
    const AVRational fps{30, 1};
    AudioChunk chunk;
    int64_t total = 0;
    std::vector<float> joined;
    for (int n = 0; n < 200; ++n) {
        src->readAudio(n, chunk);
        ASSERT_EQ(chunk.planes.size(), 2u);
        EXPECT_EQ(chunk.samples(), AudioFrameStart(n + 1, fps, 48000) - AudioFrameStart(n, fps, 48000));
        total += chunk.samples();
        if (n >= 50 && n < 60) joined.insert(joined.end(), chunk.planes[0].begin(), chunk.planes[0].end());
    }
    EXPECT_EQ(total, 200 * 1600);
    double peak = 0;
    for (float v : joined) peak = std::max(peak, std::fabs(double(v)));
    EXPECT_NEAR(peak, qvtest::kMarkToneLevel, 0.05) << "the tone, not silence";
    // Read again after jumping back: the same samples.
    AudioChunk back;
    src->readAudio(55, back);
    EXPECT_EQ(back.samples(), 1600);
    for (int i = 0; i < back.samples(); i += 97) EXPECT_NEAR(back.planes[0][i], joined[5 * 1600 + i], 1e-4);
}

TEST(FileSourceInput, RefusesWhatIsNotAClip) {
    TempDir dir;
    auto expectRefused = [](const std::string &path, const std::string &words) {
        try {
            OpenFileSource(path);
            ADD_FAILURE() << path << " was accepted";
        } catch (const HostError &e) {
            EXPECT_EQ(e.status(), kExitInput) << e.what();
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    };
    // Missing, text, sound-only and empty files: the host test's refusals.
    expectRefused(dir.path(), "folder");
    // A clip whose video stream holds no frame.
    MarkedClip empty;
    empty.frames = 0;
    qvtest::WriteMarkedClip(dir.file("empty.mkv"), empty);
    expectRefused(dir.file("empty.mkv"), "no frames");

    // A clip in a codec nobody can decode: the codec's name in the file is changed.
    MarkedClip ok;
    ok.frames = 10;
    ok.audio = false;
    qvtest::WriteMarkedClip(dir.file("unknown.mkv"), ok);
    {
        std::fstream f(dir.file("unknown.mkv"), std::ios::in | std::ios::out | std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        const size_t at = bytes.find("V_MPEG4/ISO/AVC");
        ASSERT_NE(at, std::string::npos);
        f.seekp(static_cast<std::streamoff>(at));
        f.write("V_QUELVANE/TEST", 15);
    }
    expectRefused(dir.file("unknown.mkv"), "cannot be decoded");
}

TEST(Demo, ToneAndGrid) {
    auto src = OpenDemoSource();
    const ClipInfo &c = src->info();
    EXPECT_EQ(c.frameCount, 150);
    AudioChunk chunk;
    std::vector<float> all;
    for (int n = 0; n < 30; ++n) {
        src->readAudio(n, chunk);
        all.insert(all.end(), chunk.planes[1].begin(), chunk.planes[1].end());
    }
    ASSERT_EQ(all.size(), 48000u);
    int crossings = 0;
    for (size_t i = 1; i < all.size(); ++i) crossings += (all[i - 1] < 0) != (all[i] < 0);
    EXPECT_NEAR(crossings / 2.0, 440.0, 1.0);
    // The picture moves.
    std::vector<uint8_t> a(160 * 90 * 4), b(a.size());
    src->readVideo(0, 160, 90, true, a.data(), 640);
    src->readVideo(15, 160, 90, true, b.data(), 640);
    EXPECT_NE(a, b);
    for (size_t i = 0; i < a.size(); i += 4) ASSERT_EQ(a[i], 255) << "opaque";
}

}  // namespace
