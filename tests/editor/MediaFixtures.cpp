// Marked clips for the host program's tests.
#include "MediaFixtures.h"

#include "ClipSource.h"
#include "MediaWriter.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

extern "C" {
#include <libavutil/log.h>
}

namespace qvtest {

namespace {
// Encoder chatter would bury the test output.
const int kQuiet = (av_log_set_level(AV_LOG_FATAL), 0);
}  // namespace

void PaintMarks(uint8_t *pixels, long rowBytes, int width, int height, int n) {
    for (int y = 0; y < height; ++y) {
        const int band = y * kMarkBands / height;
        const uint8_t v = (n >> band) & 1 ? 235 : 20;
        uint8_t *p = pixels + y * rowBytes;
        for (int x = 0; x < width; ++x, p += 4) {
            p[0] = 255;
            p[1] = p[2] = p[3] = v;
        }
    }
}

int ReadMarks(const uint8_t *pixels, long rowBytes, int width, int height) {
    int n = 0;
    for (int band = 0; band < kMarkBands; ++band) {
        const int y = (2 * band + 1) * height / (2 * kMarkBands);
        const uint8_t *p = pixels + y * rowBytes + 4 * (width / 2);
        const int grey = (p[1] + p[2] + p[3]) / 3;
        if (grey > 90 && grey < 165) return -1;
        if (grey >= 165) n |= 1 << band;
    }
    return n;
}

void WriteMarkedClip(const std::string &path, const MarkedClip &clip) {
    qvhost::WriterSettings ws;
    ws.path = path;
    ws.container = qvhost::ContainerFor(path);
    ws.width = clip.width;
    ws.height = clip.height;
    ws.frameRate = AVRational{clip.fps, 1};
    ws.crf = clip.crf;
    ws.preset = "ultrafast";
    ws.keyInterval = clip.keyInterval;
    ws.audio = clip.audio;
    ws.sampleRate = clip.sampleRate;
    ws.channels = 2;
    qvhost::MediaWriter writer(ws);
    const long rowBytes = 4L * clip.width;
    std::vector<uint8_t> pixels(static_cast<size_t>(rowBytes) * clip.height);
    for (size_t i = 0; clip.grey >= 0 && i < pixels.size(); i += 4)
        pixels[i] = 255, pixels[i + 1] = pixels[i + 2] = pixels[i + 3] = static_cast<uint8_t>(clip.grey);
    for (int n = 0; n < clip.frames; ++n) {
        if (clip.grey < 0) PaintMarks(pixels.data(), rowBytes, clip.width, clip.height, n);
        writer.writeVideo(pixels.data(), rowBytes);
        if (clip.audio) {
            const int64_t a = qvhost::SampleAt(n, av_inv_q(ws.frameRate), clip.sampleRate);
            const int64_t b = qvhost::SampleAt(n + 1, av_inv_q(ws.frameRate), clip.sampleRate);
            qvhost::AudioChunk chunk;
            chunk.resize(2, static_cast<int>(b - a));
            for (int64_t i = a; i < b; ++i)
                for (auto &plane : chunk.planes)
                    plane[i - a] = static_cast<float>(kMarkToneLevel * std::sin(2 * M_PI * kMarkToneHz * i / clip.sampleRate));
            writer.writeAudio(chunk);
        }
    }
    writer.finish();
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quelvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace qvtest
