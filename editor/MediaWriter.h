// MediaWriter.h: the encoder and muxer of the host's output. Video is H.264
// (libx264, yuv420p, constant quality), sound AAC (FLAC in Matroska), in the
// container that the
// output's extension names. Frames are written in order, one frame of sound
// per frame of picture, so the sound is exactly as long as the video.
//
// The writer owns its FFmpeg contexts and the file it writes; the caller owns
// the buffers it hands in. One thread uses a writer at a time.
#ifndef QUELVANE_EDITOR_MEDIAWRITER_H
#define QUELVANE_EDITOR_MEDIAWRITER_H

#include "ClipSource.h"

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

struct WriterSettings {
    std::string path;       // the file written (the caller's temporary name)
    std::string container;  // FFmpeg muxer name, see ContainerFor
    int width = 0;          // even
    int height = 0;         // even
    AVRational frameRate{30, 1};
    // The picture's colour matrix and range (the input's); unspecified: the
    // one the size implies (see DefaultColorSpace), limited range.
    AVColorSpace colorSpace = AVCOL_SPC_UNSPECIFIED;
    AVColorRange colorRange = AVCOL_RANGE_MPEG;
    int crf = 18;
    std::string preset = "medium";
    int keyInterval = 0;    // frames between key frames; 0: the encoder's default
    bool audio = false;
    int sampleRate = 48000;
    int channels = 2;
};

// The muxer that the extension of `name` asks for. Throws HostError
// (kExitUsage) when there is none, or when it cannot hold H.264 and AAC.
std::string ContainerFor(const std::string &name);

class MediaWriter {
public:
    // Opens the file and the encoders. Throws HostError (kExitOutput) when the
    // file cannot be created.
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
    int64_t videoPts_ = 0;
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
