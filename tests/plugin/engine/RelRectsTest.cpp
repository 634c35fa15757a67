// Fractional rectangles: truncation toward zero, frames not at the origin,
// saturation of coordinates beyond 16 bits, and the tween.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "engine/relrects.h"

namespace {

Rect R(SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) { return Rect{top, left, bottom, right}; }
RelRect Rel(double l, double r, double t, double b) { return RelRect{l, r, t, b}; }

testing::AssertionResult Is(const Rect &a, SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) {
    if (a.top == top && a.left == left && a.bottom == bottom && a.right == right) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "(" << a.top << "," << a.left << "," << a.bottom << "," << a.right << ")";
}

testing::AssertionResult Is(const RelRect &a, const RelRect &b) {
    auto eq = [](double x, double y) { return std::abs(x - y) <= 1e-12; };
    if (eq(a.Left, b.Left) && eq(a.Right, b.Right) && eq(a.Top, b.Top) && eq(a.Bottom, b.Bottom))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << a.Left << " " << a.Right << " " << a.Top << " " << a.Bottom;
}

TEST(Rel2Rect, ConvertsAgainstTheFrameOriginByTruncationTowardZero) {
    EXPECT_TRUE(Is(Rel2Rect(Rel(0, 1, 0, 1), R(0, 0, 480, 720)), 0, 0, 480, 720));
    EXPECT_TRUE(Is(Rel2Rect(Rel(0, 1, 0, 1), R(10, 20, 490, 740)), 10, 20, 490, 740));
    EXPECT_TRUE(Is(Rect2Rel(R(10, 20, 490, 740), R(10, 20, 490, 740)), Rel(0, 1, 0, 1)));
    EXPECT_TRUE(Is(Rel2Rect(Rel(0.25, 0.75, 0.5, 1), R(10, 20, 490, 740)), 250, 200, 490, 560));
    // 72; -36 exactly; -36.72 toward zero is -36; 71.928 is 71; -47.952 is -47.
    EXPECT_TRUE(Is(Rel2Rect(Rel(0.1, 0.0999, -0.0999, 1), R(0, 0, 480, 720)), -47, 72, 480, 71));
    EXPECT_EQ(Rel2Rect(Rel(-0.05, 1, 0, 1), R(0, 0, 480, 720)).left, -36);
    EXPECT_EQ(Rel2Rect(Rel(-0.051, 1, 0, 1), R(0, 0, 480, 720)).left, -36);
    // Not normalised: a mirrored rectangle stays mirrored.
    EXPECT_TRUE(Is(Rel2Rect(Rel(0.75, 0.25, 0.75, 0.25), R(0, 0, 480, 720)), 360, 540, 120, 180));
    // A round trip can lose a pixel: 22 x (15 / 22) is 14.999999999999998.
    EXPECT_EQ(Rel2Rect(Rect2Rel(R(0, 15, 10, 22), R(0, 0, 10, 22)), R(0, 0, 10, 22)).left, 14);

    const Point p = Rel2Point(RelPoint{0.5, -0.051}, R(10, 20, 490, 740));
    EXPECT_TRUE(p.h == 20 + 360 && p.v == 10 - 24);
    const RelPoint back = Point2Rel(Point{130, 380}, R(10, 20, 490, 740));
    EXPECT_TRUE(back.Horiz == 0.5 && back.Vert == 0.25);
}

TEST(Rel2Rect, CoordinatesBeyondSixteenBitsSaturateInsteadOfWrapping) {
    // 3840 wide zoomed 9 x and more: wrapping would turn edges around.
    const Rect uhd = R(0, 0, 2160, 3840);
    const Rect wide = Rel2Rect(Rel(-4, 9, -16, 17), uhd);
    EXPECT_TRUE(Is(wide, -32768, -15360, 32767, 32767));
    EXPECT_EQ(Rel2Rect(Rel(0, 2, 0, 1), R(30000, 30000, 32000, 32000)).right, 32767);  // the origin counts
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    // Infinite fractions saturate; one that is not a number lands on the origin.
    EXPECT_TRUE(Is(Rel2Rect(Rel(-inf, inf, nan, 1), R(5, 7, 105, 207)), 5, -32768, 105, 32767));
    const Point p = Rel2Point(RelPoint{100, -100}, uhd);
    EXPECT_TRUE(p.h == 32767 && p.v == -32768);
}

TEST(Tween, InterpolatesInsideHoldsTheEndsNeverDividesByZeroAndRendersOnlyTheStart) {
    const RelRect a = Rel(0, 1, 0, 1), b = Rel(0.2, 0.6, 0.4, 0.8);
    struct Case {
        SInt32 first, last, at;
        RelRect want;
    } cases[] = {{10, 20, 15, Rel(0.1, 0.8, 0.2, 0.9)}, {10, 20, 9, a}, {10, 20, 10, a}, {10, 20, 20, b},
                 {10, 20, 21, b}, {7, 7, 7, b} /* no length: the target */};
    for (const Case &c : cases) EXPECT_TRUE(Is(CalcTweenRel(c.first, c.last, c.at, a, b), c.want)) << c.at;
    EXPECT_EQ(CalcTweenRel(0, 3, 1, Rel(0, 0, 0, 0), Rel(3, 3, 3, 3)).Left, 1.0);  // multiply, then divide
    EXPECT_NEAR(CalcTweenRel(INT_MIN, INT_MAX, 0, Rel(0, 0, 0, 0), Rel(2, 2, 2, 2)).Bottom, 1.0, 1e-9);  // > 32 bits

    // Every frame of the clip gets the start rectangle, outside it the full frame.
    PluginDataRec config{};
    config.StartRel = Rel(0.25, 0.75, 0.25, 0.75);
    config.EndRel = Rel(0.1, 0.2, 0.3, 0.4);  // never used
    for (SInt32 f : {0, 50, 100}) EXPECT_TRUE(Is(CalcTweenRect(&config, R(0, 0, 480, 720), f, 100), 120, 180, 360, 540));
    for (SInt32 f : {-1, 101}) EXPECT_TRUE(Is(CalcTweenRect(&config, R(0, 0, 480, 720), f, 100), 0, 0, 480, 720));
}

}  // namespace
