// H.264 and AAC (or FLAC) encoding and muxing of the host's output.
#include "MediaWriter.h"

#include "HostError.h"
#include "PixelConvert.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
}

namespace qvhost {

std::string ContainerFor(const std::string &name) {
    if (name.size() >= 5 && name.compare(name.size() - 5, 5, ".null") == 0) return "null";
    const AVOutputFormat *of = av_guess_format(nullptr, name.c_str(), nullptr);
    if (!of)
        throw HostError(kExitUsage, name + ": cannot tell the container from the extension (use .mp4, .mov or .mkv)");
    // Only containers that are one file: the output is written under a
    // temporary name and renamed, which files written beside it would escape.
    static const char *const kSingleFile[] = {"mp4", "ipod", "mov", "matroska"};
    for (const char *ok : kSingleFile)
        if (std::strcmp(of->name, ok) == 0) return of->name;
    static const char *const kSeveralFiles[] = {"hls", "dash", "segment", "stream_segment", "smoothstreaming",
                                                "webm_chunk", "webm_dash_manifest", "tee", "image2"};
    bool several = (of->flags & AVFMT_NOFILE) != 0;
    for (const char *n : kSeveralFiles) several |= std::strcmp(of->name, n) == 0;
    if (several)
        throw HostError(kExitUsage, name + ": the " + of->name +
                                        " container writes several files (playlists, segments or images); "
                                        "quelvane-host writes one: use .mp4, .mov or .mkv");
    if (avformat_query_codec(of, AV_CODEC_ID_H264, FF_COMPLIANCE_NORMAL) == 0)
        throw HostError(kExitUsage,
                        name + ": the " + of->name + " container cannot hold H.264 video (use .mp4, .mov or .mkv)");
    throw HostError(kExitUsage, name + ": the " + of->name + " container is not offered (use .mp4, .mov or .mkv)");
}

namespace {

bool IsSpaceError(int err) {
    return err == AVERROR(ENOSPC) || err == AVERROR(EFBIG) || err == AVERROR(EDQUOT);
}

}  // namespace

void MediaWriter::fail(int err, const char *what) {
    if (IsSpaceError(err)) throw HostError(kExitOutput, "the disk is full: cannot write the output");
    throw HostError(err == AVERROR(EIO) || err == AVERROR(EACCES) ? kExitOutput : kExitRenderFailed,
                    std::string(what) + ": " + AvErrorText(err));
}

MediaWriter::MediaWriter(const WriterSettings &settings) : s_(settings), convert_(std::make_unique<FromArgb>()) {
    if (!s_.frameTime) {
        s_.timeBase = av_inv_q(s_.frameRate);
        s_.frameTime = [](int64_t k) { return k; };
    }
    try {
        open();
    } catch (...) {
        close();
        throw;
    }
}

MediaWriter::~MediaWriter() { close(); }

void MediaWriter::close() {
    if (fmt_ && fmt_->pb && !(fmt_->oformat->flags & AVFMT_NOFILE)) avio_closep(&fmt_->pb);
    avformat_free_context(fmt_);
    fmt_ = nullptr;
    avcodec_free_context(&venc_);
    avcodec_free_context(&aenc_);
    av_frame_free(&vframe_);
    av_frame_free(&aframe_);
    av_packet_free(&pkt_);
    if (fifo_) av_audio_fifo_free(fifo_);
    fifo_ = nullptr;
}

namespace {

// The colour description written: the settings', with open fields filled as
// the size suggests (BT.709 for HD, BT.601 below) and limited range.
ColourDescription OutputColour(const ColourDescription &in, int width, int height) {
    ColourDescription c = in;
    const bool matrixOpen = c.matrix == AVCOL_SPC_UNSPECIFIED || c.matrix == AVCOL_SPC_RESERVED ||
                            c.matrix == AVCOL_SPC_RGB;
    if (matrixOpen) c.matrix = DefaultColorSpace(width, height);
    const bool hd = c.matrix == AVCOL_SPC_BT709;
    if (c.primaries == AVCOL_PRI_UNSPECIFIED || c.primaries == AVCOL_PRI_RESERVED)
        c.primaries = hd ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    if (c.transfer == AVCOL_TRC_UNSPECIFIED || c.transfer == AVCOL_TRC_RESERVED)
        c.transfer = hd ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    if (c.range != AVCOL_RANGE_JPEG) c.range = AVCOL_RANGE_MPEG;
    return c;
}

}  // namespace

int64_t MediaWriter::timeOf(int64_t k) const { return s_.frameTime(k); }

void MediaWriter::open() {
    int err = 0;
    const ColourDescription colour = OutputColour(s_.colour, s_.width, s_.height);
    // Interlaced 4:2:0 needs a whole number of chroma rows in each field: a
    // height that is not a multiple of 4 (only ever a resized picture, whose
    // fields are mixed anyway) is encoded progressive.
    const bool interlaced =
        s_.fieldOrder != AV_FIELD_PROGRESSIVE && s_.fieldOrder != AV_FIELD_UNKNOWN && s_.height % 4 == 0;
    vframe_ = av_frame_alloc();
    pkt_ = av_packet_alloc();
    if (!vframe_ || !pkt_) throw std::bad_alloc();
    vframe_->format = AV_PIX_FMT_YUV420P;
    vframe_->width = s_.width;
    vframe_->height = s_.height;
    vframe_->colorspace = colour.matrix;
    vframe_->color_range = colour.range;
    vframe_->color_primaries = colour.primaries;
    vframe_->color_trc = colour.transfer;
    vframe_->interlaced_frame = interlaced;
    vframe_->top_field_first = s_.fieldOrder == AV_FIELD_TT || s_.fieldOrder == AV_FIELD_BT;
    if (av_frame_get_buffer(vframe_, 0) < 0) throw std::bad_alloc();
    // *.null: nothing is encoded or written; frames are only converted to the
    // encoder's format, so that the rest of the pipeline can be timed.
    if (s_.container == "null") return;

    err = avformat_alloc_output_context2(&fmt_, nullptr, s_.container.c_str(), s_.path.c_str());
    if (err < 0 || !fmt_) throw HostError(kExitUsage, "unknown output container " + s_.container);

    const AVCodec *x264 = avcodec_find_encoder_by_name("libx264");
    if (!x264) throw HostError(kExitRenderFailed, "the libx264 encoder is not available");
    vst_ = avformat_new_stream(fmt_, nullptr);
    venc_ = avcodec_alloc_context3(x264);
    if (!vst_ || !venc_) throw std::bad_alloc();
    venc_->width = s_.width;
    venc_->height = s_.height;
    venc_->pix_fmt = AV_PIX_FMT_YUV420P;
    venc_->time_base = s_.timeBase;
    venc_->framerate = s_.frameRate;
    venc_->sample_aspect_ratio = s_.pixelAspect;
    venc_->colorspace = colour.matrix;
    venc_->color_primaries = colour.primaries;
    venc_->color_trc = colour.transfer;
    venc_->color_range = colour.range;
    venc_->field_order = interlaced ? s_.fieldOrder : AV_FIELD_PROGRESSIVE;
    if (interlaced) venc_->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    venc_->thread_count = 0;
    if (s_.keyInterval > 0) venc_->gop_size = s_.keyInterval;
    if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) venc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(venc_->priv_data, "preset", s_.preset.c_str(), 0);
    av_opt_set_double(venc_->priv_data, "crf", s_.crf, 0);
    // The settings were checked up front: an encoder that will not start
    // lacks memory or threads.
    if ((err = avcodec_open2(venc_, x264, nullptr)) < 0) {
        if (err == AVERROR(ENOMEM)) throw std::bad_alloc();
        throw HostError(kExitRenderFailed, "the H.264 encoder cannot start: " + AvErrorText(err));
    }
    avcodec_parameters_from_context(vst_->codecpar, venc_);
    vst_->time_base = venc_->time_base;
    vst_->avg_frame_rate = s_.frameRate;
    vst_->sample_aspect_ratio = s_.pixelAspect;

