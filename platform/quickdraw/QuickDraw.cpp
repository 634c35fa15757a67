// The QuickDraw stand-in: 32-bit ports (offscreen worlds and window ports),
// the process-wide current port, colours, rectangle painting, lines, text,
// rectangular regions, recorded pictures and CopyBits.
#include "quickdraw/QuickDraw.h"

#include <emmintrin.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "quickdraw/QDFont.h"
#include "quickdraw/QDInternal.h"

namespace {

constexpr UInt32 kPortMagic = 0x51445054;    // "QDPT"
constexpr UInt32 kRegionMagic = 0x51445247;  // "QDRG"
constexpr UInt32 kPictureMagic = 0x51445043; // "QDPC"

struct PictureOp;

} // namespace

struct OpaqueGrafPtr {
    UInt32 magic = kPortMagic;
    bool window = false;
    alignas(8) PixMap pm{}; // aligned, so that its pointer field is too
    PixMap *pmPtr = nullptr;                // the pixel map handle points here
    std::shared_ptr<UInt8> buffer;          // pixels we own (null over caller memory)
    UInt8 *base = nullptr;
    size_t rowBytes = 0;
    int width = 0;
    int height = 0;
    GWorldFlags pixState = 0;
    RGBColor fg{0, 0, 0};
    RGBColor bg{65535, 65535, 65535};
    Rect clip{};
    Point pen{0, 0};
    SInt16 txFont = 0;
    SInt16 txSize = 0;
    Style txFace = 0;
    QVPortDrawnProcPtr drawn = nullptr;
    void *drawnRef = nullptr;
    OpaquePicHandle *recording = nullptr; // picture open on this port
    std::weak_ptr<qd::PixelLoan> loan;
};

struct OpaqueRgnHandle {
    UInt32 magic = kRegionMagic;
    Rect r{};
};

struct OpaqueGDHandle {
    int unused;
};

namespace {

// One recorded drawing call of a picture, in the recording port's
// coordinates.
struct PictureOp {
    enum Kind { kPaint, kErase, kFrame, kInvert, kLine, kText, kPixels } kind;
    Rect r{};       // rectangle, or line end points (top/left = from, bottom/right = to)
    RGBColor fg{};
    RGBColor bg{};
    std::string text;
    SInt16 txSize = 0;
    Style txFace = 0;
    // kPixels: the pixels CopyBits put into r (width x height of r, packed),
    // and which of them it wrote (empty when all).
    std::vector<UInt32> pixels;
    std::vector<UInt8> written;
};

} // namespace

struct OpaquePicHandle {
    UInt32 magic = kPictureMagic;
    Rect frame{};
    std::vector<PictureOp> ops;
    CGrafPtr port = nullptr; // while recording
};

namespace {

OpaqueGDHandle gMainDevice{0};
CGrafPtr gPort = nullptr;
GDHandle gDevice = &gMainDevice;
thread_local QDErr gError = noErr;
OpaquePicHandle *gOpenPicture = nullptr;

// Live ports, and the same by the start of their pixel memory. A port is
// looked up here rather than trusted by its contents, so that a disposed-of
// port is recognised without reading freed memory.
std::mutex gRegistryLock;
std::map<const UInt8 *, CGrafPtr> gPorts;
std::unordered_set<CGrafPtr> gLivePorts;

bool Live(CGrafPtr port) {
    if (!port) return false;
    std::lock_guard<std::mutex> lock(gRegistryLock);
    return gLivePorts.count(port) != 0;
}

CGrafPtr PortOfPixMap(PixMapHandle pm) {
    if (!pm || !*pm) return nullptr;
    auto *port = static_cast<CGrafPtr>((*pm)->pmExt);
    if (!Live(port) || &port->pm != *pm) return nullptr;
    return port;
}

UInt32 PackPixel(UInt8 a, UInt8 r, UInt8 g, UInt8 b) {
    const UInt8 bytes[4] = {a, r, g, b};
    UInt32 v;
    std::memcpy(&v, bytes, 4);
    return v;
}

UInt32 OpaquePixel(const RGBColor &c) {
    return PackPixel(255, static_cast<UInt8>(c.red >> 8), static_cast<UInt8>(c.green >> 8),
                     static_cast<UInt8>(c.blue >> 8));
}

Rect PortRect(CGrafPtr port) {
    return Rect{0, 0, static_cast<SInt16>(port->height), static_cast<SInt16>(port->width)};
}

bool Intersect(const Rect &a, const Rect &b, Rect *out) {
    Rect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
           std::min(a.right, b.right)};
    if (r.top >= r.bottom || r.left >= r.right) {
        *out = Rect{0, 0, 0, 0};
        return false;
    }
    *out = r;
    return true;
}

// The area drawing may touch in a port: its rectangle and its clip.
bool DrawableArea(CGrafPtr port, Rect *out) { return Intersect(PortRect(port), port->clip, out); }

void NotifyDrawn(CGrafPtr port, const Rect &area) {
    Rect r;
    if (port->drawn && Intersect(area, PortRect(port), &r)) port->drawn(port, &r, false, port->drawnRef);
}

UInt32 *Row(CGrafPtr port, int y) { return reinterpret_cast<UInt32 *>(port->base + y * port->rowBytes); }

// One row of pixels set to one value, 16 bytes at a time.
void FillRow(UInt32 *p, int n, UInt32 pixel) {
    int i = 0;
    while (i < n && (reinterpret_cast<uintptr_t>(p + i) & 15)) p[i++] = pixel;
    const __m128i v = _mm_set1_epi32(static_cast<int>(pixel));
    for (; i + 16 <= n; i += 16) {
        _mm_store_si128(reinterpret_cast<__m128i *>(p + i), v);
        _mm_store_si128(reinterpret_cast<__m128i *>(p + i + 4), v);
        _mm_store_si128(reinterpret_cast<__m128i *>(p + i + 8), v);
        _mm_store_si128(reinterpret_cast<__m128i *>(p + i + 12), v);
    }
    for (; i < n; ++i) p[i] = pixel;
}

