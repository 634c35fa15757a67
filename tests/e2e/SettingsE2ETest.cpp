// quelvane-host settings end to end: the settings window opened on a real
// clip as an editor's button opens it, played by a script. OK saves the
// settings (that saved settings drive a render is the host test's part),
// Cancel saves nothing, the window shows the frame asked
// for and the scrubber fetches the frames after it; refusals end with a
// documented status and one line.
#include "E2EProcess.h"
#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <QImage>

#include <fstream>

using qvtest::Bin;
using qvtest::Result;
using qvtest::RunOptions;
using qvtest::TempDir;

namespace {

class SettingsE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        clips_ = new TempDir();
        qvtest::MakeClip(clips_->file("marked.mp4"), {.size = "320x240", .frames = 40});
    }
    static void TearDownTestSuite()
    {
        delete clips_;
        clips_ = nullptr;
    }
    static std::string Clip() { return clips_->file("marked.mp4"); }

    std::string Script(const std::string &name, const std::string &text)
    {
        const std::string path = work.file(name);
        std::ofstream(path) << text;
        return path;
    }
    Result Host(const std::vector<std::string> &args)
    {
        RunOptions o;
        o.prefs = prefs.path();
        return qvtest::Host(args, o);
    }
    Result Prefs(const std::vector<std::string> &args)
    {
        RunOptions o;
        o.prefs = prefs.path();
        return qvtest::RunProgram(Bin("quelvane-prefs"), args, o);
    }
    std::string SavedZoom()
    {
        const Result r = Prefs({"--show"});
        EXPECT_EQ(r.status, 0) << r.err;
        const size_t at = r.out.find("zoom:");
        return at == std::string::npos ? r.out : r.out.substr(at, r.out.find('\n', at) - at);
    }

    TempDir prefs;
    TempDir work;
    static TempDir *clips_;
};
TempDir *SettingsE2E::clips_ = nullptr;

// The frame number shown in the NTSC settings window's preview (box 16,16 ..
// 496,336): band k of the marked clip fills rows 32k .. 32k + 32 of the box.
int PreviewMarks(const QImage &port)
{
    int n = 0;
    for (int band = 0; band < qvtest::kMarkBands; ++band) {
        const QRgb px = port.pixel(256, 16 + 32 * band + 16);
        const int grey = (qRed(px) + qGreen(px) + qBlue(px)) / 3;
        if (grey > 200)
            n |= 1 << band;
        else if (grey > 55)
            return -1; // neither black nor white: not a mark
    }
    return n;
}

TEST_F(SettingsE2E, ScriptedZoomIsSavedOnOK)
{
    const std::string script = Script("zoom.txt", "# twice the size both ways\n"
                                                  "set Sldr 1 1000\n"
                                                  "set Sldr 2 1000 steps 5\n"
                                                  "expect text Lgnd 2 1000%\n"
                                                  "click \"ok  \" 1\n");
    const Result r = Host({"settings", Clip(), "--frame", "3", "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SavedZoom(), "zoom:  1000,1000");
}

TEST_F(SettingsE2E, WindowOpensOnTheAskedFrameAndTheScrubberFollowsTheClip)
{
    const std::string first = work.file("first.png"), later = work.file("later.png");
    const std::string script = Script("look.txt", "expect text ClpM 1 0/19\n"
                                                  "save \"" + first + "\"\n"
                                                  "click Adva 1\n"
                                                  "click Adva 1\n"
                                                  "expect text ClpM 1 2/19\n"
                                                  "save \"" + later + "\"\n"
                                                  "click not! 1\n");
    const Result r = Host({"settings", Clip(), "--start", "10", "--frames", "20", "--frame", "5", "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    QImage image(QString::fromStdString(first));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(PreviewMarks(image), 15); // --start 10, --frame 5
    image = QImage(QString::fromStdString(later));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(PreviewMarks(image), 17);
}

TEST_F(SettingsE2E, CancelSavesNothing)
{
    Result r = Prefs({"--zoom", "100,100"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string script = Script("cancel.txt", "expect value Sldr 1 100\n"
                                                    "set Sldr 1 1500\n"
                                                    "click not! 1\n");
    r = Host({"settings", Clip(), "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SavedZoom(), "zoom:  100,100");
}

TEST_F(SettingsE2E, RefusalsEndWithADocumentedStatusAndOneLine)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *says;
    };
    const std::string bad = Script("bad.txt", "set Sldr 1 10\nwiggle Sldr 1\n");
    const std::string wrong = Script("wrong.txt", "expect value Sldr 1 77\nclick \"ok  \" 1\n");
    const std::string shortScript = Script("short.txt", "set Sldr 1 10\n");
    const std::vector<Case> cases = {
        {{"settings", Clip()}, 2, "--script"},                 // no display and no script
        {{"settings", Clip(), "--script", bad}, 2, "line 2"},  // a script that cannot be read
        {{"settings", Clip(), "--script", work.file("none.txt")}, 2, "none.txt"},
        {{"settings", Clip(), "--frame", "40", "--script", wrong}, 2, "--frame 40"},
        {{"settings", Clip(), "--script", wrong}, 1, "did not play as written"},
        {{"settings", Clip(), "--script", shortScript}, 1, "did not play as written"},
        {{"settings", work.file("missing.mp4"), "--script", wrong}, 3, "missing.mp4"},
    };
    for (const Case &c : cases) {
        const Result r = Host(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("quelvane-host: "), std::string::npos) << r.err;
    }
    // A script that ran out closed the window with Cancel: nothing was saved.
    EXPECT_EQ(SavedZoom(), "zoom:  0,0");
}

} // namespace