    if (s_.audio) {
        // AAC where the container trims its priming and padding (MP4,
        // QuickTime); FLAC in Matroska, which cannot, so that the sound ends
        // exactly with the picture there too.
        const bool flac = s_.container == "matroska";
        const AVCodec *codec = avcodec_find_encoder(flac ? AV_CODEC_ID_FLAC : AV_CODEC_ID_AAC);
        if (!codec) throw HostError(kExitRenderFailed, std::string("the ") + (flac ? "FLAC" : "AAC") + " encoder is not available");
        ast_ = avformat_new_stream(fmt_, nullptr);
        aenc_ = avcodec_alloc_context3(codec);
        if (!ast_ || !aenc_) throw std::bad_alloc();
        aenc_->sample_fmt = flac ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLTP;
        aenc_->sample_rate = s_.sampleRate;
        av_channel_layout_default(&aenc_->ch_layout, s_.channels);
        if (!flac) aenc_->bit_rate = 96000 * std::min(s_.channels, 2) + 64000 * std::max(0, s_.channels - 2);
        aenc_->time_base = AVRational{1, s_.sampleRate};
        if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) aenc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if ((err = avcodec_open2(aenc_, codec, nullptr)) < 0)
            throw HostError(kExitRenderFailed, "the sound encoder refused the sound: " + AvErrorText(err));
        avcodec_parameters_from_context(ast_->codecpar, aenc_);
        ast_->time_base = aenc_->time_base;
        fifo_ = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, s_.channels, 8192);
        aframe_ = av_frame_alloc();
        if (!fifo_ || !aframe_) throw std::bad_alloc();
    }

    err = avio_open(&fmt_->pb, s_.path.c_str(), AVIO_FLAG_WRITE);
    if (err < 0) {
        if (IsSpaceError(err)) throw HostError(kExitOutput, "the disk is full: cannot write the output");
        throw HostError(kExitOutput, "cannot write the output in its folder: " + AvErrorText(err));
    }
    if ((err = avformat_write_header(fmt_, nullptr)) < 0) fail(err, "cannot start the output");
    headerWritten_ = true;
}

