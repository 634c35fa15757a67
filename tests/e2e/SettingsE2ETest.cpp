// quelvane-host settings end to end: the settings window opened on a real
// clip as an editor's button opens it, played by a script. OK saves every
// setting (that saved settings drive a render is the host test's part), or
// says it could not; Cancel saves nothing; the window opens on the frame
// asked for and the scrubber covers the selection; refusals end with a
// documented status and one line.
#include "E2EProcess.h"
#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>
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

TEST_F(SettingsE2E, ScriptedSettingsAreSavedOnOK)
{
    const std::string script = Script("zoom.txt", "# twice the size both ways\n"
                                                  "set Sldr 1 1000\n"
                                                  "set Sldr 2 1000 steps 5\n"
                                                  "expect text Lgnd 2 1000%\n"
                                                  "choose Blnd 1 Screen\n"
                                                  "click Prop 1\n"
                                                  "click \"ok  \" 1\n");
    const Result r = Host({"settings", Clip(), "--frame", "3", "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SavedZoom(), "zoom:  1000,1000");
    const std::string shown = Prefs({"--show"}).out;
    for (const char *line : {"video format:      1 (NTSC 720 x 480)", "keep proportions:  on", "blend mode:        3 (Screen)",
                             "end rectangle:     0,0,1,1", "sliders:           1000,1000,0,0,0,0"})
        EXPECT_NE(shown.find(line), std::string::npos) << line << " in\n" << shown;
}

TEST_F(SettingsE2E, ScrubberCoversTheSelectionAndOpensOnTheAskedFrame)
{
    std::vector<std::string> shots;
    std::string text = "expect text ClpM 1 5/19\n";
    for (const char *position : {"", "0", "19"}) {
        if (*position) // the step buttons do nothing at either end
            text += std::string("set ClpS 1 ") + position + (position[0] == '0' ? "\nclick Revi 1\n" : "\nclick Adva 1\n") +
                    "expect text ClpM 1 " + position + "/19\n";
        shots.push_back(work.file("at" + std::string(position) + ".png"));
        text += "save \"" + shots.back() + "\"\n";
    }
    const std::string script = Script("look.txt", text + "click not! 1\n");
    const Result r = Host({"settings", Clip(), "--start", "10", "--frames", "20", "--frame", "5", "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    const int frames[] = {15, 10, 29}; // the asked frame, the selection's first and last
    for (size_t i = 0; i < shots.size(); ++i) {
        QImage image(QString::fromStdString(shots[i]));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(PreviewMarks(image), frames[i]) << shots[i];
    }
}

TEST_F(SettingsE2E, OkSavesIntoANewFolderOrSaysItCouldNot)
{
    const std::string script = Script("ok.txt", "set Sldr 1 300\nclick \"ok  \" 1\n");
    // A new account: the preferences folder is made, for the user alone.
    RunOptions fresh;
    fresh.prefs = work.file("home/.config");
    Result r = qvtest::Host({"settings", Clip(), "--script", script}, fresh);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::filesystem::status(fresh.prefs).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_NE(qvtest::RunProgram(Bin("quelvane-prefs"), {"--show"}, fresh).out.find("zoom:  300,0"), std::string::npos);
    // Where no file can be written, OK tells the user and the command fails.
    std::filesystem::create_directory(prefs.file("qrvtn-Prefs"));
    for (int blocked = 0; blocked < 2; ++blocked) {
        r = Host({"settings", Clip(), "--script", script});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("Alert (caution): Internal Notification:\n  The settings could not be saved"),
                  std::string::npos)
            << r.err; // the alert, as the headless front end shows it
        EXPECT_NE(r.err.find("quelvane-host: the settings window (the settings were not saved)"), std::string::npos)
            << r.err;
        std::filesystem::remove(prefs.file("qrvtn-Prefs"));
        std::filesystem::create_symlink(work.file("nowhere/prefs"), prefs.file("qrvtn-Prefs"));
    }
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
    const std::string huge = Script("huge.txt", std::string(1 << 20, '#') + "\n");
    const char *failing = std::getenv("QUELVANE_FAILING_PLUGIN");
    const std::string wrong = Script("wrong.txt", "expect value Sldr 1 77\nclick \"ok  \" 1\n");
    const std::string shortScript = Script("short.txt", "set Sldr 1 10\n");
    const std::vector<Case> cases = {
        {{"settings", Clip()}, 2, "--script"},                 // no display and no script
        {{"settings", Clip(), "--script", bad}, 2, "line 2"},  // a script that cannot be read
        {{"settings", Clip(), "--script", work.file("none.txt")}, 2, "none.txt"},
        {{"settings", Clip(), "--script", "/dev/zero"}, 2, "not a regular file"},
        {{"settings", Clip(), "--script", work.path()}, 2, "not a regular file"},
        {{"settings", Clip(), "--script", huge}, 2, "larger than 1 MiB"},
        {{"--plugin", failing ? failing : "", "settings", Clip(), "--script", wrong}, 1, "kept 1 frames"},
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
