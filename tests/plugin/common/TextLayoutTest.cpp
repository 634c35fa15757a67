// Justified text in a box: where the text lands and the strip painted
// behind it, checked on the pixels of a real offscreen world.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "ImageTestSupport.h"
#include "common/commonprocs.h"

using namespace imgtest;

namespace {

const Str255 kText = {5, 'H', 'e', 'l', 'l', 'o'};

// The first and last columns holding a drawn (not white) pixel; -1 for none.
std::pair<int, int> Ink(GWorldPtr w) {
    std::pair<int, int> cols{-1, -1};
    for (int y = 0; y < Height(w); ++y)
        for (int x = 0; x < Width(w); ++x)
            if (Get(w, x, y).r != 255) cols = {cols.first < 0 ? x : std::min(cols.first, x), std::max(cols.second, x)};
    return cols;
}

TEST(TextLayout, TextLandsWhereItsJustificationPutsItAndTheStripFramesIt) {
    GW world = MakeGW(200, 60);
    UsePort use(world.get());
    const Rect all = {0, 0, 60, 200}, box = {10, 20, 50, 120}; // 100 wide, 40 high
    const RGBColor white = SetRGBColor(65535, 65535, 65535), black = SetRGBColor(0, 0, 0);
    RGBBackColor(&white);
    RGBForeColor(&black);
    const int width = StringWidth(kText);
    ASSERT_GT(width, 0);
    struct Case {
        SInt16 code;
        int left;
    } cases[] = {{1, 21}, {2, 70 - width / 2}, {3, 119 - width}, {7, 21}};
    for (const Case &c : cases) {
        EraseRect(&all);
        DrawJustifiedTextInBox(box, c.code, 12.0, kText);
        Point pen;
        GetPen(&pen);
        EXPECT_EQ(pen.h - width, c.left) << "code " << c.code;
        // Baseline: bottom - 40/2 + 12/2 - trunc(12 x 0.2) = 50 - 20 + 6 - 2.
        EXPECT_EQ(pen.v, 34) << "code " << c.code;
        const auto ink = Ink(world.get());
        EraseRect(&all);
        PaintJustifiedRect(box, c.code, kText);
        const auto strip = Ink(world.get());
        if (c.code == 7) {
            EXPECT_TRUE(strip.first == 20 && strip.second == 119) << "an unknown code paints the whole box";
            continue;
        }
        EXPECT_EQ(strip.second - strip.first + 1, width + 2) << "code " << c.code;
        if (c.code != 2) {
            EXPECT_EQ(c.code == 1 ? strip.first : strip.second, c.code == 1 ? 20 : 119) << "at the box's edge";
        }
        EXPECT_TRUE(strip.first < ink.first && ink.second < strip.second) << "code " << c.code;
        EXPECT_TRUE(Get(world.get(), strip.first, 10).r == 0 && Get(world.get(), strip.first, 49).r == 0 &&
                    Get(world.get(), strip.first, 50).r == 255)
            << "the strip spans the box's height";
    }
    DrawJustifiedTextInBox(box, 1, 25.9, kText);
    Point pen;
    GetPen(&pen);
    EXPECT_EQ(pen.v, 50 - 20 + 12 - 5) << "the height is truncated before halving; the descent after scaling";
}

} // namespace