void FillArea(CGrafPtr port, const Rect &r, UInt32 pixel) {
    const int w = r.right - r.left;
    for (int y = r.top; y < r.bottom; ++y) FillRow(Row(port, y) + r.left, w, pixel);
}

// Paints r clipped to the drawable area; reports the change.
void PaintClipped(CGrafPtr port, const Rect &r, UInt32 pixel) {
    Rect area, a;
    if (!DrawableArea(port, &area) || !Intersect(r, area, &a)) return;
    qd::PortWillChange(port);
    FillArea(port, a, pixel);
    NotifyDrawn(port, a);
}

void InvertClipped(CGrafPtr port, const Rect &r) {
    Rect area, a;
    if (!DrawableArea(port, &area) || !Intersect(r, area, &a)) return;
    qd::PortWillChange(port);
    const UInt32 mask = PackPixel(0, 255, 255, 255);
    for (int y = a.top; y < a.bottom; ++y) {
        UInt32 *p = Row(port, y);
        for (int x = a.left; x < a.right; ++x) p[x] ^= mask;
    }
    NotifyDrawn(port, a);
}

void FrameClipped(CGrafPtr port, const Rect &r, UInt32 pixel) {
    if (r.left >= r.right || r.top >= r.bottom) return;
    const SInt16 t = r.top, l = r.left, b = r.bottom, rt = r.right;
    Rect edges[4] = {{t, l, static_cast<SInt16>(t + 1), rt},
                     {static_cast<SInt16>(b - 1), l, b, rt},
                     {t, l, b, static_cast<SInt16>(l + 1)},
                     {t, static_cast<SInt16>(rt - 1), b, rt}};
    Rect area;
    if (!DrawableArea(port, &area)) return;
    bool any = false;
    for (const Rect &e : edges) {
        Rect a;
        if (Intersect(e, area, &a)) {
            if (!any) qd::PortWillChange(port);
            any = true;
            FillArea(port, a, pixel);
        }
    }
    Rect changed;
    if (any && Intersect(r, area, &changed)) NotifyDrawn(port, changed);
}

// Plots one pixel if it lies in the drawable area.
inline void Plot(CGrafPtr port, const Rect &area, int x, int y, UInt32 pixel) {
    if (x >= area.left && x < area.right && y >= area.top && y < area.bottom) Row(port, y)[x] = pixel;
}

Rect Bounding(int x0, int y0, int x1, int y1) {
    auto clamp16 = [](int v) { return static_cast<SInt16>(std::clamp(v, -32768, 32767)); };
    return Rect{clamp16(std::min(y0, y1)), clamp16(std::min(x0, x1)), clamp16(std::max(y0, y1) + 1),
                clamp16(std::max(x0, x1) + 1)};
}

// A one-pixel line from (x0, y0) to (x1, y1), both ends drawn.
void LineClipped(CGrafPtr port, int x0, int y0, int x1, int y1, UInt32 pixel) {
    Rect area;
    if (!DrawableArea(port, &area)) return;
    Rect box = Bounding(x0, y0, x1, y1), touched;
    if (!Intersect(box, area, &touched)) return;
    qd::PortWillChange(port);
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        Plot(port, area, x0, y0, pixel);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    NotifyDrawn(port, touched);
}

int TextScale(SInt16 size) {
    const int s = size <= 0 ? 12 : size;
    return std::max(1, (s + 4) / 10);
}

int GlyphAdvance(SInt16 size, Style face) { return qd::kGlyphAdvance * TextScale(size) + ((face & bold) ? 1 : 0); }

// Draws text with its baseline's left end at (x, y); returns the advance.
int TextClipped(CGrafPtr port, int x, int y, const unsigned char *text, int count, SInt16 size, Style face,
                UInt32 pixel) {
    const int s = TextScale(size);
    const int advance = GlyphAdvance(size, face);
    const int width = advance * count;
    Rect area;
    if (count <= 0 || !DrawableArea(port, &area)) return width;
    const int top = y - qd::kGlyphAscent * s;
    const int bottom = y + qd::kGlyphDescent * s;
    Rect box = Bounding(x, top, x + width, bottom), touched;
    if (!Intersect(box, area, &touched)) return width;
    qd::PortWillChange(port);
    const int passes = (face & bold) ? 2 : 1;
    for (int i = 0; i < count; ++i) {
        const uint8_t *rows = qd::GlyphRows(text[i]);
        const int gx = x + i * advance;
        for (int row = 0; row < qd::kGlyphRows; ++row) {
            const uint8_t bits = rows[row];
            if (!bits) continue;
            for (int col = 0; col < qd::kGlyphColumns; ++col) {
                if (!(bits & (0x10 >> col))) continue;
                for (int pass = 0; pass < passes; ++pass)
                    for (int dy = 0; dy < s; ++dy)
                        for (int dx = 0; dx < s; ++dx)
                            Plot(port, area, gx + col * s + dx + pass, top + row * s + dy, pixel);
            }
        }
    }
    if (face & underline)
        for (int px = x; px < x + width; ++px)
            for (int dy = 0; dy < s; ++dy) Plot(port, area, px, y + dy + (s > 1 ? 0 : 1), pixel);
    NotifyDrawn(port, touched);
    return width;
}

// ---- Bit maps for CopyBits ----

struct Bits {
    UInt8 *base;
    size_t rowBytes;
    Rect bounds;
};

bool ReadBits(const BitMap *bm, Bits *out) {
    if (!bm || !bm->baseAddr) return false;
    const UInt16 rb = static_cast<UInt16>(bm->rowBytes);
    if (!(rb & kPixMapRowBytesFlag)) return false; // a 1-bit bit map
    const auto *pm = reinterpret_cast<const PixMap *>(bm);
    if (pm->pixelSize != 32) return false;
    out->base = reinterpret_cast<UInt8 *>(bm->baseAddr);
    out->rowBytes = rb & 0x3FFF;
    out->bounds = bm->bounds;
    const int w = out->bounds.right - out->bounds.left;
    if (out->bounds.bottom < out->bounds.top || w < 0 || out->rowBytes < static_cast<size_t>(w) * 4) return false;
    return true;
}

