// Helpers for the QuickDraw tests: worlds that dispose of themselves and
// pixel access in memory order A, R, G, B.
#ifndef QUELVANE_QDTESTUTIL_H
#define QUELVANE_QDTESTUTIL_H

#include <cstring>
#include <memory>

#include "quickdraw/QuickDraw.h"

struct WorldDeleter {
    void operator()(OpaqueGrafPtr *w) const { DisposeGWorld(w); }
};
using World = std::unique_ptr<OpaqueGrafPtr, WorldDeleter>;

inline World MakeWorld(int w, int h) {
    GWorldPtr gw = nullptr;
    Rect r{0, 0, static_cast<SInt16>(h), static_cast<SInt16>(w)};
    NewGWorld(&gw, 32, &r, nullptr, nullptr, 0);
    return World(gw);
}

struct Px {
    UInt8 a, r, g, b;
    bool operator==(const Px &o) const { return a == o.a && r == o.r && g == o.g && b == o.b; }
};

inline UInt8 *PixelAddress(GWorldPtr w, int x, int y) {
    PixMapHandle pm = GetGWorldPixMap(w);
    return reinterpret_cast<UInt8 *>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm) + x * 4;
}

inline Px Get(GWorldPtr w, int x, int y) {
    const UInt8 *p = PixelAddress(w, x, y);
    return Px{p[0], p[1], p[2], p[3]};
}

inline void Put(GWorldPtr w, int x, int y, Px v) {
    UInt8 *p = PixelAddress(w, x, y);
    p[0] = v.a;
    p[1] = v.r;
    p[2] = v.g;
    p[3] = v.b;
}

// Every pixel gets a value that names its position.
inline Px Tag(int x, int y) { return Px{255, static_cast<UInt8>(x), static_cast<UInt8>(y), 7}; }

inline void FillTags(GWorldPtr w) {
    Rect r;
    GetPortBounds(w, &r);
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x) Put(w, x, y, Tag(x, y));
}

// Makes a port current for the life of the object and restores the old one.
struct UsePort {
    CGrafPtr savedPort;
    GDHandle savedDevice;
    explicit UsePort(CGrafPtr port) {
        GetGWorld(&savedPort, &savedDevice);
        SetGWorld(port, nullptr);
    }
    ~UsePort() { SetGWorld(savedPort, savedDevice); }
};

inline std::ostream &operator<<(std::ostream &os, const Px &p) {
    return os << "(" << int(p.a) << "," << int(p.r) << "," << int(p.g) << "," << int(p.b) << ")";
}

#endif
