// The built-in demo clip: scrolling colour bars under a grid, a white disc
// circling the centre and a steady tone, generated on request at any size.
// It lets the host run with nothing but itself (the README's demo).
#include "ClipSource.h"

#include <cmath>

namespace qvhost {
namespace {

constexpr double kTwoPi = 6.283185307179586;

class DemoSource : public ClipSource {
public:
    explicit DemoSource(const DemoClip &clip) : clip_(clip) {
        info_.width = clip.width;
        info_.height = clip.height;
        info_.frameRate = clip.frameRate;
        info_.timeBase = av_inv_q(clip.frameRate);
        info_.frameCount = clip.frameCount;
        info_.hasAudio = clip.sampleRate > 0;
        info_.sampleRate = clip.sampleRate;
        info_.channels = info_.hasAudio ? 2 : 0;
        info_.videoCodec = "demo";
    }

    const ClipInfo &info() const override { return info_; }
    int64_t frameTime(int64_t n) const override { return n; }

    void readVideo(int64_t n, int width, int height, bool, uint8_t *pixels, long rowBytes) override {
        static const uint8_t kBars[7][3] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                                            {235, 16, 235}, {235, 16, 16}, {16, 16, 235}};
        const double t = static_cast<double>(n) * clip_.frameRate.den / clip_.frameRate.num;
        const double aspect = static_cast<double>(width) / std::max(1, height);
        // The disc circles the centre once every four seconds.
        const double cx = 0.5 + 0.3 * std::cos(kTwoPi * t / 4.0) / aspect;
        const double cy = 0.5 + 0.3 * std::sin(kTwoPi * t / 4.0);
        const double r = 0.08;
        for (int y = 0; y < height; ++y) {
            uint8_t *p = pixels + y * rowBytes;
            const double v = (y + 0.5) / height;
            const bool gridRow = std::fmod(v * 18.0, 1.0) < 0.06;
            for (int x = 0; x < width; ++x, p += 4) {
                const double u = (x + 0.5) / width;
                double shifted = u + t * 0.1;
                shifted -= std::floor(shifted);
                const uint8_t *c = kBars[static_cast<int>(shifted * 7.0) % 7];
                uint8_t rgb[3] = {c[0], c[1], c[2]};
                const bool gridCol = std::fmod(u * 32.0, 1.0) < 0.06;
                if (gridRow || gridCol) rgb[0] = rgb[1] = rgb[2] = 40;
                const double dx = (u - cx) * aspect, dy = v - cy;
                if (dx * dx + dy * dy < r * r) rgb[0] = rgb[1] = rgb[2] = 255;
                p[0] = 255;
                p[1] = rgb[0];
                p[2] = rgb[1];
                p[3] = rgb[2];
            }
        }
    }

    void readAudio(int64_t n, AudioChunk &out) override {
        if (!info_.hasAudio) {
            out.planes.clear();
            return;
        }
        const int64_t a = FirstSample(*this, n);
        const int64_t b = FirstSample(*this, n + 1);
        out.resize(info_.channels, static_cast<int>(b - a));
        for (int64_t i = a; i < b; ++i) {
            const float s = static_cast<float>(clip_.toneLevel *
                                               std::sin(kTwoPi * clip_.toneHz * static_cast<double>(i) / info_.sampleRate));
            for (auto &plane : out.planes) plane[i - a] = s;
        }
    }

private:
    DemoClip clip_;
    ClipInfo info_;
};

}  // namespace

std::unique_ptr<ClipSource> OpenDemoSource(const DemoClip &clip) { return std::make_unique<DemoSource>(clip); }

}  // namespace qvhost
