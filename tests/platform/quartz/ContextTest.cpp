// Bitmap contexts: layouts, the bottom-left origin, the graphics state,
// fills, clears, alpha, snapshots that do not change, and
// contexts over QuickDraw ports.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <utility>

#include "QuartzTestUtil.h"
#include "quickdraw/QuickDraw.h"

namespace {

std::array<uint8_t, 4> Pixel(const Canvas &c, int x, int y) {
    const uint8_t *p = c.At(x, y);
    return {p[0], p[1], p[2], p[3]};
}

using P = std::array<uint8_t, 4>;

TEST(BitmapContext, AcceptsOnlyThePremultipliedAlphaFirstLayout) {
    std::vector<uint8_t> mem(16 * 16 * 4);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    const CGBitmapInfo refused[] = {kCGImageAlphaNone, kCGImageAlphaPremultipliedLast, kCGImageAlphaFirst,
                                    kCGImageAlphaNoneSkipFirst,
                                    kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little};
    for (CGBitmapInfo info : refused)
        EXPECT_EQ(CGBitmapContextCreate(mem.data(), 16, 16, 8, 64, space, info), nullptr) << info;
    EXPECT_EQ(CGBitmapContextCreate(mem.data(), 16, 16, 16, 128, space, 2), nullptr) << "16 bits a component";
    EXPECT_EQ(CGBitmapContextCreate(mem.data(), 16, 16, 8, 60, space, 2), nullptr) << "rows too short";
    EXPECT_EQ(CGBitmapContextCreate(mem.data(), 0, 16, 8, 64, space, 2), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(mem.data(), 16, 16, 8, 64, nullptr, 2), nullptr) << "no colour space";
    CGContextRef big = CGBitmapContextCreate(mem.data(), 16, 16, 8, 64, space,
                                             kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Big);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(CGBitmapContextGetWidth(big), 16u);
    EXPECT_EQ(CGBitmapContextGetBytesPerRow(big), 64u);
    EXPECT_EQ(CGBitmapContextGetData(big), mem.data());
    CGContextRelease(big);
    CGContextRef own = CGBitmapContextCreate(nullptr, 5, 3, 8, 0, space, 2);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(CGBitmapContextGetBytesPerRow(own), 20u);
    const auto *p = static_cast<const uint8_t *>(CGBitmapContextGetData(own));
    EXPECT_EQ(p[0] | p[59], 0) << "own pixels start cleared";
    CGContextRelease(own);
    CGColorSpaceRelease(space);
}

TEST(BitmapContext, OriginIsBottomLeftAndStateIsSavedAndRestored) {
    Canvas c(8, 6);
    CGContextSetRGBFillColor(c.context, 1, 0, 0, 1);
    CGContextFillRect(c.context, CGRect{{0, 0}, {1, 1}});
    EXPECT_EQ(Pixel(c, 0, 5), (P{255, 255, 0, 0})) << "the last memory row is the bottom";
    EXPECT_EQ(Pixel(c, 0, 0), (P{0, 0, 0, 0}));

    CGContextSaveGState(c.context);
    CGContextTranslateCTM(c.context, 2, 3);
    CGContextScaleCTM(c.context, 2, 1);
    CGContextSetRGBFillColor(c.context, 0, 0, 1, 1);
    CGContextSetAlpha(c.context, 0.5f);
    const CGAffineTransform t = CGContextGetCTM(c.context);
    EXPECT_EQ(t.a, 2);
    EXPECT_EQ(t.tx, 2);
    EXPECT_EQ(t.ty, 3);
    CGContextFillRect(c.context, CGRect{{0, 0}, {1, 1}}); // device x 2..4, y 3..4: row 2
    CGContextRestoreGState(c.context);
    EXPECT_EQ(Pixel(c, 2, 2), (P{128, 0, 0, 128}));
    EXPECT_EQ(Pixel(c, 3, 2), (P{128, 0, 0, 128}));
    EXPECT_EQ(Pixel(c, 4, 2), (P{0, 0, 0, 0}));
    CGContextFillRect(c.context, CGRect{{7, 5}, {1, 1}});
    EXPECT_EQ(Pixel(c, 7, 0), (P{255, 255, 0, 0})) << "the red, opaque, untransformed state is back";
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(c.context)));
    CGContextRestoreGState(c.context); // an unbalanced restore is harmless
}

TEST(BitmapContext, FillColourWithAlphaIsPremultiplied) {
    // Colour (65535, 32768, 0) at alpha 128, reduced to 8 bits and divided by
    // 255 as the bridge does.
    Canvas c(2, 2);
    CGContextSetRGBFillColor(c.context, 1.0f, 128 / 255.0f, 0, 128 / 255.0f);
    CGContextFillRect(c.context, CGRect{{0, 0}, {2, 2}});
    EXPECT_EQ(Pixel(c, 1, 1), (P{128, 128, 64, 0}));
}

TEST(BitmapContext, ClearRectIgnoresAlphaAndScalesPartialPixels) {
    Canvas c(6, 2);
    c.Fill(255, 200, 100, 40);
    CGContextSetAlpha(c.context, 0.1f);
    CGContextClearRect(c.context, CGRect{{1, 0}, {3.5f, 2}});
    EXPECT_EQ(Pixel(c, 0, 0), (P{255, 200, 100, 40}));
    EXPECT_EQ(Pixel(c, 1, 0), (P{0, 0, 0, 0}));
    EXPECT_EQ(Pixel(c, 3, 1), (P{0, 0, 0, 0}));
    EXPECT_EQ(Pixel(c, 4, 0), (P{128, 100, 50, 20})) << "half covered: half remains";
    EXPECT_EQ(Pixel(c, 5, 0), (P{255, 200, 100, 40}));
}

