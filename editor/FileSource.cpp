// A video file as a clip source. The video stream is indexed once when the
// file is opened (the presentation times of all its packets, demuxing only),
// so that frame n is the n-th picture in presentation order, it keeps its own
// time, and the clip's length is exact. Frames are then decoded on demand: a
// request for a frame a little after the last one decodes on without
// seeking; a request behind the last one, or far ahead of it, seeks to the
// key frame before it and decodes forward to exactly that frame. A frame the
// decoder cannot give (damage) shows the picture before it, or after it when
// there is none before, and is counted. A rotation the file declares is
// applied, so the plug-in sees the picture upright. The sound is read
// through a second demuxer on the same file, so that its position is
// independent of the picture's.
#include "ClipSource.h"
#include "HostError.h"
#include "OutputFile.h"
#include "PixelConvert.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <utility>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
}

namespace qvhost {

std::string AvErrorText(int err) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

int64_t SampleAt(int64_t t, AVRational timeBase, int sampleRate) {
    return av_rescale_q_rnd(t, timeBase, AVRational{1, sampleRate}, AV_ROUND_NEAR_INF);
}

int64_t FirstSample(const ClipSource &source, int64_t n) {
    return SampleAt(source.frameTime(n), source.info().timeBase, source.info().sampleRate);
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

// Blocking reads give up as soon as the user asks the program to stop.
int Interrupted(void *) { return StopRequested() != 0; }

// Opens `url` (the file the user named as `name`) for demuxing.
FormatPtr OpenFormat(const std::string &url, const std::string &name) {
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw) throw std::bad_alloc();
    raw->interrupt_callback.callback = Interrupted;
    int err = avformat_open_input(&raw, url.c_str(), nullptr, nullptr);
    if (err < 0) {
        if (err == AVERROR(ENOENT)) throw HostError(kExitInput, name + ": no such file");
        if (err == AVERROR(EACCES)) throw HostError(kExitInput, name + ": permission denied");
        if (err == AVERROR_INVALIDDATA) throw HostError(kExitInput, name + ": not a video file");
        // The container ends before anything it announced: a clip without frames.
        if (err == AVERROR_EOF) throw HostError(kExitInput, name + ": the clip has no frames");
        throw HostError(kExitInput, name + ": cannot be opened: " + AvErrorText(err));
    }
    FormatPtr fmt(raw);
    err = avformat_find_stream_info(raw, nullptr);
    if (err < 0) throw HostError(kExitInput, name + ": not a video file (" + AvErrorText(err) + ")");
    return fmt;
}

CodecPtr OpenDecoder(const std::string &name, AVStream *st, const char *kind) {
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        throw HostError(kExitInput, name + ": the " + kind + " codec (" + avcodec_get_name(st->codecpar->codec_id) +
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
        throw HostError(kExitInput, name + ": the " + kind + " codec (" + codec->name +
                                        ") cannot be decoded: " + AvErrorText(err));
    return ctx;
}

bool HasPicture(const AVFrame *f) {
    return f->width > 0 && f->height > 0 && f->format >= 0 && f->data[0] != nullptr;
}

// Clockwise quarter turns that show the stream upright, from the display
// matrix it declares; 0 for none, or for an angle that is not a quarter turn.
int QuarterTurnsOf(const AVStream *st) {
    const uint8_t *m = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!m) return 0;
    const double ccw = av_display_rotation_get(reinterpret_cast<const int32_t *>(m));
    if (std::isnan(ccw)) return 0;
    const double turns = -ccw / 90.0;
    if (std::fabs(turns - std::round(turns)) * 90.0 > 1.0) return 0;
    return ((static_cast<int>(std::lround(turns)) % 4) + 4) % 4;
}

// Turns a w x h A, R, G, B picture clockwise by quarter turns into dst.
void TurnArgb(const uint32_t *src, int w, int h, int turns, uint8_t *dst, long rowBytes) {
    const int dw = turns % 2 ? h : w, dh = turns % 2 ? w : h;
    for (int y = 0; y < dh; ++y) {
        auto *out = reinterpret_cast<uint32_t *>(dst + y * rowBytes);
        for (int x = 0; x < dw; ++x) {
            int sx = x, sy = y;
            if (turns == 1) sx = y, sy = h - 1 - x;
            else if (turns == 2) sx = w - 1 - x, sy = h - 1 - y;
            else if (turns == 3) sx = w - 1 - y, sy = x;
            out[x] = src[static_cast<size_t>(sy) * w + sx];
        }
    }
}

// Picture side: index, decode, seek.
class VideoDecoder {
public:
    VideoDecoder(const std::string &url, const std::string &name) : name_(name) {
        fmt_ = OpenFormat(url, name);
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
            if (!anyVideo) throw HostError(kExitInput, name + ": has no video stream");
            for (unsigned i = 0; i < fmt_->nb_streams && idx < 0; ++i)
                if (fmt_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) idx = static_cast<int>(i);
        }
        stream_ = fmt_->streams[idx];
        for (unsigned i = 0; i < fmt_->nb_streams; ++i)
            if (static_cast<int>(i) != idx) fmt_->streams[i]->discard = AVDISCARD_ALL;
        dec_ = OpenDecoder(name, stream_, "video");
        frameRate_ = av_guess_frame_rate(fmt_.get(), stream_, nullptr);
        if (frameRate_.num <= 0 || frameRate_.den <= 0) frameRate_ = AVRational{25, 1};
        buildIndex();
        if (pts_.empty()) throw HostError(kExitInput, name + ": the clip has no frames");
        shown_.reset(av_frame_alloc());
        ahead_.reset(av_frame_alloc());
        pkt_.reset(av_packet_alloc());
        if (!shown_ || !ahead_ || !pkt_) throw std::bad_alloc();
        // Decode the first frame now: a stream that cannot be decoded is refused
        // before anything is written.
        try {
            decode(0);
        } catch (const HostError &e) {
            throw HostError(kExitInput, name + ": the video cannot be decoded (" + e.what() + ")");
        }
        first_ = av_frame_clone(shown_.get());
        if (!first_) throw std::bad_alloc();
    }
    ~VideoDecoder() { av_frame_free(&first_); }

