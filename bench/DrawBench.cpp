// Speed of the crop-and-zoom draw, side by side in one run on the same
// frames: a memcpy of the frame (the floor), the Quartz stand-in's draw
// alone (AVX2 and plain kernels), the whole renderer TheLineEffect, and
// pixman doing the same draw (PIXMAN_a8r8g8b8, bilinear, with the byte swaps
// our memory order needs in and out). bench/compare.sh adds FFmpeg's
// filters and prints the ratios.
//
// Settings: identity (whole frame, no zoom), zoom (the centre half of the
// frame enlarged twice to fill it), turn (the same turned by 0.06 of a turn);
// for the whole renderer also host zoom (the whole frame enlarged 1.5 times
// about its centre: quelvane-host's main job in bench/host_vs_ffmpeg.sh).
// Sizes: 720 x 480, 1920 x 1080, 3840 x 2160.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/PluginDefines.h"
#include "engine/lineEffect.h"
#include "engine/relrects.h"
#include "quartz/CoreGraphics.h"
#include "quickdraw/QuickDraw.h"

namespace {

enum Setting { kIdentity = 0, kZoom = 1, kTurn = 2, kHostZoom = 3 };
constexpr double kTurnAngle = 2 * M_PI * 6 / 100;

struct WorldDeleter {
    void operator()(OpaqueGrafPtr *w) const { DisposeGWorld(w); }
};
using World = std::unique_ptr<OpaqueGrafPtr, WorldDeleter>;

World MakeWorld(int w, int h) {
    GWorldPtr gw = nullptr;
    const Rect r{0, 0, static_cast<SInt16>(h), static_cast<SInt16>(w)};
    NewGWorld(&gw, 32, &r, nullptr, nullptr, 0);
    return World(gw);
}

UInt8 *Base(GWorldPtr w) { return reinterpret_cast<UInt8 *>(GetPixBaseAddr(GetGWorldPixMap(w))); }
size_t RowBytes(GWorldPtr w) { return static_cast<size_t>(GetPixRowBytes(GetGWorldPixMap(w))); }

// An opaque picture with detail everywhere (like video, unlike flat fills).
void FillPicture(GWorldPtr w, int width, int height) {
    UInt8 *base = Base(w);
    const size_t rb = RowBytes(w);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            UInt8 *p = base + y * rb + x * 4;
            p[0] = 255;
            p[1] = static_cast<UInt8>((x * 255) / width + (seed >> 28));
            p[2] = static_cast<UInt8>((y * 255) / height + (seed >> 27 & 7));
            p[3] = static_cast<UInt8>((x ^ y) + (seed >> 29));
        }
}

struct Frame {
    int w, h;
    World source, dest;
    Frame(int width, int height) : w(width), h(height), source(MakeWorld(width, height)), dest(MakeWorld(width, height)) {
        FillPicture(source.get(), w, h);
    }
};

// The crop of a setting: the whole frame, or its centre half.
Rect CropOf(Setting s, int w, int h) {
    if (s == kIdentity) return Rect{0, 0, static_cast<SInt16>(h), static_cast<SInt16>(w)};
    return Rect{static_cast<SInt16>(h / 4), static_cast<SInt16>(w / 4), static_cast<SInt16>(h / 4 + h / 2),
                static_cast<SInt16>(w / 4 + w / 2)};
}

void Args(benchmark::internal::Benchmark *b) {
    for (int s : {kIdentity, kZoom, kTurn})
        for (auto [w, h] : {std::pair{720, 480}, {1920, 1080}, {3840, 2160}}) b->Args({s, w, h});
    b->ArgNames({"setting", "w", "h"});
    b->Unit(benchmark::kMillisecond);
    // CPU time of the one drawing thread: the machine is shared, and the
    // ratios against memcpy, pixman and FFmpeg are what count.
}

