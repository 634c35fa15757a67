// quelvane-host settings end to end: the settings window opened on a real
// clip as an editor's button opens it, played by a script. OK saves what the
// next render uses, Cancel saves nothing, the window shows the frame asked
// for and the scrubber fetches the frames after it; refusals end with a
// documented status and one line.
#include "ClipSource.h"
#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <QImage>

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using qvtest::TempDir;

namespace {

std::string Bin(const std::string &name)
{
    const char *dir = std::getenv("QUELVANE_BINARY_DIR");
    return std::string(dir ? dir : ".") + "/bin/" + name;
}

struct Result {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs a program without a display, with its own preferences folder.
Result RunProgram(const std::string &program, const std::vector<std::string> &args, const std::string &prefs)
{
    char outPath[] = "/tmp/quelvane-settings-out-XXXXXX";
    char errPath[] = "/tmp/quelvane-settings-err-XXXXXX";
    const int outFd = mkstemp(outPath), errFd = mkstemp(errPath);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, 1);
        dup2(errFd, 2);
        setenv("XDG_CONFIG_HOME", prefs.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        std::vector<char *> argv{const_cast<char *>(program.c_str())};
        for (const auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    Result r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    r.out = Slurp(outPath);
    r.err = Slurp(errPath);
    close(outFd);
    close(errFd);
    unlink(outPath);
    unlink(errPath);
    return r;
}

class SettingsE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        clips_ = new TempDir();
        qvtest::MarkedClip c;
        c.frames = 40;
        qvtest::WriteMarkedClip(clips_->file("marked.mp4"), c);
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
        std::vector<std::string> all{"-q"};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(Bin("quelvane-host"), all, prefs.path());
    }
    std::string SavedZoom()
    {
        const Result r = RunProgram(Bin("quelvane-prefs"), {"--show"}, prefs.path());
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

TEST_F(SettingsE2E, ScriptedZoomIsSavedAndTheNextRenderUsesIt)
{
    const std::string script = Script("zoom.txt", "# twice the size both ways\n"
                                                  "set Sldr 1 1000\n"
                                                  "set Sldr 2 1000 steps 5\n"
                                                  "expect text Lgnd 2 1000%\n"
                                                  "click \"ok  \" 1\n");
    Result r = Host({"settings", Clip(), "--frame", "3", "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SavedZoom(), "zoom:  1000,1000");

    r = Host({"render", "--frames", "12", Clip(), work.file("zoomed.mp4")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto out = qvhost::OpenFileSource(work.file("zoomed.mp4"));
    std::vector<uint8_t> px(320 * 240 * 4);
    for (int n : {0, 11}) {
        out->readVideo(n, 320, 240, true, px.data(), 320 * 4);
        // Enlarged twice about the centre: output row y shows source row 60 + y / 2.
        for (int band = 3; band <= 6; ++band) {
            const int y = 48 * band - 96;
            const uint8_t *p = &px[(static_cast<size_t>(y) * 320 + 160) * 4];
            const bool white = (n >> band) & 1;
            EXPECT_EQ((p[1] + p[2] + p[3]) / 3 > 128, white) << "frame " << n << ", band " << band;
        }
    }
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
    Result r = RunProgram(Bin("quelvane-prefs"), {"--zoom", "100,100"}, prefs.path());
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