inline UInt32 *BitsPixel(const Bits &b, int x, int y) {
    return reinterpret_cast<UInt32 *>(b.base + static_cast<size_t>(y - b.bounds.top) * b.rowBytes) +
           (x - b.bounds.left);
}

// For each destination column (row) of the span [d0, d1) of dst, the source
// column (row) it takes; -1 where that lies outside [s0lim, s1lim).
void MapSpan(int d0, int d1, int s0, int s1, int lo, int hi, std::vector<int> *map) {
    map->resize(std::max(0, d1 - d0));
    const long long dw = d1 - d0, sw = s1 - s0;
    for (long long i = 0; i < dw; ++i) {
        const int s = static_cast<int>(s0 + i * sw / dw);
        (*map)[i] = (s >= lo && s < hi) ? s : -1;
    }
}

// The copy itself: src rectangle sr of s into dst rectangle dr of d, limited
// to the destination area `limit`. When `written` is given, marks the pixels
// written (relative to dr). Returns the changed area (empty for none).
Rect CopyPixels(const Bits &s, const Bits &d, const Rect &sr, const Rect &dr, const Rect &limit,
                std::vector<UInt8> *written) {
    Rect none{0, 0, 0, 0};
    if (sr.left >= sr.right || sr.top >= sr.bottom || dr.left >= dr.right || dr.top >= dr.bottom) return none;
    Rect area;
    if (!Intersect(dr, limit, &area) || !Intersect(area, d.bounds, &area)) return none;
    std::vector<int> xs, ys;
    MapSpan(dr.left, dr.right, sr.left, sr.right, s.bounds.left, s.bounds.right, &xs);
    MapSpan(dr.top, dr.bottom, sr.top, sr.bottom, s.bounds.top, s.bounds.bottom, &ys);
    // The mapping is monotonic, so the valid destination columns and rows
    // form one span each.
    int x0 = area.left, x1 = area.right, y0 = area.top, y1 = area.bottom;
    while (x0 < x1 && xs[x0 - dr.left] < 0) ++x0;
    while (x1 > x0 && xs[x1 - 1 - dr.left] < 0) --x1;
    while (y0 < y1 && ys[y0 - dr.top] < 0) ++y0;
    while (y1 > y0 && ys[y1 - 1 - dr.top] < 0) --y1;
    if (x0 >= x1 || y0 >= y1) return none;

    const bool sameSize = (sr.right - sr.left == dr.right - dr.left) && (sr.bottom - sr.top == dr.bottom - dr.top);
    // Overlap between the source rows read and the destination rows written.
    const UInt8 *sLo = reinterpret_cast<const UInt8 *>(BitsPixel(s, xs[x0 - dr.left], ys[y0 - dr.top]));
    const UInt8 *sHi = reinterpret_cast<const UInt8 *>(BitsPixel(s, xs[x1 - 1 - dr.left], ys[y1 - 1 - dr.top]) + 1);
    const UInt8 *dLo = reinterpret_cast<const UInt8 *>(BitsPixel(d, x0, y0));
    const UInt8 *dHi = reinterpret_cast<const UInt8 *>(BitsPixel(d, x1 - 1, y1 - 1) + 1);
    const bool overlap = sLo < dHi && dLo < sHi;

    const int w = x1 - x0;
    if (sameSize) {
        const int sx = xs[x0 - dr.left];
        if (overlap && dLo > sLo) {
            for (int y = y1 - 1; y >= y0; --y)
                std::memmove(BitsPixel(d, x0, y), BitsPixel(s, sx, ys[y - dr.top]), static_cast<size_t>(w) * 4);
        } else {
            for (int y = y0; y < y1; ++y)
                std::memmove(BitsPixel(d, x0, y), BitsPixel(s, sx, ys[y - dr.top]), static_cast<size_t>(w) * 4);
        }
    } else {
        std::vector<UInt32> temp;
        if (overlap) {
            // Read every source row first, then write.
            temp.resize(static_cast<size_t>(w) * (y1 - y0));
            for (int y = y0; y < y1; ++y) {
                const UInt32 *sp = BitsPixel(s, 0, ys[y - dr.top]) + s.bounds.left;
                UInt32 *tp = temp.data() + static_cast<size_t>(y - y0) * w;
                for (int x = x0; x < x1; ++x) tp[x - x0] = sp[xs[x - dr.left] - s.bounds.left];
            }
            for (int y = y0; y < y1; ++y)
                std::memcpy(BitsPixel(d, x0, y), temp.data() + static_cast<size_t>(y - y0) * w,
                            static_cast<size_t>(w) * 4);
        } else {
            int lastRow = -1;
            UInt32 *lastOut = nullptr;
            for (int y = y0; y < y1; ++y) {
                const int sy = ys[y - dr.top];
                UInt32 *dp = BitsPixel(d, x0, y);
                if (sy == lastRow) {
                    std::memcpy(dp, lastOut, static_cast<size_t>(w) * 4); // enlarging: repeat the row
                } else {
                    const UInt32 *sp = BitsPixel(s, s.bounds.left, sy);
                    for (int x = x0; x < x1; ++x) dp[x - x0] = sp[xs[x - dr.left] - s.bounds.left];
                }
                lastRow = sy;
                lastOut = dp;
            }
        }
    }
    if (written) {
        written->assign(static_cast<size_t>(dr.right - dr.left) * (dr.bottom - dr.top), 0);
        for (int y = y0; y < y1; ++y)
            std::fill_n(written->data() + static_cast<size_t>(y - dr.top) * (dr.right - dr.left) + (x0 - dr.left), w,
                        1);
    }
    return Rect{static_cast<SInt16>(y0), static_cast<SInt16>(x0), static_cast<SInt16>(y1), static_cast<SInt16>(x1)};
}

// ---- Pictures ----

bool Recording(CGrafPtr port) { return port->recording != nullptr; }