void MediaWriter::encode(AVCodecContext *ctx, AVStream *st, AVFrame *frame) {
    int err = avcodec_send_frame(ctx, frame);
    if (err < 0) fail(err, "encoding failed");
    for (;;) {
        err = avcodec_receive_packet(ctx, pkt_);
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) break;
        if (err < 0) fail(err, "encoding failed");
        // libx264 leaves packet durations empty: each frame lasts until the next.
        if (ctx == venc_) {
            const auto it = durations_.find(pkt_->pts);
            if (it != durations_.end()) {
                if (pkt_->duration <= 0) pkt_->duration = it->second;
                durations_.erase(it);
            }
        }
        av_packet_rescale_ts(pkt_, ctx->time_base, st->time_base);
        pkt_->stream_index = st->index;
        err = av_interleaved_write_frame(fmt_, pkt_);
        if (err < 0) fail(err, "writing the output failed");
        if (fmt_->pb && fmt_->pb->error < 0) fail(fmt_->pb->error, "writing the output failed");
    }
}

void MediaWriter::writeVideo(const uint8_t *argb, long rowBytes) {
    takeVideo(argb, rowBytes);
    encodeVideo();
}

void MediaWriter::takeVideo(const uint8_t *argb, long rowBytes) {
    if (av_frame_make_writable(vframe_) < 0) throw std::bad_alloc();
    convert_->convert(argb, rowBytes, vframe_);
}

void MediaWriter::encodeVideo() {
    const int64_t k = videoFrames_++;
    vframe_->pts = timeOf(k);
    if (!venc_) return;
    durations_[vframe_->pts] = std::max<int64_t>(1, timeOf(k + 1) - vframe_->pts);
    encode(venc_, vst_, vframe_);
}

void MediaWriter::writeAudio(const AudioChunk &chunk) {
    if (!aenc_) return;
    const int n = chunk.samples();
    if (n <= 0) return;
    std::vector<void *> planes(s_.channels);
    for (int c = 0; c < s_.channels; ++c)
        planes[c] = const_cast<float *>(chunk.planes[std::min<int>(c, static_cast<int>(chunk.planes.size()) - 1)].data());
    if (av_audio_fifo_write(fifo_, planes.data(), n) < n) throw std::bad_alloc();
    drainAudio(false);
}

void MediaWriter::drainAudio(bool all) {
    const int frameSize = aenc_->frame_size > 0 ? aenc_->frame_size : 1024;
    std::vector<std::vector<float>> planes(s_.channels, std::vector<float>(frameSize));
    std::vector<void *> ptrs(s_.channels);
    for (int c = 0; c < s_.channels; ++c) ptrs[c] = planes[c].data();
    while (av_audio_fifo_size(fifo_) >= frameSize || (all && av_audio_fifo_size(fifo_) > 0)) {
        const int n = std::min(frameSize, av_audio_fifo_size(fifo_));
        av_frame_unref(aframe_);
        aframe_->format = aenc_->sample_fmt;
        aframe_->sample_rate = s_.sampleRate;
        av_channel_layout_copy(&aframe_->ch_layout, &aenc_->ch_layout);
        aframe_->nb_samples = n;
        if (av_frame_get_buffer(aframe_, 0) < 0) throw std::bad_alloc();
        av_audio_fifo_read(fifo_, ptrs.data(), n);
        if (aenc_->sample_fmt == AV_SAMPLE_FMT_FLTP) {
            for (int c = 0; c < s_.channels; ++c) std::memcpy(aframe_->data[c], planes[c].data(), sizeof(float) * n);
        } else {  // interleaved 16-bit
            auto *out = reinterpret_cast<int16_t *>(aframe_->data[0]);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < s_.channels; ++c)
                    *out++ = static_cast<int16_t>(std::lrint(std::clamp(planes[c][i], -1.0f, 1.0f) * 32767.0f));
        }
        aframe_->pts = audioPts_;
        audioPts_ += n;
        encode(aenc_, ast_, aframe_);
    }
}

