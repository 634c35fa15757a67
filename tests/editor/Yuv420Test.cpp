// The host's conversions between A, R, G, B and 4:2:0: the AVX2 kernels
// against the plain ones, the known colours of each matrix, and the quality
// of a picture going out to A, R, G, B and back (once and three times)
// against swscale doing the same round trip.
#include "PixelConvert.h"
#include "Yuv420.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

using namespace qvhost;

namespace {

struct Planes {
    int w, h;
    std::vector<uint8_t> y, u, v;
    Planes(int width, int height)
        : w(width), h(height), y(static_cast<size_t>(width) * height, 0xEE),
          u(static_cast<size_t>((width + 1) / 2) * ((height + 1) / 2), 0xEE), v(u.size(), 0xEE) {}
    int cw() const { return (w + 1) / 2; }
    void fromArgb(const std::vector<uint8_t> &argb, const YuvMatrix &m, bool simd, int top = 0, int bottom = -1) {
        uint8_t *const planes[3] = {y.data(), u.data(), v.data()};
        const int strides[3] = {w, cw(), cw()};
        ArgbToYuv420Rows(argb.data(), 4L * w, w, h, m, planes, strides, top, bottom < 0 ? h : bottom, simd);
    }
    std::vector<uint8_t> toArgb(const RgbMatrix &m, ChromaSiting siting, bool simd) const {
        std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4, 0xEE);
        const uint8_t *const planes[3] = {y.data(), u.data(), v.data()};
        const int strides[3] = {w, cw(), cw()};
        Yuv420ToArgb(planes, strides, w, h, m, siting, out.data(), 4L * w, simd);
        return out;
    }
};

std::vector<uint8_t> Noise(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    for (auto &b : px) b = static_cast<uint8_t>(rng());
    return px;
}

}  // namespace

TEST(Yuv420, KernelsAgreeBandsAgreeAndChromaComesBack) {
    YuvMatrix to;
    RgbMatrix back;
    ASSERT_TRUE(YuvMatrixFor(AVCOL_SPC_BT709, false, &to));
    ASSERT_TRUE(RgbMatrixFor(AVCOL_SPC_BT709, false, &back));
    const bool avx2 = Yuv420HasAVX2();
    // Widths around the kernels' blocks (8, 16, 32 pixels), odd ones
    // included; odd heights.
    for (int w : {1, 2, 3, 7, 15, 16, 17, 31, 32, 33, 34, 47, 65, 130}) {
        for (int h : {1, 2, 3, 6, 7}) {
            const auto px = Noise(w, h, static_cast<unsigned>(w * 31 + h));
            Planes plain(w, h), fast(w, h), banded(w, h);
            plain.fromArgb(px, to, false);
            fast.fromArgb(px, to, true);
            banded.fromArgb(px, to, true, 0, 2);
            banded.fromArgb(px, to, true, 2, h);
            ASSERT_EQ(fast.y, plain.y) << w << "x" << h;
            ASSERT_EQ(fast.u, plain.u) << w << "x" << h;
            ASSERT_EQ(fast.v, plain.v) << w << "x" << h;
            ASSERT_EQ(banded.y, plain.y) << w << "x" << h;
            ASSERT_EQ(banded.u, plain.u) << w << "x" << h;
            for (ChromaSiting siting : {ChromaSiting::Left, ChromaSiting::Centre}) {
                const auto a = plain.toArgb(back, siting, false), b = plain.toArgb(back, siting, avx2);
                ASSERT_EQ(a, b) << w << "x" << h;
                for (size_t i = 0; i < a.size(); i += 4) ASSERT_EQ(a[i], 255) << "opaque";
            }
            // Chroma that stays inside the RGB cube comes back from a round
            // trip to within rounding, edges included: the downsampler
            // undoes the left-sited upsampler.
            Planes calm(w, h), again(w, h);
            std::mt19937 rng(static_cast<unsigned>(w + 100 * h));
            for (auto &b : calm.y) b = static_cast<uint8_t>(110 + rng() % 40);
            for (auto *plane : {&calm.u, &calm.v})
                for (auto &b : *plane) b = static_cast<uint8_t>(112 + rng() % 32);
            again.fromArgb(calm.toArgb(back, ChromaSiting::Left, avx2), to, avx2);
            for (size_t i = 0; i < calm.u.size(); ++i) {
                ASSERT_NEAR(again.u[i], calm.u[i], 1) << w << "x" << h << " at " << i;
                ASSERT_NEAR(again.v[i], calm.v[i], 1) << w << "x" << h << " at " << i;
            }
            for (size_t i = 0; i < calm.y.size(); ++i) ASSERT_NEAR(again.y[i], calm.y[i], 1) << w << "x" << h;
        }
    }
}

