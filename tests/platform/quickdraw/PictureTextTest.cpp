// QuickDraw stand-in: recorded pictures, window ports and their drawn hook,
// text with the built-in font.
#include <gtest/gtest.h>

#include <vector>

#include "QDTestUtil.h"

namespace {

const Px kRed{255, 255, 0, 0};
const Px kBlue{255, 0, 0, 255};
const Px kZero{0, 0, 0, 0};
const Px kWhite{255, 255, 255, 255};

TEST(Picture, RecordsWithoutDrawingAndReplaysScaled) {
    World src = MakeWorld(4, 4), rec = MakeWorld(8, 8), out = MakeWorld(16, 16);
    FillTags(src.get());
    PicHandle pic;
    {
        UsePort use(rec.get());
        OpenCPicParams params{Rect{0, 0, 8, 8}, 72 << 16, 72 << 16, -2, 0, 0};
        pic = OpenCPicture(&params);
        ASSERT_NE(pic, nullptr);
        EXPECT_EQ(OpenCPicture(&params), nullptr) << "one picture at a time";
        RGBColor red{65535, 0, 0}, blue{0, 0, 65535};
        RGBForeColor(&red);
        Rect all{0, 0, 8, 8};
        PaintRect(&all);
        RGBForeColor(&blue);
        Rect corner{0, 0, 2, 2};
        PaintRect(&corner);
        Rect s{0, 0, 4, 4}, d{4, 4, 8, 8};
        CopyBits(GetPortBitMapForCopyBits(src.get()), GetPortBitMapForCopyBits(rec.get()), &s, &d, srcCopy,
                 nullptr);
        ClosePicture();
    }
    EXPECT_EQ(Get(rec.get(), 0, 0), kZero) << "recording leaves the port alone";
    EXPECT_EQ(Get(rec.get(), 5, 5), kZero);
    {
        UsePort use(out.get());
        Rect dst{0, 0, 16, 16};
        DrawPicture(pic, &dst);
    }
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            Px want = kRed;
            if (x < 4 && y < 4) want = kBlue;
            if (x >= 8 && y >= 8) want = Tag((x - 8) / 2, (y - 8) / 2);
            ASSERT_EQ(Get(out.get(), x, y), want) << x << "," << y;
        }

    // Replaying into a smaller, offset rectangle of a port that clips.
    World small = MakeWorld(6, 6);
    {
        UsePort use(small.get());
        Rect dst{2, 2, 6, 6};
        DrawPicture(pic, &dst);
    }
    EXPECT_EQ(Get(small.get(), 1, 1), kZero);
    EXPECT_EQ(Get(small.get(), 2, 2), kBlue);
    EXPECT_EQ(Get(small.get(), 3, 2), kRed);
    EXPECT_EQ(Get(small.get(), 4, 4), Tag(0, 0));
    EXPECT_EQ(Get(small.get(), 5, 5), Tag(2, 2));
    KillPicture(pic);
}

TEST(Picture, CopyOfAWorldOntoItselfIsKeptAndPartialCopiesKeepWhatWasNotWritten) {
    // Recording a world copied onto itself captures its pixels.
    World w = MakeWorld(3, 2), out = MakeWorld(3, 2);
    FillTags(w.get());
    PicHandle pic;
    {
        UsePort use(w.get());
        OpenCPicParams params{Rect{0, 0, 2, 3}, 72 << 16, 72 << 16, -2, 0, 0};
        pic = OpenCPicture(&params);
        Rect r{0, 0, 2, 3};
        CopyBits(GetPortBitMapForCopyBits(w.get()), GetPortBitMapForCopyBits(w.get()), &r, &r, srcCopy, nullptr);
        // A copy whose source lies half outside its bit map.
        Rect s{0, 2, 2, 4}, d{0, 0, 2, 2};
        CopyBits(GetPortBitMapForCopyBits(w.get()), GetPortBitMapForCopyBits(w.get()), &s, &d, srcCopy, nullptr);
        ClosePicture();
    }
    FillTags(w.get());
    {
        UsePort use(out.get());
        Rect r{0, 0, 2, 3};
        DrawPicture(pic, &r);
    }
    KillPicture(pic);
    EXPECT_EQ(Get(out.get(), 0, 0), Tag(2, 0)) << "the second copy wrote column 0";
    EXPECT_EQ(Get(out.get(), 1, 1), Tag(1, 1)) << "column 1 had no source, the first copy shows";
    EXPECT_EQ(Get(out.get(), 2, 1), Tag(2, 1));
}

