// quelvane-host end to end: clips made here are rendered through the real
// plug-in bundle with saved settings written by quelvane-prefs; the outputs
// are decoded and their pictures, fades and sound checked; bad input must
// end with one line, a documented status and nothing under the output name.
#include "ClipSource.h"
#include "E2EProcess.h"
#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <algorithm>

extern "C" {
#include <libavformat/avformat.h>
}

namespace fs = std::filesystem;
using qvtest::MarkedClip;
using qvtest::TempDir;
using qvtest::Bin;
using qvtest::Host;
using qvtest::Result;
using qvtest::RunOptions;
using qvtest::RunProgram;

namespace {

std::vector<std::string> Listing(const std::string &dir) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Picture {
    std::vector<uint8_t> px;
    int w = 0, h = 0;
    const uint8_t *at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
    int grey(int x, int y) const { return (at(x, y)[1] + at(x, y)[2] + at(x, y)[3]) / 3; }
};

Picture FrameOf(qvhost::ClipSource &src, int64_t n) {
    Picture p;
    p.w = src.info().width;
    p.h = src.info().height;
    p.px.resize(static_cast<size_t>(p.w) * p.h * 4);
    src.readVideo(n, p.w, p.h, true, p.px.data(), 4L * p.w);
    return p;
}

class HostE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        clips_ = new TempDir();
        MarkedClip c;
        c.frames = 100;
        qvtest::WriteMarkedClip(clips_->file("marked.mp4"), c);
        c.grey = 200;
        c.crf = 10;
        qvtest::WriteMarkedClip(clips_->file("grey.mp4"), c);
    }
    static void TearDownTestSuite() {
        delete clips_;
        clips_ = nullptr;
    }
    static std::string Clip(const char *name) { return clips_->file(name); }

    // Saved settings for the next renders, in this test's own preferences folder.
    void Prefs(const std::vector<std::string> &args) {
        RunOptions o;
        o.prefs = prefs.path();
        const Result r = RunProgram(Bin("quelvane-prefs"), args, o);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    Result Render(const std::vector<std::string> &args) {
        RunOptions o;
        o.prefs = prefs.path();
        return Host(args, o);
    }

    TempDir prefs;
    TempDir out;
    static TempDir *clips_;
};
TempDir *HostE2E::clips_ = nullptr;

