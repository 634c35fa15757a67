/*
 * QDInternal.h: what the QuickDraw stand-in shares with the rest of the
 * platform layer (internal, not exported): a port's pixels, finding the port
 * that owns a block of pixel memory, telling a port's drawn hook about a
 * change, and lending a port's pixels to images (copy on write).
 *
 * Ownership: a PixelLoan is shared between the images that borrow the pixels
 * and the port that lends them (which holds it weakly). Before the port's
 * pixels change through this layer, or when the port is disposed of, the
 * loan receives its own copy (or, on disposal, the port's buffer itself), so
 * an image never sees later drawing.
 */
#ifndef QUELVANE_QDINTERNAL_H
#define QUELVANE_QDINTERNAL_H

#include <cstddef>
#include <memory>

#include "quickdraw/QuickDraw.h"

namespace qd {

// Pixel memory of one image: rows rowBytes apart, 4 bytes a pixel. `data`
// points either into a lender's memory or into `own`.
struct PixelLoan {
    const UInt8 *data = nullptr;
    size_t rowBytes = 0;
    size_t width = 0;
    size_t height = 0;
    std::shared_ptr<void> own; // keeps the memory alive once the loan has it
    bool lent = false;         // true while data points into a lender
    // Takes a private copy of the pixels (same row layout) if still lent.
    // Returns false when memory runs out (the loan then stays lent).
    bool Detach();
};

struct PortPixels {
    UInt8 *base;
    size_t rowBytes;
    int width;
    int height;
};

// The pixels of a live port; false for anything else.
bool GetPortPixels(CGrafPtr port, PortPixels *out);

// The live port whose pixel memory holds the address p, or nullptr.
CGrafPtr FindPortByPixels(const void *p);

// Ends any loan of the port's pixels: call before changing them.
void PortWillChange(CGrafPtr port);

// Tells the port's drawn hook that area changed (clipped to the port).
void PortDidChange(CGrafPtr port, const Rect &area);

// A loan of the port's pixels for an image of width x height at data (inside
// the port's memory, rows rowBytes apart). Reuses the port's current loan when
// it describes the same pixels. nullptr when the port is not live.
std::shared_ptr<PixelLoan> LendPortPixels(CGrafPtr port, const UInt8 *data, size_t rowBytes, size_t width,
                                          size_t height);

// Pixel memory for ports and contexts: cleared, 64-byte aligned, on huge
// pages when large. Freed by the deleter of the returned pointer.
std::shared_ptr<UInt8> AllocatePixels(size_t bytes);

} // namespace qd

#endif /* QUELVANE_QDINTERNAL_H */
