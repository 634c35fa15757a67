// The crop-and-zoom renderer: the crop of the source wrapped as an image in
// place, a fill of the destination and one scaled, turned draw of the image
// into the enlarged rectangle.
#include "engine/lineEffect.h"

#include <algorithm>
#include <cstdint>

#include "common/commonprocs.h"
#include "engine/RectGeometry.h"
#include "engine/relrects.h"
#include "imaging/CGglue.h"
#include "imaging/offscreen.h"
#include "imaging/pixellib.h"

namespace {

constexpr double kSliderUnitsPerFactor = 1000.0;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kSliderUnitsPerTurn = 100.0;

// StartRel enlarged about its own centre by the factors of sliders 1 and 2.
RelRect ZoomedStartRel(const PluginDataRec *theConfig) {
    RelRect theRel = theConfig->StartRel;
    double hDelta = theRel.Right - theRel.Left;
    double vDelta = theRel.Bottom - theRel.Top;
    const double midH = hDelta / 2 + theRel.Left;
    const double midV = vDelta / 2 + theRel.Top;
    hDelta = (theConfig->Sliders[0] / kSliderUnitsPerFactor + 1) * hDelta;
    vDelta = (theConfig->Sliders[1] / kSliderUnitsPerFactor + 1) * vDelta;
    theRel.Left = midH - hDelta / 2;
    theRel.Right = midH + hDelta / 2;
    theRel.Top = midV - vDelta / 2;
    theRel.Bottom = midV + vDelta / 2;
    return theRel;
}

// The part of the crop that an unturned draw of it into targetRect reads for
// the pixels of visible (inside targetRect): each drawn pixel is sampled from
// the 2 x 2 crop pixels around the point its centre maps to, and two pixels
// of margin on every side take in the rounding of those positions.
Rect SampledPartOfCrop(const Rect &cropRect, const Rect &targetRect, const Rect &visible) {
    auto span = [](SInt32 crop0, SInt32 crop1, SInt32 target0, SInt32 target1, SInt32 visible0, SInt32 visible1,
                   SInt16 &out0, SInt16 &out1) {
        const int64_t c = crop1 - crop0, t = target1 - target0;
        const int64_t first = (int64_t(visible0) - target0) * c / t - 2;
        const int64_t last = ((int64_t(visible1) - target0) * c + t - 1) / t + 2;
        out0 = SInt16(crop0 + std::clamp<int64_t>(first, 0, c));
        out1 = SInt16(crop0 + std::clamp<int64_t>(last, 0, c));
    };
    Rect part;
    span(cropRect.left, cropRect.right, targetRect.left, targetRect.right, visible.left, visible.right, part.left,
         part.right);
    span(cropRect.top, cropRect.bottom, targetRect.top, targetRect.bottom, visible.top, visible.bottom, part.top,
         part.bottom);
    return part;
}

} // namespace

void TheLineEffect(GrafPtr source, GrafPtr dest, const Rect &activeRect, Boolean, const PluginDataRec *theConfig,
                   SInt32, SInt32) {
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(dest, nullptr);

    Rect cropRect = activeRect;
    ClipRectToFrame(cropRect, GetPortRect(source));

    const Rect theFrame = GetPortRect(dest);
    const Rect targetRect = Rel2Rect(ZoomedStartRel(theConfig), theFrame);
    const float angle = float(theConfig->Sliders[2] * kTwoPi / kSliderUnitsPerTurn);

    // A crop with nothing left after clamping (StartRel of no extent, or
    // wholly outside the frame) has no pixels to draw: the fill is all that
    // shows.
    const bool emptyCrop = cropRect.right <= cropRect.left || cropRect.bottom <= cropRect.top;
    // Unturned, the image covers exactly the pixels of targetRect, each one
    // wholly. Where every crop pixel the visible ones are drawn from is
    // opaque, they come out the same over any backdrop, and only the rest of
    // the frame needs the fill. (Video frames are opaque; a picture with
    // transparent parts, or a turned one, is drawn over the whole fill.)
    // Looked at before the image exists: reading a buffer's pixel address
    // makes the platform hand any image of those pixels a copy of its own.
    Rect visible;
    const bool coversOpaquely = !emptyCrop && angle == 0 && SectRect(&targetRect, &theFrame, &visible) &&
                                GWRectIsOpaque(source, SampledPartOfCrop(cropRect, targetRect, visible));
    CGImageRef theImage = nullptr;
    if (!emptyCrop) {
        // The crop read in place from the source's pixels: no copy is made
        // unless the source changes while the image lives, and it does not.
        theImage = GWorldRect2CGImage(source, cropRect);
        Assert(theImage, "Cannot allocate CG image from theGW in theLineEffect");
    }

    const RGBColor &theFill = theConfig->Colors[0];
    if (coversOpaquely)
        ClearGWOutsideRect(dest, targetRect, theFill);
    else
        ClearGW(dest, theFill);
    if (theImage) DrawCGImageInQDRectWithAlpha(dest, theImage, targetRect, angle, false, 1.0, 0);

    SetGWorld(savedPort, savedDevice);
    CGImageRelease(theImage);
}

void RenderLineArt(PluginDataRec *) {}
