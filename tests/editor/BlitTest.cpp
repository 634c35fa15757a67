// The host's Blit: opacity arithmetic, scaling, clipping, refusals.
#include "Blit.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

struct Map {
    std::vector<uint8_t> px;
    PixMap pm{};
    Map(int w, int h, uint8_t a, uint8_t r, uint8_t g, uint8_t b, int top = 0, int left = 0) {
        const int rowBytes = w * 4 + 8;  // padded rows
        px.assign(static_cast<size_t>(rowBytes) * h, 0xEE);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t *p = &px[static_cast<size_t>(y) * rowBytes + 4 * x];
                p[0] = a, p[1] = r, p[2] = g, p[3] = b;
            }
        pm.baseAddr = reinterpret_cast<Ptr>(px.data());
        pm.rowBytes = static_cast<SInt16>(rowBytes | kPixMapRowBytesFlag);
        pm.bounds = Rect{static_cast<SInt16>(top), static_cast<SInt16>(left), static_cast<SInt16>(top + h),
                         static_cast<SInt16>(left + w)};
        pm.pixelSize = 32;
    }
    const uint8_t *at(int x, int y) const {
        return &px[static_cast<size_t>(y - pm.bounds.top) * (pm.rowBytes & 0x3FFF) + 4 * (x - pm.bounds.left)];
    }
};

TEST(Blit, OpacityBlendsEveryByte) {
    struct Case {
        SInt16 opacity;
        uint8_t expect[4];
    } cases[] = {
        {255, {255, 200, 100, 0}},   // the source covers
        {0, {255, 0, 50, 250}},      // the destination stays
        {127, {255, 100, 75, 125}},  // (200*127 + 0*128)/255 = 99.6 -> 100
        {25, {255, 20, 55, 225}},
        {300, {255, 200, 100, 0}},   // clamped to 255
        {-4, {255, 0, 50, 250}},     // clamped to 0
    };
    for (const Case &c : cases) {
        Map src(8, 6, 255, 200, 100, 0), dst(8, 6, 255, 0, 50, 250);
        Rect all{0, 0, 6, 8};
        ASSERT_EQ(qvhost::BlitPixMaps(&src.pm, &dst.pm, &all, &all, c.opacity), kPluginOK);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(dst.at(5, 3)[i], c.expect[i]) << "opacity " << c.opacity << " byte " << i;
        EXPECT_EQ(dst.px[8 * 4], 0xEE) << "row padding untouched";
    }
}

TEST(Blit, ScalesAndClipsToTheRectangles) {
    // A 2x2 source of four colours drawn over the 8x8 destination's
    // rectangle (2,2)-(6,6): each source pixel becomes a 2x2 block.
    Map src(2, 2, 255, 0, 0, 0), dst(8, 8, 255, 9, 9, 9);
    for (int i = 0; i < 4; ++i) const_cast<uint8_t *>(src.at(i % 2, i / 2))[1] = static_cast<uint8_t>(10 * (i + 1));
    Rect s{0, 0, 2, 2}, d{2, 2, 6, 6};
    ASSERT_EQ(qvhost::BlitPixMaps(&src.pm, &dst.pm, &s, &d, 255), kPluginOK);
    for (auto [x, y, red] : {std::array{2, 2, 10}, {3, 3, 10}, {4, 2, 20}, {2, 5, 30}, {5, 5, 40}, {1, 1, 9}, {6, 6, 9}})
        EXPECT_EQ(dst.at(x, y)[1], red) << x << "," << y;

    // A destination rectangle hanging over the map's edge, and a map whose
    // bounds do not start at the origin.
    Map big(4, 4, 255, 77, 77, 77), off(4, 4, 255, 1, 1, 1, 10, 20);
    Rect bs{0, 0, 4, 4}, over{12, 22, 16, 26};
    ASSERT_EQ(qvhost::BlitPixMaps(&big.pm, &off.pm, &bs, &over, 255), kPluginOK);
    for (auto [x, y, red] : {std::array{22, 12, 77}, {23, 13, 77}, {21, 11, 1}, {20, 13, 1}})
        EXPECT_EQ(off.at(x, y)[1], red) << x << "," << y;
}

TEST(Blit, RefusesWhatIsNotAThirtyTwoBitMap) {
    Map a(4, 4, 255, 1, 2, 3), b(4, 4, 255, 4, 5, 6);
    Rect r{0, 0, 4, 4};
    EXPECT_EQ(qvhost::BlitPixMaps(nullptr, &b.pm, &r, &r, 255), kPluginBadParams);
    EXPECT_EQ(qvhost::BlitPixMaps(&a.pm, &b.pm, nullptr, &r, 255), kPluginBadParams);
    a.pm.pixelSize = 16;
    EXPECT_EQ(qvhost::BlitPixMaps(&a.pm, &b.pm, &r, &r, 255), kPluginBadParams);
    a.pm.pixelSize = 32;
    a.pm.rowBytes = static_cast<SInt16>(8 | kPixMapRowBytesFlag);  // too short for its width
    EXPECT_EQ(qvhost::BlitPixMaps(&a.pm, &b.pm, &r, &r, 255), kPluginBadParams);
    EXPECT_EQ(b.at(0, 0)[1], 4);
}

}  // namespace
