// quelvane-host end to end, on clips that ffmpeg makes here: each is
// rendered through the real plug-in bundle, and input and output are read
// with FFmpeg's own decoders (not the host's reader) to compare their frames'
// times, their sound, their metadata and their pictures. Bad input and output
// end with one line, a documented status and nothing left behind; signals
// stop a render cleanly, and what a killed render left is cleaned up later.
#include "ClipSource.h"
#include "E2EProcess.h"
#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace fs = std::filesystem;
using namespace qvtest;

namespace {

std::vector<std::string> Listing(const std::string &dir) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A file as FFmpeg's decoders see it: pictures as grey levels, sound as its
// first channel.
struct Media {
    int width = 0, height = 0;
    bool turned = false;  // it has a display matrix
    AVRational sar{0, 1};
    AVFieldOrder fieldOrder = AV_FIELD_UNKNOWN;
    qvhost::ColourDescription colour;
    std::vector<double> times;               // each picture's start, seconds
    std::vector<std::vector<uint8_t>> grey;  // each picture, width x height
    double end = 0;                          // of the last picture
    int rate = 0;
    double soundStart = 0;
    std::vector<float> sound;

    int at(size_t n, int x, int y) const { return grey[n][static_cast<size_t>(y) * width + x]; }
    // The frame number a marked picture carries (bits in ten bands), or -1.
    int mark(size_t n) const {
        int m = 0;
        for (int band = 0; band < kMarkBands; ++band) {
            const int g = at(n, width / 2, (2 * band + 1) * height / (2 * kMarkBands));
            if (g > 90 && g < 165) return -1;
            if (g >= 165) m |= 1 << band;
        }
        return m;
    }
    // When the sound first gets loud, seconds.
    double onset() const {
        const auto loud = std::find_if(sound.begin(), sound.end(), [](float v) { return std::fabs(v) > 0.25f; });
        return soundStart + static_cast<double>(loud - sound.begin()) / rate;
    }
};

void TakePicture(Media &m, const AVFrame *f, const AVStream *st) {
    const bool full = f->color_range == AVCOL_RANGE_JPEG || f->format == AV_PIX_FMT_YUVJ420P;
    SwsContext *sws = sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                     f->height, AV_PIX_FMT_GRAY8, SWS_POINT, nullptr, nullptr, nullptr);
    const int *coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(sws, coefficients, full, coefficients, 1, 0, 1 << 16, 1 << 16);
    m.width = f->width;
    m.height = f->height;
    m.grey.emplace_back(static_cast<size_t>(f->width) * f->height);
    uint8_t *planes[4] = {m.grey.back().data()};
    int strides[4] = {f->width};
    sws_scale(sws, f->data, f->linesize, 0, f->height, planes, strides);
    sws_freeContext(sws);
    const double t = f->best_effort_timestamp * av_q2d(st->time_base);
    m.times.push_back(t);
    const double duration = f->pkt_duration > 0 ? f->pkt_duration * av_q2d(st->time_base) : 0;
    m.end = st->duration > 0 ? (st->start_time + st->duration) * av_q2d(st->time_base) : std::max(m.end, t + duration);
    m.colour = {f->color_primaries, f->color_trc, f->colorspace, f->color_range};
}

void TakeSound(Media &m, const AVFrame *f, const AVStream *st) {
    if (m.sound.empty()) m.soundStart = f->best_effort_timestamp * av_q2d(st->time_base);
    m.rate = f->sample_rate;
    const auto format = static_cast<AVSampleFormat>(f->format);
    const int step = av_sample_fmt_is_planar(format) ? 1 : f->ch_layout.nb_channels;
    for (int k = 0; k < f->nb_samples * step; k += step) {
        const auto packed = av_get_packed_sample_fmt(format);
        if (packed == AV_SAMPLE_FMT_FLT) m.sound.push_back(reinterpret_cast<const float *>(f->data[0])[k]);
        else if (packed == AV_SAMPLE_FMT_S16)
            m.sound.push_back(reinterpret_cast<const int16_t *>(f->data[0])[k] / 32768.0f);
        else m.sound.push_back(static_cast<float>(reinterpret_cast<const int32_t *>(f->data[0])[k] / 2147483648.0));
    }
}

