// Integer rectangle geometry: proportions, fitting, clamping, centring.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/RectGeometry.h"
#include "toolbox/MacWindows.h"

namespace {

Rect R(SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) { return Rect{top, left, bottom, right}; }

::testing::AssertionResult SameRect(const Rect &got, const Rect &want) {
    if (got.top == want.top && got.left == want.left && got.bottom == want.bottom && got.right == want.right)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.top << "," << got.left << "," << got.bottom << ","
                                         << got.right << ") want (" << want.top << "," << want.left << ","
                                         << want.bottom << "," << want.right << ")";
}

} // namespace

TEST(RectGeometry, DimsAreComputedWithoutSixteenBitWrap) {
    SInt32 wid = 0, hig = 0;
    GetDims(R(-32768, -32768, 32767, 32767), wid, hig);
    EXPECT_EQ(wid, 65535);
    EXPECT_EQ(hig, 65535);
    GetDims(R(10, 20, 5, 0), wid, hig);
    EXPECT_EQ(wid, -20) << "reversed rectangles give negative extents";
    EXPECT_EQ(hig, -5);
}

TEST(RectGeometry, KeepPropsDerivesTheFreeSideFromTheOriginalRatio) {
    // 720 x 480 original: a new width of 360 gives a height of 240 under the top-left corner.
    EXPECT_TRUE(SameRect(KeepPropsWithFixedHorizontal(R(0, 0, 480, 720), R(10, 20, 100, 380)), R(10, 20, 250, 380)));
    // Height 100 kept, width 1.5 x 100 = 150 from the left edge; the old right edge is ignored.
    EXPECT_TRUE(SameRect(KeepPropsWithFixedVertical(R(0, 0, 480, 720), R(0, 0, 100, 999)), R(0, 0, 100, 150)));
    // Half a pixel rounds up: 3 x 2 original, new width 5 -> height 3.333 -> 3; width 3 -> 2;
    // 4 x 3 original, new width 2 -> 1.5 -> 2.
    EXPECT_TRUE(SameRect(KeepPropsWithFixedHorizontal(R(0, 0, 2, 3), R(0, 0, 0, 5)), R(0, 0, 3, 5)));
    EXPECT_TRUE(SameRect(KeepPropsWithFixedHorizontal(R(0, 0, 3, 4), R(0, 0, 0, 2)), R(0, 0, 2, 2)));
    EXPECT_TRUE(SameRect(KeepPropsWithFixedVertical(R(0, 0, 4, 3), R(5, 7, 7, 7)), R(5, 7, 7, 9)));
}

TEST(RectGeometry, KeepPropsWithDegenerateOriginals) {
    const Rect newSize = R(1, 2, 30, 40);
    EXPECT_TRUE(SameRect(KeepPropsWithFixedHorizontal(R(0, 0, 10, 0), newSize), newSize));
    EXPECT_TRUE(SameRect(KeepPropsWithFixedVertical(R(0, 0, 0, 10), newSize), newSize));
    // A flat original (height 0) fixed horizontally collapses the height; a thin one fixed
    // vertically collapses the width. No division trap either way.
    EXPECT_TRUE(SameRect(KeepPropsWithFixedHorizontal(R(0, 0, 0, 10), newSize), R(1, 2, 1, 40)));
    EXPECT_TRUE(SameRect(KeepPropsWithFixedVertical(R(0, 0, 10, 0), newSize), R(1, 2, 30, 2)));
}

TEST(RectGeometry, KeepPropsClampsDerivedEdgesToTheCoordinateRange) {
    // 1 x 1000 original at a width of 30000 would need a height of 30 million.
    Rect r = KeepPropsWithFixedHorizontal(R(0, 0, 1000, 1), R(100, 0, 200, 30000));
    EXPECT_EQ(r.bottom, 32767);
    r = KeepPropsWithFixedVertical(R(0, 0, 1, 1000), R(0, -100, 30000, 0));
    EXPECT_EQ(r.right, 32767);
    r = KeepPropsWithFixedHorizontal(R(0, 0, 1000, -1), R(0, 0, 0, 30000));
    EXPECT_EQ(r.bottom, -32768);
}

