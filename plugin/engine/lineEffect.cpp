// The crop-and-zoom renderer: the crop of the source wrapped as an image in
// place, a fill of the destination and one scaled, turned draw of the image
// into the enlarged rectangle.
#include "engine/lineEffect.h"

#include "common/commonprocs.h"
#include "engine/RectGeometry.h"
#include "engine/relrects.h"
#include "imaging/CGglue.h"
#include "imaging/offscreen.h"

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

} // namespace

void TheLineEffect(GrafPtr source, GrafPtr dest, const Rect &activeRect, Boolean, const PluginDataRec *theConfig,
                   SInt32, SInt32) {
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(dest, nullptr);

    Rect cropRect = activeRect;
    ClipRectToFrame(cropRect, GetPortRect(source));

    // A crop with nothing left after clamping (StartRel of no extent, or
    // wholly outside the frame) has no pixels to draw: the fill is all that
    // shows.
    const bool emptyCrop = cropRect.right <= cropRect.left || cropRect.bottom <= cropRect.top;
    CGImageRef theImage = nullptr;
    if (!emptyCrop) {
        // The crop read in place from the source's pixels: no copy is made
        // unless the source changes while the image lives, and it does not.
        theImage = GWorldRect2CGImage(source, cropRect);
        Assert(theImage, "Cannot allocate CG image from theGW in theLineEffect");
    }

    const Rect theFrame = GetPortRect(dest);
    const Rect targetRect = Rel2Rect(ZoomedStartRel(theConfig), theFrame);
    ClearGW(dest, theConfig->Colors[0]);
    const float angle = float(theConfig->Sliders[2] * kTwoPi / kSliderUnitsPerTurn);
    if (theImage) DrawCGImageInQDRectWithAlpha(dest, theImage, targetRect, angle, false, 1.0, 0);

    SetGWorld(savedPort, savedDevice);
    CGImageRelease(theImage);
}

void RenderLineArt(PluginDataRec *) {}
