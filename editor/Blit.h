// Blit.h: the host's blend of one pixel map over another, behind the Blit
// callback. Both pixel maps are 32-bit A, R, G, B (premultiplied) maps whose
// pixels the caller owns; nothing is allocated.
#ifndef QUELVANE_EDITOR_BLIT_H
#define QUELVANE_EDITOR_BLIT_H

#include "HYPluginInterface.h"
#include "quickdraw/QuickDraw.h"

namespace qvhost {

// Draws sourceRect of source over destRect of dest at the given opacity
// (0..255; 255 = the source covers the destination; values outside are
// clamped): every byte becomes (s * opacity + d * (255 - opacity)) / 255,
// rounded. The source rectangle is scaled to the destination rectangle
// (nearest pixel); both are clipped to their maps' bounds. Answers
// kPluginBadParams for missing or non-32-bit maps.
HYPluginResult BlitPixMaps(const PixMap *source, PixMap *dest, const Rect *sourceRect, const Rect *destRect,
                           SInt16 opacity);

}  // namespace qvhost

#endif
