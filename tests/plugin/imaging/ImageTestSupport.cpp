#include "ImageTestSupport.h"

#include <sstream>
#include <vector>

namespace imgtest {

GW MakeGW(int w, int h) {
    GWorldPtr gw = nullptr;
    const Rect r{0, 0, SInt16(h), SInt16(w)};
    NewGWorld(&gw, 32, &r, nullptr, nullptr, 0);
    return GW(gw);
}

std::ostream &operator<<(std::ostream &os, const Px &p) {
    return os << "(a" << int(p.a) << " r" << int(p.r) << " g" << int(p.g) << " b" << int(p.b) << ")";
}

int Width(GWorldPtr w) {
    Rect r;
    GetPortBounds(w, &r);
    return r.right - r.left;
}

int Height(GWorldPtr w) {
    Rect r;
    GetPortBounds(w, &r);
    return r.bottom - r.top;
}

static UInt8 *Address(GWorldPtr w, int x, int y) {
    PixMapHandle pm = GetGWorldPixMap(w);
    return reinterpret_cast<UInt8 *>(GetPixBaseAddr(pm)) + long(y) * GetPixRowBytes(pm) + long(x) * 4;
}

Px Get(GWorldPtr w, int x, int y) {
    const UInt8 *p = Address(w, x, y);
    return Px{p[0], p[1], p[2], p[3]};
}

void Put(GWorldPtr w, int x, int y, Px v) {
    UInt8 *p = Address(w, x, y);
    p[0] = v.a;
    p[1] = v.r;
    p[2] = v.g;
    p[3] = v.b;
}

void Fill(GWorldPtr w, const std::function<Px(int, int)> &pattern) {
    for (int y = 0; y < Height(w); ++y)
        for (int x = 0; x < Width(w); ++x) Put(w, x, y, pattern(x, y));
}

Px Pattern(int x, int y) {
    // Red ramps across, green down, blue in a coarse checker of 4-pixel
    // cells offset along the diagonal.
    const UInt8 r = UInt8((x * 7 + y) & 0xFF);
    const UInt8 g = UInt8((y * 11 + x * 2) & 0xFF);
    const UInt8 b = UInt8((((x >> 2) + (y >> 2)) & 1) ? 200 + ((x + y) & 31) : 30 + ((x * 3) & 31));
    return Opaque(r, g, b);
}

long CountDifferences(GWorldPtr a, GWorldPtr b, std::string *firstDiff) {
    const int w = Width(a), h = Height(a);
    if (w != Width(b) || h != Height(b)) return -1;
    long count = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Px pa = Get(a, x, y), pb = Get(b, x, y);
            if (pa == pb) continue;
            if (count++ == 0 && firstDiff) {
                std::ostringstream os;
                os << "at (" << x << "," << y << "): " << pa << " vs " << pb;
                *firstDiff = os.str();
            }
        }
    return count;
}

} // namespace imgtest
