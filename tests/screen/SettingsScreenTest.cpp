// The settings window as a person meets it: quelvane-host settings on a
// private X server with the openbox window manager, moved with real mouse
// and keyboard events (XTest), judged by what the screen shows (captures of
// the root window) and by what the program saved and how it ended.
#include "XScreen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

using namespace xscreen;

namespace {

std::string Bin(const std::string &name)
{
    const char *dir = std::getenv("QUELVANE_BINARY_DIR");
    return std::string(dir ? dir : ".") + "/bin/" + name;
}

// Where the controls are, in window coordinates (bundle/quelvane.nib).
struct Layout {
    const char *title;
    Box preview, zoom;
};
const Layout kNTSC{"Quelvane Settings (NTSC)", {16, 16, 480, 320}, {516, 36, 204, 22}};
const Layout kHD{"Quelvane Settings (HD)", {16, 16, 512, 288}, {548, 36, 204, 22}};
// More of the NTSC window.
const Box kLegend{726, 38, 58, 18}, kStep{406, 346, 28, 22}, kBlend{614, 150, 170, 24}, kKeep{516, 184, 20, 20},
    kPicture{516, 234, 160, 90}, kAbout{16, 384, 80, 24}, kManual{104, 384, 80, 24}, kReset{192, 384, 80, 24};

// The thumb of a zoom slider (range -500..2000) at value 0.
int ThumbX(const Box &slider)
{
    return slider.left + 8 + (slider.width - 15) / 5;
}

bool NotPlain(const Capture &c)
{
    return std::any_of(c.pixels.begin(), c.pixels.end(), [&](uint32_t p) { return p != c.pixels[0]; });
}

class SettingsOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string why;
        screen_ = XScreen::Start(1280, 1024, &why).release();
        ASSERT_NE(screen_, nullptr) << why;
    }
    static void TearDownTestSuite()
    {
        delete screen_;
        screen_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(screen_, nullptr);
        work = std::filesystem::temp_directory_path() / ("qvscreen-" + std::to_string(getpid()));
        std::filesystem::remove_all(work);
        std::filesystem::create_directories(work / "prefs");
    }
    void TearDown() override
    {
        if (program.pid > 0)
            program.wait(0);
        std::filesystem::remove_all(work);
    }

    std::vector<std::string> Env() const
    {
        const char *bundle = std::getenv("QUELVANE_BUNDLE"), *asan = std::getenv("ASAN_OPTIONS");
        return {"XDG_CONFIG_HOME=" + (work / "prefs").string(), std::string("QUELVANE_BUNDLE=") + (bundle ? bundle : ""),
                "PATH=/nonexistent", // no document viewer: the manual cannot open
                // Under AddressSanitizer: Qt's X keyboard library (libxkbcommon-x11) hands strndup names that
                // end at the given length, not at a zero, which strict string checks report as its overflow.
                // Whole allocation stacks: Qt's D-Bus thread now and then leaves objects behind at exit,
                // which only a whole stack shows to be its own (tests/lsan.supp).
                std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":strict_string_checks=0:fast_unwind_on_malloc=0"};
    }
    std::string Prefs(const std::string &args)
    {
        const std::string command = "XDG_CONFIG_HOME=" + (work / "prefs").string() + " " + Bin("quelvane-prefs") +
                                    " " + args + " 2>&1";
        std::string out;
        if (FILE *p = popen(command.c_str(), "r")) {
            char buffer[512];
            while (fgets(buffer, sizeof buffer, p))
                out += buffer;
            pclose(p);
        }
        return out;
    }

    // Opens the settings window on the demo clip; the window once its
    // preview is painted.
    XWindow Open(const Layout &layout)
    {
        program = screen_->run({Bin("quelvane-host"), "-q", "settings", "--frame", "10"}, Env());
        const XWindow w = screen_->waitForWindow(layout.title, 20);
        if (w) {
            content = screen_->contentOf(w);
            Capture shown = screen_->waitFor(Preview(layout), NotPlain, 5);
            EXPECT_TRUE(NotPlain(shown)) << "the preview was never painted";
        }
        return w;
    }
    Box Preview(const Layout &l) const { return l.preview.inset(1).at(content.left, content.top); }
    Box On(const Box &b) const { return b.at(content.left, content.top); }
    void Click(const Box &b) { screen_->click(content.left + b.centreX(), content.top + b.centreY()); }

    // Drags the zoom thumb right in steps; whether the preview on screen
    // changed after each.
    std::vector<bool> DragZoom(const Layout &l, int steps)
    {
        const int x = content.left + ThumbX(l.zoom), y = content.top + l.zoom.centreY();
        std::vector<bool> changed;
        Capture before = screen_->grab(Preview(l));
        screen_->move(x, y);
        screen_->press();
        for (int i = 1; i <= steps; ++i) {
            screen_->move(x + 12 * i, y);
            const Capture after = screen_->waitForChange(before, 5);
            changed.push_back(after != before);
            before = after;
        }
        screen_->release();
        return changed;
    }

    static XScreen *screen_;
    std::filesystem::path work;
    Program program;
    Box content;
};
XScreen *SettingsOnScreen::screen_ = nullptr;

