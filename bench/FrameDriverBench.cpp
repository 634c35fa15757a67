// The frame driver's own copies per frame at 1920 x 1080: the source frame
// into a new work buffer and the work buffer into the host's target (what
// ApplyEffect does around the engine), against the memcpy floor of moving the
// same bytes twice. Goal: within 3x of the floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "quickdraw/QuickDraw.h"

namespace {

constexpr SInt16 kWidth = 1920, kHeight = 1080;

GWorldPtr NewWorld() {
    Rect r{0, 0, kHeight, kWidth};
    GWorldPtr gw = nullptr;
    NewGWorld(&gw, 32, &r, nullptr, nullptr, 0);
    LockPixels(GetGWorldPixMap(gw));
    std::memset(GetPixBaseAddr(GetGWorldPixMap(gw)), 0x5A, GetPixRowBytes(GetGWorldPixMap(gw)) * kHeight);
    return gw;
}

void BM_MemcpyFloor(benchmark::State &state) {
    const size_t bytes = size_t{kWidth} * kHeight * 4;
    std::vector<char> a(bytes, 1), b(bytes, 2), c(bytes, 3);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), bytes);
        std::memcpy(c.data(), b.data(), bytes);
        benchmark::DoNotOptimize(c.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * bytes);
}
BENCHMARK(BM_MemcpyFloor)->Unit(benchmark::kMillisecond);

void BM_DriverCopies(benchmark::State &state) {
    GWorldPtr source = NewWorld(), target = NewWorld();
    const Rect rect{0, 0, kHeight, kWidth};
    for (auto _ : state) {
        GWorldPtr work = nullptr;
        NewGWorld(&work, 32, &rect, nullptr, nullptr, 0);
        LockPixels(GetGWorldPixMap(work));
        CopyBits(GetPortBitMapForCopyBits(source), GetPortBitMapForCopyBits(work), &rect, &rect, srcCopy, nullptr);
        CopyBits(GetPortBitMapForCopyBits(work), GetPortBitMapForCopyBits(target), &rect, &rect, srcCopy, nullptr);
        DisposeGWorld(work);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * size_t{kWidth} * kHeight * 4);
    DisposeGWorld(source);
    DisposeGWorld(target);
}
BENCHMARK(BM_DriverCopies)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