TEST_F(HostE2E, ACentreZoomFromTheSavedSettingsIsInThePixels) {
    // The centre half of the frame, enlarged twice: output row y shows source row 60 + y / 2.
    Prefs({"--crop", "0.25,0.25,0.75,0.75", "--zoom", "1000,1000"});
    const Result r = Render({"render", "--frames", "30", Clip("marked.mp4"), out.file("zoom.mp4")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto src = qvhost::OpenFileSource(out.file("zoom.mp4"));
    ASSERT_EQ(src->info().frameCount, 30);
    for (int n : {0, 13, 29}) {
        const Picture p = FrameOf(*src, n);
        for (int band = 3; band <= 6; ++band) {
            const int y = 48 * band - 96;  // the middle of source band `band`
            const bool white = (n >> band) & 1;
            EXPECT_EQ(p.grey(160, y) > 128, white) << "frame " << n << ", band " << band << " at row " << y;
        }
    }
}

TEST_F(HostE2E, FadesBlendTheUntouchedFrameFrameByFrame) {
    // Effect: the top-left quarter over black; the clip is grey 200 all over,
    // so the bottom-right shows 200 x opacity / 255.
    Prefs({"--crop", "0,0,0.5,0.5", "--fill", "0,0,0"});
    const Result r = Render({"render", "--fade-in", "10", "--fade-out", "10", "--crf", "4", Clip("grey.mp4"),
                             out.file("fades.mp4")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto src = qvhost::OpenFileSource(out.file("fades.mp4"));
    ASSERT_EQ(src->info().frameCount, 100);
    const std::pair<int, int> expected[] = {{0, 255}, {5, 127}, {9, 25}, {10, 0}, {50, 0},
                                            {90, 0},  {91, 25}, {95, 127}, {99, 229}};
    for (auto [frame, opacity] : expected) {
        const Picture p = FrameOf(*src, frame);
        // Inside the crop the clip passes untouched through the same chain
        // of conversions: it is the reference for full opacity.
        const int inside = p.grey(60, 40);
        EXPECT_NEAR(inside, 200, 6) << "frame " << frame << ": inside the crop";
        const double measured = p.grey(240, 180) * 255.0 / inside;
        EXPECT_NEAR(measured, opacity, 4.0) << "frame " << frame;
    }
}

// Sound of a rendered file: samples per channel, RMS and tone of its middle.
struct Sound {
    int64_t samples = 0;
    double rms = 0;
    double hz = 0;
    double videoSeconds = 0;
    double audioSeconds = 0;
};

Sound SoundOf(const std::string &path) {
    Sound s;
    auto src = qvhost::OpenFileSource(path);
    const qvhost::ClipInfo &c = src->info();
    EXPECT_TRUE(c.hasAudio) << path;
    if (!c.hasAudio) return s;
    std::vector<float> mid;
    qvhost::AudioChunk chunk;
    for (int64_t n = 0; n < c.frameCount; ++n) {
        src->readAudio(n, chunk);
        s.samples += chunk.samples();
        if (n >= c.frameCount / 4 && n < c.frameCount * 3 / 4)
            mid.insert(mid.end(), chunk.planes[0].begin(), chunk.planes[0].end());
    }
    double sq = 0;
    int crossings = 0;
    for (size_t i = 0; i < mid.size(); ++i) {
        sq += mid[i] * mid[i];
        if (i && (mid[i - 1] < 0) != (mid[i] < 0)) ++crossings;
    }
    s.rms = std::sqrt(sq / std::max<size_t>(1, mid.size()));
    s.hz = crossings / 2.0 / (mid.size() / static_cast<double>(c.sampleRate));
    // The streams' own lengths.
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) == 0 && avformat_find_stream_info(fmt, nullptr) >= 0) {
        AVPacket *pkt = av_packet_alloc();
        double vEnd = 0, aEnd = 0, vStart = 1e9;
        while (av_read_frame(fmt, pkt) >= 0) {
            AVStream *st = fmt->streams[pkt->stream_index];
            const double start = pkt->pts * av_q2d(st->time_base);
            const double end = (pkt->pts + pkt->duration) * av_q2d(st->time_base);
            if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) vEnd = std::max(vEnd, end), vStart = std::min(vStart, start);
            if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) aEnd = std::max(aEnd, end);
            av_packet_unref(pkt);
        }
        av_packet_free(&pkt);
        s.videoSeconds = vEnd - vStart;
        s.audioSeconds = aEnd;
    }
    avformat_close_input(&fmt);
    return s;
}

TEST_F(HostE2E, TheSoundOfTheFramesIsPassedThroughInSync) {
    for (const char *name : {"sound.mp4", "sound.mov", "sound.mkv"}) {
        const Result r = Render({"render", Clip("marked.mp4"), out.file(name)});
        ASSERT_EQ(r.status, 0) << r.err;
        const Sound s = SoundOf(out.file(name));
        EXPECT_EQ(s.samples, 100 * 1600) << name;
        EXPECT_NEAR(s.rms, 0.5 / std::sqrt(2.0), 0.02) << name;
        EXPECT_NEAR(s.hz, 1000.0, 10.0) << name;
        EXPECT_NEAR(s.videoSeconds, 100 / 30.0, 1e-3) << name;
        EXPECT_NEAR(s.audioSeconds, s.videoSeconds, name == std::string("sound.mkv") ? 0.002 : 0.025) << name;
    }
    // Proxy mode mixes no sound: silence, as long as the picture.
    const Result r = Render({"render", "--proxy", "--frames", "40", Clip("marked.mp4"), out.file("proxy.mkv")});
    ASSERT_EQ(r.status, 0) << r.err;
    const Sound s = SoundOf(out.file("proxy.mkv"));
    EXPECT_EQ(s.samples, 40 * 1600);
    EXPECT_LT(s.rms, 1e-3);
}

