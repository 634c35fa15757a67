#include "ImageTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

PixelView::PixelView(GWorldPtr w) {
    PixMapHandle pm = GetGWorldPixMap(w);
    base = reinterpret_cast<const UInt8 *>(GetPixBaseAddr(pm));
    rowBytes = GetPixRowBytes(pm);
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
    const int wid = Width(w), hig = Height(w);
    UInt8 *base = Address(w, 0, 0);
    const long rowBytes = GetPixRowBytes(GetGWorldPixMap(w));
    for (int y = 0; y < hig; ++y)
        for (int x = 0; x < wid; ++x) {
            const Px v = pattern(x, y);
            UInt8 *p = base + long(y) * rowBytes + long(x) * 4;
            p[0] = v.a, p[1] = v.r, p[2] = v.g, p[3] = v.b;
        }
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
    const PixelView va(a), vb(b);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Px pa = va.at(x, y), pb = vb.at(x, y);
            if (pa == pb) continue;
            if (count++ == 0 && firstDiff) {
                std::ostringstream os;
                os << "at (" << x << "," << y << "): " << pa << " vs " << pb;
                *firstDiff = os.str();
            }
        }
    return count;
}

namespace {

UInt32 Crc32(const UInt8 *data, size_t n, UInt32 crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put32(std::vector<UInt8> &v, UInt32 x) {
    for (int s = 24; s >= 0; s -= 8) v.push_back(UInt8(x >> s));
}

void Chunk(std::vector<UInt8> &out, const char *type, const std::vector<UInt8> &data) {
    Put32(out, UInt32(data.size()));
    std::vector<UInt8> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    Put32(out, Crc32(body.data(), body.size()));
}

} // namespace

bool WritePNG(GWorldPtr w, const std::string &path) {
    const PixelView view(w);
    return WritePNGPixels(Width(w), Height(w), [&](int x, int y) { return view.at(x, y); }, path);
}

bool WritePNGPixels(int wid, int hig, const std::function<Px(int x, int y)> &pixel, const std::string &path) {
    // Raw scanlines: filter byte 0, then R, G, B, A (un-premultiplied).
    std::vector<UInt8> raw;
    for (int y = 0; y < hig; ++y) {
        raw.push_back(0);
        for (int x = 0; x < wid; ++x) {
            const Px p = pixel(x, y);
            auto un = [&](UInt8 c) { return p.a ? UInt8(std::min(255, (c * 255 + p.a / 2) / p.a)) : UInt8(0); };
            raw.insert(raw.end(), {un(p.r), un(p.g), un(p.b), p.a});
        }
    }
    // zlib stream of stored deflate blocks.
    std::vector<UInt8> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z.insert(z.end(), {UInt8(last ? 1 : 0), UInt8(n & 0xFF), UInt8(n >> 8), UInt8(~n & 0xFF), UInt8((~n >> 8) & 0xFF)});
        z.insert(z.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
        pos += n;
    } while (pos < raw.size());
    UInt32 s1 = 1, s2 = 0;
    for (UInt8 c : raw) {
        s1 = (s1 + c) % 65521;
        s2 = (s2 + s1) % 65521;
    }
    Put32(z, (s2 << 16) | s1);

    std::vector<UInt8> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<UInt8> ihdr;
    Put32(ihdr, UInt32(wid));
    Put32(ihdr, UInt32(hig));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

std::string DiagnosticPath(const std::string &name) {
    const char *dir = std::getenv("QUELVANE_BINARY_DIR");
    return std::string(dir ? dir : "/tmp") + "/" + name;
}

} // namespace imgtest