TEST(Yuv420, KnownColoursAndAlphaIgnored) {
    YuvMatrix m709, m601, full;
    ASSERT_TRUE(YuvMatrixFor(AVCOL_SPC_BT709, false, &m709));
    ASSERT_TRUE(YuvMatrixFor(AVCOL_SPC_SMPTE170M, false, &m601));
    ASSERT_TRUE(YuvMatrixFor(AVCOL_SPC_BT709, true, &full));
    EXPECT_FALSE(YuvMatrixFor(AVCOL_SPC_UNSPECIFIED, false, &m709));
    struct Case {
        uint8_t a, r, g, b;
        const YuvMatrix *m;
        int y, u, v;
    } cases[] = {
        {255, 255, 255, 255, &m709, 235, 128, 128}, {255, 0, 0, 0, &m709, 16, 128, 128},
        {255, 255, 0, 0, &m709, 63, 102, 240},      {255, 255, 0, 0, &m601, 81, 90, 240},
        {255, 0, 0, 255, &full, 18, 255, 116},      {0, 0, 0, 0, &m709, 16, 128, 128},
        {128, 255, 255, 255, &m709, 235, 128, 128},  // premultiplied colour as it stands
    };
    for (const Case &c : cases) {
        const int w = 40, h = 4;  // kernel blocks and a plain tail
        std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
        for (size_t i = 0; i < px.size(); i += 4) px[i] = c.a, px[i + 1] = c.r, px[i + 2] = c.g, px[i + 3] = c.b;
        Planes out(w, h);
        out.fromArgb(px, *c.m, true);
        for (int x : {0, 39}) EXPECT_EQ(out.y[x], c.y) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        for (int x : {0, 19}) {
            EXPECT_EQ(out.u[x], c.u) << int(c.r) << "," << int(c.g) << "," << int(c.b);
            EXPECT_EQ(out.v[x], c.v) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        }
    }
}

namespace {

// A test card: colour bars with sharp edges, smooth gradients, thin stripes
// and a noisy patch, as A, R, G, B. Every channel stays within 48 .. 207:
// colours outside the RGB cube are clipped in the plug-in's 8-bit pixels,
// and a copy of a copy then drifts there whatever the filters.
std::vector<uint8_t> Card(int w, int h) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    std::mt19937 rng(5);
    static const uint8_t kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                        {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = &px[(static_cast<size_t>(y) * w + x) * 4];
            int rgb[3];
            if (y < h / 3) {
                for (int i = 0; i < 3; ++i) rgb[i] = kBars[x * 8 / w][i];
            } else if (y < 2 * h / 3) {
                rgb[0] = 255 * x / w;
                rgb[1] = static_cast<int>(128 + 100 * std::sin(y * 0.2 + x * 0.05));
                rgb[2] = 255 - 255 * x / w;
            } else if (x < w / 2) {
                const bool on = (x / 3 + y / 5) % 2;
                rgb[0] = on ? 230 : 40, rgb[1] = on ? 60 : 200, rgb[2] = on ? 90 : 160;
            } else {
                for (int &c : rgb) c = static_cast<int>(rng() % 256);
            }
            p[0] = 255;
            for (int i = 0; i < 3; ++i) p[i + 1] = static_cast<uint8_t>(48 + rgb[i] * 160 / 255);
        }
    return px;
}

struct Frame {
    AVFrame *f;
    Frame(int w, int h, AVColorSpace space, AVColorRange range, AVChromaLocation siting) : f(av_frame_alloc()) {
        f->format = AV_PIX_FMT_YUV420P;
        f->width = w;
        f->height = h;
        f->colorspace = space;
        f->color_range = range;
        f->chroma_location = siting;
        av_frame_get_buffer(f, 0);
    }
    ~Frame() { av_frame_free(&f); }
    Frame(const Frame &) = delete;
    Frame &operator=(const Frame &) = delete;
};

double Psnr(const AVFrame *a, const AVFrame *b, int plane) {
    const int w = plane ? (a->width + 1) / 2 : a->width, h = plane ? (a->height + 1) / 2 : a->height;
    double sq = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = a->data[plane][y * a->linesize[plane] + x] - b->data[plane][y * b->linesize[plane] + x];
            sq += d * d;
        }
    return sq == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / (sq / (static_cast<double>(w) * h)));
}