Media Probe(const std::string &path) {
    Media m;
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0 || avformat_find_stream_info(fmt, nullptr) < 0)
        throw std::runtime_error("FFmpeg cannot read " + path);
    const int v = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int a = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVCodecContext *dec[2] = {nullptr, nullptr};
    for (int i : {0, 1}) {
        const int s = i == 0 ? v : a;
        if (s < 0) continue;
        dec[i] = avcodec_alloc_context3(avcodec_find_decoder(fmt->streams[s]->codecpar->codec_id));
        avcodec_parameters_to_context(dec[i], fmt->streams[s]->codecpar);
        dec[i]->pkt_timebase = fmt->streams[s]->time_base;
        avcodec_open2(dec[i], dec[i]->codec, nullptr);
    }
    const AVStream *vs = fmt->streams[v];
    m.turned = av_stream_get_side_data(vs, AV_PKT_DATA_DISPLAYMATRIX, nullptr) != nullptr;
    m.sar = vs->codecpar->sample_aspect_ratio;
    m.fieldOrder = vs->codecpar->field_order;
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    auto drain = [&](int i) {
        while (avcodec_receive_frame(dec[i], frame) == 0) {
            if (i == 0) TakePicture(m, frame, vs);
            else TakeSound(m, frame, fmt->streams[a]);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        const int i = pkt->stream_index == v ? 0 : pkt->stream_index == a ? 1 : -1;
        if (i >= 0 && avcodec_send_packet(dec[i], pkt) >= 0) drain(i);
        av_packet_unref(pkt);
    }
    for (int i : {0, 1})
        if (dec[i]) avcodec_send_packet(dec[i], nullptr), drain(i), avcodec_free_context(&dec[i]);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return m;
}

enum class Patch { kNone, kZerosAt20, kRandomAt50, kTurn90 };

// Damages a file in place, or gives its video track a display matrix that
// turns it 90 degrees clockwise (as a phone writes it).
void ApplyPatch(const std::string &path, Patch patch) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (patch == Patch::kTurn90) {
        const size_t at = bytes.find("tkhd") + 4 + 4 + 4 + 4 + 4 + 4 + 4 + 8 + 8;  // version 0: to the matrix
        const int32_t turn[9] = {0, 0x10000, 0, -0x10000, 0, 0, 0, 0, 0x40000000};
        for (int i = 0; i < 9; ++i)
            for (int b = 0; b < 4; ++b)
                bytes[at + 4 * i + b] = static_cast<char>(static_cast<uint32_t>(turn[i]) >> (24 - 8 * b));
    } else if (patch == Patch::kZerosAt20) {
        std::fill_n(bytes.begin() + bytes.size() / 5, 3000, '\0');
    } else if (patch == Patch::kRandomAt50) {
        std::mt19937 random(50);
        std::generate_n(bytes.begin() + bytes.size() / 2, 20000, [&] { return static_cast<char>(random()); });
    }
    f.seekp(0);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class HostE2E : public ::testing::Test {
protected:
    // Saved settings for the next renders, in this test's own preferences folder.
    void Prefs(const std::vector<std::string> &args) {
        const Result r = RunProgram(Bin("quelvane-prefs"), args, Options());
        ASSERT_EQ(r.status, 0) << r.err;
    }
    RunOptions Options() const { return {.prefs = prefs.path()}; }
    Result Render(const std::vector<std::string> &args) { return Host(args, Options()); }

    TempDir prefs;
    TempDir in;
    TempDir out;
};

