// ClipSource.h: where the host's frames and sound come from. A clip source
// answers for one clip (a video file, or the built-in demo clip): its size,
// frame rate, number of frames, and, for any frame number, the picture
// converted to 32-bit A, R, G, B at a requested size and the frame's sound.
//
// A source is used from one thread at a time (the host's reader thread). It
// writes into buffers its caller owns; it hands out nothing it keeps.
#ifndef QUELVANE_EDITOR_CLIPSOURCE_H
#define QUELVANE_EDITOR_CLIPSOURCE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

namespace qvhost {

struct ClipInfo {
    int width = 0;
    int height = 0;
    AVRational frameRate{0, 1};  // frames per second
    int64_t frameCount = 0;
    bool hasAudio = false;
    int sampleRate = 0;          // of the sound the source hands out
    int channels = 0;
    std::string videoCodec;      // for `info`
    // The colour matrix and range the pictures declare (see DeclaredColourOf
    // in PixelConvert.h); a render's output keeps them.
    AVColorSpace colorSpace = AVCOL_SPC_UNSPECIFIED;
    AVColorRange colorRange = AVCOL_RANGE_MPEG;
};

// Planar float sound, one vector per channel, all of the same length.
struct AudioChunk {
    std::vector<std::vector<float>> planes;
    int samples() const { return planes.empty() ? 0 : static_cast<int>(planes[0].size()); }
    void resize(int channels, int samples) {
        planes.resize(channels);
        for (auto &p : planes) p.assign(samples, 0.0f);
    }
};

// The sound of frame n covers samples [AudioFrameStart(n), AudioFrameStart(n + 1))
// counted from the time of frame 0: a fixed grid, so the chunks of a clip add
// up to exactly its length, whatever the rates.
int64_t AudioFrameStart(int64_t frame, AVRational frameRate, int sampleRate);

class ClipSource {
public:
    virtual ~ClipSource() = default;
    virtual const ClipInfo &info() const = 0;

    // Writes frame n (0 <= n < frameCount) as A, R, G, B bytes, premultiplied,
    // width x height pixels, rows rowBytes apart. highQuality picks the good
    // scaler over the fast one. Throws HostError when the frame cannot be had.
    virtual void readVideo(int64_t n, int width, int height, bool highQuality, uint8_t *pixels,
                           long rowBytes) = 0;

    // The sound of frame n at info().sampleRate; silence where the clip has none.
    virtual void readAudio(int64_t n, AudioChunk &out) = 0;

    // How often the source had to reposition (seek) to serve a request.
    virtual int seekCount() const { return 0; }
};

// Opens a video file. Throws HostError (kExitInput) with a one-line reason when
// it is missing, not a video, has no video stream, no frames, or a codec that
// cannot be decoded.
std::unique_ptr<ClipSource> OpenFileSource(const std::string &path);

// The built-in demo clip: a moving test pattern with a tone.
struct DemoClip {
    int width = 1280;
    int height = 720;
    AVRational frameRate{30, 1};
    int64_t frameCount = 150;
    int sampleRate = 48000;
    double toneHz = 440.0;
    double toneLevel = 0.25;  // peak amplitude, full scale 1
};
std::unique_ptr<ClipSource> OpenDemoSource(const DemoClip &clip = DemoClip());

}  // namespace qvhost

#endif
