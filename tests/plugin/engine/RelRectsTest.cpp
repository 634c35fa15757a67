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

void ExpectRect(const Rect &actual, SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) {
    EXPECT_EQ(actual.top, top);
    EXPECT_EQ(actual.left, left);
    EXPECT_EQ(actual.bottom, bottom);
    EXPECT_EQ(actual.right, right);
}

void ExpectRel(const RelRect &actual, const RelRect &expected) {
    EXPECT_DOUBLE_EQ(actual.Left, expected.Left);
    EXPECT_DOUBLE_EQ(actual.Right, expected.Right);
    EXPECT_DOUBLE_EQ(actual.Top, expected.Top);
    EXPECT_DOUBLE_EQ(actual.Bottom, expected.Bottom);
}

const RelRect kFull = Rel(0, 1, 0, 1);

TEST(Rel2Rect, FullFrameGivesTheFrameAtAndAwayFromTheOrigin) {
    ExpectRect(Rel2Rect(kFull, R(0, 0, 480, 720)), 0, 0, 480, 720);
    ExpectRect(Rel2Rect(kFull, R(10, 20, 490, 740)), 10, 20, 490, 740);
    ExpectRel(Rect2Rel(R(10, 20, 490, 740), R(10, 20, 490, 740)), kFull);
    // The crop is offset by the frame's origin, each axis by its own.
    ExpectRect(Rel2Rect(Rel(0.25, 0.75, 0.5, 1), R(10, 20, 490, 740)), 250, 200, 490, 560);
}

TEST(Rel2Rect, TruncatesTowardZeroNotDownwardNorToNearest) {
    const Rect frame = R(0, 0, 480, 720);
    EXPECT_EQ(Rel2Rect(Rel(0.1, 1, 0, 1), frame).left, 72);
    EXPECT_EQ(Rel2Rect(Rel(-0.05, 1, 0, 1), frame).left, -36);
    EXPECT_EQ(Rel2Rect(Rel(-0.051, 1, 0, 1), frame).left, -36);  // -36.72
    EXPECT_EQ(Rel2Rect(Rel(0, 0.0999, 0, 1), frame).right, 71);  // 71.928
    EXPECT_EQ(Rel2Rect(Rel(0, 1, -0.0999, 1), frame).top, -47);  // -47.952
    // Not normalised: a mirrored rectangle stays mirrored.
    ExpectRect(Rel2Rect(Rel(0.75, 0.25, 0.75, 0.25), frame), 360, 540, 120, 180);
}

TEST(Rel2Rect, RoundTripCanLoseAPixelToTruncation) {
    const Rect frame = R(0, 0, 10, 22);
    const RelRect rel = Rect2Rel(R(0, 15, 10, 22), frame);
    EXPECT_DOUBLE_EQ(rel.Left, 15.0 / 22.0);
    EXPECT_EQ(Rel2Rect(rel, frame).left, 14);
}

TEST(Rel2Rect, CoordinatesBeyondSixteenBitsSaturateInsteadOfWrapping) {
    // A 3840-wide frame zoomed 9x about its centre reaches -15360 .. 19200 and
    // beyond: wrapping would turn the right edge negative.
    const Rect uhd = R(0, 0, 2160, 3840);
    const Rect wide = Rel2Rect(Rel(-4, 9, -16, 17), uhd);
    ExpectRect(wide, -32768, -15360, 32767, 32767);
    EXPECT_LT(wide.left, wide.right);
    EXPECT_LT(wide.top, wide.bottom);
    // The frame's origin counts toward the limit too.
    EXPECT_EQ(Rel2Rect(Rel(0, 1, 0, 1), R(30000, 30000, 32000, 32000)).right, 32000);
    EXPECT_EQ(Rel2Rect(Rel(0, 2, 0, 1), R(30000, 30000, 32000, 32000)).right, 32767);
    // Infinite fractions saturate; a fraction that is not a number lands on the origin.
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ExpectRect(Rel2Rect(Rel(-inf, inf, nan, 1), R(5, 7, 105, 207)), 5, -32768, 105, 32767);
    // Points saturate the same way.
    const Point p = Rel2Point(RelPoint{100, -100}, uhd);
    EXPECT_EQ(p.h, 32767);
    EXPECT_EQ(p.v, -32768);
}

TEST(RelPoint, ConvertsBothWaysRelativeToTheFrameOrigin) {
    const Rect frame = R(10, 20, 490, 740);
    const Point p = Rel2Point(RelPoint{0.5, 0.25}, frame);
    EXPECT_EQ(p.h, 20 + 360);
    EXPECT_EQ(p.v, 10 + 120);
    const RelPoint back = Point2Rel(p, frame);
    EXPECT_DOUBLE_EQ(back.Horiz, 0.5);
    EXPECT_DOUBLE_EQ(back.Vert, 0.25);
    EXPECT_EQ(Rel2Point(RelPoint{-0.051, 0}, R(0, 0, 480, 720)).h, -36);
}

TEST(CalcTweenRel, InterpolatesInsideAndHoldsTheEndsOutside) {
    const RelRect a = Rel(0, 1, 0, 1);
    const RelRect b = Rel(0.2, 0.6, 0.4, 0.8);
    ExpectRel(CalcTweenRel(10, 20, 15, a, b), Rel(0.1, 0.8, 0.2, 0.9));
    ExpectRel(CalcTweenRel(10, 20, 9, a, b), a);
    ExpectRel(CalcTweenRel(10, 20, 10, a, b), a);
    ExpectRel(CalcTweenRel(10, 20, 20, a, b), b);
    ExpectRel(CalcTweenRel(10, 20, 21, a, b), b);
    // The multiplication comes before the division: 1/3 of the way exactly.
    EXPECT_DOUBLE_EQ(CalcTweenRel(0, 3, 1, Rel(0, 0, 0, 0), Rel(3, 3, 3, 3)).Left, 1.0);
}

TEST(CalcTweenRel, DegenerateAndExtremeFrameRangesStayFinite) {
    const RelRect a = Rel(0, 1, 0, 1);
    const RelRect b = Rel(0.2, 0.6, 0.4, 0.8);
    // A tween of no length: no division of zero by zero, the target is reached.
    ExpectRel(CalcTweenRel(7, 7, 7, a, b), b);
    ExpectRel(CalcTweenRel(7, 7, 6, a, b), a);
    // The frame distance does not fit 32 bits.
    const RelRect mid = CalcTweenRel(INT_MIN, INT_MAX, 0, Rel(0, 0, 0, 0), Rel(2, 2, 2, 2));
    EXPECT_NEAR(mid.Left, 1.0, 1e-9);
    EXPECT_TRUE(std::isfinite(mid.Bottom));
}

TEST(CalcTweenRect, EveryFrameOfTheClipGetsTheStartRectangleOutsideTheFullFrame) {
    PluginDataRec config{};
    config.StartRel = Rel(0.25, 0.75, 0.25, 0.75);
    config.EndRel = Rel(0.1, 0.2, 0.3, 0.4);  // never used
    const Rect frame = R(0, 0, 480, 720);
    for (SInt32 f : {0, 1, 50, 99, 100})
        ExpectRect(CalcTweenRect(&config, frame, f, 100), 120, 180, 360, 540);
    ExpectRect(CalcTweenRect(&config, frame, -1, 100), 0, 0, 480, 720);
    ExpectRect(CalcTweenRect(&config, frame, 101, 100), 0, 0, 480, 720);
}

} // namespace