    int64_t frameCount() const { return static_cast<int64_t>(pts_.size()); }
    AVRational frameRate() const { return frameRate_; }
    AVRational timeBase() const { return stream_->time_base; }
    int64_t frameTime(int64_t n) const { return (n < frameCount() ? pts_[n] : end_) - pts_.front(); }
    // The first picture, for what the whole stream is taken to be.
    const AVFrame &first() const { return *first_; }
    const AVStream &stream() const { return *stream_; }
    AVRational pixelAspect() const { return av_guess_sample_aspect_ratio(fmt_.get(), stream_, first_); }
    const char *codecName() const { return dec_->codec->name; }
    int seeks() const { return seeks_; }
    int64_t damaged() const {
        std::lock_guard<std::mutex> lk(damagedLock_);
        return static_cast<int64_t>(damaged_.size());
    }
    // Seconds of frame 0 on the file's time line.
    double startSeconds() const { return pts_.front() * av_q2d(stream_->time_base); }

    // Frame n in presentation order: the last picture at or before its time
    // (the next one when there is none); valid until the next call.
    const AVFrame *decode(int64_t n) {
        if (n < 0 || n >= frameCount())
            throw HostError(kExitRenderFailed, "frame " + std::to_string(n) + " is outside the clip");
        if (n == current_ && HasPicture(shown_.get())) return shown_.get();
        const bool sequential = current_ >= 0 && n > current_ && n - current_ <= kSeekAheadFrames;
        if (!sequential) seekTo(n);
        const int64_t target = pts_[n];
        for (;;) {
            if (!HasPicture(ahead_.get()) && !nextPicture(ahead_.get())) break;
            const int64_t t = ahead_->best_effort_timestamp;
            if (t != AV_NOPTS_VALUE && t > target) break;  // due later: kept for then
            takeAhead();
            if (t == target || t == AV_NOPTS_VALUE) break;
        }
        if (!HasPicture(shown_.get())) {
            if (!HasPicture(ahead_.get()))
                throw HostError(kExitRenderFailed, "frame " + std::to_string(n) + " cannot be decoded");
            takeAhead();
        }
        if (shownPts_ != target && shownPts_ != AV_NOPTS_VALUE) {
            std::lock_guard<std::mutex> lk(damagedLock_);
            damaged_.insert(n);
        }
        current_ = n;
        return shown_.get();
    }

private:
    void buildIndex() {
        PacketPtr pkt(av_packet_alloc());
        if (!pkt) throw std::bad_alloc();
        int err;
        int64_t lastDuration = 0, latest = INT64_MIN;
        while ((err = av_read_frame(fmt_.get(), pkt.get())) >= 0) {
            if (pkt->stream_index == stream_->index && !(pkt->flags & AV_PKT_FLAG_DISCARD)) {
                int64_t t = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
                if (t == AV_NOPTS_VALUE && !pts_.empty()) t = pts_.back() + 1;
                if (t == AV_NOPTS_VALUE) t = 0;
                if (t >= latest) latest = t, lastDuration = pkt->duration;
                pts_.push_back(t);
            }
            av_packet_unref(pkt.get());
        }
        if (err != AVERROR_EOF) throw HostError(kExitInput, name_ + ": cannot be read: " + AvErrorText(err));
        std::sort(pts_.begin(), pts_.end());
        pts_.erase(std::unique(pts_.begin(), pts_.end()), pts_.end());
        if (pts_.empty()) return;
        // The last frame lasts as long as its packet says, else as long as
        // the clip's frames do on average, else one frame at the nominal rate.
        if (lastDuration <= 0 && pts_.size() > 1)
            lastDuration = (pts_.back() - pts_.front()) / static_cast<int64_t>(pts_.size() - 1);
        if (lastDuration <= 0) lastDuration = av_rescale_q(1, av_inv_q(frameRate_), stream_->time_base);
        end_ = pts_.back() + std::max<int64_t>(1, lastDuration);
    }

