// lineEffect.h: the crop-and-zoom renderer. TheLineEffect cuts the crop
// rectangle out of the source, enlarges it about the centre of StartRel by
// the factors of sliders 1 and 2 (1 + value / 1000 each), fills the whole
// destination with colour 1 and draws the enlarged crop over it, turned by
// slider 3 (100 units are one full turn). No other field of the
// configuration changes the picture, and the result does not depend on the
// frame index.
//
// Ownership: the caller owns source, dest and the configuration; the
// renderer's image of the crop reads the source's pixels in place and lives
// for one call. The current
// graphics world is changed only inside a call and restored.
#ifndef QUELVANE_LINEEFFECT_H
#define QUELVANE_LINEEFFECT_H

#include "engine/PluginDefines.h"

// Renders source into dest (every pixel of dest is written). activeRect is
// the crop in pixels, Rel2Rect(StartRel, port rectangle of dest); it is
// clamped to the source's frame. source and dest have port rectangles of
// equal size. copyRest, currFrame and maxFrame do not change the result. A
// crop that is empty after clamping leaves dest filled with colour 1.
void TheLineEffect(GrafPtr source, GrafPtr dest, const Rect &activeRect, Boolean copyRest,
                   const PluginDataRec *theConfig, SInt32 currFrame, SInt32 maxFrame);

// Called by the dialog after configuration changes; returns at once and
// changes nothing.
void RenderLineArt(PluginDataRec *theConfig);

#endif // QUELVANE_LINEEFFECT_H