// Whether a dialog is centred over a box (within a title bar's height).
void ExpectCentredOn(const Box &dialog, const Box &over)
{
    EXPECT_LE(std::abs(dialog.centreX() - over.centreX()), 24) << dialog.left << "," << dialog.top;
    EXPECT_LE(std::abs(dialog.centreY() - over.centreY()), 24) << dialog.left << "," << dialog.top;
}

TEST_F(SettingsOnScreen, PreviewAndPictureFollowEveryChangeAndReturnKeeps)
{
    const std::string picture = (work / "p.ppm").string();
    {
        std::ofstream out(picture, std::ios::binary);
        out << "P6\n40 30\n255\n";
        for (int i = 0; i < 40 * 30; ++i)
            out.write("\x20\xc0\x40", 3);
    }
    const Layout &l = kNTSC;
    const XWindow w = Open(l);
    ASSERT_NE(w, 0u) << program.err();
    const Capture opened = screen_->grab(Preview(l)), legend = screen_->grab(On(kLegend)),
                  slider = screen_->grab(On(l.zoom)), box = screen_->grab(On(kPicture).inset(2));

    EXPECT_EQ(DragZoom(l, 4), std::vector<bool>(4, true)) << "the preview follows every step of the drag";
    EXPECT_NE(screen_->grab(On(kLegend)), legend);

    Click(kReset);
    EXPECT_EQ(screen_->waitFor(Preview(l), [&](const Capture &c) { return c == opened; }, 5), opened);
    EXPECT_EQ(screen_->waitFor(On(kLegend), [&](const Capture &c) { return c == legend; }, 5), legend);
    EXPECT_EQ(screen_->grab(On(l.zoom)), slider) << "Reset puts the thumb back";

    Click(kStep);
    const Capture next = screen_->waitForChange(opened, 5);
    EXPECT_NE(next, opened) << "the next frame shows";

    Click(kPicture);
    const XWindow chooser = screen_->waitForWindow("Please choose an image", 10);
    ASSERT_NE(chooser, 0u);
    EXPECT_EQ(screen_->transientFor(chooser), w);
    ExpectCentredOn(screen_->frameOf(chooser), screen_->frameOf(w));
    screen_->type(picture);
    // The file name's completion list may open over the chooser and take a
    // Return of its own: Return once the screen is still, while the chooser stays.
    for (int i = 0; i < 4 && screen_->find("Please choose an image"); ++i) {
        screen_->waitForStill(Box{0, 0, 1280, 1024}, 0.3, 5);
        if (!screen_->find("Please choose an image"))
            break;
        screen_->key("Return");
        screen_->waitForNoWindow("Please choose an image", 1);
    }
    EXPECT_TRUE(screen_->waitForNoWindow("Please choose an image", 5));
    auto centre = [](const Capture &c) { return c.at(c.box.width / 2, c.box.height / 2); };
    EXPECT_EQ(centre(screen_->waitFor(box.box, [&](const Capture &c) { return centre(c) == 0x20C040u; }, 5)),
              0x20C040u)
        << "the picture shows in its box";
    Click(kKeep); // the crop takes the picture's proportions
    EXPECT_NE(screen_->waitForChange(next, 5), next);

    EXPECT_EQ(DragZoom(l, 1), std::vector<bool>{true});
    // The blend mode's list opens below the popup button: the next item.
    const Capture below = screen_->grab(On(kBlend).at(0, 30));
    Click(kBlend);
    EXPECT_NE(screen_->waitForChange(below, 5), below);
    screen_->key("Down");
    screen_->key("Return");
    EXPECT_EQ(screen_->waitFor(below.box, [&](const Capture &c) { return c == below; }, 5), below);
    EXPECT_TRUE(screen_->waitForFocus(w, 5));
    screen_->key("Return");
    EXPECT_EQ(program.wait(10), 0) << program.err();
    const std::string saved = Prefs("--show");
    EXPECT_EQ(saved.find("zoom:  0,0"), std::string::npos) << "Return pressed OK, which saved";
    EXPECT_NE(saved.find("blend mode:        2 (Multiply)"), std::string::npos) << saved;
    EXPECT_NE(saved.find("keep proportions:  on"), std::string::npos) << saved;
}