// swscale between A, R, G, B and 4:2:0 with ffmpeg's default (bicubic)
// scaler and the given matrix and range: yuv (when given) into argb, then
// argb into out.
void Swscale(const AVFrame *yuv, uint8_t *argb, AVFrame *out, AVColorSpace space, bool full) {
    const int w = out->width, h = out->height;
    const int cs = space == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : space == AVCOL_SPC_BT2020_NCL ? SWS_CS_BT2020 : SWS_CS_ITU601;
    uint8_t *planes[4] = {argb, nullptr, nullptr, nullptr};
    int strides[4] = {4 * w, 0, 0, 0};
    if (yuv) {
        SwsContext *in = sws_getContext(w, h, AV_PIX_FMT_YUV420P, w, h, AV_PIX_FMT_ARGB, SWS_BICUBIC, nullptr, nullptr, nullptr);
        sws_setColorspaceDetails(in, sws_getCoefficients(cs), full, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        sws_scale(in, yuv->data, yuv->linesize, 0, h, planes, strides);
        sws_freeContext(in);
    }
    SwsContext *back = sws_getContext(w, h, AV_PIX_FMT_ARGB, w, h, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    sws_setColorspaceDetails(back, sws_getCoefficients(SWS_CS_DEFAULT), 1, sws_getCoefficients(cs), full, 0, 1 << 16, 1 << 16);
    sws_scale(back, planes, strides, 0, h, out->data, out->linesize);
    sws_freeContext(back);
}

}  // namespace

// An identity render at the highest quality takes a decoded picture to the
// plug-in's A, R, G, B and back to the encoder's 4:2:0; a copy of a copy
// does it again. With the frame's own matrix and range (or the one its size
// implies), the plug-in sees the colours the picture was made of, and the
// round trip keeps the picture at least as well as swscale's; repeating it
// loses little more.
TEST(Convert, RoundTripsKeepThePictureAsWellAsSwscale) {
    struct Case {
        int w, h;
        AVColorSpace declared, meant;  // meant: the matrix the picture is made with
        AVColorRange range;
        AVChromaLocation siting;
    } cases[] = {
        {320, 180, AVCOL_SPC_BT709, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, AVCHROMA_LOC_LEFT},
        {320, 180, AVCOL_SPC_UNSPECIFIED, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG, AVCHROMA_LOC_UNSPECIFIED},
        {1280, 720, AVCOL_SPC_UNSPECIFIED, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, AVCHROMA_LOC_LEFT},  // HD: 709
        {322, 182, AVCOL_SPC_BT2020_NCL, AVCOL_SPC_BT2020_NCL, AVCOL_RANGE_JPEG, AVCHROMA_LOC_LEFT},
        {321, 181, AVCOL_SPC_SMPTE170M, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_JPEG, AVCHROMA_LOC_LEFT},
    };
    for (const Case &c : cases) {
        const bool full = c.range == AVCOL_RANGE_JPEG;
        const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + " " +
                                 av_color_space_name(c.declared) + (full ? " full" : " limited");
        // The clip's picture, made by swscale.
        auto card = Card(c.w, c.h);
        Frame clip(c.w, c.h, c.declared, c.range, c.siting);
        Swscale(nullptr, card.data(), clip.f, c.meant, full);
        // swscale's round trip.
        std::vector<uint8_t> theirsArgb(card.size()), argb(card.size());
        Frame theirs(c.w, c.h, c.declared, c.range, c.siting);
        Swscale(clip.f, theirsArgb.data(), theirs.f, c.meant, full);
        // Ours, three generations; the encoder's frames declare what the clip does.
        Frame gen[3] = {{c.w, c.h, c.declared, c.range, AVCHROMA_LOC_LEFT},
                        {c.w, c.h, c.declared, c.range, AVCHROMA_LOC_LEFT},
                        {c.w, c.h, c.declared, c.range, AVCHROMA_LOC_LEFT}};
        const AVFrame *from = clip.f;
        for (Frame &g : gen) {
            ToArgb().convert(from, c.w, c.h, true, argb.data(), 4L * c.w);
            if (from == clip.f) {
                // The middle of each bar, where no filter reaches an edge,
                // has the card's colour (a wrong matrix or range is 5 to
                // 40 levels off); scaled by swscale, with either quality, too.
                std::vector<uint8_t> half(card.size() / 4);
                for (int scaled = 0; scaled < 3; ++scaled) {
                    const int w = scaled ? c.w / 2 : c.w, h = scaled ? c.h / 2 : c.h;
                    if (scaled) ToArgb().convert(from, w, h, scaled == 1, half.data(), 4L * w);
                    for (int bar = 0; bar < 8; ++bar) {
                        const size_t at = (static_cast<size_t>(h / 6) * w + (2 * bar + 1) * w / 16) * 4;
                        const size_t ref = (static_cast<size_t>(c.h / 6) * c.w + (2 * bar + 1) * c.w / 16) * 4;
                        for (int i = 1; i < 4; ++i)
                            EXPECT_NEAR((scaled ? half : argb)[at + i], card[ref + i], scaled ? 4 : 1)
                                << name << ", bar " << bar << ", channel " << i << ", scaled " << scaled;
                    }
                }
            }
            FromArgb().convert(argb.data(), 4L * c.w, g.f);
            from = g.f;
        }
        for (int plane = 0; plane < 3; ++plane) {
            const double sws = Psnr(theirs.f, clip.f, plane), one = Psnr(gen[0].f, clip.f, plane),
                         three = Psnr(gen[2].f, clip.f, plane);
            EXPECT_GE(one, sws) << name << ", plane " << plane << ": once " << one << " dB, swscale " << sws;
            EXPECT_GE(three, one - 1.0) << name << ", plane " << plane << ": once " << one << " dB, thrice " << three;
        }
    }
}
