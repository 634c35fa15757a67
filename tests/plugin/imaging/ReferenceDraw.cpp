#include "ReferenceDraw.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <sstream>

namespace imgtest {

Image Snapshot(GWorldPtr w) {
    Image img;
    img.w = Width(w);
    img.h = Height(w);
    img.px.resize(size_t(img.w) * size_t(img.h));
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) img.px[size_t(y) * size_t(img.w) + size_t(x)] = Get(w, x, y);
    return img;
}

Image Crop(const Image &img, int left, int top, int right, int bottom) {
    Image out;
    out.w = right - left;
    out.h = bottom - top;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) out.px.push_back(img.at(x, y));
    return out;
}

namespace {

struct Mapping {
    double cx, cy;       // centre of the rectangle, QuickDraw coordinates
    double w, h;         // rectangle size
    double cosA, sinA;
    int srcW, srcH;

    // Destination point (QuickDraw coordinates) to image coordinates
    // (u across, v down, pixel centres at +0.5).
    void ToImage(double x, double y, double *u, double *v) const {
        const double dx = x - cx;
        const double dyUp = cy - y;
        // Undo the counter-clockwise turn (y up).
        const double rx = dx * cosA + dyUp * sinA;
        const double ry = -dx * sinA + dyUp * cosA;
        *u = (rx + w / 2) * srcW / w;
        *v = (h / 2 - ry) * srcH / h;
    }
    // Distance in destination pixels from the point to the nearest edge of
    // the footprint along the turned axes: positive inside, negative
    // outside (then at least that far out).
    double DepthInside(double x, double y) const {
        const double dx = x - cx, dyUp = cy - y;
        const double rx = dx * cosA + dyUp * sinA;
        const double ry = -dx * sinA + dyUp * cosA;
        return std::min({rx + w / 2, w / 2 - rx, ry + h / 2, h / 2 - ry});
    }
    bool InImage(double u, double v, double margin = 0) const {
        return u >= margin && u <= srcW - margin && v >= margin && v <= srcH - margin;
    }
};

struct Rgba {
    double a, r, g, b;
};

Rgba Bilinear(const Image &src, double u, double v) {
    const double fx = u - 0.5, fy = v - 0.5;
    const int x0 = int(std::floor(fx)), y0 = int(std::floor(fy));
    const double tx = fx - x0, ty = fy - y0;
    auto px = [&](int x, int y) {
        const Px p = src.at(std::clamp(x, 0, src.w - 1), std::clamp(y, 0, src.h - 1));
        return Rgba{double(p.a), double(p.r), double(p.g), double(p.b)};
    };
    const Rgba p00 = px(x0, y0), p10 = px(x0 + 1, y0), p01 = px(x0, y0 + 1), p11 = px(x0 + 1, y0 + 1);
    auto mix = [&](double c00, double c10, double c01, double c11) {
        return (c00 * (1 - tx) + c10 * tx) * (1 - ty) + (c01 * (1 - tx) + c11 * tx) * ty;
    };
    return Rgba{mix(p00.a, p10.a, p01.a, p11.a), mix(p00.r, p10.r, p01.r, p11.r), mix(p00.g, p10.g, p01.g, p11.g),
                mix(p00.b, p10.b, p01.b, p11.b)};
}

UInt8 Round(double c) { return UInt8(std::clamp(std::lround(c), 0L, 255L)); }

// Premultiplied source over destination.
Px Over(const Rgba &s, const Px &d, double alpha) {
    const double k = 1 - s.a * alpha / 255;
    return Px{Round(s.a * alpha + d.a * k), Round(s.r * alpha + d.r * k), Round(s.g * alpha + d.g * k),
              Round(s.b * alpha + d.b * k)};
}

} // namespace