    void takeAhead() {
        av_frame_unref(shown_.get());
        av_frame_move_ref(shown_.get(), ahead_.get());
        shownPts_ = shown_->best_effort_timestamp;
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
            av_frame_unref(shown_.get());
            av_frame_unref(ahead_.get());
            current_ = -1;
            if (fromStart) return;
            // Peek at the first picture: it must not lie beyond the target.
            if (!nextPicture(ahead_.get())) continue;
            const int64_t t = ahead_->best_effort_timestamp;
            if (t == AV_NOPTS_VALUE || t <= target) return;
        }
    }

    // Decodes the next picture in presentation order into `into`; false at
    // the end of the stream. Damage is skipped: packets the decoder refuses,
    // and pictures without a size or format, are passed over.
    bool nextPicture(AVFrame *into) {
        int failures = 0;
        for (;;) {
            int err = eof_ ? AVERROR_EOF : avcodec_receive_frame(dec_.get(), into);
            if (err == 0) {
                if (HasPicture(into)) return true;
                av_frame_unref(into);
                continue;
            }
            if (err == AVERROR_EOF) {
                eof_ = true;
                return false;
            }
            if (err == AVERROR(ENOMEM)) throw std::bad_alloc();
            // Any other error is the decoder's word on damaged data; a decoder
            // that keeps failing is taken to have ended.
            if (err != AVERROR(EAGAIN) && ++failures > 100) {
                eof_ = true;
                return false;
            }
            if (sentEof_) {
                if (err == AVERROR(EAGAIN)) eof_ = true;
                if (eof_) return false;
                continue;
            }
            readPacket();
        }
    }

    // Feeds the decoder the next packet of the stream, or the end of it.
    void readPacket() {
        int err = av_read_frame(fmt_.get(), pkt_.get());
        if (err == AVERROR_EXIT) throw HostError(kExitRenderFailed, "interrupted");
        if (err == AVERROR(EIO) || err == AVERROR(ENOMEM))
            throw HostError(kExitRenderFailed, "reading the video failed: " + AvErrorText(err));
        if (err < 0) {
            // The end, or a container damaged past reading on: what is left
            // in the decoder still comes out.
            avcodec_send_packet(dec_.get(), nullptr);
            sentEof_ = true;
            return;
        }
        if (pkt_->stream_index == stream_->index) {
            err = avcodec_send_packet(dec_.get(), pkt_.get());
            if (err == AVERROR(ENOMEM)) {
                av_packet_unref(pkt_.get());
                throw std::bad_alloc();
            }
        }
        av_packet_unref(pkt_.get());
    }

    std::string name_;
    FormatPtr fmt_;
    AVStream *stream_ = nullptr;
    CodecPtr dec_;
    FramePtr shown_;  // the picture of frame current_
    FramePtr ahead_;  // decoded already, due after frame current_
    AVFrame *first_ = nullptr;
    PacketPtr pkt_;
    AVRational frameRate_{25, 1};
    std::vector<int64_t> pts_;
    int64_t end_ = 0;
    int64_t current_ = -1;
    int64_t shownPts_ = AV_NOPTS_VALUE;
    bool eof_ = false;
    bool sentEof_ = false;
    int seeks_ = 0;
    mutable std::mutex damagedLock_;
    std::set<int64_t> damaged_;
};