void MediaWriter::finish() {
    if (finished_ || !venc_) {
        finished_ = true;
        return;
    }
    encode(venc_, vst_, nullptr);
    if (aenc_) {
        drainAudio(true);
        encode(aenc_, ast_, nullptr);
    }
    int err = av_write_trailer(fmt_);
    if (err < 0) fail(err, "completing the output failed");
    if (fmt_->pb) {
        avio_flush(fmt_->pb);
        if (fmt_->pb->error < 0) fail(fmt_->pb->error, "writing the output failed");
        err = avio_closep(&fmt_->pb);
        if (err < 0) fail(err, "closing the output failed");
    }
    finished_ = true;
}

}  // namespace qvhost

namespace qvhost {

void WritePng(const std::string &path, const uint8_t *argb, long rowBytes, int width, int height) {
    bool opaque = true;
    for (int y = 0; y < height && opaque; ++y)
        for (int x = 0; x < width; ++x)
            if (argb[y * rowBytes + 4 * x] != 255) {
                opaque = false;
                break;
            }
    const AVCodec *png = avcodec_find_encoder(AV_CODEC_ID_PNG);
    if (!png) throw HostError(kExitRenderFailed, "the PNG encoder is not available");
    AVCodecContext *ctx = avcodec_alloc_context3(png);
    AVFrame *frame = av_frame_alloc();
    AVPacket *pkt = av_packet_alloc();
    auto cleanup = [&] {
        avcodec_free_context(&ctx);
        av_frame_free(&frame);
        av_packet_free(&pkt);
    };
    try {
        if (!ctx || !frame || !pkt) throw std::bad_alloc();
        ctx->width = width;
        ctx->height = height;
        ctx->pix_fmt = opaque ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_RGBA;
        ctx->time_base = AVRational{1, 1};
        int err = avcodec_open2(ctx, png, nullptr);
        if (err < 0) throw HostError(kExitRenderFailed, "cannot encode PNG: " + AvErrorText(err));
        frame->format = ctx->pix_fmt;
        frame->width = width;
        frame->height = height;
        if (av_frame_get_buffer(frame, 0) < 0) throw std::bad_alloc();
        // Un-premultiply while repacking: PNG stores straight alpha.
        for (int y = 0; y < height; ++y) {
            const uint8_t *s = argb + y * rowBytes;
            uint8_t *d = frame->data[0] + y * frame->linesize[0];
            for (int x = 0; x < width; ++x, s += 4) {
                const unsigned a = s[0];
                for (int c = 1; c < 4; ++c) {
                    unsigned v = s[c];
                    if (a != 255) v = a ? std::min(255u, (v * 255 + a / 2) / a) : 0;
                    *d++ = static_cast<uint8_t>(v);
                }
                if (!opaque) *d++ = static_cast<uint8_t>(a);
            }
        }
        frame->pts = 0;
        if ((err = avcodec_send_frame(ctx, frame)) < 0 || (err = avcodec_send_frame(ctx, nullptr)) < 0 ||
            (err = avcodec_receive_packet(ctx, pkt)) < 0)
            throw HostError(kExitRenderFailed, "cannot encode PNG: " + AvErrorText(err));
        AVIOContext *io = nullptr;
        err = avio_open(&io, path.c_str(), AVIO_FLAG_WRITE);
        if (err < 0) throw HostError(kExitOutput, "cannot write " + path + ": " + AvErrorText(err));
        avio_write(io, pkt->data, pkt->size);
        avio_flush(io);
        err = io->error;
        const int closed = avio_closep(&io);
        if (err >= 0) err = closed;
        if (err < 0) {
            if (IsSpaceError(err)) throw HostError(kExitOutput, "the disk is full: cannot write the output");
            throw HostError(kExitOutput, "cannot write " + path + ": " + AvErrorText(err));
        }
    } catch (...) {
        cleanup();
        throw;
    }
    cleanup();
}

}  // namespace qvhost
