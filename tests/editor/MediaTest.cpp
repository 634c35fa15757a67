// The host's media side: exact frame access, the sound grid, refusal of bad
// input, the colour matrix, and the timestamps of what it writes.
#include "ClipSource.h"
#include "HostError.h"
#include "MediaFixtures.h"
#include "MediaWriter.h"
#include "PixelConvert.h"

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

TEST_F(FileSourceTest, KnowsTheClip) {
    auto src = OpenFileSource(Path());
    const ClipInfo &c = src->info();
    EXPECT_EQ(c.frameCount, 200);
    EXPECT_EQ(c.width, 320);
    EXPECT_EQ(c.height, 240);
    EXPECT_EQ(av_cmp_q(c.frameRate, AVRational{30, 1}), 0);
    EXPECT_TRUE(c.hasAudio);
    EXPECT_EQ(c.sampleRate, 48000);
    EXPECT_EQ(c.channels, 2);
}

TEST_F(FileSourceTest, EveryFrameInOrderWithoutSeekingAgain) {
    auto src = OpenFileSource(Path());
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
    // The tone: level and frequency survive (AAC is lossy: a few per cent).
    double sq = 0;
    int crossings = 0;
    for (size_t i = 0; i < joined.size(); ++i) {
        sq += joined[i] * joined[i];
        if (i && (joined[i - 1] < 0) != (joined[i] < 0)) ++crossings;
    }
    EXPECT_NEAR(std::sqrt(sq / joined.size()), qvtest::kMarkToneLevel / std::sqrt(2.0), 0.02);
    const double seconds = joined.size() / 48000.0;
    EXPECT_NEAR(crossings / 2.0 / seconds, 1000.0, 15.0);
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
    expectRefused(dir.file("missing.mp4"), "no such file");
    expectRefused(dir.path(), "folder");
    std::ofstream(dir.file("notes.mp4")) << "this is a text file, not a movie\n";
    expectRefused(dir.file("notes.mp4"), "not a video");

    // A WAV file: sound only.
    {
        std::ofstream wav(dir.file("tone.wav"), std::ios::binary);
        const uint32_t rate = 8000, samples = 8000, bytes = samples * 2;
        auto u32 = [&](uint32_t v) { wav.write(reinterpret_cast<const char *>(&v), 4); };
        auto u16 = [&](uint16_t v) { wav.write(reinterpret_cast<const char *>(&v), 2); };
        wav.write("RIFF", 4); u32(36 + bytes); wav.write("WAVEfmt ", 8); u32(16); u16(1); u16(1);
        u32(rate); u32(rate * 2); u16(2); u16(16); wav.write("data", 4); u32(bytes);
        for (uint32_t i = 0; i < samples; ++i) u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 0.3))));
    }
    expectRefused(dir.file("tone.wav"), "no video stream");

    // A clip whose video stream holds no frame.
    MarkedClip empty;
    empty.frames = 0;
    qvtest::WriteMarkedClip(dir.file("empty.mkv"), empty);
    expectRefused(dir.file("empty.mkv"), "no frames");
    std::ofstream(dir.file("zero.mp4")).close();
    expectRefused(dir.file("zero.mp4"), "no frames");

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

TEST(Writer, TimestampsRunToTheLastFrame) {
    TempDir dir;
    for (const char *name : {"t.mp4", "t.mov", "t.mkv"}) {
        MarkedClip c;
        c.frames = 45;
        c.fps = 25;
        qvtest::WriteMarkedClip(dir.file(name), c);
        AVFormatContext *fmt = nullptr;
        ASSERT_EQ(avformat_open_input(&fmt, dir.file(name).c_str(), nullptr, nullptr), 0) << name;
        ASSERT_GE(avformat_find_stream_info(fmt, nullptr), 0);
        const int v = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const int a = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        ASSERT_GE(v, 0);
        ASSERT_GE(a, 0) << name << " lost its sound";
        AVPacket *pkt = av_packet_alloc();
        std::vector<int64_t> pts;
        int64_t lastEnd = 0, audioEnd = 0;
        while (av_read_frame(fmt, pkt) >= 0) {
            if (pkt->stream_index == v) {
                pts.push_back(pkt->pts);
                EXPECT_GT(pkt->duration, 0) << name;
                lastEnd = std::max(lastEnd, av_rescale_q(pkt->pts + pkt->duration, fmt->streams[v]->time_base, AVRational{1, 1000}));
            } else if (pkt->stream_index == a) {
                audioEnd = std::max(audioEnd, av_rescale_q(pkt->pts + pkt->duration, fmt->streams[a]->time_base, AVRational{1, 1000}));
            }
            av_packet_unref(pkt);
        }
        std::sort(pts.begin(), pts.end());
        ASSERT_EQ(pts.size(), 45u) << name;
        const AVRational tb = fmt->streams[v]->time_base;
        for (size_t k = 0; k < pts.size(); ++k)
            EXPECT_EQ(av_rescale_q(pts[k] - pts[0], tb, AVRational{1, 25}), static_cast<int64_t>(k)) << name;
        EXPECT_EQ(lastEnd - av_rescale_q(pts[0], tb, AVRational{1, 1000}), 1800) << name << ": 45 frames at 25 fps";
        // The sound ends with the picture (within one AAC frame of padding).
        EXPECT_NEAR(static_cast<double>(audioEnd), 1800.0, 25.0) << name;
        av_packet_free(&pkt);
        avformat_close_input(&fmt);
    }
}