PictureOp &Record(CGrafPtr port, PictureOp::Kind kind, const Rect &r) {
    PictureOp op;
    op.kind = kind;
    op.r = r;
    op.fg = port->fg;
    op.bg = port->bg;
    port->recording->ops.push_back(std::move(op));
    return port->recording->ops.back();
}

struct Mapper {
    Rect from, to;
    int X(int x) const {
        const long long fw = from.right - from.left;
        return fw ? static_cast<int>(to.left + (x - from.left) * static_cast<long long>(to.right - to.left) / fw)
                  : to.left;
    }
    int Y(int y) const {
        const long long fh = from.bottom - from.top;
        return fh ? static_cast<int>(to.top + (y - from.top) * static_cast<long long>(to.bottom - to.top) / fh)
                  : to.top;
    }
    Rect R(const Rect &r) const {
        auto c = [](int v) { return static_cast<SInt16>(std::clamp(v, -32768, 32767)); };
        return Rect{c(Y(r.top)), c(X(r.left)), c(Y(r.bottom)), c(X(r.right))};
    }
};

void Replay(CGrafPtr port, const OpaquePicHandle *pic, const Rect &dst) {
    const Mapper m{pic->frame, dst};
    const int frameH = pic->frame.bottom - pic->frame.top;
    for (const PictureOp &op : pic->ops) {
        const Rect r = m.R(op.r);
        switch (op.kind) {
        case PictureOp::kPaint: PaintClipped(port, r, OpaquePixel(op.fg)); break;
        case PictureOp::kErase: PaintClipped(port, r, OpaquePixel(op.bg)); break;
        case PictureOp::kFrame: FrameClipped(port, r, OpaquePixel(op.fg)); break;
        case PictureOp::kInvert: InvertClipped(port, r); break;
        case PictureOp::kLine:
            LineClipped(port, m.X(op.r.left), m.Y(op.r.top), m.X(op.r.right), m.Y(op.r.bottom), OpaquePixel(op.fg));
            break;
        case PictureOp::kText: {
            const int size = op.txSize <= 0 ? 12 : op.txSize;
            const int scaled = frameH ? size * (dst.bottom - dst.top) / frameH : size;
            TextClipped(port, m.X(op.r.left), m.Y(op.r.top), reinterpret_cast<const unsigned char *>(op.text.data()),
                        static_cast<int>(op.text.size()), static_cast<SInt16>(std::clamp(scaled, 1, 32767)),
                        op.txFace, OpaquePixel(op.fg));
            break;
        }
        case PictureOp::kPixels: {
            const int sw = op.r.right - op.r.left, sh = op.r.bottom - op.r.top;
            if (sw <= 0 || sh <= 0 || r.right <= r.left || r.bottom <= r.top) break;
            Rect area, a;
            if (!DrawableArea(port, &area) || !Intersect(r, area, &a)) break;
            qd::PortWillChange(port);
            const int dw = r.right - r.left, dh = r.bottom - r.top;
            for (int y = a.top; y < a.bottom; ++y) {
                const int sy = static_cast<int>(static_cast<long long>(y - r.top) * sh / dh);
                UInt32 *dp = Row(port, y);
                for (int x = a.left; x < a.right; ++x) {
                    const int sx = static_cast<int>(static_cast<long long>(x - r.left) * sw / dw);
                    const size_t i = static_cast<size_t>(sy) * sw + sx;
                    if (op.written.empty() || op.written[i]) dp[x] = op.pixels[i];
                }
            }
            NotifyDrawn(port, a);
            break;
        }
        }
    }
}

// ---- Ports ----

void Register(CGrafPtr port) {
    std::lock_guard<std::mutex> lock(gRegistryLock);
    gPorts[port->base] = port;
    gLivePorts.insert(port);
}

void Unregister(CGrafPtr port) {
    std::lock_guard<std::mutex> lock(gRegistryLock);
    auto it = gPorts.find(port->base);
    if (it != gPorts.end() && it->second == port) gPorts.erase(it);
    gLivePorts.erase(port);
}

void SetUpPixMap(CGrafPtr port) {
    PixMap &pm = port->pm;
    pm.baseAddr = reinterpret_cast<Ptr>(port->base);
    pm.rowBytes = static_cast<SInt16>(static_cast<UInt16>(port->rowBytes | kPixMapRowBytesFlag));
    pm.bounds = PortRect(port);
    pm.pmVersion = 4;
    pm.packType = 0;
    pm.packSize = 0;
    pm.hRes = 72 << 16;
    pm.vRes = 72 << 16;
    pm.pixelType = 16; // direct pixels
    pm.pixelSize = 32;
    pm.cmpCount = 3;
    pm.cmpSize = 8;
    pm.pixelFormat = k32ARGBPixelFormat;
    pm.pmTable = nullptr;
    pm.pmExt = port;
    port->pmPtr = &port->pm;
    port->clip = PortRect(port);
    port->pixState = pixelsLocked;
}

// A new port of width x height over base (or over new pixels when base is
// null, with rows padded to 16 bytes where the row field allows).
QDErr MakePort(CGrafPtr *out, int width, int height, UInt8 *base, size_t rowBytes, bool window) {
    *out = nullptr;
    if (width <= 0 || height <= 0 || width > kMaxGWorldWidth32) return paramErr;
    auto *port = new (std::nothrow) OpaqueGrafPtr;
    if (!port) return memFullErr;
    port->window = window;
    port->width = width;
    port->height = height;
    if (base) {
        port->base = base;
        port->rowBytes = rowBytes;
    } else {
        size_t rb = static_cast<size_t>(width) * 4;
        const size_t padded = (rb + 15) & ~static_cast<size_t>(15);
        if (padded <= kMaxRowBytes) rb = padded;
        port->buffer = qd::AllocatePixels(rb * height);
        if (!port->buffer) {
            delete port;
            return memFullErr;
        }
        port->base = port->buffer.get();
        port->rowBytes = rb;
    }
    SetUpPixMap(port);
    Register(port);
    *out = port;
    return noErr;
}

