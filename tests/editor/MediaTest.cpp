// The host's media side: exact frame access when reading in order and when
// seeking, and the colour matrix. (Timing, sound, damage, metadata and bad
// input are the host's end-to-end test.)
#include "ClipSource.h"
#include "HostError.h"
#include "MediaFixtures.h"
#include "PixelConvert.h"

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

}  // namespace
