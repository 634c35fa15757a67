// Image files built byte by byte, for what Qt cannot write: an animated
// GIF, a multi-page TIFF, and a PNG whose header declares any size. Used by
// the image-source tests and by the fuzz target's seed writer.
#ifndef QUELVANE_HANDMADEIMAGES_H
#define QUELVANE_HANDMADEIMAGES_H

#include <QByteArray>
#include <QColor>

#include <algorithm>
#include <initializer_list>
#include <tuple>
#include <vector>

namespace handmade {

// GIF with a 4-colour table (red, blue, green, black) and one frame per
// colour index given, each frame all of that colour; LZW codes of 3 bits with
// a clear code before every pixel, so no table grows.
inline QByteArray AnimatedGIF(int w, int h, std::initializer_list<int> frames) {
    QByteArray b("GIF89a");
    auto u16 = [&](int v) {
        b.append(char(v & 255));
        b.append(char(v >> 8));
    };
    u16(w);
    u16(h);
    b.append(char(0x81)); // global table of 4 entries
    b.append(char(0));
    b.append(char(0));
    const unsigned char table[12] = {255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0, 0};
    b.append(reinterpret_cast<const char *>(table), 12);
    for (int colour : frames) {
        const unsigned char gce[8] = {0x21, 0xF9, 4, 0, 10, 0, 0, 0}; // 0.1 s delay
        b.append(reinterpret_cast<const char *>(gce), 8);
        b.append(char(0x2C));
        u16(0);
        u16(0);
        u16(w);
        u16(h);
        b.append(char(0));
        b.append(char(2)); // minimum code size: clear = 4, end = 5
        QByteArray data;
        unsigned acc = 0;
        int bits = 0;
        auto code = [&](unsigned c) {
            acc |= c << bits;
            bits += 3;
            while (bits >= 8) {
                data.append(char(acc & 255));
                acc >>= 8;
                bits -= 8;
            }
        };
        for (int i = 0; i < w * h; ++i) {
            code(4);
            code(static_cast<unsigned>(colour));
        }
        code(5);
        if (bits > 0) data.append(char(acc & 255));
        for (int at = 0; at < data.size(); at += 255) {
            const int len = std::min<int>(255, data.size() - at);
            b.append(char(len));
            b.append(data.mid(at, len));
        }
        b.append(char(0));
    }
    b.append(char(0x3B));
    return b;
}

// Little-endian TIFF with one uncompressed RGB page per entry.
inline QByteArray MultiPageTIFF(const std::vector<std::tuple<int, int, QRgb>> &pages) {
    QByteArray b("II*\0", 4);
    auto put16 = [](QByteArray &to, int v) { to.append(char(v & 255)).append(char((v >> 8) & 255)); };
    auto put32 = [](QByteArray &to, quint32 v) {
        for (int i = 0; i < 4; ++i) to.append(char((v >> (8 * i)) & 255));
    };
    put32(b, 8);
    for (size_t n = 0; n < pages.size(); ++n) {
        const auto [w, h, colour] = pages[n];
        const int entries = 10;
        const quint32 ifd = static_cast<quint32>(b.size());
        const quint32 bpsAt = ifd + 2 + entries * 12 + 4;
        const quint32 dataAt = bpsAt + 6;
        const quint32 bytes = static_cast<quint32>(w * h * 3);
        const quint32 next = (n + 1 < pages.size()) ? ((dataAt + bytes + 1) & ~1u) : 0;
        put16(b, entries);
        auto entry = [&](int tag, int type, quint32 count, quint32 value) {
            put16(b, tag);
            put16(b, type);
            put32(b, count);
            put32(b, value);
        };
        entry(256, 3, 1, static_cast<quint32>(w));
        entry(257, 3, 1, static_cast<quint32>(h));
        entry(258, 3, 3, bpsAt);
        entry(259, 3, 1, 1);  // no compression
        entry(262, 3, 1, 2);  // RGB
        entry(273, 4, 1, dataAt);
        entry(277, 3, 1, 3);
        entry(278, 3, 1, static_cast<quint32>(h));
        entry(279, 4, 1, bytes);
        entry(284, 3, 1, 1);
        put32(b, next);
        put16(b, 8);
        put16(b, 8);
        put16(b, 8);
        for (int i = 0; i < w * h; ++i) {
            b.append(char(qRed(colour)));
            b.append(char(qGreen(colour)));
            b.append(char(qBlue(colour)));
        }
        if (b.size() & 1) b.append(char(0));
    }
    return b;
}

inline quint32 Crc32(const QByteArray &data) {
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data) {
        crc ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// A PNG whose header declares width x height, followed by a token of data.
inline QByteArray PNGClaiming(quint32 width, quint32 height) {
    QByteArray b("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&](const char *type, const QByteArray &data) {
        for (int i = 3; i >= 0; --i) b.append(char((data.size() >> (8 * i)) & 255));
        const QByteArray body = QByteArray(type, 4) + data;
        b.append(body);
        const quint32 crc = Crc32(body);
        for (int i = 3; i >= 0; --i) b.append(char((crc >> (8 * i)) & 255));
    };
    QByteArray ihdr;
    for (quint32 v : {width, height})
        for (int i = 3; i >= 0; --i) ihdr.append(char((v >> (8 * i)) & 255));
    ihdr.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));
    chunk("IHDR", ihdr);
    // One row of one transparent pixel, deflated.
    chunk("IDAT", QByteArray("\x78\x9c\x63\x60\x00\x02\x00\x00\x05\x00\x01", 11));
    chunk("IEND", QByteArray());
    return b;
}

} // namespace handmade

#endif
