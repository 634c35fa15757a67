// Integer rectangle geometry: proportions, fitting, clamping, centring.
#include <gtest/gtest.h>

#include <functional>

#include "engine/RectGeometry.h"

namespace {

Rect R(SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) { return Rect{top, left, bottom, right}; }

::testing::AssertionResult SameRect(const Rect &got, const Rect &want) {
    if (got.top == want.top && got.left == want.left && got.bottom == want.bottom && got.right == want.right)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.top << "," << got.left << "," << got.bottom << ","
                                         << got.right << ") want (" << want.top << "," << want.left << ","
                                         << want.bottom << "," << want.right << ")";
}

Rect Clipped(Rect r, const Rect &frame) {
    ClipRectToFrame(r, frame);
    return r;
}
Rect Centred(Rect r, const Rect &bounds) {
    CenterRectInRect(r, bounds);
    return r;
}

} // namespace

TEST(RectGeometry, DimsAreComputedWithoutSixteenBitWrap) {
    SInt32 wid = 0, hig = 0;
    GetDims(R(-32768, -32768, 32767, 32767), wid, hig);
    EXPECT_TRUE(wid == 65535 && hig == 65535);
    GetDims(R(10, 20, 5, 0), wid, hig);
    EXPECT_TRUE(wid == -20 && hig == -5) << "reversed rectangles give negative extents";
}

TEST(RectGeometry, TwoRectangleOperations) {
    using Op = std::function<Rect(const Rect &, const Rect &)>;
    const Op horiz = KeepPropsWithFixedHorizontal, vert = KeepPropsWithFixedVertical,
             fit = CalcProportionalRectForFrame, clip = Clipped, centre = Centred;
    struct Case {
        const char *what;
        Op op;
        Rect a, b, want;
    } cases[] = {
        // Keeping proportions: the free side from the original's ratio, top-left kept.
        {"width 360 of 720 x 480", horiz, R(0, 0, 480, 720), R(10, 20, 100, 380), R(10, 20, 250, 380)},
        {"height 100 of 720 x 480, old right ignored", vert, R(0, 0, 480, 720), R(0, 0, 100, 999), R(0, 0, 100, 150)},
        {"3.333 rounds to 3", horiz, R(0, 0, 2, 3), R(0, 0, 0, 5), R(0, 0, 3, 5)},
        {"1.5 rounds half up", horiz, R(0, 0, 3, 4), R(0, 0, 0, 2), R(0, 0, 2, 2)},
        {"vertical rounding", vert, R(0, 0, 4, 3), R(5, 7, 7, 7), R(5, 7, 7, 9)},
        {"original of width 0", horiz, R(0, 0, 10, 0), R(1, 2, 30, 40), R(1, 2, 30, 40)},
        {"original of height 0", vert, R(0, 0, 0, 10), R(1, 2, 30, 40), R(1, 2, 30, 40)},
        {"flat original collapses the height", horiz, R(0, 0, 0, 10), R(1, 2, 30, 40), R(1, 2, 1, 40)},
        {"thin original collapses the width", vert, R(0, 0, 10, 0), R(1, 2, 30, 40), R(1, 2, 30, 2)},
        {"derived bottom clamps", horiz, R(0, 0, 1000, 1), R(100, 0, 200, 30000), R(100, 0, 32767, 30000)},
        {"derived right clamps", vert, R(0, 0, 1, 1000), R(0, -100, 30000, 0), R(0, -100, 30000, 32767)},
        {"derived bottom clamps low", horiz, R(0, 0, 1000, -1), R(0, 0, 0, 30000), R(0, 0, -32768, 30000)},
        // Proportional rectangles follow orientation, not fit.
        {"landscape in landscape: width kept", fit, R(0, 0, 300, 400), R(0, 0, 100, 200), R(0, 0, 150, 200)},
        {"landscape in square: width kept", fit, R(0, 0, 300, 400), R(0, 0, 100, 100), R(0, 0, 75, 100)},
        {"portrait in landscape: height, origin dropped", fit, R(50, 50, 450, 250), R(10, 10, 110, 310),
         R(0, 0, 100, 50)},
        {"portrait in portrait: height kept", fit, R(0, 0, 200, 100), R(0, 0, 300, 90), R(0, 0, 300, 150)},
        {"square in portrait: width kept", fit, R(0, 0, 64, 64), R(0, 0, 300, 90), R(0, 0, 90, 90)},
        // Clamping each edge on its axis.
        {"overhanging", clip, R(-10, -10, 50, 900), R(0, 0, 480, 720), R(0, 0, 50, 720)},
        {"wholly outside: empty on the nearest corner", clip, R(600, 800, 700, 900), R(0, 0, 480, 720),
         R(480, 720, 480, 720)},
        {"reversed: clamped, not normalised", clip, R(300, 500, -5, -7), R(10, 20, 400, 600), R(300, 500, 10, 20)},
        // Centring by truncated halves.
        {"odd size", centre, R(0, 0, 5, 5), R(0, 0, 10, 10), R(3, 3, 8, 8)},
        {"negative bounds", centre, R(100, 200, 150, 300), R(-20, -40, 20, 40), R(-25, -50, 25, 50)},
        {"larger than the bounds", centre, R(0, 0, 300, 400), R(0, 0, 100, 200), R(-100, -100, 200, 300)},
    };
    for (const Case &c : cases) EXPECT_TRUE(SameRect(c.op(c.a, c.b), c.want)) << c.what;
}