void DestroyPort(CGrafPtr port) {
    if (!Live(port)) return;
    if (auto loan = port->loan.lock()) {
        // The images keep the pixels: hand them our buffer, or copy caller
        // memory that goes away with the port.
        if (loan->lent) {
            if (port->buffer) {
                loan->own = port->buffer;
                loan->lent = false;
            } else {
                loan->Detach();
            }
        }
    }
    if (port->recording) {
        port->recording->port = nullptr;
        if (gOpenPicture == port->recording) gOpenPicture = nullptr;
    }
    Unregister(port);
    if (gPort == port) gPort = nullptr;
    port->magic = 0;
    delete port;
}

bool ValidRect(const Rect *r) { return r && r->left < r->right && r->top < r->bottom; }

} // namespace

// ---- Internal interface ----

namespace qd {

bool PixelLoan::Detach() {
    if (!lent) return true;
    // Same row layout as before, so a row length handed out stays right.
    const size_t bytes = height ? rowBytes * (height - 1) + width * 4 : 0;
    std::shared_ptr<UInt8> copy = AllocatePixels(bytes);
    if (!copy) return false;
    for (size_t y = 0; y < height; ++y) std::memcpy(copy.get() + y * rowBytes, data + y * rowBytes, width * 4);
    own = copy;
    data = copy.get();
    lent = false;
    return true;
}

bool GetPortPixels(CGrafPtr port, PortPixels *out) {
    if (!Live(port)) return false;
    *out = PortPixels{port->base, port->rowBytes, port->width, port->height};
    return true;
}

CGrafPtr FindPortByPixels(const void *p) {
    const auto *addr = static_cast<const UInt8 *>(p);
    std::lock_guard<std::mutex> lock(gRegistryLock);
    auto it = gPorts.upper_bound(addr);
    if (it == gPorts.begin()) return nullptr;
    --it;
    CGrafPtr port = it->second;
    const UInt8 *end = port->base + port->rowBytes * port->height;
    return addr >= port->base && addr < end ? port : nullptr;
}

void PortWillChange(CGrafPtr port) {
    if (!Live(port)) return;
    if (auto loan = port->loan.lock()) loan->Detach();
    port->loan.reset();
}

void PortDidChange(CGrafPtr port, const Rect &area) {
    if (Live(port)) NotifyDrawn(port, area);
}

std::shared_ptr<PixelLoan> LendPortPixels(CGrafPtr port, const UInt8 *data, size_t rowBytes, size_t width,
                                          size_t height) {
    if (!Live(port)) return nullptr;
    if (auto loan = port->loan.lock()) {
        if (loan->lent && loan->data == data && loan->rowBytes == rowBytes && loan->width == width &&
            loan->height == height)
            return loan;
        // A different view of the same pixels: the old loan takes its copy now.
        loan->Detach();
    }
    auto loan = std::make_shared<PixelLoan>();
    loan->data = data;
    loan->rowBytes = rowBytes;
    loan->width = width;
    loan->height = height;
    loan->lent = true;
    port->loan = loan;
    return loan;
}

namespace {

// Large pixel blocks are kept for reuse when freed: a renderer that makes
// and disposes of a frame-sized world for every frame then neither maps nor
// faults in fresh pages each time (clearing a reused block is cheaper).
constexpr size_t kHuge = 2u << 20;
constexpr size_t kPoolBlocks = 4;
constexpr size_t kPoolBytes = 256u << 20;
std::mutex gPoolLock;
std::vector<std::pair<UInt8 *, size_t>> gPool; // block, mapped length

void ReleaseHuge(UInt8 *p, size_t length) {
    {
        std::lock_guard<std::mutex> lock(gPoolLock);
        size_t held = 0;
        for (auto &b : gPool) held += b.second;
        if (gPool.size() < kPoolBlocks && held + length <= kPoolBytes) {
            gPool.emplace_back(p, length);
            return;
        }
    }
    munmap(p, length);
}

UInt8 *TakeHuge(size_t length) {
    std::lock_guard<std::mutex> lock(gPoolLock);
    for (size_t i = 0; i < gPool.size(); ++i)
        if (gPool[i].second == length) {
            UInt8 *p = gPool[i].first;
            gPool.erase(gPool.begin() + static_cast<std::ptrdiff_t>(i));
            return p;
        }
    return nullptr;
}

} // namespace

std::shared_ptr<UInt8> AllocatePixels(size_t bytes) {
    if (bytes == 0) bytes = 64;
    if (bytes >= kHuge) {
        // Large frames: anonymous memory on huge pages where the system
        // allows, so walking a frame in any direction stays cheap.
        const size_t length = (bytes + kHuge - 1) & ~(kHuge - 1);
        UInt8 *block = TakeHuge(length);
        if (block) {
            std::memset(block, 0, bytes);
        } else {
            void *p = mmap(nullptr, length + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p == MAP_FAILED) return nullptr;
            auto start = reinterpret_cast<uintptr_t>(p);
            const uintptr_t aligned = (start + kHuge - 1) & ~(kHuge - 1);
            if (aligned > start) munmap(p, aligned - start);
            const uintptr_t end = start + length + kHuge;
            if (end > aligned + length) munmap(reinterpret_cast<void *>(aligned + length), end - (aligned + length));
            madvise(reinterpret_cast<void *>(aligned), length, MADV_HUGEPAGE);
            block = reinterpret_cast<UInt8 *>(aligned); // fresh anonymous memory is already zero
        }
        return std::shared_ptr<UInt8>(block, [length](UInt8 *q) { ReleaseHuge(q, length); });
    }
    void *p = nullptr;
    if (posix_memalign(&p, 64, bytes) != 0) return nullptr;
    std::memset(p, 0, bytes);
    return std::shared_ptr<UInt8>(static_cast<UInt8 *>(p), [](UInt8 *q) { std::free(q); });
}

} // namespace qd

// ---- Platform interface ----