TEST_F(HostE2E, RangeSizeAndStill) {
    Result r = Render({"render", "--start", "10", "--frames", "20", "--size", "160x120", Clip("marked.mp4"),
                       out.file("range.mkv")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto src = qvhost::OpenFileSource(out.file("range.mkv"));
    EXPECT_EQ(src->info().frameCount, 20);
    EXPECT_EQ(src->info().width, 160);
    EXPECT_EQ(src->info().height, 120);
    Picture first = FrameOf(*src, 0), last = FrameOf(*src, 19);
    EXPECT_EQ(qvtest::ReadMarks(first.px.data(), 4L * first.w, first.w, first.h), 10);
    EXPECT_EQ(qvtest::ReadMarks(last.px.data(), 4L * last.w, last.w, last.h), 29);

    r = Render({"still", "--thumb-offset", "7", "--start", "2", Clip("marked.mp4"), out.file("still.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto still = qvhost::OpenFileSource(out.file("still.png"));
    EXPECT_EQ(still->info().width, 320);
    Picture p = FrameOf(*still, 0);
    EXPECT_EQ(qvtest::ReadMarks(p.px.data(), 4L * p.w, p.w, p.h), 9) << "frame start + bestThumbOffset";
    EXPECT_EQ(Listing(out.path()), (std::vector<std::string>{"range.mkv", "still.png"}));
}

TEST_F(HostE2E, BadInputEndsWithOneLineAndLeavesNothing) {
    std::ofstream(out.file("notes.txt")) << "not a video\n";
    std::ofstream(out.file("empty.mp4")).close();
    const std::string wav = out.file("tone.wav");
    {
        std::ofstream f(wav, std::ios::binary);
        const uint32_t bytes = 16000;
        auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char *>(&v), 4); };
        auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char *>(&v), 2); };
        f.write("RIFF", 4); u32(36 + bytes); f.write("WAVEfmt ", 8); u32(16); u16(1); u16(1);
        u32(8000); u32(16000); u16(2); u16(16); f.write("data", 4); u32(bytes);
        for (uint32_t i = 0; i < bytes / 2; ++i) u16(static_cast<uint16_t>(i * 37));
    }
    const char *failingEnv = std::getenv("QUELVANE_FAILING_PLUGIN");
    const std::string failing =
        failingEnv ? failingEnv : std::string(std::getenv("QUELVANE_BINARY_DIR") ? std::getenv("QUELVANE_BINARY_DIR") : ".") + "/tests/e2e/failing-plugin.so";
    const std::string o = out.file("out.mp4");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string words;
        rlim_t fileLimit = 0;
    } cases[] = {
        {{"render", out.file("missing.mp4"), o}, 3, "no such file"},
        {{"render", out.file("notes.txt"), o}, 3, "not a video"},
        {{"render", wav, o}, 3, "no video stream"},
        {{"render", out.file("empty.mp4"), o}, 3, "no frames"},
        {{"render", Clip("marked.mp4"), "/proc/out.mp4"}, 4, "cannot write"},
        {{"render", Clip("marked.mp4"), out.file("no/folder/out.mp4")}, 4, "does not exist"},
        {{"render", Clip("marked.mp4"), Clip("marked.mp4")}, 4, "overwrite the input"},
        {{"render", Clip("marked.mp4"), o}, 4, "disk is full", 20000},
        {{"--plugin", out.file("nowhere.plugin"), "render", Clip("marked.mp4"), o}, 5, "not found"},
        {{"--plugin", "/lib/x86_64-linux-gnu/libz.so.1", "render", Clip("marked.mp4"), o}, 5, "no entry point"},
        {{"--plugin", failing, "render", Clip("marked.mp4"), o}, 1, "frame 3: the plug-in answered kPluginFailed (6)"},
        {{"render", "--size", "5000x100", Clip("marked.mp4"), o}, 2, "too large"},
        {{"render", "--frames", "500", Clip("marked.mp4"), o}, 2, "past the clip"},
        {{"render", "--bogus", Clip("marked.mp4"), o}, 2, "unknown option"},
        {{"render", Clip("marked.mp4"), out.file("out.webm")}, 2, "cannot hold H.264"},
        {{"still", Clip("marked.mp4"), out.file("out.jpg")}, 2, "PNG"},
        {{"still", "--thumb-offset", "100", Clip("marked.mp4"), out.file("s.png")}, 2, "outside the clip"},
    };
    const auto before = Listing(out.path());
    for (const Case &c : cases) {
        RunOptions opt;
        opt.prefs = prefs.path();
        opt.fileLimit = c.fileLimit;
        const Result r = Host(c.args, opt);
        std::string line = r.err;
        EXPECT_EQ(r.status, c.status) << c.args[c.args.size() - 2] << ": " << r.err;
        EXPECT_NE(line.find(c.words), std::string::npos) << "wanted '" << c.words << "' in: " << r.err;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << "one line: " << r.err;
        EXPECT_EQ(Listing(out.path()), before) << "left behind after: " << r.err;
    }
    EXPECT_TRUE(fs::exists(Clip("marked.mp4")));
}

TEST_F(HostE2E, InterruptedRenderLeavesNothing) {
    RunOptions o;
    o.prefs = prefs.path();
    o.interruptWhen = 20000;
    o.watchDir = out.path();
    const Result r = Host({"render", "--demo", "--preset", "ultrafast", out.file("demo.mp4")}, o);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
    EXPECT_TRUE(Listing(out.path()).empty());
}

}  // namespace
