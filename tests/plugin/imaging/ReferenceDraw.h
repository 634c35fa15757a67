// An independent, plainly written reference for drawing an image scaled and
// turned into a rectangle of a buffer: for every destination pixel the
// centre is mapped back into the image and sampled bilinearly (edges
// clamped) in double precision, and the pixel is classed as outside the
// drawn footprint, on its edge, or well inside it. Comparisons are exact
// outside, within a stated tolerance inside, and only bounded on the edge
// (an edge pixel must lie between the background and the image colours
// near it), where coverage estimates of correct implementations differ.
#ifndef QUELVANE_REFERENCEDRAW_H
#define QUELVANE_REFERENCEDRAW_H

#include <string>
#include <vector>

#include "ImageTestSupport.h"

namespace imgtest {

struct Image {
    int w = 0, h = 0;
    std::vector<Px> px;
    Px at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
};

// The pixels of a world, or of a rectangle of it.
Image Snapshot(GWorldPtr w);
Image Crop(const Image &img, int left, int top, int right, int bottom);

enum class PixelClass : unsigned char { kOutside, kEdge, kInside };

struct Expected {
    Image image;                     // background with the image drawn over it
    std::vector<PixelClass> classes; // per pixel
    std::vector<Px> lo, hi;          // per pixel: bounds for edge pixels
};

// The image drawn into the rectangle (left, top, width, height) of a buffer
// holding `background`, in QuickDraw coordinates (y down), turned by angle
// radians counter-clockwise as seen about the rectangle's centre, with global
// alpha. Width or height may be 0 (nothing drawn).
Expected ReferenceDraw(const Image &src, double left, double top, double width, double height, double angle,
                       double alpha, const Image &background);

struct Comparison {
    long insidePixels = 0, edgePixels = 0, outsidePixels = 0;
    int maxInsideError = 0;
    long outsideMismatches = 0;
    long edgeViolations = 0;
    long insideViolations = 0;
    std::string firstProblem;
    bool ok() const { return outsideMismatches == 0 && edgeViolations == 0 && insideViolations == 0; }
};

// Compares a rendered world against the reference: outside pixels exactly,
// inside pixels within insideTolerance per channel, edge pixels within their
// bounds widened by edgeSlack; the first problem is described.
Comparison CompareWithReference(GWorldPtr actual, const Expected &expected, int insideTolerance, int edgeSlack);

std::ostream &operator<<(std::ostream &os, const Comparison &c);

} // namespace imgtest

#endif