extern "C" {

QDErr NewGWorld(GWorldPtr *offscreenGWorld, SInt16 pixelDepth, const Rect *boundsRect, CTabHandle, GDHandle,
                GWorldFlags) {
    if (!offscreenGWorld) return gError = paramErr;
    *offscreenGWorld = nullptr;
    if (!(pixelDepth == 0 || pixelDepth == 32 || pixelDepth == k32ARGBPixelFormat) || !ValidRect(boundsRect))
        return gError = paramErr;
    return gError = MakePort(offscreenGWorld, boundsRect->right - boundsRect->left,
                             boundsRect->bottom - boundsRect->top, nullptr, 0, false);
}

QDErr NewGWorldFromPtr(GWorldPtr *offscreenGWorld, UInt32 pixelFormat, const Rect *boundsRect, CTabHandle,
                       GDHandle, GWorldFlags, Ptr buffer, long rowBytes) {
    if (!offscreenGWorld) return gError = paramErr;
    *offscreenGWorld = nullptr;
    if (!(pixelFormat == k32ARGBPixelFormat || pixelFormat == 32) || !ValidRect(boundsRect) || !buffer)
        return gError = paramErr;
    const long width = boundsRect->right - boundsRect->left;
    if (rowBytes < width * 4 || rowBytes > kMaxRowBytes) return gError = paramErr;
    return gError = MakePort(offscreenGWorld, static_cast<int>(width), boundsRect->bottom - boundsRect->top,
                             reinterpret_cast<UInt8 *>(buffer), static_cast<size_t>(rowBytes), false);
}

void DisposeGWorld(GWorldPtr offscreenGWorld) { DestroyPort(offscreenGWorld); }

PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld) {
    return Live(offscreenGWorld) ? &offscreenGWorld->pmPtr : nullptr;
}

void GetGWorld(CGrafPtr *port, GDHandle *gdh) {
    if (port) *port = gPort;
    if (gdh) *gdh = gDevice;
}

void SetGWorld(CGrafPtr port, GDHandle gdh) {
    gPort = Live(port) ? port : nullptr;
    gDevice = gdh ? gdh : &gMainDevice;
}

GDHandle GetGWorldDevice(GWorldPtr offscreenGWorld) { return Live(offscreenGWorld) ? &gMainDevice : nullptr; }

GDHandle GetMainDevice(void) { return &gMainDevice; }

Boolean LockPixels(PixMapHandle pm) {
    CGrafPtr port = PortOfPixMap(pm);
    if (!port) return false;
    port->pixState |= pixelsLocked;
    return true;
}

void UnlockPixels(PixMapHandle pm) {
    if (CGrafPtr port = PortOfPixMap(pm)) port->pixState &= ~static_cast<GWorldFlags>(pixelsLocked);
}

GWorldFlags GetPixelsState(PixMapHandle pm) {
    CGrafPtr port = PortOfPixMap(pm);
    return port ? port->pixState : 0;
}

void SetPixelsState(PixMapHandle pm, GWorldFlags state) {
    if (CGrafPtr port = PortOfPixMap(pm)) port->pixState = state & (pixelsLocked | pixelsPurgeable);
}

Ptr GetPixBaseAddr(PixMapHandle pm) {
    CGrafPtr port = PortOfPixMap(pm);
    if (!port) return nullptr;
    // The caller may write through the address: images lent these pixels
    // take their own copy first.
    qd::PortWillChange(port);
    return reinterpret_cast<Ptr>(port->base);
}

long GetPixRowBytes(PixMapHandle pm) {
    CGrafPtr port = PortOfPixMap(pm);
    return port ? static_cast<long>(port->rowBytes) : 0;
}

SInt16 GetPixDepth(PixMapHandle pm) { return PortOfPixMap(pm) ? 32 : 0; }

Rect *GetPixBounds(PixMapHandle pm, Rect *bounds) {
    if (!bounds) return nullptr;
    CGrafPtr port = PortOfPixMap(pm);
    *bounds = port ? PortRect(port) : Rect{0, 0, 0, 0};
    return bounds;
}

void GetPort(GrafPtr *port) {
    if (port) *port = gPort;
}

void SetPort(GrafPtr port) { gPort = Live(port) ? port : nullptr; }

Rect *GetPortBounds(CGrafPtr port, Rect *rect) {
    if (!rect) return nullptr;
    *rect = Live(port) ? PortRect(port) : Rect{0, 0, 0, 0};
    return rect;
}

PixMapHandle GetPortPixMap(CGrafPtr port) { return Live(port) ? &port->pmPtr : nullptr; }

const BitMap *GetPortBitMapForCopyBits(CGrafPtr port) {
    return Live(port) ? reinterpret_cast<const BitMap *>(&port->pm) : nullptr;
}

Boolean IsValidPort(CGrafPtr port) { return Live(port); }

void QDFlushPortBuffer(CGrafPtr port, RgnHandle region) {
    if (!Live(port) || !port->drawn) return;
    Rect area = PortRect(port);
    if (region && region->magic == kRegionMagic && !Intersect(region->r, area, &area)) return;
    port->drawn(port, &area, true, port->drawnRef);
}

QDErr QVNewWindowPort(CGrafPtr *port, SInt16 width, SInt16 height) {
    if (!port) return gError = paramErr;
    QDErr err = MakePort(port, width, height, nullptr, 0, true);
    if (err == noErr)
        for (int y = 0; y < height; ++y) std::fill_n(Row(*port, y), width, 0xFFFFFFFFu);
    return gError = err;
}

void QVDisposeWindowPort(CGrafPtr port) { DestroyPort(port); }

Boolean QVIsWindowPort(CGrafPtr port) { return Live(port) && port->window; }

void QVSetPortDrawnProc(CGrafPtr port, QVPortDrawnProcPtr proc, void *refCon) {
    if (!Live(port)) return;
    port->drawn = proc;
    port->drawnRef = proc ? refCon : nullptr;
}

void RGBForeColor(const RGBColor *color) {
    if (gPort && color) gPort->fg = *color;
}

void RGBBackColor(const RGBColor *color) {
    if (gPort && color) gPort->bg = *color;
}

