// swscale conversions into and out of the plug-in's A, R, G, B buffers.
#include "PixelConvert.h"

#include "HostError.h"
#include "StageTimes.h"
#include "Yuv420.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace qvhost {

AVColorSpace DefaultColorSpace(int width, int height) {
    return (height >= 720 || width > 1024) ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
}

namespace {

int SwsSpace(AVColorSpace space) {
    switch (space) {
    case AVCOL_SPC_BT709: return SWS_CS_ITU709;
    case AVCOL_SPC_FCC: return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
    default: return SWS_CS_ITU601;
    }
}

bool IsFullRange(const AVFrame *f) {
    if (f->color_range == AVCOL_RANGE_JPEG) return true;
    switch (f->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P: return true;
    default: return false;
    }
}

// Where a frame's chroma sits across: as declared, MPEG-2's "left" when it
// says nothing (H.264's default) but for JPEG's full-range formats.
ChromaSiting SitingOf(const AVFrame *f) {
    switch (f->chroma_location) {
    case AVCHROMA_LOC_LEFT:
    case AVCHROMA_LOC_TOPLEFT:
    case AVCHROMA_LOC_BOTTOMLEFT: return ChromaSiting::Left;
    case AVCHROMA_LOC_CENTER:
    case AVCHROMA_LOC_TOP:
    case AVCHROMA_LOC_BOTTOM: return ChromaSiting::Centre;
    default: return f->format == AV_PIX_FMT_YUVJ420P ? ChromaSiting::Centre : ChromaSiting::Left;
    }
}

bool IsYuv(int format) {
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
    return d && !(d->flags & AV_PIX_FMT_FLAG_RGB) && d->nb_components >= 3;
}

}  // namespace

ToArgb::~ToArgb() { sws_freeContext(ctx_); }

void ToArgb::convert(const AVFrame *src, int width, int height, bool highQuality, uint8_t *dst, long rowBytes) {
    StageClock clock(Stage::ToArgb);
    // 4:2:0 at its own size goes through our own converter (see Yuv420.h),
    // whose bilinear chroma serves both qualities.
    if ((src->format == AV_PIX_FMT_YUV420P || src->format == AV_PIX_FMT_YUVJ420P) && src->width == width &&
        src->height == height) {
        AVColorSpace space = src->colorspace;
        if (space == AVCOL_SPC_UNSPECIFIED || space == AVCOL_SPC_RESERVED)
            space = DefaultColorSpace(src->width, src->height);
        RgbMatrix m;
        if (RgbMatrixFor(space, IsFullRange(src), &m)) {
            Yuv420ToArgb(src->data, src->linesize, width, height, m, SitingOf(src), dst, rowBytes);
            return;
        }
    }
    // High quality: bicubic scaling with full chroma; accurate rounding is left
    // out, as it costs ten times the conversion for less than one level.
    const int flags = highQuality ? (SWS_BICUBIC | SWS_FULL_CHR_H_INT) : SWS_FAST_BILINEAR;
    ctx_ = sws_getCachedContext(ctx_, src->width, src->height, static_cast<AVPixelFormat>(src->format), width,
                                height, AV_PIX_FMT_ARGB, flags, nullptr, nullptr, nullptr);
    if (!ctx_) throw HostError(kExitRenderFailed, "cannot convert the decoded picture to 32-bit RGB");
    if (IsYuv(src->format)) {
        AVColorSpace space = src->colorspace;
        if (space == AVCOL_SPC_UNSPECIFIED || space == AVCOL_SPC_RESERVED)
            space = DefaultColorSpace(src->width, src->height);
        sws_setColorspaceDetails(ctx_, sws_getCoefficients(SwsSpace(space)), IsFullRange(src) ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
    uint8_t *planes[4] = {dst, nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(rowBytes), 0, 0, 0};
    sws_scale(ctx_, src->data, src->linesize, 0, src->height, planes, strides);
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(src->format));
    if (d && (d->flags & AV_PIX_FMT_FLAG_ALPHA)) PremultiplyArgb(dst, width, height, rowBytes);
}

FromArgb::~FromArgb() { sws_freeContext(ctx_); }

void FromArgb::convert(const uint8_t *src, long rowBytes, AVFrame *dst) {
    StageClock clock(Stage::FromArgb);
    // The encoder's usual format goes through our own converter (see Yuv420.h).
    if (dst->format == AV_PIX_FMT_YUV420P || dst->format == AV_PIX_FMT_YUVJ420P) {
        AVColorSpace space = dst->colorspace;
        if (space == AVCOL_SPC_UNSPECIFIED) space = DefaultColorSpace(dst->width, dst->height);
        const bool full = dst->color_range == AVCOL_RANGE_JPEG || dst->format == AV_PIX_FMT_YUVJ420P;
        YuvMatrix m;
        if (YuvMatrixFor(space, full, &m)) {
            ArgbToYuv420(src, rowBytes, dst->width, dst->height, m, dst->data, dst->linesize);
            return;
        }
    }
    ctx_ = sws_getCachedContext(ctx_, dst->width, dst->height, AV_PIX_FMT_ARGB, dst->width, dst->height,
                                static_cast<AVPixelFormat>(dst->format), SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!ctx_) throw HostError(kExitRenderFailed, "cannot convert the rendered picture for the encoder");
    if (IsYuv(dst->format)) {
        AVColorSpace space = dst->colorspace;
        if (space == AVCOL_SPC_UNSPECIFIED) space = DefaultColorSpace(dst->width, dst->height);
        sws_setColorspaceDetails(ctx_, sws_getCoefficients(SWS_CS_DEFAULT), 1, sws_getCoefficients(SwsSpace(space)),
                                 dst->color_range == AVCOL_RANGE_JPEG ? 1 : 0, 0, 1 << 16, 1 << 16);
    }
    const uint8_t *planes[4] = {src, nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(rowBytes), 0, 0, 0};
    sws_scale(ctx_, planes, strides, 0, dst->height, dst->data, dst->linesize);
}

void PremultiplyArgb(uint8_t *pixels, int width, int height, long rowBytes) {
    for (int y = 0; y < height; ++y) {
        uint8_t *p = pixels + y * rowBytes;
        for (int x = 0; x < width; ++x, p += 4) {
            const unsigned a = p[0];
            if (a == 255) continue;
            for (int c = 1; c < 4; ++c) p[c] = static_cast<uint8_t>((p[c] * a + 127) / 255);
        }
    }
}

}  // namespace qvhost
