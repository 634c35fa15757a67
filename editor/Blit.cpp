// Opacity blend of pixel maps for the host's Blit callback.
#include "Blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace qvhost {

namespace {

long RowBytesOf(const PixMap *pm) { return pm->rowBytes & 0x3FFF; }

bool Usable(const PixMap *pm) {
    return pm && pm->baseAddr && (pm->pixelSize == 32 || pm->pixelSize == 0) && pm->bounds.right > pm->bounds.left &&
           pm->bounds.bottom > pm->bounds.top && RowBytesOf(pm) >= 4L * (pm->bounds.right - pm->bounds.left);
}

inline uint8_t Mix(unsigned s, unsigned d, unsigned a) {
    // (s * a + d * (255 - a)) / 255, rounded, exact for all 8-bit inputs.
    unsigned v = s * a + d * (255 - a) + 128;
    return static_cast<uint8_t>((v + (v >> 8)) >> 8);
}

}  // namespace

HYPluginResult BlitPixMaps(const PixMap *source, PixMap *dest, const Rect *sourceRect, const Rect *destRect,
                           SInt16 opacity) {
    if (!Usable(source) || !Usable(dest) || !sourceRect || !destRect) return kPluginBadParams;
    const Rect sr = *sourceRect, dr = *destRect;
    const int sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    const int dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return kPluginOK;
    const unsigned a = static_cast<unsigned>(std::clamp<int>(opacity, 0, 255));
    if (a == 0) return kPluginOK;

    // Destination pixels inside both the destination rectangle and the map.
    const int x0 = std::max<int>(dr.left, dest->bounds.left), x1 = std::min<int>(dr.right, dest->bounds.right);
    const int y0 = std::max<int>(dr.top, dest->bounds.top), y1 = std::min<int>(dr.bottom, dest->bounds.bottom);
    if (x0 >= x1 || y0 >= y1) return kPluginOK;
    const long srb = RowBytesOf(source), drb = RowBytesOf(dest);
    const bool sameSize = sw == dw && sh == dh;
    for (int y = y0; y < y1; ++y) {
        const int sy = sr.top + static_cast<int>((static_cast<int64_t>(y - dr.top) * sh) / dh);
        if (sy < source->bounds.top || sy >= source->bounds.bottom) continue;
        const uint8_t *srow = reinterpret_cast<const uint8_t *>(source->baseAddr) + (sy - source->bounds.top) * srb;
        uint8_t *drow = reinterpret_cast<uint8_t *>(dest->baseAddr) + (y - dest->bounds.top) * drb;
        if (sameSize) {
            // Columns whose source lies inside the source map.
            const int cx0 = std::max(x0, source->bounds.left - sr.left + dr.left);
            const int cx1 = std::min(x1, source->bounds.right - sr.left + dr.left);
            if (cx0 >= cx1) continue;
            const uint8_t *s = srow + 4L * (cx0 - dr.left + sr.left - source->bounds.left);
            uint8_t *d = drow + 4L * (cx0 - dest->bounds.left);
            const long bytes = 4L * (cx1 - cx0);
            if (a == 255) {
                std::memmove(d, s, static_cast<size_t>(bytes));
            } else {
                for (long i = 0; i < bytes; ++i) d[i] = Mix(s[i], d[i], a);
            }
            continue;
        }
        for (int x = x0; x < x1; ++x) {
            const int sx = sr.left + static_cast<int>((static_cast<int64_t>(x - dr.left) * sw) / dw);
            if (sx < source->bounds.left || sx >= source->bounds.right) continue;
            const uint8_t *s = srow + 4L * (sx - source->bounds.left);
            uint8_t *d = drow + 4L * (x - dest->bounds.left);
            for (int c = 0; c < 4; ++c) d[c] = Mix(s[c], d[c], a);
        }
    }
    return kPluginOK;
}

}  // namespace qvhost
