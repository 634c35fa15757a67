// Contexts begun on a QuickDraw port, as the plug-in draws into its worlds
// and the settings window: they draw into the port with the saved and
// restored graphics state, and report what they drew once, when they end.
// (Snapshots and drawing are checked through the plug-in's Quartz bridge and
// against the reference resampler.)
#include <gtest/gtest.h>

#include <utility>

#include "QuartzTestUtil.h"
#include "quickdraw/QuickDraw.h"

namespace {

TEST(QuickDrawBridge, ContextOverAPortDrawsIntoItAndReportsOnceWhenItEnds) {
    CGrafPtr port = nullptr;
    ASSERT_EQ(QVNewWindowPort(&port, 10, 8), noErr);
    std::pair<int, Rect> seen{0, Rect{}};
    QVSetPortDrawnProc(
        port,
        [](CGrafPtr, const Rect *a, Boolean, void *ref) {
            auto *p = static_cast<std::pair<int, Rect> *>(ref);
            ++p->first;
            p->second = *a;
        },
        &seen);
    CGContextRef c = nullptr;
    ASSERT_EQ(QDBeginCGContext(port, &c), noErr);
    CGContextSetRGBFillColor(c, 0, 0, 0, 1);
    CGContextSaveGState(c);
    CGContextTranslateCTM(c, 50, 50);
    CGContextSetAlpha(c, 0);
    CGContextRestoreGState(c);                    // untranslated and opaque again
    CGContextFillRect(c, CGRect{{1, 1}, {2, 3}}); // rows 8-4 = 4 .. 7, columns 1, 2
    EXPECT_EQ(seen.first, 0) << "reported when the context ends";
    EXPECT_EQ(QDEndCGContext(port, &c), noErr);
    EXPECT_EQ(c, nullptr) << "the end call clears the variable, so a release after it is harmless";
    CGContextRelease(c);
    EXPECT_EQ(seen.first, 1);
    EXPECT_TRUE(seen.second.top == 4 && seen.second.left == 1 && seen.second.bottom == 7 && seen.second.right == 3);
    PixMapHandle pm = GetPortPixMap(port);
    const auto *base = reinterpret_cast<const uint8_t *>(GetPixBaseAddr(pm));
    const long rb = GetPixRowBytes(pm);
    EXPECT_EQ(base[5 * rb + 4 + 1], 0) << "black at column 1, row 5";
    EXPECT_EQ(base[5 * rb + 3 * 4 + 1], 255) << "white beside it";
    CGContextRef other = nullptr;
    EXPECT_EQ(QDEndCGContext(port, &other), paramErr);
    QVSetPortDrawnProc(port, nullptr, nullptr);
    QVDisposeWindowPort(port);
}

} // namespace