TEST(Snapshot, ImagesNeverSeeLaterDrawing) {
    // Context over its own memory, over caller memory, and over a port.
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef own = CGBitmapContextCreate(nullptr, 4, 4, 8, 0, space, 2);
    Canvas caller(4, 4);
    GWorldPtr gw = nullptr;
    const Rect r{0, 0, 4, 4};
    ASSERT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
    PixMapHandle pm = GetGWorldPixMap(gw);
    CGContextRef onPort = CGBitmapContextCreate(GetPixBaseAddr(pm), 4, 4, 8, GetPixRowBytes(pm), space, 2);
    CGColorSpaceRelease(space);
    for (CGContextRef c : {own, caller.context, onPort}) {
        CGContextSetRGBFillColor(c, 0, 1, 0, 1);
        CGContextFillRect(c, CGRect{{0, 0}, {4, 4}});
        CGImageRef snap = CGBitmapContextCreateImage(c);
        CGImageRef copy = CGImageCreateCopy(snap);
        ASSERT_NE(snap, nullptr);
        CGContextSetRGBFillColor(c, 1, 0, 0, 1);
        CGContextFillRect(c, CGRect{{0, 0}, {4, 4}});
        // Drawing the snapshot into its own context reads the old pixels.
        CGContextDrawImage(c, CGRect{{0, 0}, {2, 2}}, snap);
        for (CGImageRef i : {snap, copy}) {
            const uint8_t *p = QVCGImageGetPixels(i);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const uint8_t *q = p + y * CGImageGetBytesPerRow(i) + x * 4;
                    ASSERT_EQ(q[2], 255) << "still green at " << x << "," << y;
                    ASSERT_EQ(q[1], 0);
                }
        }
        const auto *data = static_cast<const uint8_t *>(CGBitmapContextGetData(c));
        const size_t rb = CGBitmapContextGetBytesPerRow(c);
        EXPECT_EQ(data[3 * rb + 2], 255) << "the snapshot drawn back is green (bottom-left)";
        EXPECT_EQ(data[0 * rb + 1], 255) << "red elsewhere";
        CGImageRelease(copy);
        CGImageRelease(snap);
    }
    CGContextRelease(own);

    // A snapshot of the port outlives QuickDraw drawing and the port itself.
    CGImageRef snap = CGBitmapContextCreateImage(onPort);
    CGContextRelease(onPort);
    {
        CGrafPtr savedPort;
        GDHandle savedDevice;
        GetGWorld(&savedPort, &savedDevice);
        SetGWorld(gw, nullptr);
        RGBColor blue{0, 0, 65535};
        RGBForeColor(&blue);
        PaintRect(&r);
        SetGWorld(savedPort, savedDevice);
    }
    EXPECT_EQ(QVCGImageGetPixels(snap)[1], 255) << "red as it was";
    CGImageRef later = nullptr;
    {
        CGContextRef again = nullptr;
        QDBeginCGContext(gw, &again);
        later = CGBitmapContextCreateImage(again);
        QDEndCGContext(gw, &again);
    }
    DisposeGWorld(gw);
    EXPECT_EQ(CGImageGetWidth(later), 4u);
    EXPECT_EQ(QVCGImageGetPixels(later)[3], 255) << "blue survives the disposed port";
    Canvas check(4, 4);
    CGContextDrawImage(check.context, CGRect{{0, 0}, {4, 4}}, later);
    EXPECT_EQ(Pixel(check, 2, 2), (P{255, 0, 0, 255}));
    CGImageRelease(later);
    CGImageRelease(snap);
}

TEST(QuickDrawBridge, ContextOverAPortDrawsIntoItAndEndsOnce) {
    CGrafPtr port = nullptr;
    ASSERT_EQ(QVNewWindowPort(&port, 10, 8), noErr);
    int reports = 0;
    Rect area{};
    std::pair<int *, Rect *> seen(&reports, &area);
    QVSetPortDrawnProc(
        port,
        [](CGrafPtr, const Rect *a, Boolean, void *ref) {
            auto *p = static_cast<std::pair<int *, Rect *> *>(ref);
            ++*p->first;
            *p->second = *a;
        },
        &seen);
    CGContextRef c = nullptr;
    ASSERT_EQ(QDBeginCGContext(port, &c), noErr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(CGBitmapContextGetHeight(c), 8u);
    CGContextSetRGBFillColor(c, 0, 0, 0, 1);
    CGContextFillRect(c, CGRect{{1, 1}, {2, 3}}); // rows 8-4 = 4 .. 7, columns 1, 2
    EXPECT_EQ(reports, 0) << "reported when the context ends";
    EXPECT_EQ(QDEndCGContext(port, &c), noErr);
    EXPECT_EQ(c, nullptr) << "the end call clears the variable, so a release after it is harmless";
    CGContextRelease(c);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(area.top, 4);
    EXPECT_EQ(area.left, 1);
    EXPECT_EQ(area.bottom, 7);
    EXPECT_EQ(area.right, 3);
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
