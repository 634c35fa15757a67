/*
 * QDFont.h: the built-in bitmap font of the QuickDraw stand-in (internal).
 * One face, 5 x 7 pixel glyphs with two rows of descent in a 6-pixel cell,
 * for Mac Roman characters 32..126; every other character is a hollow box.
 */
#ifndef QUELVANE_QDFONT_H
#define QUELVANE_QDFONT_H

#include <cstdint>

namespace qd {

constexpr int kGlyphColumns = 5;
constexpr int kGlyphRows = 9;    // 7 above the baseline, 2 below
constexpr int kGlyphAscent = 7;
constexpr int kGlyphDescent = 2;
constexpr int kGlyphAdvance = 6; // glyph plus one column of spacing
constexpr int kGlyphLeading = 1;

// Rows of the glyph, top first; bit 4 is the leftmost column.
const uint8_t *GlyphRows(unsigned char ch);

} // namespace qd

#endif /* QUELVANE_QDFONT_H */