// Sound side: decodes the best audio stream to planar float at a fixed rate
// and keeps a sliding window of samples, addressed by their sample index on
// the clip's time line (0 = the time of video frame 0).
class AudioDecoder {
public:
    AudioDecoder(const std::string &url, const std::string &name, double originSeconds) : origin_(originSeconds) {
        fmt_ = OpenFormat(url, name);
        int idx = av_find_best_stream(fmt_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (idx < 0) return;
        stream_ = fmt_->streams[idx];
        for (unsigned i = 0; i < fmt_->nb_streams; ++i)
            if (static_cast<int>(i) != idx) fmt_->streams[i]->discard = AVDISCARD_ALL;
        try {
            dec_ = OpenDecoder(name, stream_, "audio");
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

// What the stream's first picture and its parameters say about its colours.
ColourDescription ColourOf(const AVFrame &f, const AVCodecParameters &par) {
    ColourDescription c;
    c.primaries = f.color_primaries != AVCOL_PRI_UNSPECIFIED ? f.color_primaries : par.color_primaries;
    c.transfer = f.color_trc != AVCOL_TRC_UNSPECIFIED ? f.color_trc : par.color_trc;
    c.matrix = f.colorspace != AVCOL_SPC_UNSPECIFIED ? f.colorspace : par.color_space;
    c.range = f.color_range != AVCOL_RANGE_UNSPECIFIED ? f.color_range : par.color_range;
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f.format));
    if (d && (d->flags & AV_PIX_FMT_FLAG_RGB)) {
        // Pictures stored as RGB have no YUV matrix or range of their own.
        c.matrix = AVCOL_SPC_RGB;
        c.range = AVCOL_RANGE_UNSPECIFIED;
    } else if (d && std::strncmp(d->name, "yuvj", 4) == 0) {
        c.range = AVCOL_RANGE_JPEG;
    }
    return c;
}

AVFieldOrder FieldOrderOf(const AVFrame &f, const AVCodecParameters &par) {
    if (par.field_order != AV_FIELD_UNKNOWN) return par.field_order;
    if (!f.interlaced_frame) return AV_FIELD_PROGRESSIVE;
    return f.top_field_first ? AV_FIELD_TT : AV_FIELD_BB;
}

// A file descriptor, closed with its owner.
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int f) : fd(f) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
    int release() { return std::exchange(fd, -1); }
};

// The name under which the demuxers open the file behind fd: that very file,
// so nothing can swap it for a pipe between the checks and the reading.
std::string UrlOf(int fd, const std::string &name) {
    const std::string url = "/proc/self/fd/" + std::to_string(fd);
    return access(url.c_str(), R_OK) == 0 ? url : name;
}

