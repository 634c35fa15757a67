// The host's conversion of rendered A, R, G, B frames into the encoder's
// planar 4:2:0 at 1920 x 1080: our converter (AVX2 and plain) against
// swscale doing the same conversion (bilinear, the same colour matrix), with
// a memcpy of the frame as the floor; and the same the other way, decoded
// 4:2:0 into the plug-in's buffers (swscale: bicubic with full chroma).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "PixelConvert.h"
#include "Yuv420.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

constexpr int kW = 1920, kH = 1080;

std::vector<uint8_t> Picture() {
    std::vector<uint8_t> px(static_cast<size_t>(kW) * kH * 4);
    std::mt19937 rng(1);
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = 255;
        px[i + 1] = static_cast<uint8_t>(rng());
        px[i + 2] = static_cast<uint8_t>(i >> 10);
        px[i + 3] = static_cast<uint8_t>(i >> 14);
    }
    return px;
}

struct Yuv {
    AVFrame *f = av_frame_alloc();
    Yuv() {
        f->format = AV_PIX_FMT_YUV420P;
        f->width = kW;
        f->height = kH;
        f->colorspace = AVCOL_SPC_BT709;
        f->color_range = AVCOL_RANGE_MPEG;
        av_frame_get_buffer(f, 0);
    }
    ~Yuv() { av_frame_free(&f); }
};

void BM_Memcpy(benchmark::State &state) {
    const auto px = Picture();
    std::vector<uint8_t> out(px.size());
    for (auto _ : state) {
        std::memcpy(out.data(), px.data(), px.size());
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_OwnToYuv420(benchmark::State &state) {
    const auto px = Picture();
    Yuv yuv;
    qvhost::YuvMatrix m;
    qvhost::YuvMatrixFor(AVCOL_SPC_BT709, false, &m);
    const bool simd = state.range(0) != 0;
    if (simd && !qvhost::Yuv420HasAVX2()) {
        state.SkipWithError("no AVX2");
        return;
    }
    for (auto _ : state) {
        qvhost::ArgbToYuv420(px.data(), 4L * kW, kW, kH, m, yuv.f->data, yuv.f->linesize, simd);
        benchmark::DoNotOptimize(yuv.f->data[0]);
    }
}

void BM_SwscaleToYuv420(benchmark::State &state) {
    const auto px = Picture();
    Yuv yuv;
    SwsContext *ctx = sws_getContext(kW, kH, AV_PIX_FMT_ARGB, kW, kH, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                     nullptr, nullptr);
    sws_setColorspaceDetails(ctx, sws_getCoefficients(SWS_CS_DEFAULT), 1, sws_getCoefficients(SWS_CS_ITU709), 0, 0,
                             1 << 16, 1 << 16);
    const uint8_t *planes[4] = {px.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {4 * kW, 0, 0, 0};
    for (auto _ : state) {
        sws_scale(ctx, planes, strides, 0, kH, yuv.f->data, yuv.f->linesize);
        benchmark::DoNotOptimize(yuv.f->data[0]);
    }
    sws_freeContext(ctx);
}

// The other way: decoded 4:2:0 into the plug-in's buffers.
void BM_OwnToArgb(benchmark::State &state) {
    auto px = Picture();
    Yuv yuv;
    qvhost::FromArgb().convert(px.data(), 4L * kW, yuv.f);
    qvhost::RgbMatrix m;
    qvhost::RgbMatrixFor(AVCOL_SPC_BT709, false, &m);
    const bool simd = state.range(0) != 0;
    for (auto _ : state) {
        qvhost::Yuv420ToArgb(yuv.f->data, yuv.f->linesize, kW, kH, m, qvhost::ChromaSiting::Left, px.data(), 4L * kW,
                             simd);
        benchmark::DoNotOptimize(px.data());
    }
}

void BM_SwscaleToArgb(benchmark::State &state) {
    auto px = Picture();
    Yuv yuv;
    qvhost::FromArgb().convert(px.data(), 4L * kW, yuv.f);
    SwsContext *ctx = sws_getContext(kW, kH, AV_PIX_FMT_YUV420P, kW, kH, AV_PIX_FMT_ARGB,
                                     SWS_BICUBIC | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    sws_setColorspaceDetails(ctx, sws_getCoefficients(SWS_CS_ITU709), 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                             1 << 16, 1 << 16);
    uint8_t *planes[4] = {px.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {4 * kW, 0, 0, 0};
    for (auto _ : state) {
        sws_scale(ctx, yuv.f->data, yuv.f->linesize, 0, kH, planes, strides);
        benchmark::DoNotOptimize(px.data());
    }
    sws_freeContext(ctx);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OwnToYuv420)->Arg(1)->Arg(0)->ArgName("avx2")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwscaleToYuv420)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OwnToArgb)->Arg(1)->Arg(0)->ArgName("avx2")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwscaleToArgb)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
