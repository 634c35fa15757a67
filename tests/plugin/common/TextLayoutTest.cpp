// Justified text in a box: where the text lands and the strip painted
// behind it, checked on the pixels of a real offscreen world.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/commonprocs.h"
#include "quickdraw/QuickDraw.h"

namespace {

class TextLayout : public ::testing::Test {
protected:
    void SetUp() override {
        GetGWorld(&savedPort, &savedDevice);
        const Rect bounds = {0, 0, kHeight, kWidth};
        ASSERT_EQ(NewGWorld(&world, 32, &bounds, nullptr, nullptr, 0), noErr);
        SetGWorld(world, nullptr);
        const RGBColor white = SetRGBColor(65535, 65535, 65535);
        RGBBackColor(&white);
        EraseRect(&bounds);
    }
    void TearDown() override {
        SetGWorld(savedPort, savedDevice);
        DisposeGWorld(world);
    }

    // Red of the pixel at (h, v): 255 where nothing was drawn.
    int Red(int h, int v) const {
        PixMapHandle pm = GetGWorldPixMap(world);
        const UInt8 *row = reinterpret_cast<const UInt8 *>(GetPixBaseAddr(pm)) + v * GetPixRowBytes(pm);
        return row[h * 4 + 1];
    }

    // Columns [first, last] in which rows top..bottom-1 hold any drawn pixel.
    bool InkColumns(int top, int bottom, int &first, int &last) const {
        first = kWidth;
        last = -1;
        for (int v = top; v < bottom; ++v)
            for (int h = 0; h < kWidth; ++h)
                if (Red(h, v) != 255) {
                    first = std::min(first, h);
                    last = std::max(last, h);
                }
        return last >= 0;
    }

    static constexpr SInt16 kWidth = 200, kHeight = 60;
    GWorldPtr world = nullptr;
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
};

const Str255 kText = {5, 'H', 'e', 'l', 'l', 'o'};

} // namespace

TEST_F(TextLayout, TextStartsWhereItsJustificationPutsIt) {
    const Rect box = {10, 20, 50, 120}; // 100 wide, 40 high
    const int width = StringWidth(kText);
    ASSERT_GT(width, 0);
    struct Case {
        SInt16 code;
        int left;
    } cases[] = {{1, 21}, {2, 70 - width / 2}, {3, 119 - width}, {7, 21}};
    for (const Case &c : cases) {
        DrawJustifiedTextInBox(box, c.code, 12.0, kText);
        Point pen;
        GetPen(&pen);
        EXPECT_EQ(pen.h - width, c.left) << "code " << c.code;
        // Baseline: bottom - 40/2 + 12/2 - trunc(12 x 0.2) = 50 - 20 + 6 - 2.
        EXPECT_EQ(pen.v, 34) << "code " << c.code;
    }
    DrawJustifiedTextInBox(box, 1, 25.9, kText);
    Point pen;
    GetPen(&pen);
    EXPECT_EQ(pen.v, 50 - 20 + 12 - 5) << "the height is truncated before halving; the descent after scaling";
}

TEST_F(TextLayout, PaintedStripFramesTheDrawnTextWithOnePixelToSpare) {
    const Rect box = {10, 20, 50, 180};
    const Rect all = {0, 0, kHeight, kWidth};
    for (SInt16 code : {SInt16(1), SInt16(2), SInt16(3)}) {
        EraseRect(&all);
        const RGBColor black = SetRGBColor(0, 0, 0);
        RGBForeColor(&black);
        DrawJustifiedTextInBox(box, code, 12.0, kText);
        int inkFirst, inkLast;
        ASSERT_TRUE(InkColumns(0, kHeight, inkFirst, inkLast)) << "code " << code;

        EraseRect(&box);
        PaintJustifiedRect(box, code, kText);
        int paintFirst, paintLast;
        ASSERT_TRUE(InkColumns(0, kHeight, paintFirst, paintLast));
        const int width = StringWidth(kText);
        EXPECT_EQ(paintLast - paintFirst + 1, width + 2) << "code " << code;
        EXPECT_LE(paintFirst + 1, inkFirst) << "code " << code;
        EXPECT_GE(paintLast - 1, inkLast) << "code " << code;
        EXPECT_EQ(Red(paintFirst, 10), 0) << "the strip spans the box's height";
        EXPECT_EQ(Red(paintFirst, 49), 0);
        EXPECT_EQ(Red(paintFirst, 50), 255);
        if (code == 1) {
            EXPECT_EQ(paintFirst, 20);
        }
        if (code == 3) {
            EXPECT_EQ(paintLast, 179);
        }
    }

    // An unknown justification code paints the whole box.
    EraseRect(&all);
    PaintJustifiedRect(box, 0, kText);
    int first, last;
    ASSERT_TRUE(InkColumns(0, kHeight, first, last));
    EXPECT_EQ(first, 20);
    EXPECT_EQ(last, 179);
}