TEST(RectGeometry, ProportionalRectFollowsOrientationNotFit) {
    // Landscape 400 x 300 in a landscape 200 x 100 frame: the width is kept and the
    // height (150) exceeds the frame.
    EXPECT_TRUE(SameRect(CalcProportionalRectForFrame(R(0, 0, 300, 400), R(0, 0, 100, 200)), R(0, 0, 150, 200)));
    // Square frame: a landscape picture keeps the width.
    EXPECT_TRUE(SameRect(CalcProportionalRectForFrame(R(0, 0, 300, 400), R(0, 0, 100, 100)), R(0, 0, 75, 100)));
    // Portrait picture in a landscape frame keeps the height; the frame's origin is dropped.
    EXPECT_TRUE(SameRect(CalcProportionalRectForFrame(R(50, 50, 450, 250), R(10, 10, 110, 310)), R(0, 0, 100, 50)));
    // Portrait frame, portrait picture: height kept.
    EXPECT_TRUE(SameRect(CalcProportionalRectForFrame(R(0, 0, 200, 100), R(0, 0, 300, 90)), R(0, 0, 300, 150)));
    // Square picture in a portrait frame: width kept.
    EXPECT_TRUE(SameRect(CalcProportionalRectForFrame(R(0, 0, 64, 64), R(0, 0, 300, 90)), R(0, 0, 90, 90)));
}

TEST(RectGeometry, ClipRectToFrameClampsEachEdgeOnItsAxis) {
    const Rect frame = R(0, 0, 480, 720);
    Rect r = R(-10, -10, 50, 900);
    ClipRectToFrame(r, frame);
    EXPECT_TRUE(SameRect(r, R(0, 0, 50, 720)));
    r = R(600, 800, 700, 900);
    ClipRectToFrame(r, frame);
    EXPECT_TRUE(SameRect(r, R(480, 720, 480, 720))) << "wholly outside: empty, on the nearest corner";
    r = R(100, 100, 200, 200);
    ClipRectToFrame(r, frame);
    EXPECT_TRUE(SameRect(r, R(100, 100, 200, 200)));
    r = R(300, 500, -5, -7); // reversed: clamped but not normalised
    ClipRectToFrame(r, R(10, 20, 400, 600));
    EXPECT_TRUE(SameRect(r, R(300, 500, 10, 20)));
}

TEST(RectGeometry, CenterRectUsesTruncatedHalves) {
    Rect r = R(0, 0, 5, 5);
    CenterRectInRect(r, R(0, 0, 10, 10));
    EXPECT_TRUE(SameRect(r, R(3, 3, 8, 8))) << "centre 5 in the bounds, 2 in the rectangle";
    r = R(100, 200, 150, 300);
    CenterRectInRect(r, R(-20, -40, 20, 40));
    EXPECT_TRUE(SameRect(r, R(-25, -50, 25, 50)));
    r = R(0, 0, 300, 400); // larger than the bounds: overhangs both sides evenly
    CenterRectInRect(r, R(0, 0, 100, 200));
    EXPECT_TRUE(SameRect(r, R(-100, -100, 200, 300)));
}

TEST(RectGeometry, VerifyRectNormalisesAndSgnTreatsZeroAsPositive) {
    Rect r = R(9, 8, 1, 2);
    VerifyRect(r);
    EXPECT_TRUE(SameRect(r, R(1, 2, 9, 8)));
    r = R(1, 8, 9, 2);
    VerifyRect(r);
    EXPECT_TRUE(SameRect(r, R(1, 2, 9, 8)));

    EXPECT_EQ(Sgn(0.0), 1);
    EXPECT_EQ(Sgn(-0.0), 1);
    EXPECT_EQ(Sgn(-0.0001), -1);
    EXPECT_EQ(Sgn(1e300), 1);
}

TEST(RectGeometry, MoveWindowToRightEdgeAlignsTheStructureAndKeepsTheHeight) {
    const char nibText[] = "window w\n    title W\n    bounds 100 50 300 450\nend\n";
    IBNibRef nib = nullptr;
    char error[256];
    ASSERT_EQ(QVCreateNibReferenceFromText("geometry", nibText, std::strlen(nibText), &nib, error, sizeof error),
              noErr)
        << error;
    WindowRef window = nullptr;
    ASSERT_EQ(QVCreateWindowFromNibNamed(nib, "w", &window), noErr);
    Rect before, after;
    ASSERT_EQ(GetWindowBounds(window, kWindowStructureRgn, &before), noErr);

    MoveWindowToRightEdge(window, R(0, 0, 768, 1024));
    GetWindowBounds(window, kWindowStructureRgn, &after);
    EXPECT_EQ(after.right, 1024);
    EXPECT_EQ(after.right - after.left, before.right - before.left) << "moved, not resized";
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.bottom, before.bottom);

    MoveWindowToRightEdge(window, R(0, 0, 10, 300)); // to the left as well
    GetWindowBounds(window, kWindowStructureRgn, &after);
    EXPECT_EQ(after.right, 300);
    EXPECT_EQ(after.left, 300 - (before.right - before.left));
    DisposeWindow(window);
    DisposeNibReference(nib);
}