TEST(Writer, ContainerComesFromTheExtension) {
    EXPECT_EQ(ContainerFor("a.mp4"), "mp4");
    EXPECT_EQ(ContainerFor("dir/a.MOV"), "mov");
    EXPECT_EQ(ContainerFor("a.mkv"), "matroska");
    for (const char *bad : {"a.webm", "a.wav", "a.noextension", "a"}) {
        try {
            ContainerFor(bad);
            ADD_FAILURE() << bad << " accepted";
        } catch (const HostError &e) {
            EXPECT_EQ(e.status(), kExitUsage);
        }
    }
}

// A uniform 4:2:0 picture of the given code values.
AVFrame *Uniform(int w, int h, int y, int u, int v, AVColorSpace space) {
    AVFrame *f = av_frame_alloc();
    f->format = AV_PIX_FMT_YUV420P;
    f->width = w;
    f->height = h;
    f->colorspace = space;
    f->color_range = AVCOL_RANGE_MPEG;
    av_frame_get_buffer(f, 0);
    for (int r = 0; r < h; ++r) memset(f->data[0] + r * f->linesize[0], y, w);
    for (int r = 0; r < h / 2; ++r) {
        memset(f->data[1] + r * f->linesize[1], u, w / 2);
        memset(f->data[2] + r * f->linesize[2], v, w / 2);
    }
    return f;
}

TEST(Convert, ColourMatrixFollowsTheFrame) {
    // Pure red, coded with BT.709 (HD) and with BT.601 (SD), limited range.
    struct Case {
        int w, h, y, u, v;
        AVColorSpace declared;
    } cases[] = {
        {1280, 720, 63, 102, 240, AVCOL_SPC_UNSPECIFIED},  // HD without a declaration: 709
        {640, 480, 81, 90, 240, AVCOL_SPC_UNSPECIFIED},    // SD without a declaration: 601
        {640, 480, 63, 102, 240, AVCOL_SPC_BT709},         // declared 709 wins over the size
    };
    for (const Case &c : cases) {
        AVFrame *f = Uniform(c.w, c.h, c.y, c.u, c.v, c.declared);
        std::vector<uint8_t> px(64 * 36 * 4);
        ToArgb conv;
        conv.convert(f, 64, 36, true, px.data(), 64 * 4);
        const uint8_t *p = &px[(18 * 64 + 32) * 4];
        EXPECT_EQ(p[0], 255);
        EXPECT_NEAR(p[1], 255, 4) << c.w;
        EXPECT_NEAR(p[2], 0, 4) << c.w;
        EXPECT_NEAR(p[3], 0, 4) << c.w;
        conv.convert(f, 64, 36, false, px.data(), 64 * 4);  // the fast scaler agrees closely
        EXPECT_NEAR(p[2], 0, 6) << c.w;
        av_frame_free(&f);
    }
}

TEST(Convert, RoundTripThroughTheEncoderFormat) {
    for (int h : {240, 720}) {
        const int w = h * 4 / 3;
        std::vector<uint8_t> argb(static_cast<size_t>(w) * h * 4), back(argb.size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t *p = &argb[(static_cast<size_t>(y) * w + x) * 4];
                p[0] = 255;
                p[1] = static_cast<uint8_t>(40 + (x * 150) / w);
                p[2] = static_cast<uint8_t>(200 - (y * 150) / h);
                p[3] = 128;
            }
        AVFrame *f = av_frame_alloc();
        f->format = AV_PIX_FMT_YUV420P;
        f->width = w;
        f->height = h;
        f->colorspace = DefaultColorSpace(w, h);
        f->color_range = AVCOL_RANGE_MPEG;
        av_frame_get_buffer(f, 0);
        FromArgb().convert(argb.data(), 4L * w, f);
        ToArgb().convert(f, w, h, true, back.data(), 4L * w);
        int worst = 0;
        for (size_t i = 0; i < argb.size(); ++i) worst = std::max(worst, std::abs(argb[i] - back[i]));
        EXPECT_LE(worst, 6) << "height " << h;  // a wrong matrix or range is off by 10 to 40
        av_frame_free(&f);
    }
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