TEST_F(SettingsOnScreen, WindowsAreDialogsOverTheirParentAndEveryWayOutWorks)
{
    const Layout &l = kNTSC;
    const XWindow w = Open(l);
    ASSERT_NE(w, 0u) << program.err();
    ExpectCentredOn(screen_->frameOf(w), Box{0, 0, 1280, 1024});
    for (XWindow dialog : {w, XWindow(0)}) {
        if (!dialog) {
            Click(kAbout);
            dialog = screen_->waitForWindow("About Quelvane", 10);
            ASSERT_NE(dialog, 0u);
            EXPECT_EQ(screen_->transientFor(dialog), w);
            ExpectCentredOn(screen_->frameOf(dialog), screen_->frameOf(w));
        }
        const auto allowed = screen_->atoms(dialog, "_NET_WM_ALLOWED_ACTIONS");
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), "_NET_WM_ACTION_CLOSE"), allowed.end());
        // (openbox offers to minimise every dialog, whatever the window asks)
        for (const char *offered : {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_RESIZE"})
            EXPECT_EQ(std::find(allowed.begin(), allowed.end(), offered), allowed.end()) << offered;
    }
    // The about window's close button leaves the settings window working.
    screen_->clickCloseButton(screen_->waitForWindow("About Quelvane", 5));
    EXPECT_TRUE(screen_->waitForNoWindow("About Quelvane", 5));
    EXPECT_EQ(DragZoom(l, 1), std::vector<bool>{true}) << "the window still takes the mouse";
    Click(kAbout);
    const XWindow about = screen_->waitForWindow("About Quelvane", 10);
    ASSERT_NE(about, 0u);
    EXPECT_TRUE(screen_->waitForFocus(about, 5));
    screen_->key("Escape");
    EXPECT_TRUE(screen_->waitForNoWindow("About Quelvane", 5));

    // Without a document viewer the manual's alert opens over the window.
    Click(kManual);
    const XWindow alert = screen_->waitForWindow("Quelvane", 10);
    ASSERT_NE(alert, 0u);
    EXPECT_EQ(screen_->transientFor(alert), w);
    ExpectCentredOn(screen_->frameOf(alert), screen_->frameOf(w));
    EXPECT_TRUE(screen_->waitForFocus(alert, 5));
    screen_->key("Return");
    EXPECT_TRUE(screen_->waitForNoWindow("Quelvane", 5));

    EXPECT_TRUE(screen_->waitForFocus(w, 5));
    screen_->key("Escape");
    EXPECT_EQ(program.wait(10), 0) << program.err();
    EXPECT_NE(Prefs("--show").find("zoom:  0,0"), std::string::npos) << "Escape cancelled the drag";
}

TEST_F(SettingsOnScreen, CloseButtonAndSignalsCancel)
{
    ASSERT_EQ(Prefs("--format 3"), "");
    struct Case {
        int signal; // 0: the window manager's close button
        int status;
    };
    for (const Case c : {Case{0, 0}, Case{SIGINT, 130}, Case{SIGTERM, 143}, Case{SIGHUP, 129}}) {
        SCOPED_TRACE(c.signal);
        const XWindow w = Open(kHD);
        ASSERT_NE(w, 0u) << program.err();
        EXPECT_EQ(DragZoom(kHD, 1), std::vector<bool>{true});
        if (c.signal)
            kill(program.pid, c.signal);
        else
            screen_->clickCloseButton(w);
        EXPECT_EQ(program.wait(10), c.status) << program.err();
        const std::string saved = Prefs("--show");
        EXPECT_NE(saved.find("zoom:  0,0"), std::string::npos) << saved;
        EXPECT_NE(saved.find("video format:      3"), std::string::npos) << saved;
    }
}

} // namespace
