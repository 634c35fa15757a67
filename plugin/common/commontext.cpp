// Justified text in a box of the current QuickDraw port.
#include "common/commonprocs.h"

#include <algorithm>
#include <cmath>

#include "engine/RectGeometry.h"
#include "quickdraw/QuickDraw.h"

namespace {

SInt16 Coord(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<SInt16>(std::clamp(v, -32768.0, 32767.0));
}

} // namespace

void DrawJustifiedTextInBox(const Rect &TheBox, SInt16 TheJustification, double TheTextHeight,
                            ConstStr255Param TheText) {
    SInt32 wid, hig;
    GetDims(TheBox, wid, hig);
    const SInt32 theLen = StringWidth(TheText);
    // Heights beyond the coordinate range place the text off any port anyway.
    const double height = std::isfinite(TheTextHeight) ? std::clamp(TheTextHeight, -65536.0, 65536.0) : 0.0;
    const SInt32 theSize = static_cast<SInt32>(std::trunc(height));
    SInt32 x;
    switch (TheJustification) {
    case kJustifyCentre: x = TheBox.left + wid / 2 - theLen / 2; break;
    case kJustifyRight: x = TheBox.right - 1 - theLen; break;
    default: x = TheBox.left + 1; break;
    }
    const SInt32 y = TheBox.bottom - hig / 2 + theSize / 2 - static_cast<SInt32>(std::trunc(height * 0.2));
    MoveTo(Coord(x), Coord(y));
    DrawString(TheText);
}

void PaintJustifiedRect(const Rect &TheBox, SInt16 TheJustification, ConstStr255Param TheText) {
    SInt32 wid, hig;
    GetDims(TheBox, wid, hig);
    const SInt32 theLen = StringWidth(TheText);
    SInt32 left = TheBox.left, right = TheBox.right;
    switch (TheJustification) {
    case kJustifyLeft: right = left + 2 + theLen; break;
    case kJustifyCentre:
        left = left + wid / 2 - theLen / 2 - 1;
        right = left + 2 + theLen;
        break;
    case kJustifyRight: left = right - 2 - theLen; break;
    default: break; // the whole box
    }
    Rect strip = TheBox;
    strip.left = Coord(left);
    strip.right = Coord(right);
    PaintRect(&strip);
}
