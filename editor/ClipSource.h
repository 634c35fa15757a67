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
#include <libavcodec/codec_par.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

namespace qvhost {

// How the clip's colours are to be read: the colour description its video
// declares (primaries, transfer, YUV matrix, range). A field the clip leaves
// open is AVCOL_*_UNSPECIFIED; the converters and the writer then choose.
struct ColourDescription {
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
    AVColorSpace matrix = AVCOL_SPC_UNSPECIFIED;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
};

struct ClipInfo {
    int width = 0;               // of the picture as shown (a rotation is applied)
    int height = 0;
    AVRational frameRate{0, 1};  // frames per second; the average for a variable rate
    AVRational timeBase{0, 1};   // the unit of ClipSource::frameTime
    int64_t frameCount = 0;
    AVRational pixelAspect{1, 1};              // width : height of one pixel
    AVFieldOrder fieldOrder = AV_FIELD_PROGRESSIVE;
    ColourDescription colour;
    bool hasAudio = false;
    int sampleRate = 0;          // of the sound the source hands out
    int channels = 0;
    std::string videoCodec;      // for `info`
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

class ClipSource {
public:
    virtual ~ClipSource() = default;
    virtual const ClipInfo &info() const = 0;

    // When frame n starts, in info().timeBase, counted from frame 0 (so
    // frameTime(0) is 0); frameTime(frameCount) is the end of the last frame.
    // Frames keep the times the clip gives them, however irregular.
    // Safe to call from any thread.
    virtual int64_t frameTime(int64_t n) const = 0;

    // Writes frame n (0 <= n < frameCount) as A, R, G, B bytes, premultiplied,
    // width x height pixels, rows rowBytes apart. highQuality picks the good
    // scaler over the fast one. Throws HostError when the frame cannot be had.
    virtual void readVideo(int64_t n, int width, int height, bool highQuality, uint8_t *pixels,
                           long rowBytes) = 0;

    // The sound of frame n at info().sampleRate; silence where the clip has none.
    virtual void readAudio(int64_t n, AudioChunk &out) = 0;

    // How often the source had to reposition (seek) to serve a request.
    virtual int seekCount() const { return 0; }
    // How many frames (of those read so far) could not be decoded and show
    // the nearest picture that could. Safe to call from any thread.
    virtual int64_t damagedFrames() const { return 0; }
};

// The sample at time t (in timeBase units) of a sound at sampleRate, rounded
// to the nearest sample.
int64_t SampleAt(int64_t t, AVRational timeBase, int sampleRate);
// The sound of frame n covers samples [FirstSample(n), FirstSample(n + 1))
// counted from the time of frame 0: the frames' own times on the sample grid,
// so the chunks of a clip add up to exactly its length, whatever the rates.
int64_t FirstSample(const ClipSource &source, int64_t n);

// Opens a video file. Throws HostError (kExitInput) with a one-line reason when
// it is missing, not a regular file (a pipe, a device), not a video, has no
// video stream, no frames, or a codec that cannot be decoded. Nothing it does
// waits for a writer, and its reads give up as soon as a stop is requested
// (StopRequested).
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