void RendererArgs(benchmark::internal::Benchmark *b) {
    Args(b);
    for (auto [w, h] : {std::pair{720, 480}, {1920, 1080}, {3840, 2160}}) b->Args({kHostZoom, w, h});
}

void BM_Memcpy(benchmark::State &state) {
    const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
    Frame f(w, h);
    const size_t bytes = RowBytes(f.source.get()) * h;
    for (auto _ : state) {
        std::memcpy(Base(f.dest.get()), Base(f.source.get()), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// The Quartz draw alone: the crop image drawn scaled (and turned) into the
// whole destination, as the renderer's bridge does.
void Draw(benchmark::State &state, bool simd) {
    const Setting s = static_cast<Setting>(state.range(0));
    const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
    if (simd && !QVCGSIMDAvailable()) {
        state.SkipWithError("no AVX2");
        return;
    }
    const Boolean previous = QVCGSetSIMDEnabled(simd);
    Frame f(w, h);
    const Rect crop = CropOf(s, w, h);
    World cropWorld = MakeWorld(crop.right - crop.left, crop.bottom - crop.top);
    const Rect to{0, 0, static_cast<SInt16>(crop.bottom - crop.top), static_cast<SInt16>(crop.right - crop.left)};
    CopyBits(GetPortBitMapForCopyBits(f.source.get()), GetPortBitMapForCopyBits(cropWorld.get()), &crop, &to, srcCopy,
             nullptr);
    CGContextRef crc = nullptr;
    QDBeginCGContext(cropWorld.get(), &crc);
    CGImageRef image = CGBitmapContextCreateImage(crc);
    QDEndCGContext(cropWorld.get(), &crc);
    CGContextRef c = nullptr;
    QDBeginCGContext(f.dest.get(), &c);
    for (auto _ : state) {
        CGContextSaveGState(c);
        CGContextTranslateCTM(c, w / 2.0f, h / 2.0f);
        if (s == kTurn) CGContextRotateCTM(c, static_cast<CGFloat>(kTurnAngle));
        CGContextDrawImage(c, CGRect{{-w / 2.0f, -h / 2.0f}, {float(w), float(h)}}, image);
        CGContextRestoreGState(c);
        benchmark::ClobberMemory();
    }
    QDEndCGContext(f.dest.get(), &c);
    CGImageRelease(image);
    QVCGSetSIMDEnabled(previous);
}

void BM_Draw(benchmark::State &state) { Draw(state, true); }
void BM_DrawPlain(benchmark::State &state) { Draw(state, false); }

// The whole renderer, as the host path calls it.
void BM_LineEffect(benchmark::State &state) {
    const Setting s = static_cast<Setting>(state.range(0));
    const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
    Frame f(w, h);
    PluginDataRec config;
    std::memset(&config, 0, sizeof config);
    config.StartRel = s == kIdentity || s == kHostZoom ? RelRect{0, 1, 0, 1} : RelRect{0.25, 0.75, 0.25, 0.75};
    config.Sliders[0] = config.Sliders[1] = s == kIdentity ? 0 : s == kHostZoom ? 500 : 1000;
    config.Sliders[2] = s == kTurn ? 6 : 0;
    Rect frame;
    GetPortBounds(f.dest.get(), &frame);
    const Rect active = Rel2Rect(config.StartRel, frame);
    for (auto _ : state) {
        TheLineEffect(f.source.get(), f.dest.get(), active, true, &config, 0, 1);
        benchmark::ClobberMemory();
    }
}

// Our memory order A, R, G, B to pixman's native-endian a8r8g8b8 and back.
void Swap(const UInt8 *from, size_t fromRowBytes, UInt8 *to, size_t toRowBytes, int w, int h) {
    for (int y = 0; y < h; ++y) {
        const auto *s = reinterpret_cast<const uint32_t *>(from + y * fromRowBytes);
        auto *d = reinterpret_cast<uint32_t *>(to + y * toRowBytes);
        for (int x = 0; x < w; ++x) d[x] = __builtin_bswap32(s[x]);
    }
}

// pixman's transform: destination pixels to source pixels.
pixman_transform_t PixmanTransform(Setting s, int w, int h, int cw, int ch) {
    // Forward: source centre to destination centre, scaled by w / cw and
    // turned counter-clockwise on screen (clockwise in y-down terms).
    const double sx = double(w) / cw, sy = double(h) / ch;
    const double a = s == kTurn ? kTurnAngle : 0, co = std::cos(a), si = std::sin(a);
    // Inverse: undo the turn (y down), undo the scale, move to the source centre.
    const double m00 = co / sx, m01 = -si / sx, m10 = si / sy, m11 = co / sy;
    const double tx = cw / 2.0 - (m00 * w / 2.0 + m01 * h / 2.0);
    const double ty = ch / 2.0 - (m10 * w / 2.0 + m11 * h / 2.0);
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    t.matrix[0][0] = pixman_double_to_fixed(m00);
    t.matrix[0][1] = pixman_double_to_fixed(m01);
    t.matrix[0][2] = pixman_double_to_fixed(tx);
    t.matrix[1][0] = pixman_double_to_fixed(m10);
    t.matrix[1][1] = pixman_double_to_fixed(m11);
    t.matrix[1][2] = pixman_double_to_fixed(ty);
    return t;
}

// pixman doing the renderer's work: crop swapped in, destination filled,
// the crop composited over it scaled (and turned) with bilinear filtering,
// the result swapped out. `drawOnly` times the composite alone.
void Pixman(benchmark::State &state, bool drawOnly) {
    const Setting s = static_cast<Setting>(state.range(0));
    const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
    Frame f(w, h);
    const Rect crop = CropOf(s, w, h);
    const int cw = crop.right - crop.left, ch = crop.bottom - crop.top;
    std::vector<uint32_t> srcPixels(static_cast<size_t>(cw) * ch), dstPixels(static_cast<size_t>(w) * h);
    pixman_image_t *src = pixman_image_create_bits(PIXMAN_a8r8g8b8, cw, ch, srcPixels.data(), cw * 4);
    pixman_image_t *dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, dstPixels.data(), w * 4);
    pixman_transform_t t = PixmanTransform(s, w, h, cw, ch);
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(src, PIXMAN_REPEAT_NONE);
    const pixman_color_t black{0, 0, 0, 0xFFFF};
    const pixman_box32_t all{0, 0, w, h};
    const UInt8 *cropStart = Base(f.source.get()) + crop.top * RowBytes(f.source.get()) + crop.left * 4;
    Swap(cropStart, RowBytes(f.source.get()), reinterpret_cast<UInt8 *>(srcPixels.data()), cw * 4, cw, ch);
    for (auto _ : state) {
        if (!drawOnly) Swap(cropStart, RowBytes(f.source.get()), reinterpret_cast<UInt8 *>(srcPixels.data()), cw * 4, cw, ch);
        if (!drawOnly) pixman_image_fill_boxes(PIXMAN_OP_SRC, dst, &black, 1, &all);
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, w, h);
        if (!drawOnly)
            Swap(reinterpret_cast<const UInt8 *>(dstPixels.data()), w * 4, Base(f.dest.get()), RowBytes(f.dest.get()), w, h);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
}

void BM_Pixman(benchmark::State &state) { Pixman(state, false); }
void BM_PixmanDraw(benchmark::State &state) { Pixman(state, true); }

BENCHMARK(BM_Memcpy)->Apply(Args);
BENCHMARK(BM_Draw)->Apply(Args);
BENCHMARK(BM_DrawPlain)->Apply(Args);
BENCHMARK(BM_PixmanDraw)->Apply(Args);
BENCHMARK(BM_LineEffect)->Apply(RendererArgs);
BENCHMARK(BM_Pixman)->Apply(Args);

} // namespace

BENCHMARK_MAIN();