TEST_F(HostE2E, RealWorldClipsKeepTheirLengthSoundMetadataAndPictures) {
    struct Case {
        const char *name = nullptr;
        const char *input = nullptr;
        ClipRecipe clip{};
        Patch patch = Patch::kNone;
        std::vector<std::string> render{};  // options
        const char *output = "out.mkv";
        bool damaged = false;     // frames may repeat, with a warning
        bool exactSound = false;  // lossless sound in and out: the same samples, exactly as many
        int start = 0, count = -1, width = 160, height = 120;
        AVRational sar{1, 1};
        AVFieldOrder fieldOrder = AV_FIELD_PROGRESSIVE;
        AVColorRange range = AVCOL_RANGE_MPEG;
        AVColorSpace matrix = AVCOL_SPC_SMPTE170M;
    };
    // Damage lands in the pictures (behind the index at the front), which
    // noise makes big enough.
    const std::vector<std::string> faststart{"-movflags", "+faststart"};
    const std::string noise = "noise=c0s=20:c0f=t";
    const Case cases[] = {
        {.name = "zeros at 20 %", .input = "zeros.mp4", .clip = {.frames = 120, .filter = noise, .extra = faststart},
         .patch = Patch::kZerosAt20, .output = "out.mp4", .damaged = true},
        {.name = "random bytes at 50 %", .input = "random.mp4",
         .clip = {.frames = 120, .filter = noise, .extra = faststart}, .patch = Patch::kRandomAt50, .damaged = true},
        {.name = "10 then 50 frames a second", .input = "vfr.mkv",
         .clip = {.rate = "50", .filter = "settb=1/1000,setpts='if(lt(N,10),N*100,1000+(N-10)*20)'",
                  .extra = {"-fps_mode", "passthrough", "-c:a", "flac"}},
         .exactSound = true},
        {.name = "30000/1001", .input = "ntsc.mp4", .clip = {.rate = "30000/1001", .frames = 61}, .exactSound = true},
        {.name = "turned by its display matrix", .input = "turned.mp4", .clip = {.filter = "transpose=cclock"},
         .patch = Patch::kTurn90, .output = "out.mp4"},
        {.name = "pixel aspect 16:15", .input = "sar.mkv", .clip = {.filter = "setsar=16/15"}, .output = "out.mov",
         .sar = {16, 15}},
        {.name = "interlaced, top field first", .input = "tff.mp4",
         .clip = {.extra = {"-flags", "+ildct+ilme", "-top", "1"}}, .fieldOrder = AV_FIELD_TT},
        {.name = "full range BT.709", .input = "full.mkv",
         .clip = {.extra = {"-color_range", "pc", "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc",
                            "bt709"}},
         .output = "out.mp4", .range = AVCOL_RANGE_JPEG, .matrix = AVCOL_SPC_BT709},
        {.name = "a JPEG still", .input = "still.jpg", .clip = {.frames = 1, .codecs = {}}, .output = "out.mp4",
         .range = AVCOL_RANGE_JPEG, .matrix = AVCOL_SPC_BT470BG},
        {.name = "a range at another size", .input = "plain.mp4",
         .render = {"--start", "10", "--frames", "20", "--size", "80x120"}, .start = 10, .count = 20, .width = 80,
         .sar = {2, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = in.file(c.input), output = out.file(c.output);
        // The reference: the clip undamaged; for a turned one, made upright.
        ClipRecipe upright = c.clip;
        if (c.patch == Patch::kTurn90) upright.filter.clear();
        MakeClip(input, upright);
        const Media before = Probe(input);
        if (c.patch == Patch::kTurn90) MakeClip(input, c.clip);
        ApplyPatch(input, c.patch);
        std::vector<std::string> args{"render", "--preset", "ultrafast"};
        args.insert(args.end(), c.render.begin(), c.render.end());
        args.insert(args.end(), {input, output});
        const Result r = Render(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Listing(out.path()), std::vector<std::string>{c.output});
        EXPECT_EQ(r.err.find("damaged: ") != std::string::npos, c.damaged) << r.err;
        const Media after = Probe(output);
        fs::remove(output);

        // Length and timing: the input's frames at the input's times.
        const size_t count = c.count < 0 ? before.times.size() - c.start : c.count;
        ASSERT_EQ(after.times.size(), count);
        const double origin = before.times[c.start];
        const double end = (c.count < 0 ? before.end : before.times[c.start + count]) - origin;
        EXPECT_NEAR(after.end, end, end / count);
        for (size_t k = 0; k < count; ++k) ASSERT_NEAR(after.times[k], before.times[c.start + k] - origin, 0.0015) << k;

        // Pictures: each frame shows its own picture; in a damaged clip most
        // do, up to the last (a frame lost at the damage shifts none).
        EXPECT_EQ(after.width, c.width);
        EXPECT_EQ(after.height, c.height);
        int exact = 0;
        for (size_t k = 0; k < count; ++k) {
            const int want = static_cast<int>(c.start + k), got = after.mark(k);
            exact += got == want;
            if (c.damaged) continue;
            ASSERT_EQ(got, want) << "frame " << k;
            for (int y = c.height / 20; y < c.height; y += c.height / kMarkBands)  // band middles
                ASSERT_NEAR(after.at(k, c.width / 2, y), before.at(want, before.width / 2, y), 4) << k;
        }
        EXPECT_GT(exact, static_cast<int>(count) * 3 / 4);
        EXPECT_EQ(after.mark(count - 1), static_cast<int>(c.start + count - 1));

        // Metadata.
        EXPECT_FALSE(after.turned);
        EXPECT_EQ(av_cmp_q(after.sar, c.sar), 0) << after.sar.num << ":" << after.sar.den;
        EXPECT_EQ(after.fieldOrder, c.fieldOrder);
        EXPECT_EQ(after.colour.range, c.range);
        EXPECT_EQ(after.colour.matrix, c.matrix);
        EXPECT_TRUE(c.matrix != AVCOL_SPC_BT709 ||
                    (after.colour.primaries == AVCOL_PRI_BT709 && after.colour.transfer == AVCOL_TRC_BT709));

        // Sound: as long as the picture, in step with it, and the input's own.
        if (before.sound.empty() || c.damaged) continue;
        const auto samples = static_cast<int64_t>(after.sound.size());
        const int64_t expected = std::llround(end * before.rate);
        if (c.exactSound) EXPECT_EQ(samples, expected);
        else EXPECT_NEAR(samples, expected, 1024);
        EXPECT_NEAR(after.onset() - after.times[0], before.onset() - origin, 0.002);
        const auto skip = static_cast<size_t>(std::llround((origin - before.soundStart) * before.rate));
        for (size_t i = 0; c.exactSound && i < after.sound.size() && i + skip < before.sound.size(); ++i)
            ASSERT_NEAR(after.sound[i], before.sound[i + skip], 2.5 / 32768) << "sample " << i;
    }
}

TEST_F(HostE2E, TheSavedSettingsStillZoomAndFadesAreInThePixels) {
    MakeClip(in.file("marked.mp4"), {});
    MakeClip(in.file("grey.mp4"), {.frames = 100, .grey = "0xC8C8C8"});
    // The place-holder still is frame start + bestThumbOffset, here unzoomed.
    ASSERT_EQ(Render({"still", "--thumb-offset", "7", "--start", "2", in.file("marked.mp4"), out.file("s.png")}).status,
              0);
    EXPECT_EQ(Probe(out.file("s.png")).mark(0), 9);
    // The centre half of the frame, enlarged twice: output row y shows source row 30 + y / 2.
    Prefs({"--crop", "0.25,0.25,0.75,0.75", "--zoom", "1000,1000"});
    ASSERT_EQ(Render({"render", "--frames", "30", in.file("marked.mp4"), out.file("zoom.mp4")}).status, 0);
    Media m = Probe(out.file("zoom.mp4"));
    ASSERT_EQ(m.grey.size(), 30u);
    for (int n : {0, 13, 29})
        for (int band = 3; band <= 6; ++band)  // output row 24 band - 48 is the middle of source band `band`
            EXPECT_EQ(m.at(n, 80, 24 * band - 48) > 128, ((n >> band) & 1) != 0) << "frame " << n << ", band " << band;
    // Fades: the top-left quarter over black; the clip is grey 200 all over,
    // so the bottom-right shows 200 x opacity / 255.
    Prefs({"--crop", "0,0,0.5,0.5", "--fill", "0,0,0"});
    ASSERT_EQ(Render({"render", "--fade-in", "10", "--fade-out", "10", "--crf", "4", in.file("grey.mp4"),
                      out.file("fades.mp4")}).status, 0);
    m = Probe(out.file("fades.mp4"));
    ASSERT_EQ(m.grey.size(), 100u);
    const std::pair<int, int> expected[] = {{0, 255}, {5, 127}, {9, 25}, {10, 0}, {50, 0},
                                            {90, 0},  {91, 25}, {95, 127}, {99, 229}};
    for (auto [frame, opacity] : expected) {
        // Inside the crop the clip passes untouched through the same chain
        // of conversions: it is the reference for full opacity.
        const int inside = m.at(frame, 30, 20);
        EXPECT_NEAR(inside, 200, 6) << "frame " << frame << ": inside the crop";
        EXPECT_NEAR(m.at(frame, 120, 90) * 255.0 / inside, opacity, 4.0) << "frame " << frame;
    }
}

TEST_F(HostE2E, BadInputAndOutputEndWithOneLineAndLeaveNothing) {
    MakeClip(in.file("marked.mp4"), {.frames = 30});
    MakeClip(in.file("tone.wav"), {.codecs = {"-vn"}});
    MakeClip(in.file("unknown.mkv"), {.frames = 10});
    MakeClip(in.file("noframes.mkv"), {.frames = 0});
    std::ofstream(in.file("notes.txt")) << "not a video\n";
    std::ofstream(in.file("empty.mp4")).close();
    mkfifo(in.file("fifo.mp4").c_str(), 0600);
    fs::create_directory(in.file("folder.mp4"));
    {
        // A codec nobody can decode: its name in the file is changed.
        std::fstream f(in.file("unknown.mkv"), std::ios::in | std::ios::out | std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        f.seekp(static_cast<std::streamoff>(bytes.find("V_MPEG4/ISO/AVC")));
        f.write("V_QUELVANE/TEST", 15);
    }
    const char *failing = std::getenv("QUELVANE_FAILING_PLUGIN");
    const std::string clip = in.file("marked.mp4"), o = out.file("out.mp4");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string words;
        RunOptions limits{};
    } cases[] = {
        {{"render", in.file("missing.mp4"), o}, 3, "no such file"},
        {{"render", in.file("notes.txt"), o}, 3, "not a video"},
        {{"render", in.file("tone.wav"), o}, 3, "no video stream"},
        {{"render", in.file("empty.mp4"), o}, 3, "no frames"},
        {{"render", in.file("noframes.mkv"), o}, 3, "no frames"},
        {{"render", in.file("unknown.mkv"), o}, 3, "cannot be decoded"},
        {{"render", in.path(), o}, 3, "folder"},
        {{"render", in.file("fifo.mp4"), o}, 3, "is a pipe (FIFO)"},
        {{"render", "/dev/zero", o}, 3, "not a video file"},
        {{"render", clip, "/proc/out.mp4"}, 4, "cannot write"},
        {{"render", clip, out.file("no/folder/out.mp4")}, 4, "does not exist"},
        {{"render", clip, clip}, 4, "overwrite the input"},
        {{"render", clip, in.file("folder.mp4")}, 4, "is a folder"},
        {{"render", "--demo", "--size", "320x180", "--preset", "ultrafast", o}, 4, "disk is full",
         {.fileLimit = 20000}},
        {{"render", clip, o}, 4, "disk is full", {.fileLimit = 1}},  // while the writer opens
        {{"info"}, 4, "cannot write the standard output", {.stdoutPath = "/dev/full"}},
        {{"--plugin", out.file("nowhere.plugin"), "render", clip, o}, 5, "not found"},
        {{"--plugin", "/lib/x86_64-linux-gnu/libz.so.1", "render", clip, o}, 5, "no entry point"},
        {{"--plugin", failing ? failing : "", "render", clip, o}, 1, "frame 3: the plug-in answered kPluginFailed (6)"},
        {{"render", "--size", "5000x100", clip, o}, 2, "too large"},
        {{"render", "--size", "4095x16386", clip, o}, 2, "at most 16384"},
        {{"render", "--frames", "500", clip, o}, 2, "past the clip"},
        {{"render", "--preset", "nonsense", clip, o}, 2, "--preset wants"},
        {{"render", "--bogus", clip, o}, 2, "unknown option"},
        {{"render", clip, out.file("out.webm")}, 2, "cannot hold H.264"},
        {{"render", clip, out.file("out.m3u8")}, 2, "writes several files"},
        {{"render", clip, out.file("out.mpd")}, 2, "writes several files"},
        {{"render", clip, out.file("out%03d.png")}, 2, "writes several files"},
        {{"still", clip, out.file("out.jpg")}, 2, "PNG"},
        {{"still", "--thumb-offset", "30", clip, out.file("s.png")}, 2, "outside the clip"},
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow memory does not fit a small address space
        // Room for the program's libraries but not for a frame's buffers: an
        // allocation fails inside the host itself.
        {{"render", "--size", "4095x16384", "--frames", "1", clip, out.file("out.null")}, 1, "out of memory",
         {.memoryLimit = 480u << 20}},
#endif
    };
    for (Case c : cases) {
        c.limits.prefs = prefs.path();
        const Result r = Host(c.args, c.limits);
        EXPECT_EQ(r.status, c.status) << c.args.back() << ": " << r.err;
        EXPECT_NE(r.err.find(c.words), std::string::npos) << "wanted '" << c.words << "' in: " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
        EXPECT_TRUE(fs::is_empty(out.path())) << "left behind after: " << r.err;
    }
    // A FIFO where the saved settings belong does not hold up a render.
    mkfifo((prefs.path() + "/qrvtn-Prefs").c_str(), 0600);
    EXPECT_EQ(Host({"render", "--frames", "3", clip, o}, {.prefs = prefs.path(), .timeoutSeconds = 60}).status, 0);
}

TEST_F(HostE2E, SignalsStopARenderAndWhatAKilledOneLeftIsCleanedUp) {
    const std::string o = out.file("demo.mp4");
    auto startRender = [&] {
        return StartHost({"render", "--demo", "--size", "640x360", "--preset", "ultrafast", o}, Options());
    };
    auto part = [&](const Child &c) { return out.file(".demo.mp4.part-" + std::to_string(c.pid)); };
    // One signal asks the render to stop; two (or one more while it stops) end it at once.
    const std::vector<int> cases[] = {{SIGINT}, {SIGTERM}, {SIGHUP}, {SIGQUIT}, {SIGINT, SIGTERM}};
    for (const std::vector<int> &signals : cases) {
        Child child = startRender();
        ASSERT_TRUE(WaitForFile(part(child), 20000));
        for (int sig : signals) kill(child.pid, sig);
        const Result r = Finish(child);
        // Two signals handled at once may be taken in either order.
        EXPECT_TRUE(r.status == 128 + signals.front() || r.status == 128 + signals.back()) << r.status << r.err;
        EXPECT_EQ(r.err.find("interrupted") != std::string::npos, signals.size() == 1) << r.err;
        EXPECT_TRUE(fs::is_empty(out.path())) << "after " << signals.size() << " signals";
    }
    // A killed render leaves its part file; a live one (stopped here) holds
    // its own. The next render of the output removes the first, keeps the
    // second, and the output it replaces keeps its permissions.
    std::ofstream(o) << "older";
    fs::permissions(o, fs::perms::owner_read | fs::perms::owner_write);
    Child live = startRender();
    ASSERT_TRUE(WaitForFile(part(live), 20000));
    kill(live.pid, SIGSTOP);
    Child killed = startRender();
    ASSERT_TRUE(WaitForFile(part(killed), 20000));
    kill(killed.pid, SIGKILL);
    Finish(killed);
    ASSERT_EQ(Listing(out.path()).size(), 3u);
    const Result r = Host({"render", "--demo", "--preset", "ultrafast", "--frames", "3", o}, Options());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Listing(out.path()), (std::vector<std::string>{fs::path(part(live)).filename(), "demo.mp4"}));
    EXPECT_EQ(fs::status(o).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    kill(live.pid, SIGCONT);
    kill(live.pid, SIGINT);
    EXPECT_EQ(Finish(live).status, 130);
    // A name as long as the file system takes.
    const std::string longName = out.file(std::string(251, 'n') + ".mp4");
    EXPECT_EQ(Host({"render", "--demo", "--preset", "ultrafast", "--frames", "3", longName}, Options()).status, 0);
    EXPECT_TRUE(fs::exists(longName));
}

}  // namespace
