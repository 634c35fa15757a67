// A PNG built byte by byte, for what Qt cannot write: one whose header
// declares any size. Used by the image-source tests and by the fuzz target's
// seed writer.
#ifndef QUELVANE_HANDMADEIMAGES_H
#define QUELVANE_HANDMADEIMAGES_H

#include <QByteArray>

namespace handmade {

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
