// DialogTestSupport.h: small helpers shared by the dialog tests: windows
// from description texts, pixels of ports and buffers, texts of controls,
// Pascal strings, test images and image files.
#ifndef QUELVANE_DIALOGTESTSUPPORT_H
#define QUELVANE_DIALOGTESTSUPPORT_H

#include "MacTypes.h"
#include "quartz/CoreGraphics.h"
#include "quickdraw/QuickDraw.h"
#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"

#include <fstream>
#include <string>
#include <vector>

namespace dlgtest {

// A window of a description text (nib "test"); nullptr when it cannot be
// made (the reason is printed).
WindowRef WindowFromText(const std::string &description, const char *name);

// Pixel (h, v) of a port or buffer as 0xRRGGBB.
UInt32 PixelAt(CGrafPtr port, int h, int v);
// Fills rectangle r of a port or buffer with an opaque colour 0xRRGGBB,
// directly in its pixels.
void Fill(CGrafPtr port, const Rect &r, UInt32 rgb);
// A new buffer of the given size filled by pattern(h, v) -> 0xRRGGBB.
template <class F> GWorldPtr MakeBuffer(int width, int height, F pattern);

// An opaque image whose pixel (h, v) is pattern(h, v) -> 0xRRGGBB.
template <class F> CGImageRef MakeImage(int width, int height, F pattern);

// Length-prefixed text to std::string.
std::string P2S(ConstStr255Param text);

// The text of a static or edit text control.
std::string ControlText(ControlRef control);
ControlRef Find(WindowRef window, const char *signature, SInt32 id);

// Writes a binary Netpbm (PPM) image file of width x height pixels, pixel
// (h, v) = pattern(h, v) -> 0xRRGGBB; false when it cannot be written.
template <class F> bool WritePPM(const std::string &path, int width, int height, F pattern);

// ---- templates --------------------------------------------------------------

void SetPixel(CGrafPtr port, int h, int v, UInt32 rgb);

template <class F> GWorldPtr MakeBuffer(int width, int height, F pattern)
{
    GWorldPtr world = nullptr;
    Rect bounds{0, 0, static_cast<SInt16>(height), static_cast<SInt16>(width)};
    if (NewGWorld(&world, 32, &bounds, nullptr, nullptr, 0) != noErr)
        return nullptr;
    for (int v = 0; v < height; ++v)
        for (int h = 0; h < width; ++h)
            SetPixel(world, h, v, pattern(h, v));
    return world;
}

template <class F> CGImageRef MakeImage(int width, int height, F pattern)
{
    std::vector<UInt8> pixels(static_cast<size_t>(width) * height * 4);
    for (int v = 0; v < height; ++v)
        for (int h = 0; h < width; ++h) {
            UInt32 rgb = pattern(h, v);
            UInt8 *p = &pixels[(static_cast<size_t>(v) * width + h) * 4];
            p[0] = 255;
            p[1] = static_cast<UInt8>(rgb >> 16);
            p[2] = static_cast<UInt8>(rgb >> 8);
            p[3] = static_cast<UInt8>(rgb);
        }
    return QVCGImageCreateWithARGB(width, height, static_cast<size_t>(width) * 4, pixels.data());
}

template <class F> bool WritePPM(const std::string &path, int width, int height, F pattern)
{
    std::string out = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (int v = 0; v < height; ++v)
        for (int h = 0; h < width; ++h)
            for (int shift : {16, 8, 0})
                out.push_back(static_cast<char>(pattern(h, v) >> shift));
    std::ofstream file(path, std::ios::binary);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

} // namespace dlgtest

#endif // QUELVANE_DIALOGTESTSUPPORT_H
