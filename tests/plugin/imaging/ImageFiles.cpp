#include "ImageFiles.h"

#include <algorithm>
#include <cstdio>

namespace imgtest {

namespace {

bool Save(const std::string &path, const std::vector<UInt8> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void Le16(std::vector<UInt8> &v, unsigned x) { v.insert(v.end(), {UInt8(x), UInt8(x >> 8)}); }
void Le32(std::vector<UInt8> &v, unsigned x) { v.insert(v.end(), {UInt8(x), UInt8(x >> 8), UInt8(x >> 16), UInt8(x >> 24)}); }

} // namespace

Image MakeImage(int w, int h, const std::function<Px(int, int)> &pattern) {
    Image img;
    img.w = w;
    img.h = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.px.push_back(pattern(x, y));
    return img;
}

bool WriteBMP(const std::string &path, const Image &img) {
    const unsigned rowSize = (unsigned(img.w) * 3 + 3) & ~3u;
    const unsigned dataSize = rowSize * unsigned(img.h);
    std::vector<UInt8> b = {'B', 'M'};
    Le32(b, 54 + dataSize);
    Le32(b, 0);
    Le32(b, 54);
    Le32(b, 40);
    Le32(b, unsigned(img.w));
    Le32(b, unsigned(img.h));  // bottom-up
    Le16(b, 1);
    Le16(b, 24);
    Le32(b, 0);
    Le32(b, dataSize);
    Le32(b, 2835);
    Le32(b, 2835);
    Le32(b, 0);
    Le32(b, 0);
    for (int y = img.h - 1; y >= 0; --y) {
        for (int x = 0; x < img.w; ++x) {
            const Px p = img.at(x, y);
            b.insert(b.end(), {p.b, p.g, p.r});
        }
        for (unsigned pad = unsigned(img.w) * 3; pad < rowSize; ++pad) b.push_back(0);
    }
    return Save(path, b);
}

bool WriteTIFF(const std::string &path, const std::vector<Image> &pages) {
    std::vector<UInt8> t = {'I', 'I', 42, 0};
    Le32(t, 8);  // first directory right after the header
    for (size_t i = 0; i < pages.size(); ++i) {
        const Image &img = pages[i];
        const unsigned ifdStart = unsigned(t.size());
        constexpr unsigned kEntries = 10;
        const unsigned ifdSize = 2 + kEntries * 12 + 4;
        const unsigned bitsAt = ifdStart + ifdSize;          // 3 shorts
        const unsigned pixelsAt = bitsAt + 6;
        const unsigned pixelBytes = unsigned(img.w * img.h * 3);
        const unsigned next = i + 1 < pages.size() ? pixelsAt + pixelBytes : 0;
        Le16(t, kEntries);
        auto entry = [&](unsigned tag, unsigned type, unsigned count, unsigned value) {
            Le16(t, tag);
            Le16(t, type);
            Le32(t, count);
            if (type == 3 && count == 1) {
                Le16(t, value);
                Le16(t, 0);
            } else {
                Le32(t, value);
            }
        };
        entry(256, 4, 1, unsigned(img.w));  // width
        entry(257, 4, 1, unsigned(img.h));  // height
        entry(258, 3, 3, bitsAt);           // bits per sample
        entry(259, 3, 1, 1);                // no compression
        entry(262, 3, 1, 2);                // RGB
        entry(273, 4, 1, pixelsAt);         // strip offset
        entry(277, 3, 1, 3);                // samples per pixel
        entry(278, 4, 1, unsigned(img.h));  // rows per strip
        entry(279, 4, 1, pixelBytes);       // strip bytes
        entry(284, 3, 1, 1);                // chunky
        Le32(t, next);
        Le16(t, 8);
        Le16(t, 8);
        Le16(t, 8);
        for (const Px &p : img.px) t.insert(t.end(), {p.r, p.g, p.b});
    }
    return Save(path, t);
}

bool WriteGIF(const std::string &path, const std::vector<Image> &frames, const std::vector<Px> &palette) {
    if (frames.empty() || palette.size() > 4) return false;
    const Image &first = frames[0];
    std::vector<UInt8> g = {'G', 'I', 'F', '8', '9', 'a'};
    Le16(g, unsigned(first.w));
    Le16(g, unsigned(first.h));
    g.insert(g.end(), {0xF1, 0, 0});  // global table of 4 colours
    for (size_t i = 0; i < 4; ++i) {
        const Px p = i < palette.size() ? palette[i] : Px{255, 0, 0, 0};
        g.insert(g.end(), {p.r, p.g, p.b});
    }
    // Loop forever (an animation).
    g.insert(g.end(), {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
    for (const Image &img : frames) {
        g.insert(g.end(), {0x21, 0xF9, 4, 0x04, 10, 0, 0, 0});  // 0.1 s, keep
        g.push_back(0x2C);
        Le16(g, 0);
        Le16(g, 0);
        Le16(g, unsigned(img.w));
        Le16(g, unsigned(img.h));
        g.push_back(0);
        g.push_back(2);  // LZW minimum code size
        // Literal codes only, 3 bits each, with a clear code before every
        // pair so that the code size never grows.
        std::vector<unsigned> codes;
        for (size_t i = 0; i < img.px.size(); ++i) {
            if (i % 2 == 0) codes.push_back(4);
            unsigned index = 0;
            for (size_t c = 0; c < palette.size(); ++c)
                if (palette[c] == img.px[i]) index = unsigned(c);
            codes.push_back(index);
        }
        codes.push_back(5);
        std::vector<UInt8> bits;
        unsigned acc = 0, n = 0;
        for (unsigned code : codes) {
            acc |= code << n;
            n += 3;
            while (n >= 8) {
                bits.push_back(UInt8(acc));
                acc >>= 8;
                n -= 8;
            }
        }
        if (n) bits.push_back(UInt8(acc));
        for (size_t pos = 0; pos < bits.size(); pos += 255) {
            const size_t len = std::min<size_t>(255, bits.size() - pos);
            g.push_back(UInt8(len));
            g.insert(g.end(), bits.begin() + long(pos), bits.begin() + long(pos + len));
        }
        g.push_back(0);
    }
    g.push_back(0x3B);
    return Save(path, g);
}

bool WritePNGImage(const std::string &path, const Image &img) {
    return WritePNGPixels(img.w, img.h, [&](int x, int y) { return img.at(x, y); }, path);
}

} // namespace imgtest
