// Helpers for the imaging and renderer tests: offscreen worlds that dispose
// of themselves, pixel access in memory order A, R, G, B independent of the
// plug-in's pixel library, test patterns and image comparison.
#ifndef QUELVANE_IMAGETESTSUPPORT_H
#define QUELVANE_IMAGETESTSUPPORT_H

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "quickdraw/QuickDraw.h"

namespace imgtest {

struct GWDeleter {
    void operator()(OpaqueGrafPtr *w) const {
        if (w) DisposeGWorld(w);
    }
};
using GW = std::unique_ptr<OpaqueGrafPtr, GWDeleter>;

// A new 32-bit world of w x h, pixels cleared.
GW MakeGW(int w, int h);

struct Px {
    UInt8 a, r, g, b;
    bool operator==(const Px &o) const { return a == o.a && r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Px &o) const { return !(*this == o); }
};
std::ostream &operator<<(std::ostream &os, const Px &p);

inline Px Opaque(UInt8 r, UInt8 g, UInt8 b) { return Px{255, r, g, b}; }

int Width(GWorldPtr w);
int Height(GWorldPtr w);
Px Get(GWorldPtr w, int x, int y);
void Put(GWorldPtr w, int x, int y, Px v);
void Fill(GWorldPtr w, const std::function<Px(int x, int y)> &pattern);

// An opaque, detailed pattern: a colour of every pixel that differs from its
// neighbours and from mirrored or shifted positions (a fault in position,
// orientation or scale shows), yet varies smoothly enough within 4 x 4
// blocks for resampling comparisons.
Px Pattern(int x, int y);

// Number of pixels that differ between two worlds of the same size (-1 when
// the sizes differ); firstDiff describes the first one.
long CountDifferences(GWorldPtr a, GWorldPtr b, std::string *firstDiff = nullptr);

// Makes a port current for the life of the object and restores the old one.
struct UsePort {
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    explicit UsePort(CGrafPtr port) {
        GetGWorld(&savedPort, &savedDevice);
        SetGWorld(port, nullptr);
    }
    ~UsePort() { SetGWorld(savedPort, savedDevice); }
};

} // namespace imgtest

#endif
