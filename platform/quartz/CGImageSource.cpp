// Image sources: image files decoded with Qt's image readers (PNG, BMP
// built in; JPEG, GIF, TIFF and others through Qt's image-format plug-ins)
// into premultiplied pixels of memory order A, R, G, B.
//
// Bad input never gets far: the size a file declares is checked against the
// limits before any pixels are allocated, Qt's own allocation limit is set to
// match for formats that only learn their size while decoding, and a JPEG
// whose scan is not ended, a GIF whose first image stops early or a BMP
// shorter than its rows counts as damaged (their decoders would otherwise
// fill the missing part with grey or black).
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "quartz/CGInternal.h"

struct CGImageSource {
    CFRuntimeBase base;
    QByteArray bytes;
    size_t count;
};

namespace {

// Larger files are not read at all (no image format needs more for the
// largest image we accept).
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

// The pixel count refused; lowered only by the fuzz target (see CGInternal.h).
size_t gMaxPixels = kQVImageSourceMaxPixels;

void FinalizeSource(CFRuntimeBase *object) { delete reinterpret_cast<CGImageSource *>(object); }

CGImageSource *AsSource(CGImageSourceRef source) {
    return reinterpret_cast<CGImageSource *>(CFRuntimeCast(source, kQVTypeIDImageSource));
}

void SetUpReaders() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Qt refuses to allocate more than this many megabytes for one image.
        QImageReader::setAllocationLimit(static_cast<int>(kQVImageSourceMaxPixels * 4 / (1024 * 1024)) + 1);
    });
}

bool SizeAllowed(QSize size) {
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0) return false;
    if (size.width() > kQVImageSourceMaxSide || size.height() > kQVImageSourceMaxSide) return false;
    return static_cast<size_t>(size.width()) * static_cast<size_t>(size.height()) <= gMaxPixels;
}

// A JPEG's entropy-coded data escapes 0xFF, so an end-of-image marker after
// the first start-of-scan marker means the scan was complete.
bool JPEGComplete(const QByteArray &b) {
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData());
    const qsizetype n = b.size();
    qsizetype i = 2;
    bool scan = false;
    for (; i + 1 < n; ++i) {
        if (p[i] != 0xFF) continue;
        if (!scan && p[i + 1] == 0xDA) scan = true;
        else if (scan && p[i + 1] == 0xD9) return true;
    }
    return false;
}

// Walks a GIF's blocks up to the end of its first image's data.
bool GIFFirstImageComplete(const QByteArray &b) {
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData());
    const qsizetype n = b.size();
    if (n < 13) return false;
    qsizetype i = 13;
    if (p[10] & 0x80) i += 3 * (qsizetype(1) << ((p[10] & 7) + 1)); // global colour table
    auto skipSubBlocks = [&](qsizetype at) -> qsizetype {
        while (at < n) {
            const int len = p[at];
            if (len == 0) return at + 1;
            at += 1 + len;
        }
        return -1;
    };
    while (i < n) {
        if (p[i] == 0x21) { // extension: label, then sub-blocks
            if (i + 2 > n) return false;
            i = skipSubBlocks(i + 2);
            if (i < 0) return false;
        } else if (p[i] == 0x2C) { // image descriptor
            if (i + 10 > n) return false;
            const unsigned char flags = p[i + 9];
            i += 10;
            if (flags & 0x80) i += 3 * (qsizetype(1) << ((flags & 7) + 1));
            i += 1; // LZW minimum code size
            return i <= n && skipSubBlocks(i) > 0;
        } else {
            return false; // trailer before any image, or garbage
        }
    }
    return false;
}

// An uncompressed BMP must hold all its rows; others the size their header
// gives, when it gives one.
bool BMPComplete(const QByteArray &b) {
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData());
    const qsizetype n = b.size();
    if (n < 26) return false;
    auto u16 = [&](qsizetype at) { return quint32(p[at]) | quint32(p[at + 1]) << 8; };
    auto u32 = [&](qsizetype at) { return u16(at) | u16(at + 2) << 16; };
    const quint32 fileSize = u32(2), dataOffset = u32(10), headerSize = u32(14);
    qint64 width, height;
    quint32 bits, compression;
    if (headerSize == 12) {
        width = u16(18);
        height = u16(20);
        bits = u16(24);
        compression = 0;
    } else {
        if (n < 34) return false;
        width = static_cast<qint32>(u32(18));
        height = static_cast<qint32>(u32(22));
        bits = u16(28);
        compression = u32(30);
    }
    if (compression == 0 || compression == 3 || compression == 6) {
        // Sizes straight from the file: compare by division, never by a
        // product that could overflow.
        const qint64 stride = ((std::abs(width) * bits + 31) / 32) * 4;
        const qint64 room = n - static_cast<qint64>(dataOffset);
        if (room < 0) return false;
        return stride == 0 || std::abs(height) <= room / stride;
    }
    return fileSize == 0 || fileSize <= static_cast<quint64>(n);
}

