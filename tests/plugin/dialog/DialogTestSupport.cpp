// DialogTestSupport.cpp: helpers of the dialog tests.
#include "DialogTestSupport.h"

#include <cstdio>

namespace dlgtest {

WindowRef WindowFromText(const std::string &description, const char *name)
{
    IBNibRef nib = nullptr;
    char error[512] = {0};
    if (QVCreateNibReferenceFromText("test", description.data(), description.size(), &nib, error, sizeof error) !=
        noErr) {
        std::fprintf(stderr, "test description refused: %s\n", error);
        return nullptr;
    }
    WindowRef window = nullptr;
    OSStatus status = QVCreateWindowFromNibNamed(nib, name, &window);
    DisposeNibReference(nib);
    if (status != noErr)
        std::fprintf(stderr, "test window not made: %d\n", static_cast<int>(status));
    return window;
}

namespace {
UInt8 *PixelAddress(CGrafPtr port, int h, int v)
{
    PixMapHandle pm = GetGWorldPixMap(port);
    if (!pm)
        return nullptr;
    Rect bounds;
    GetPortBounds(port, &bounds);
    if (h < bounds.left || h >= bounds.right || v < bounds.top || v >= bounds.bottom)
        return nullptr;
    UInt8 *base = reinterpret_cast<UInt8 *>(GetPixBaseAddr(pm));
    return base + (v - bounds.top) * GetPixRowBytes(pm) + (h - bounds.left) * 4;
}
} // namespace

UInt32 PixelAt(CGrafPtr port, int h, int v)
{
    const UInt8 *p = PixelAddress(port, h, v);
    if (!p)
        return 0xDEADBEEF;
    return (UInt32(p[1]) << 16) | (UInt32(p[2]) << 8) | p[3];
}

void SetPixel(CGrafPtr port, int h, int v, UInt32 rgb)
{
    if (UInt8 *p = PixelAddress(port, h, v)) {
        p[0] = 255;
        p[1] = static_cast<UInt8>(rgb >> 16);
        p[2] = static_cast<UInt8>(rgb >> 8);
        p[3] = static_cast<UInt8>(rgb);
    }
}

void Fill(CGrafPtr port, const Rect &r, UInt32 rgb)
{
    for (int v = r.top; v < r.bottom; ++v)
        for (int h = r.left; h < r.right; ++h)
            SetPixel(port, h, v, rgb);
}

std::string P2S(ConstStr255Param text)
{
    return std::string(reinterpret_cast<const char *>(text + 1), text[0]);
}

std::string ControlText(ControlRef control)
{
    Size size = 0;
    if (GetControlDataSize(control, 0, kControlEditTextTextTag, &size) != noErr)
        return "<no text>";
    std::string text(static_cast<size_t>(size), '\0');
    GetControlData(control, 0, kControlEditTextTextTag, size, text.data(), &size);
    return text;
}

ControlRef Find(WindowRef window, const char *signature, SInt32 id)
{
    ControlID cid{QV_FOURCC(signature[0], signature[1], signature[2], signature[3]), id};
    ControlRef control = nullptr;
    GetControlByID(window, &cid, &control);
    return control;
}

} // namespace dlgtest
