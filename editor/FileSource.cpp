// A video file as a clip source. The video stream is indexed once when the
// file is opened (the presentation times of all its packets, demuxing only),
// so that frame n is the n-th picture in presentation order and the clip's
// length is exact. Frames are then decoded on demand: a request for the
// frame after the last one decodes on without seeking; a request behind the
// last one, or far ahead of it, seeks to the key frame before it and decodes
// forward to exactly that frame. The sound is read through a second demuxer
// on the same file, so that its position is independent of the picture's.
#include "ClipSource.h"
#include "HostError.h"
#include "PixelConvert.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace qvhost {

std::string AvErrorText(int err) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

int64_t AudioFrameStart(int64_t frame, AVRational frameRate, int sampleRate) {
    // frame * sampleRate / frameRate, rounded to the nearest sample.
    return av_rescale_rnd(frame, static_cast<int64_t>(sampleRate) * frameRate.den, frameRate.num,
                          AV_ROUND_NEAR_INF);
}

namespace {

// Frames further ahead than this are reached by seeking rather than decoding through.
constexpr int64_t kSeekAheadFrames = 48;

struct FormatCloser {
    void operator()(AVFormatContext *f) const { avformat_close_input(&f); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
struct CodecCloser {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecCloser>;
struct FrameFree {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
struct PacketFree {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

FormatPtr OpenFormat(const std::string &path) {
    AVFormatContext *raw = nullptr;
    int err = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (err < 0) {
        if (err == AVERROR(ENOENT)) throw HostError(kExitInput, path + ": no such file");
        if (err == AVERROR(EACCES)) throw HostError(kExitInput, path + ": permission denied");
        if (err == AVERROR_INVALIDDATA) throw HostError(kExitInput, path + ": not a video file");
        // The container ends before anything it announced: a clip without frames.
        if (err == AVERROR_EOF) throw HostError(kExitInput, path + ": the clip has no frames");
        throw HostError(kExitInput, path + ": cannot be opened: " + AvErrorText(err));
    }
    FormatPtr fmt(raw);
    err = avformat_find_stream_info(raw, nullptr);
    if (err < 0) throw HostError(kExitInput, path + ": not a video file (" + AvErrorText(err) + ")");
    return fmt;
}

CodecPtr OpenDecoder(const std::string &path, AVStream *st, const char *kind) {
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        throw HostError(kExitInput, path + ": the " + kind + " codec (" + avcodec_get_name(st->codecpar->codec_id) +
                                        ") cannot be decoded");
    CodecPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) throw std::bad_alloc();
    avcodec_parameters_to_context(ctx.get(), st->codecpar);
    ctx->pkt_timebase = st->time_base;
    // One decoding thread per core: FFmpeg's own choice adds one, which keeps
    // one more picture in flight (14 MB at 4K) and gains nothing when the
    // cores are busy with the rest of the render.
    ctx->thread_count = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    int err = avcodec_open2(ctx.get(), codec, nullptr);
    if (err < 0)
        throw HostError(kExitInput, path + ": the " + kind + " codec (" + codec->name +
                                        ") cannot be decoded: " + AvErrorText(err));
    return ctx;
}

// Picture side: index, decode, seek.
class VideoDecoder {
public:
    explicit VideoDecoder(const std::string &path) : path_(path) {
        fmt_ = OpenFormat(path);
        int idx = av_find_best_stream(fmt_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (idx >= 0 && (fmt_->streams[idx]->disposition & AV_DISPOSITION_ATTACHED_PIC)) idx = -1;
        if (idx < 0) {
            if (idx == AVERROR_DECODER_NOT_FOUND) {
                idx = av_find_best_stream(fmt_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
            }
            bool anyVideo = false;
            for (unsigned i = 0; i < fmt_->nb_streams; ++i)
                anyVideo |= fmt_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                            !(fmt_->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC);
            if (!anyVideo) throw HostError(kExitInput, path + ": has no video stream");
            for (unsigned i = 0; i < fmt_->nb_streams && idx < 0; ++i)
                if (fmt_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) idx = static_cast<int>(i);
        }
        stream_ = fmt_->streams[idx];
        for (unsigned i = 0; i < fmt_->nb_streams; ++i)
            if (static_cast<int>(i) != idx) fmt_->streams[i]->discard = AVDISCARD_ALL;
        dec_ = OpenDecoder(path, stream_, "video");
        frameRate_ = av_guess_frame_rate(fmt_.get(), stream_, nullptr);
        if (frameRate_.num <= 0 || frameRate_.den <= 0) frameRate_ = AVRational{25, 1};
        buildIndex();
        if (pts_.empty()) throw HostError(kExitInput, path + ": the clip has no frames");
        frame_.reset(av_frame_alloc());
        pkt_.reset(av_packet_alloc());
        if (!frame_ || !pkt_) throw std::bad_alloc();
        // Decode the first frame now: a stream that cannot be decoded is refused
        // before anything is written.
        try {
            decode(0);
        } catch (const HostError &e) {
            throw HostError(kExitInput, path + ": the video cannot be decoded (" + e.what() + ")");
        }
        if (frame_->width <= 0 || frame_->height <= 0)
            throw HostError(kExitInput, path + ": the video has no picture size");
    }

    int64_t frameCount() const { return static_cast<int64_t>(pts_.size()); }
    AVRational frameRate() const { return frameRate_; }
    int width() const { return dec_->width > 0 ? dec_->width : frame_->width; }
    int height() const { return dec_->height > 0 ? dec_->height : frame_->height; }
    const char *codecName() const { return dec_->codec->name; }
    int seeks() const { return seeks_; }
    // The picture decoded last (frame 0 right after opening).
    const AVFrame *picture() const { return frame_.get(); }
    // Seconds of frame 0 on the file's time line.
    double startSeconds() const { return pts_.front() * av_q2d(stream_->time_base); }

    // Frame n in presentation order; valid until the next call.
    const AVFrame *decode(int64_t n) {
        if (n < 0 || n >= frameCount())
            throw HostError(kExitRenderFailed, "frame " + std::to_string(n) + " is outside the clip");
        if (n == current_ && haveFrame_) return frame_.get();
        const bool sequential = current_ >= 0 && n > current_ && n - current_ <= kSeekAheadFrames && !eof_;
        if (!sequential) seekTo(n);
        const int64_t target = pts_[n];
        for (;;) {
            if (!nextFrame()) {
                // The stream ended early: the last decoded picture stands in.
                if (haveFrame_ && lastPts_ != AV_NOPTS_VALUE) {
                    current_ = n;
                    return frame_.get();
                }
                throw HostError(kExitRenderFailed, "frame " + std::to_string(n) + " cannot be decoded");
            }
            if (lastPts_ == AV_NOPTS_VALUE || lastPts_ >= target) break;
        }
        current_ = n;
        return frame_.get();
    }

private:
    void buildIndex() {
        PacketPtr pkt(av_packet_alloc());
        if (!pkt) throw std::bad_alloc();
        int err;
        while ((err = av_read_frame(fmt_.get(), pkt.get())) >= 0) {
            if (pkt->stream_index == stream_->index && !(pkt->flags & AV_PKT_FLAG_DISCARD)) {
                int64_t t = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
                if (t == AV_NOPTS_VALUE && !pts_.empty()) t = pts_.back() + 1;
                if (t == AV_NOPTS_VALUE) t = 0;
                pts_.push_back(t);
            }
            av_packet_unref(pkt.get());
        }
        if (err != AVERROR_EOF) throw HostError(kExitInput, path_ + ": cannot be read: " + AvErrorText(err));
        std::sort(pts_.begin(), pts_.end());
        pts_.erase(std::unique(pts_.begin(), pts_.end()), pts_.end());
        current_ = -1;
        haveFrame_ = false;
    }

    // Positions the demuxer and decoder so that decoding on reaches frame n.
    void seekTo(int64_t n) {
        const int64_t target = pts_[n];
        // Try the key frame before the target; if the demuxer lands past it,
        // step back further, and in the end start from the beginning.
        const int64_t second = std::max<int64_t>(1, av_rescale_q(1, AVRational{1, 1}, stream_->time_base));
        for (int attempt = 0;; ++attempt) {
            int64_t ts = attempt == 0 ? target : target - second * (int64_t(1) << (attempt - 1)) * 2;
            bool fromStart = ts <= pts_.front() || attempt >= 6;
            if (fromStart) ts = pts_.front();
            int err = av_seek_frame(fmt_.get(), stream_->index, ts, AVSEEK_FLAG_BACKWARD);
            if (err < 0 && fromStart)
                err = av_seek_frame(fmt_.get(), stream_->index, ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
            if (err < 0 && fromStart) err = avformat_seek_file(fmt_.get(), -1, INT64_MIN, 0, 0, 0);
            if (err < 0)
                throw HostError(kExitRenderFailed,
                                "cannot seek to frame " + std::to_string(n) + ": " + AvErrorText(err));
            ++seeks_;
            avcodec_flush_buffers(dec_.get());
            eof_ = false;
            sentEof_ = false;
            haveFrame_ = false;
            current_ = -1;
            if (fromStart) return;
            // Peek at the first picture: it must not lie beyond the target.
            if (!nextFrame()) continue;
            if (lastPts_ != AV_NOPTS_VALUE && lastPts_ <= target) {
                if (lastPts_ == target) pending_ = true;  // already there
                return;
            }
        }
    }

    // Decodes the next picture into frame_; false at the end of the stream.
    bool nextFrame() {
        if (pending_) {
            pending_ = false;
            return true;
        }
        for (;;) {
            int err = avcodec_receive_frame(dec_.get(), frame_.get());
            if (err == 0) {
                haveFrame_ = true;
                lastPts_ = frame_->best_effort_timestamp;
                return true;
            }
            if (err == AVERROR_EOF) {
                eof_ = true;
                return false;
            }
            if (err != AVERROR(EAGAIN)) throw HostError(kExitRenderFailed, "decoding failed: " + AvErrorText(err));
            if (sentEof_) {
                eof_ = true;
                return false;
            }
            err = av_read_frame(fmt_.get(), pkt_.get());
            if (err == AVERROR_EOF) {
                avcodec_send_packet(dec_.get(), nullptr);
                sentEof_ = true;
                continue;
            }
            if (err < 0) throw HostError(kExitRenderFailed, "reading the video failed: " + AvErrorText(err));
            if (pkt_->stream_index == stream_->index) {
                err = avcodec_send_packet(dec_.get(), pkt_.get());
                if (err < 0 && err != AVERROR(EAGAIN) && err != AVERROR_INVALIDDATA) {
                    av_packet_unref(pkt_.get());
                    throw HostError(kExitRenderFailed, "decoding failed: " + AvErrorText(err));
                }
            }
            av_packet_unref(pkt_.get());
        }
    }

    std::string path_;
    FormatPtr fmt_;
    AVStream *stream_ = nullptr;
    CodecPtr dec_;
    FramePtr frame_;
    PacketPtr pkt_;
    AVRational frameRate_{25, 1};
    std::vector<int64_t> pts_;
    int64_t current_ = -1;
    int64_t lastPts_ = AV_NOPTS_VALUE;
    bool haveFrame_ = false;
    bool pending_ = false;
    bool eof_ = false;
    bool sentEof_ = false;
    int seeks_ = 0;
};

// Sound side: decodes the best audio stream to planar float at a fixed rate
// and keeps a sliding window of samples, addressed by their sample index on
// the clip's time line (0 = the time of video frame 0).
class AudioDecoder {
public:
    AudioDecoder(const std::string &path, double originSeconds) : origin_(originSeconds) {
        fmt_ = OpenFormat(path);
        int idx = av_find_best_stream(fmt_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (idx < 0) return;
        stream_ = fmt_->streams[idx];
        for (unsigned i = 0; i < fmt_->nb_streams; ++i)
            if (static_cast<int>(i) != idx) fmt_->streams[i]->discard = AVDISCARD_ALL;
        try {
            dec_ = OpenDecoder(path, stream_, "audio");
        } catch (const HostError &) {
            // A clip whose sound cannot be decoded is still rendered: silently.
            stream_ = nullptr;
            return;
        }
        channels_ = std::clamp(dec_->ch_layout.nb_channels, 1, 8);
        rate_ = dec_->sample_rate > 0 ? dec_->sample_rate : 48000;
        static const int kAacRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
        if (std::find(std::begin(kAacRates), std::end(kAacRates), rate_) == std::end(kAacRates)) rate_ = 48000;
        buf_.resize(channels_);
        frame_.reset(av_frame_alloc());
        pkt_.reset(av_packet_alloc());
        if (!frame_ || !pkt_) throw std::bad_alloc();
    }
    ~AudioDecoder() { swr_free(&swr_); }

    bool present() const { return stream_ != nullptr; }
    int rate() const { return rate_; }
    int channels() const { return channels_; }

    // Samples [start, start + count) into out (resized); silence where there is none.
    void read(int64_t start, int count, AudioChunk &out) {
        out.resize(channels_, count);
        if (!present() || count <= 0) return;
        const int64_t end = start + count;
        if (start < bufStart_ || start > bufEnd() + rate_ * 2 || !positioned_) seek(start);
        trim(start);
        while (bufEnd() < end && !eof_) decodeMore();
        for (int c = 0; c < channels_; ++c) {
            const int64_t from = std::max(start, bufStart_);
            const int64_t to = std::min(end, bufEnd());
            for (int64_t i = from; i < to; ++i) out.planes[c][i - start] = buf_[c][i - bufStart_];
        }
    }

private:
    int64_t bufEnd() const { return bufStart_ + (buf_.empty() ? 0 : static_cast<int64_t>(buf_[0].size())); }

    void trim(int64_t start) {
        if (start <= bufStart_) return;
        const int64_t drop = std::min<int64_t>(start - bufStart_, bufEnd() - bufStart_);
        for (auto &p : buf_) p.erase(p.begin(), p.begin() + drop);
        bufStart_ = start;
    }

    void seek(int64_t start) {
        const double seconds = origin_ + static_cast<double>(start) / rate_ - 0.5;
        int64_t ts = static_cast<int64_t>(std::floor(seconds / av_q2d(stream_->time_base)));
        if (stream_->start_time != AV_NOPTS_VALUE) ts = std::max(ts, stream_->start_time);
        if (av_seek_frame(fmt_.get(), stream_->index, ts, AVSEEK_FLAG_BACKWARD) < 0)
            av_seek_frame(fmt_.get(), stream_->index, ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
        avcodec_flush_buffers(dec_.get());
        for (auto &p : buf_) p.clear();
        bufStart_ = start;
        nextPos_ = INT64_MIN;
        eof_ = false;
        positioned_ = true;
    }

    void decodeMore() {
        int err = avcodec_receive_frame(dec_.get(), frame_.get());
        if (err == 0) {
            append();
            av_frame_unref(frame_.get());
            return;
        }
        if (err == AVERROR_EOF) {
            eof_ = true;
            return;
        }
        if (err != AVERROR(EAGAIN)) {  // damaged sound: what is missing stays silent
            eof_ = true;
            return;
        }
        err = av_read_frame(fmt_.get(), pkt_.get());
        if (err < 0) {
            avcodec_send_packet(dec_.get(), nullptr);
            if (err != AVERROR_EOF) eof_ = true;
            return;
        }
        if (pkt_->stream_index == stream_->index) avcodec_send_packet(dec_.get(), pkt_.get());
        av_packet_unref(pkt_.get());
    }

    void append() {
        AVFrame *f = frame_.get();
        if (!swr_ || f->sample_rate != inRate_ || f->format != inFormat_ ||
            av_channel_layout_compare(&f->ch_layout, &inLayout_) != 0) {
            swr_free(&swr_);
            av_channel_layout_uninit(&inLayout_);
            if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || f->ch_layout.nb_channels <= 0)
                av_channel_layout_default(&inLayout_, std::max(1, f->ch_layout.nb_channels));
            else
                av_channel_layout_copy(&inLayout_, &f->ch_layout);
            AVChannelLayout outLayout;
            av_channel_layout_default(&outLayout, channels_);
            if (inLayout_.nb_channels == channels_) av_channel_layout_copy(&outLayout, &inLayout_);
            int err = swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_FLTP, rate_, &inLayout_,
                                          static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
            av_channel_layout_uninit(&outLayout);
            if (err < 0 || swr_init(swr_) < 0) {
                swr_free(&swr_);
                eof_ = true;
                return;
            }
            inRate_ = f->sample_rate;
            inFormat_ = f->format;
        }
        // Where these samples go on the clip's time line.
        int64_t pos = nextPos_;
        if (f->best_effort_timestamp != AV_NOPTS_VALUE) {
            const double t = f->best_effort_timestamp * av_q2d(stream_->time_base) - origin_;
            const int64_t stamped = static_cast<int64_t>(std::llround(t * rate_));
            if (nextPos_ == INT64_MIN || std::llabs(stamped - nextPos_) > rate_ / 25) pos = stamped;
        }
        if (pos == INT64_MIN) pos = bufEnd();
        const int maxOut = swr_get_out_samples(swr_, f->nb_samples);
        std::vector<std::vector<float>> tmp(channels_, std::vector<float>(std::max(0, maxOut)));
        std::vector<uint8_t *> planes(channels_);
        for (int c = 0; c < channels_; ++c) planes[c] = reinterpret_cast<uint8_t *>(tmp[c].data());
        const int got = swr_convert(swr_, planes.data(), maxOut, const_cast<const uint8_t **>(f->extended_data),
                                    f->nb_samples);
        if (got <= 0) return;
        nextPos_ = pos + got;
        // Place [pos, pos + got) into the window: fill a gap with silence,
        // skip what lies before the window or overlaps what is there.
        int skip = 0;
        if (pos < bufEnd()) skip = static_cast<int>(std::min<int64_t>(got, bufEnd() - pos));
        else if (pos > bufEnd())
            for (auto &p : buf_) p.resize(p.size() + static_cast<size_t>(pos - bufEnd()), 0.0f);
        for (int c = 0; c < channels_; ++c) buf_[c].insert(buf_[c].end(), tmp[c].begin() + skip, tmp[c].begin() + got);
    }

    double origin_;
    FormatPtr fmt_;
    AVStream *stream_ = nullptr;
    CodecPtr dec_;
    FramePtr frame_;
    PacketPtr pkt_;
    SwrContext *swr_ = nullptr;
    AVChannelLayout inLayout_{};
    int inRate_ = 0;
    int inFormat_ = -1;
    int channels_ = 0;
    int rate_ = 0;
    std::vector<std::vector<float>> buf_;
    int64_t bufStart_ = 0;
    int64_t nextPos_ = INT64_MIN;
    bool eof_ = false;
    bool positioned_ = false;
};

class FileSource : public ClipSource {
public:
    explicit FileSource(const std::string &path) : video_(path), audio_(path, video_.startSeconds()) {
        info_.width = video_.width();
        info_.height = video_.height();
        info_.frameRate = video_.frameRate();
        info_.frameCount = video_.frameCount();
        info_.hasAudio = audio_.present();
        info_.sampleRate = audio_.present() ? audio_.rate() : 0;
        info_.channels = audio_.present() ? audio_.channels() : 0;
        info_.videoCodec = video_.codecName();
        const DeclaredColour colour = DeclaredColourOf(video_.picture());
        info_.colorSpace = colour.space;
        info_.colorRange = colour.range;
    }

    const ClipInfo &info() const override { return info_; }

    void readVideo(int64_t n, int width, int height, bool highQuality, uint8_t *pixels, long rowBytes) override {
        const AVFrame *f = video_.decode(n);
        convert_.convert(f, width, height, highQuality, pixels, rowBytes);
    }

    void readAudio(int64_t n, AudioChunk &out) override {
        if (!info_.hasAudio) {
            out.planes.clear();
            return;
        }
        const int64_t a = AudioFrameStart(n, info_.frameRate, info_.sampleRate);
        const int64_t b = AudioFrameStart(n + 1, info_.frameRate, info_.sampleRate);
        audio_.read(a, static_cast<int>(b - a), out);
    }

    int seekCount() const override { return video_.seeks(); }

private:
    VideoDecoder video_;
    AudioDecoder audio_;
    ToArgb convert_;
    ClipInfo info_;
};

}  // namespace

std::unique_ptr<ClipSource> OpenFileSource(const std::string &path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) throw HostError(kExitInput, path + ": no such file");
        throw HostError(kExitInput, path + ": " + std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) throw HostError(kExitInput, path + ": is a folder, not a video file");
    if (S_ISREG(st.st_mode) && st.st_size == 0) throw HostError(kExitInput, path + ": is empty: the clip has no frames");
    return std::make_unique<FileSource>(path);
}

}  // namespace qvhost