void GetForeColor(RGBColor *color) {
    if (color) *color = gPort ? gPort->fg : RGBColor{0, 0, 0};
}

void GetBackColor(RGBColor *color) {
    if (color) *color = gPort ? gPort->bg : RGBColor{65535, 65535, 65535};
}

void PaintRect(const Rect *r) {
    if (!gPort || !r) return;
    if (Recording(gPort)) return void(Record(gPort, PictureOp::kPaint, *r));
    PaintClipped(gPort, *r, OpaquePixel(gPort->fg));
}

void EraseRect(const Rect *r) {
    if (!gPort || !r) return;
    if (Recording(gPort)) return void(Record(gPort, PictureOp::kErase, *r));
    PaintClipped(gPort, *r, OpaquePixel(gPort->bg));
}

void FrameRect(const Rect *r) {
    if (!gPort || !r) return;
    if (Recording(gPort)) return void(Record(gPort, PictureOp::kFrame, *r));
    FrameClipped(gPort, *r, OpaquePixel(gPort->fg));
}

void InvertRect(const Rect *r) {
    if (!gPort || !r) return;
    if (Recording(gPort)) return void(Record(gPort, PictureOp::kInvert, *r));
    InvertClipped(gPort, *r);
}

void ClipRect(const Rect *r) {
    if (gPort && r) gPort->clip = *r;
}

void GetClip(RgnHandle rgn) {
    if (gPort && rgn && rgn->magic == kRegionMagic) rgn->r = gPort->clip;
}

void SetClip(RgnHandle rgn) {
    if (gPort && rgn && rgn->magic == kRegionMagic) gPort->clip = rgn->r;
}

RgnHandle GetPortClipRegion(CGrafPtr port, RgnHandle clipRgn) {
    if (Live(port) && clipRgn && clipRgn->magic == kRegionMagic) clipRgn->r = port->clip;
    return clipRgn;
}

void MoveTo(SInt16 h, SInt16 v) {
    if (gPort) gPort->pen = Point{v, h};
}

void Move(SInt16 dh, SInt16 dv) {
    if (gPort)
        gPort->pen = Point{static_cast<SInt16>(gPort->pen.v + dv), static_cast<SInt16>(gPort->pen.h + dh)};
}

void LineTo(SInt16 h, SInt16 v) {
    if (!gPort) return;
    const Point from = gPort->pen;
    gPort->pen = Point{v, h};
    if (Recording(gPort)) return void(Record(gPort, PictureOp::kLine, Rect{from.v, from.h, v, h}));
    LineClipped(gPort, from.h, from.v, h, v, OpaquePixel(gPort->fg));
}

void Line(SInt16 dh, SInt16 dv) {
    if (gPort) LineTo(static_cast<SInt16>(gPort->pen.h + dh), static_cast<SInt16>(gPort->pen.v + dv));
}

void GetPen(Point *pt) {
    if (pt) *pt = gPort ? gPort->pen : Point{0, 0};
}

void TextFont(SInt16 font) {
    if (gPort) gPort->txFont = font;
}

void TextSize(SInt16 size) {
    if (gPort) gPort->txSize = size;
}

void TextFace(StyleParameter face) {
    if (gPort) gPort->txFace = static_cast<Style>(face);
}

void GetFontInfo(FontInfo *info) {
    if (!info) return;
    const SInt16 size = gPort ? gPort->txSize : 0;
    const Style face = gPort ? gPort->txFace : 0;
    const int s = TextScale(size);
    info->ascent = static_cast<SInt16>(qd::kGlyphAscent * s);
    info->descent = static_cast<SInt16>(qd::kGlyphDescent * s);
    info->widMax = static_cast<SInt16>(GlyphAdvance(size, face));
    info->leading = static_cast<SInt16>(qd::kGlyphLeading * s);
}

void DrawText(const void *textBuf, SInt16 firstByte, SInt16 byteCount) {
    if (!gPort || !textBuf || byteCount <= 0 || firstByte < 0) return;
    const auto *text = static_cast<const unsigned char *>(textBuf) + firstByte;
    if (Recording(gPort)) {
        PictureOp &op = Record(gPort, PictureOp::kText, Rect{gPort->pen.v, gPort->pen.h, 0, 0});
        op.text.assign(reinterpret_cast<const char *>(text), byteCount);
        op.txSize = gPort->txSize;
        op.txFace = gPort->txFace;
        gPort->pen.h = static_cast<SInt16>(gPort->pen.h + GlyphAdvance(gPort->txSize, gPort->txFace) * byteCount);
        return;
    }
    const int advance = TextClipped(gPort, gPort->pen.h, gPort->pen.v, text, byteCount, gPort->txSize,
                                    gPort->txFace, OpaquePixel(gPort->fg));
    gPort->pen.h = static_cast<SInt16>(std::clamp(gPort->pen.h + advance, -32768, 32767));
}

void DrawChar(SInt16 ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    DrawText(&c, 0, 1);
}

void DrawString(ConstStr255Param s) {
    if (s) DrawText(s + 1, 0, s[0]);
}

SInt16 TextWidth(const void *textBuf, SInt16, SInt16 byteCount) {
    if (!textBuf || byteCount <= 0) return 0;
    const SInt16 size = gPort ? gPort->txSize : 0;
    const Style face = gPort ? gPort->txFace : 0;
    return static_cast<SInt16>(std::min(32767, GlyphAdvance(size, face) * byteCount));
}

SInt16 CharWidth(SInt16 ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    return TextWidth(&c, 0, 1);
}

SInt16 StringWidth(ConstStr255Param s) { return s ? TextWidth(s + 1, 0, s[0]) : 0; }