TEST(WindowPort, StartsWhiteAndTellsItsHookWhatChanged) {
    CGrafPtr port = nullptr;
    ASSERT_EQ(QVNewWindowPort(&port, 20, 10), noErr);
    EXPECT_TRUE(QVIsWindowPort(port));
    EXPECT_EQ(Get(port, 19, 9), kWhite);
    struct Seen {
        std::vector<Rect> areas;
        std::vector<bool> flushed;
    } seen;
    QVSetPortDrawnProc(
        port,
        [](CGrafPtr, const Rect *area, Boolean flushed, void *refCon) {
            auto *s = static_cast<Seen *>(refCon);
            s->areas.push_back(*area);
            s->flushed.push_back(flushed);
        },
        &seen);
    {
        UsePort use(port);
        Rect r{-5, 15, 5, 40};
        PaintRect(&r);
        Rect outside{50, 50, 60, 60};
        PaintRect(&outside); // nothing changes: no call
    }
    ASSERT_EQ(seen.areas.size(), 1u);
    EXPECT_EQ(seen.areas[0].top, 0);
    EXPECT_EQ(seen.areas[0].left, 15);
    EXPECT_EQ(seen.areas[0].bottom, 5);
    EXPECT_EQ(seen.areas[0].right, 20);
    EXPECT_FALSE(seen.flushed[0]);

    RgnHandle rgn = NewRgn();
    SetRectRgn(rgn, 2, 3, 8, 9);
    QDFlushPortBuffer(port, rgn);
    QDFlushPortBuffer(port, nullptr);
    DisposeRgn(rgn);
    ASSERT_EQ(seen.areas.size(), 3u);
    EXPECT_TRUE(seen.flushed[1]);
    EXPECT_EQ(seen.areas[1].left, 2);
    EXPECT_EQ(seen.areas[1].bottom, 9);
    EXPECT_EQ(seen.areas[2].right, 20);

    World src = MakeWorld(4, 4);
    Rect s{0, 0, 4, 4}, d{1, 1, 5, 5};
    CopyBits(GetPortBitMapForCopyBits(src.get()), GetPortBitMapForCopyBits(port), &s, &d, srcCopy, nullptr);
    ASSERT_EQ(seen.areas.size(), 4u);
    EXPECT_TRUE(EqualRect(&seen.areas[3], &d));
    QVSetPortDrawnProc(port, nullptr, nullptr);
    QVDisposeWindowPort(port);
    EXPECT_FALSE(IsValidPort(port));
}

TEST(Text, WidthsMetricsAndGlyphPixels) {
    World w = MakeWorld(60, 30);
    UsePort use(w.get());
    FontInfo info;
    GetFontInfo(&info);
    EXPECT_EQ(info.ascent, 7);
    const unsigned char hi[] = "\x02Hi";
    EXPECT_EQ(StringWidth(hi), 12);
    TextFace(bold);
    EXPECT_EQ(StringWidth(hi), 14);
    TextFace(normal);
    TextSize(24);
    EXPECT_EQ(StringWidth(hi), 24) << "size 24 draws at twice the pixels";
    GetFontInfo(&info);
    EXPECT_EQ(info.ascent, 14);
    TextSize(0);

    RGBColor blue{0, 0, 65535};
    RGBForeColor(&blue);
    MoveTo(10, 20);
    DrawString(hi);
    Point pen;
    GetPen(&pen);
    EXPECT_EQ(pen.h, 22);
    EXPECT_EQ(pen.v, 20);
    // "H": both upright strokes over the seven rows above the baseline, the
    // bar on the fourth.
    for (int row = 0; row < 7; ++row) {
        EXPECT_EQ(Get(w.get(), 10, 13 + row), kBlue) << row;
        EXPECT_EQ(Get(w.get(), 14, 13 + row), kBlue) << row;
        EXPECT_EQ(Get(w.get(), 12, 13 + row), row == 3 ? kBlue : kZero) << row;
    }
    // Nothing outside the text's box.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            if (x < 10 || x >= 22 || y < 13 || y >= 22) {
                ASSERT_EQ(Get(w.get(), x, y), kZero) << x << "," << y;
            }

    const char text[] = "xx|yy";
    MoveTo(40, 10);
    DrawText(text, 2, 1);
    EXPECT_EQ(Get(w.get(), 42, 3), kBlue) << "the bar of '|' in its middle column";
    EXPECT_EQ(Get(w.get(), 40, 3), kZero);
    EXPECT_EQ(CharWidth('W'), 6);
    const unsigned char odd[] = "\x01\xA5"; // outside the font: a hollow box
    MoveTo(50, 10);
    DrawString(odd);
    EXPECT_EQ(Get(w.get(), 50, 3), kBlue);
    EXPECT_EQ(Get(w.get(), 52, 5), kZero);
}

} // namespace