class FileSource : public ClipSource {
public:
    // Takes over fd, a regular file opened for reading.
    FileSource(int fd, const std::string &name)
        : file_(fd), video_(UrlOf(fd, name), name), audio_(UrlOf(fd, name), name, video_.startSeconds()) {
        const AVFrame &first = video_.first();
        turns_ = QuarterTurnsOf(&video_.stream());
        const bool sideways = turns_ % 2 == 1;
        info_.width = sideways ? first.height : first.width;
        info_.height = sideways ? first.width : first.height;
        info_.frameRate = video_.frameRate();
        info_.timeBase = video_.timeBase();
        info_.frameCount = video_.frameCount();
        AVRational sar = video_.pixelAspect();
        if (sar.num <= 0 || sar.den <= 0) sar = AVRational{1, 1};
        info_.pixelAspect = sideways ? AVRational{sar.den, sar.num} : sar;
        info_.fieldOrder = FieldOrderOf(first, *video_.stream().codecpar);
        info_.colour = ColourOf(first, *video_.stream().codecpar);
        info_.hasAudio = audio_.present();
        info_.sampleRate = audio_.present() ? audio_.rate() : 0;
        info_.channels = audio_.present() ? audio_.channels() : 0;
        info_.videoCodec = video_.codecName();
    }

    const ClipInfo &info() const override { return info_; }
    int64_t frameTime(int64_t n) const override { return video_.frameTime(n); }

    void readVideo(int64_t n, int width, int height, bool highQuality, uint8_t *pixels, long rowBytes) override {
        const AVFrame *f = video_.decode(n);
        if (turns_ == 0) {
            convert_.convert(f, width, height, highQuality, pixels, rowBytes);
            return;
        }
        // Converted as stored, then turned upright.
        const int w = turns_ % 2 ? height : width, h = turns_ % 2 ? width : height;
        stored_.resize(static_cast<size_t>(w) * h);
        convert_.convert(f, w, h, highQuality, reinterpret_cast<uint8_t *>(stored_.data()), 4L * w);
        TurnArgb(stored_.data(), w, h, turns_, pixels, rowBytes);
    }

    void readAudio(int64_t n, AudioChunk &out) override {
        if (!info_.hasAudio) {
            out.planes.clear();
            return;
        }
        const int64_t a = FirstSample(*this, n);
        const int64_t b = FirstSample(*this, n + 1);
        audio_.read(a, static_cast<int>(b - a), out);
    }

    int seekCount() const override { return video_.seeks(); }
    int64_t damagedFrames() const override { return video_.damaged(); }

private:
    Descriptor file_;
    VideoDecoder video_;
    AudioDecoder audio_;
    ToArgb convert_;
    int turns_ = 0;
    std::vector<uint32_t> stored_;
    ClipInfo info_;
};

}  // namespace

std::unique_ptr<ClipSource> OpenFileSource(const std::string &path) {
    // Opened without waiting: a pipe or a device opens at once and is refused.
    Descriptor file;
    file.fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (file.fd < 0) {
        if (errno == ENOENT) throw HostError(kExitInput, path + ": no such file");
        if (errno == EACCES) throw HostError(kExitInput, path + ": permission denied");
        throw HostError(kExitInput, path + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (fstat(file.fd, &st) != 0) throw HostError(kExitInput, path + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw HostError(kExitInput, path + ": is a folder, not a video file");
    if (S_ISFIFO(st.st_mode))
        throw HostError(kExitInput, path + ": is a pipe (FIFO); the input must be a video file that can be read "
                                           "twice and searched: save the stream to a file first");
    if (!S_ISREG(st.st_mode)) throw HostError(kExitInput, path + ": is a device or socket, not a video file");
    if (st.st_size == 0) throw HostError(kExitInput, path + ": is empty: the clip has no frames");
    return std::make_unique<FileSource>(file.release(), path);
}

}  // namespace qvhost