bool Complete(const QByteArray &format, const QByteArray &bytes) {
    if (format == "jpeg" || format == "jpg") return JPEGComplete(bytes);
    if (format == "gif") return GIFFirstImageComplete(bytes);
    if (format == "bmp") return BMPComplete(bytes);
    return true;
}

CGImageRef ToImage(const QImage &decoded) {
    QImage image = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() || !SizeAllowed(image.size())) return nullptr;
    const size_t w = static_cast<size_t>(image.width()), h = static_cast<size_t>(image.height());
    std::shared_ptr<UInt8> pixels = qd::AllocatePixels(w * h * 4);
    if (!pixels) return nullptr;
    for (size_t y = 0; y < h; ++y) {
        // Qt keeps 0xAARRGGBB words; a byte swap gives memory order A, R, G, B.
        const auto *in = reinterpret_cast<const uint32_t *>(image.constScanLine(static_cast<int>(y)));
        auto *out = reinterpret_cast<uint32_t *>(pixels.get() + y * w * 4);
        for (size_t x = 0; x < w; ++x) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            out[x] = __builtin_bswap32(in[x]);
#else
            out[x] = in[x];
#endif
        }
    }
    auto loan = std::make_shared<qd::PixelLoan>();
    loan->data = pixels.get();
    loan->rowBytes = w * 4;
    loan->width = w;
    loan->height = h;
    loan->own = pixels;
    return cg::NewImage(w, h, std::move(loan));
}

CGImageSourceRef NewSource(QByteArray bytes) {
    SetUpReaders();
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return nullptr;
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) return nullptr;
    const int count = reader.imageCount();
    auto *source = new (std::nothrow) CGImageSource;
    if (!source) return nullptr;
    CFRuntimeInit(&source->base, kQVTypeIDImageSource, FinalizeSource);
    source->bytes = std::move(bytes);
    source->count = count > 0 ? static_cast<size_t>(count) : 1;
    return source;
}

} // namespace

void cg::SetImageSourcePixelLimit(size_t pixels) { gMaxPixels = std::min(pixels, kQVImageSourceMaxPixels); }

extern "C" {

CGImageSourceRef QVCGImageSourceCreateWithBytes(const void *bytes, size_t length) {
    if (!bytes || length == 0 || length > static_cast<size_t>(kMaxFileBytes)) return nullptr;
    return NewSource(QByteArray(static_cast<const char *>(bytes), static_cast<qsizetype>(length)));
}

CGImageSourceRef QVCGImageSourceCreateWithPath(const char *path) {
    if (!path) return nullptr;
    std::FILE *f = std::fopen(path, "rb");
    if (!f) return nullptr;
    QByteArray bytes;
    char chunk[65536];
    size_t got;
    bool tooBig = false;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (bytes.size() + static_cast<qsizetype>(got) > kMaxFileBytes) {
            tooBig = true;
            break;
        }
        bytes.append(chunk, static_cast<qsizetype>(got));
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed || tooBig || bytes.isEmpty()) return nullptr;
    return NewSource(std::move(bytes));
}

CGImageSourceRef CGImageSourceCreateWithURL(CFURLRef url, CFTypeRef) {
    if (!url) return nullptr;
    UInt8 path[4096];
    if (!CFURLGetFileSystemRepresentation(url, true, path, sizeof path)) return nullptr;
    return QVCGImageSourceCreateWithPath(reinterpret_cast<const char *>(path));
}

size_t CGImageSourceGetCount(CGImageSourceRef source) {
    CGImageSource *s = AsSource(source);
    return s ? s->count : 0;
}

CGImageRef CGImageSourceCreateImageAtIndex(CGImageSourceRef source, size_t index, CFTypeRef) {
    CGImageSource *s = AsSource(source);
    if (!s || index >= s->count) return nullptr;
    QByteArray bytes = s->bytes; // shared, not copied
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return nullptr;
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    if (!reader.canRead()) return nullptr;
    if (index == 0 && !Complete(reader.format(), bytes)) return nullptr;
    if (index > 0 && !reader.jumpToImage(static_cast<int>(index))) {
        // Readers that cannot jump read their way there.
        for (size_t i = 0; i < index; ++i) {
            QImage skipped;
            if (!reader.read(&skipped)) return nullptr;
        }
    }
    // Refuse what the file declares before anything is decoded; a size
    // known only after decoding is held to Qt's allocation limit and then
    // checked again.
    const QSize declared = reader.size();
    if (declared.isValid() && !SizeAllowed(declared)) return nullptr;
    QImage image;
    if (!reader.read(&image) || image.isNull()) return nullptr;
    return ToImage(image);
}

} // extern "C"
