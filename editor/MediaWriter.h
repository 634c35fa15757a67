// MediaWriter.h: the encoder and muxer of the host's output. Video is H.264
// (libx264, yuv420p, constant quality), sound AAC (FLAC in Matroska), in the
// single-file container that the output's extension names. Frames are
// written in order, each at the time the settings give it, one frame of
// sound per frame of picture, so the sound is exactly as long as the video.
// The pixel aspect ratio, field order and colour description of the settings
// are written into the stream.
//
// The writer owns its FFmpeg contexts and the file it writes; the caller owns
// the buffers it hands in. One thread uses a writer at a time.
#ifndef QUELVANE_EDITOR_MEDIAWRITER_H
#define QUELVANE_EDITOR_MEDIAWRITER_H

#include "ClipSource.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct AVAudioFifo;

namespace qvhost {

class FromArgb;

// The largest width or height the H.264 encoder takes.
constexpr int kMaxEncodedSide = 16384;

struct WriterSettings {
    std::string path;       // the file written (the caller's temporary name)
    std::string container;  // FFmpeg muxer name, see ContainerFor
    int width = 0;          // even
    int height = 0;         // even
    AVRational frameRate{30, 1};  // nominal; the encoder's rate control uses it
    // When frame k starts, in timeBase, counted from frame 0; asked for k up
    // to the number of frames (the end of the last one). Called on the
    // writer's thread. Unset: frame k starts at k / frameRate.
    std::function<int64_t(int64_t)> frameTime;
    AVRational timeBase{0, 1};
    AVRational pixelAspect{1, 1};
    AVFieldOrder fieldOrder = AV_FIELD_PROGRESSIVE;
    ColourDescription colour;  // open fields: BT.709 for HD, BT.601 below, limited range
    int crf = 18;
    std::string preset = "medium";
    int keyInterval = 0;    // frames between key frames; 0: the encoder's default
    bool audio = false;
    int sampleRate = 48000;
    int channels = 2;
};

// The muxer that the extension of `name` asks for: MP4 (.mp4, .m4v), QuickTime
// (.mov) or Matroska (.mkv), or "null" for *.null. Throws HostError
// (kExitUsage) for anything else: no container, one that cannot hold H.264,
// or one that writes files beside the output (playlists, segments, image
// sequences).
std::string ContainerFor(const std::string &name);

class MediaWriter {
public:
    // Opens the file and the encoders. Throws HostError (kExitOutput) when the
    // file cannot be created, (kExitRenderFailed) when an encoder cannot
    // start, std::bad_alloc when memory runs out; nothing is kept open then.
    explicit MediaWriter(const WriterSettings &settings);
    ~MediaWriter();
    MediaWriter(const MediaWriter &) = delete;
    MediaWriter &operator=(const MediaWriter &) = delete;

    // The next frame: the top-left width x height pixels of an A, R, G, B buffer.
    void writeVideo(const uint8_t *argb, long rowBytes);
    // The same in two steps: takeVideo converts the picture into the
    // writer's own frame (the buffer is free again when it returns),
    // encodeVideo encodes that frame.
    void takeVideo(const uint8_t *argb, long rowBytes);
    void encodeVideo();
    // The next frame's sound (planar float, settings.channels planes).
    void writeAudio(const AudioChunk &chunk);
    // Flushes the encoders and completes the file. Throws HostError on failure.
    void finish();

private:
    void open();
    void close();
    int64_t timeOf(int64_t k) const;
    void encode(AVCodecContext *ctx, AVStream *st, AVFrame *frame);
    void drainAudio(bool all);
    [[noreturn]] void fail(int err, const char *what);

    WriterSettings s_;
    AVFormatContext *fmt_ = nullptr;
    AVCodecContext *venc_ = nullptr;
    AVCodecContext *aenc_ = nullptr;
    AVStream *vst_ = nullptr;
    AVStream *ast_ = nullptr;
    AVFrame *vframe_ = nullptr;
    AVFrame *aframe_ = nullptr;
    AVPacket *pkt_ = nullptr;
    AVAudioFifo *fifo_ = nullptr;
    std::unique_ptr<FromArgb> convert_;
    int64_t videoFrames_ = 0;
    std::map<int64_t, int64_t> durations_;  // of frames in the encoder, by time
    int64_t audioPts_ = 0;
    bool headerWritten_ = false;
    bool finished_ = false;
};

}  // namespace qvhost

#endif

namespace qvhost {

// Writes the top-left width x height pixels of an A, R, G, B buffer as a PNG
// file (RGB when every pixel is opaque, RGBA otherwise). Throws HostError.
void WritePng(const std::string &path, const uint8_t *argb, long rowBytes, int width, int height);

}  // namespace qvhost
