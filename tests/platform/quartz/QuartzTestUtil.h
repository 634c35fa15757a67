// Helpers for the Quartz tests: bitmap contexts over vectors, random
// premultiplied pixels, pixel access in memory order A, R, G, B.
#ifndef QUELVANE_QUARTZTESTUTIL_H
#define QUELVANE_QUARTZTESTUTIL_H

#include <cstdint>
#include <random>
#include <vector>

#include "quartz/CoreGraphics.h"

struct Canvas {
    int width, height;
    size_t rowBytes;
    std::vector<uint8_t> pixels;
    CGContextRef context = nullptr;

    Canvas(int w, int h, size_t padding = 0) : width(w), height(h), rowBytes(w * 4 + padding), pixels(rowBytes * h) {
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        context = CGBitmapContextCreate(pixels.data(), w, h, 8, rowBytes, space, kCGImageAlphaPremultipliedFirst);
        CGColorSpaceRelease(space);
    }
    ~Canvas() { CGContextRelease(context); }
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;

    uint8_t *At(int x, int y) { return pixels.data() + y * rowBytes + x * 4; }
    const uint8_t *At(int x, int y) const { return pixels.data() + y * rowBytes + x * 4; }
    void Fill(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t *p = At(x, y);
                p[0] = a, p[1] = r, p[2] = g, p[3] = b;
            }
    }
};

// A valid premultiplied pixel: colour channels never above alpha.
inline void RandomPixel(std::mt19937 &rng, uint8_t *p, bool opaque) {
    const int a = opaque ? 255 : static_cast<int>(rng() % 256);
    p[0] = static_cast<uint8_t>(a);
    for (int i = 1; i < 4; ++i) p[i] = static_cast<uint8_t>(a ? rng() % (a + 1) : 0);
}

inline std::vector<uint8_t> RandomImagePixels(std::mt19937 &rng, int w, int h, bool opaque) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) RandomPixel(rng, px.data() + i, opaque);
    return px;
}

struct ImageHolder {
    CGImageRef image;
    explicit ImageHolder(CGImageRef i) : image(i) {}
    ~ImageHolder() { CGImageRelease(image); }
    ImageHolder(const ImageHolder &) = delete;
    ImageHolder &operator=(const ImageHolder &) = delete;
};

// Turns the SIMD kernels off (or on) for the life of the object.
struct KernelChoice {
    bool previous;
    explicit KernelChoice(bool simd) : previous(QVCGSetSIMDEnabled(simd)) {}
    ~KernelChoice() { QVCGSetSIMDEnabled(previous); }
};

#endif