void CopyBits(const BitMap *srcBits, const BitMap *dstBits, const Rect *srcRect, const Rect *dstRect, SInt16 mode,
              RgnHandle maskRgn) {
    Bits s, d;
    if (mode != srcCopy || !srcRect || !dstRect || !ReadBits(srcBits, &s) || !ReadBits(dstBits, &d)) {
        gError = paramErr;
        return;
    }
    gError = noErr;
    // The port the destination belongs to, for its clip, pictures, loans and
    // drawn hook.
    CGrafPtr dstPort = qd::FindPortByPixels(d.base);
    if (dstPort && dstPort->base != d.base) dstPort = nullptr;
    Rect limit = d.bounds;
    if (maskRgn && maskRgn->magic == kRegionMagic && !Intersect(limit, maskRgn->r, &limit)) return;
    if (dstPort && dstPort == gPort) {
        if (Recording(dstPort)) {
            // Record what the copy would put into dstRect.
            const int w = dstRect->right - dstRect->left, h = dstRect->bottom - dstRect->top;
            if (w <= 0 || h <= 0) return;
            PictureOp &op = Record(dstPort, PictureOp::kPixels, *dstRect);
            op.pixels.assign(static_cast<size_t>(w) * h, 0);
            Bits t{reinterpret_cast<UInt8 *>(op.pixels.data()), static_cast<size_t>(w) * 4, *dstRect};
            Rect changed = CopyPixels(s, t, *srcRect, *dstRect, *dstRect, &op.written);
            if (changed.right <= changed.left) dstPort->recording->ops.pop_back();
            else if (std::all_of(op.written.begin(), op.written.end(), [](UInt8 v) { return v != 0; }))
                op.written.clear();
            return;
        }
        if (!Intersect(limit, dstPort->clip, &limit)) return;
    }
    if (dstPort) qd::PortWillChange(dstPort);
    const Rect changed = CopyPixels(s, d, *srcRect, *dstRect, limit, nullptr);
    if (dstPort && changed.right > changed.left) NotifyDrawn(dstPort, changed);
}

RgnHandle NewRgn(void) { return new (std::nothrow) OpaqueRgnHandle; }

void DisposeRgn(RgnHandle rgn) {
    if (rgn && rgn->magic == kRegionMagic) {
        rgn->magic = 0;
        delete rgn;
    }
}

void RectRgn(RgnHandle rgn, const Rect *r) {
    if (!rgn || rgn->magic != kRegionMagic || !r) return;
    if (r->left < r->right && r->top < r->bottom) rgn->r = *r;
    else rgn->r = Rect{0, 0, 0, 0};
}

void SetRectRgn(RgnHandle rgn, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom) {
    const Rect r{top, left, bottom, right};
    RectRgn(rgn, &r);
}

void CopyRgn(RgnHandle srcRgn, RgnHandle dstRgn) {
    if (srcRgn && dstRgn && srcRgn->magic == kRegionMagic && dstRgn->magic == kRegionMagic) dstRgn->r = srcRgn->r;
}

Rect *GetRegionBounds(RgnHandle region, Rect *bounds) {
    if (!bounds) return nullptr;
    *bounds = (region && region->magic == kRegionMagic) ? region->r : Rect{0, 0, 0, 0};
    return bounds;
}

Boolean EmptyRgn(RgnHandle rgn) {
    if (!rgn || rgn->magic != kRegionMagic) return true;
    return rgn->r.left >= rgn->r.right || rgn->r.top >= rgn->r.bottom;
}

PicHandle OpenCPicture(const OpenCPicParams *newHeader) {
    if (!gPort || !newHeader || gOpenPicture) return nullptr;
    auto *pic = new (std::nothrow) OpaquePicHandle;
    if (!pic) return nullptr;
    pic->frame = newHeader->srcRect;
    pic->port = gPort;
    gPort->recording = pic;
    gOpenPicture = pic;
    return pic;
}

void ClosePicture(void) {
    if (!gOpenPicture) return;
    if (gOpenPicture->port) gOpenPicture->port->recording = nullptr;
    gOpenPicture->port = nullptr;
    gOpenPicture = nullptr;
}

void DrawPicture(PicHandle myPicture, const Rect *dstRect) {
    if (!gPort || !myPicture || myPicture->magic != kPictureMagic || !dstRect) return;
    if (Recording(gPort) || myPicture->port) return; // no picture inside itself or while open
    Replay(gPort, myPicture, *dstRect);
}

void KillPicture(PicHandle myPicture) {
    if (!myPicture || myPicture->magic != kPictureMagic) return;
    if (myPicture->port) {
        myPicture->port->recording = nullptr;
        if (gOpenPicture == myPicture) gOpenPicture = nullptr;
    }
    myPicture->magic = 0;
    delete myPicture;
}

Rect *QDGetPictureBounds(PicHandle picH, Rect *outRect) {
    if (!outRect) return nullptr;
    *outRect = (picH && picH->magic == kPictureMagic) ? picH->frame : Rect{0, 0, 0, 0};
    return outRect;
}

void SetRect(Rect *r, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom) {
    if (r) *r = Rect{top, left, bottom, right};
}

void OffsetRect(Rect *r, SInt16 dh, SInt16 dv) {
    if (!r) return;
    r->left = static_cast<SInt16>(r->left + dh);
    r->right = static_cast<SInt16>(r->right + dh);
    r->top = static_cast<SInt16>(r->top + dv);
    r->bottom = static_cast<SInt16>(r->bottom + dv);
}

Boolean EqualRect(const Rect *rect1, const Rect *rect2) {
    return rect1 && rect2 && rect1->top == rect2->top && rect1->left == rect2->left &&
           rect1->bottom == rect2->bottom && rect1->right == rect2->right;
}

Boolean EmptyRect(const Rect *r) { return !r || r->left >= r->right || r->top >= r->bottom; }

Boolean PtInRect(Point pt, const Rect *r) {
    return r && pt.h >= r->left && pt.h < r->right && pt.v >= r->top && pt.v < r->bottom;
}

Boolean SectRect(const Rect *src1, const Rect *src2, Rect *dstRect) {
    if (!src1 || !src2) return false;
    Rect r;
    const bool any = Intersect(*src1, *src2, &r);
    if (dstRect) *dstRect = r;
    return any;
}

QDErr QDError(void) { return gError; }

} // extern "C"