Expected ReferenceDraw(const Image &src, double left, double top, double width, double height, double angle,
                       double alpha, const Image &background) {
    Expected e;
    e.image = background;
    const size_t n = background.px.size();
    e.classes.assign(n, PixelClass::kOutside);
    e.lo = background.px;
    e.hi = background.px;
    if (width <= 0 || height <= 0 || src.w == 0 || src.h == 0) return e;
    const Mapping m{left + width / 2, top + height / 2, width, height, std::cos(angle), std::sin(angle), src.w, src.h};
    // Source pixels per destination pixel, to express "well inside" in
    // image units as well.
    const double scale = std::max(src.w / width, src.h / height);
    constexpr int kSub = 5;
    for (int y = 0; y < background.h; ++y) {
        for (int x = 0; x < background.w; ++x) {
            // Samples over the pixel square grown by half a pixel each side
            // (within 1.42 pixels of the centre); far from the footprint's
            // edges the answer is known without sampling.
            int hits = 0;
            const double depth = m.DepthInside(x + 0.5, y + 0.5);
            if (depth >= 1.5) {
                hits = kSub * kSub;
            } else if (depth > -1.5) {
                for (int j = 0; j < kSub; ++j)
                    for (int i = 0; i < kSub; ++i) {
                        double u, v;
                        m.ToImage(x - 0.5 + 2.0 * (i + 0.5) / kSub, y - 0.5 + 2.0 * (j + 0.5) / kSub, &u, &v);
                        hits += m.InImage(u, v);
                    }
            }
            const size_t k = size_t(y) * size_t(background.w) + size_t(x);
            double u, v;
            m.ToImage(x + 0.5, y + 0.5, &u, &v);
            if (hits == 0) continue;
            const Px bg = background.px[k];
            const Rgba c = Bilinear(src, u, v);
            e.image.px[k] = Over(c, bg, alpha);
            // Well inside: the grown square is covered and the sample point
            // is clear of the image's outer half pixel.
            if (hits == kSub * kSub && m.InImage(u, v, 0.5 + 0.5 * scale)) {
                e.classes[k] = PixelClass::kInside;
                continue;
            }
            e.classes[k] = PixelClass::kEdge;
            // Anything between the background and the image colours near
            // the sample point.
            const double cu = std::clamp(u, 0.0, double(src.w)), cv = std::clamp(v, 0.0, double(src.h));
            Px lo = bg, hi = bg;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int sx = std::clamp(int(std::floor(cu)) + dx, 0, src.w - 1);
                    const int sy = std::clamp(int(std::floor(cv)) + dy, 0, src.h - 1);
                    const Px s = src.at(sx, sy);
                    const Px full = Over(Rgba{double(s.a), double(s.r), double(s.g), double(s.b)}, bg, alpha);
                    lo = Px{std::min(lo.a, full.a), std::min(lo.r, full.r), std::min(lo.g, full.g),
                            std::min(lo.b, full.b)};
                    hi = Px{std::max(hi.a, full.a), std::max(hi.r, full.r), std::max(hi.g, full.g),
                            std::max(hi.b, full.b)};
                }
            e.lo[k] = lo;
            e.hi[k] = hi;
        }
    }
    return e;
}

Comparison CompareWithReference(GWorldPtr actual, const Expected &expected, int insideTolerance, int edgeSlack) {
    Comparison c;
    const Image &ref = expected.image;
    auto note = [&](const char *what, int x, int y, const Px &got, const Px &want) {
        if (!c.firstProblem.empty()) return;
        std::ostringstream os;
        os << what << " pixel (" << x << "," << y << "): got " << got << ", expected " << want;
        c.firstProblem = os.str();
    };
    for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
            const size_t k = size_t(y) * size_t(ref.w) + size_t(x);
            const Px got = Get(actual, x, y);
            const Px want = ref.px[k];
            switch (expected.classes[k]) {
            case PixelClass::kOutside:
                ++c.outsidePixels;
                if (got != want) {
                    ++c.outsideMismatches;
                    note("outside", x, y, got, want);
                }
                break;
            case PixelClass::kInside: {
                ++c.insidePixels;
                const int err = std::max({std::abs(got.a - want.a), std::abs(got.r - want.r),
                                          std::abs(got.g - want.g), std::abs(got.b - want.b)});
                c.maxInsideError = std::max(c.maxInsideError, err);
                if (err > insideTolerance) {
                    ++c.insideViolations;
                    note("inside", x, y, got, want);
                }
                break;
            }
            case PixelClass::kEdge: {
                ++c.edgePixels;
                const Px lo = expected.lo[k], hi = expected.hi[k];
                auto within = [&](int v, int l, int h) { return v >= l - edgeSlack && v <= h + edgeSlack; };
                if (!within(got.a, lo.a, hi.a) || !within(got.r, lo.r, hi.r) || !within(got.g, lo.g, hi.g) ||
                    !within(got.b, lo.b, hi.b)) {
                    ++c.edgeViolations;
                    note("edge", x, y, got, want);
                }
                break;
            }
            }
        }
    return c;
}

std::ostream &operator<<(std::ostream &os, const Comparison &c) {
    return os << "inside " << c.insidePixels << " (max error " << c.maxInsideError << ", " << c.insideViolations
              << " beyond tolerance), edge " << c.edgePixels << " (" << c.edgeViolations << " out of bounds), outside "
              << c.outsidePixels << " (" << c.outsideMismatches << " changed); " << c.firstProblem;
}

} // namespace imgtest
