// Whole settings-window sessions, headless: the custom-button request opens
// the real bundle's windows on a fake clip and a script plays the user.
// Probes ("command Prob") look at the window, the record and the preview
// while the window is open. What the screen and end-to-end tests cannot see
// is checked here: the record after Cancel, pictures released or kept, the
// frame shown when the host lends none. The about window, slider drags and
// the preview on screen: the screen tests.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "SessionSupport.h"
#include "TestHost.h"
#include "dialog/carbonmacros.h"
#include "dialog/configdlghandler.h"
#include "dialog/pictCTRL.h"
#include "engine/DataHandling.h"
#include "host/EffectRun.h"
#include "host/PluginEntry.h"
#include "store/prefsloader.h"
#include "toolbox/LaunchServices.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <string>

using namespace dlgtest;

namespace {

class Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_FALSE(CopyBundleForTests().empty()) << "QUELVANE_BUNDLE must name the built bundle";
        prefs_ = std::make_unique<qvtest::PrivatePreferences>();
        // The plug-in's start-up makes sure the preferences file exists.
        ASSERT_TRUE(MakeSurePrefsFileExists());
        pictures_ = prefs_->Path() + "/pictures";
        std::filesystem::create_directories(pictures_);
    }
    void TearDown() override
    {
        prefs_.reset();
        RemoveBundleCopy();
    }
    static std::string Picture(const char *name) { return pictures_ + "/" + name; }

private:
    std::unique_ptr<qvtest::PrivatePreferences> prefs_;
    static std::string pictures_;
};
std::string Environment::pictures_;
const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

Rect GetPortRect(GWorldPtr world)
{
    Rect r;
    GetPortBounds(world, &r);
    return r;
}

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QVToolboxSelectFrontEnd(kQVFrontEndHeadless), noErr);
        params = qvtest::MakeParams(host, kPlugCustomButtonClick);
        pNewConfig(config);
        ResetConfig(config, true);
        shared = gPascalData;
        gPascalData = config;
        gMostRecentStartFrame = 0;
        gMostRecentFrameCount = 10;
    }
    void TearDown() override
    {
        QVToolboxClearScript();
        gPascalData = shared;
        if (config->TheOriginalImage)
            CGImageRelease(config->TheOriginalImage);
        if (config->TheRendered)
            CGImageRelease(config->TheRendered);
        pDestroyConfig(config);
    }

    // Plays the script through the custom-button request and checks that it
    // ran as written: every action played, every probe run, every frame the
    // host lent given back.
    void Run(const std::string &script)
    {
        char error[256] = {0};
        ASSERT_EQ(QVToolboxLoadScript(script.data(), script.size(), error, sizeof error), noErr) << error;
        EXPECT_EQ(CustomButton(0, params.get()), kPluginOK);
        EXPECT_EQ(QVToolboxScriptProblems(), 0u) << script;
        EXPECT_EQ(QVToolboxScriptActionsLeft(), 0u);
        EXPECT_EQ(probes.Left(), 0u);
        EXPECT_EQ(host.FramesOutstanding(), 0);
        EXPECT_EQ(host.ForeignReleases(), 0);
        EXPECT_EQ(FrontWindow(), nullptr);
    }

    PluginDataRec Snapshot() const
    {
        PluginDataRec copy;
        std::memcpy(&copy, config, sizeof copy);
        return copy;
    }
    bool SameAs(const PluginDataRec &before) const { return std::memcmp(config, &before, sizeof before) == 0; }

    static WindowRef Front() { return FrontWindow(); }
    static std::string Text(const char *sig, SInt32 id) { return ControlText(Find(Front(), sig, id)); }
    static SInt32 Value(const char *sig, SInt32 id) { return GetControl32BitValue(Find(Front(), sig, id)); }
    // The preview buffer's pixel at the centre.
    static UInt32 PreviewCentre()
    {
        const Rect r = GetPortRect(gConfigWorkspace.TheFXClip);
        return PixelAt(gConfigWorkspace.TheFXClip, r.right / 2, r.bottom / 2);
    }

    qvtest::TestHost host;
    std::unique_ptr<PluginParams> params;
    PluginDataRec *config = nullptr;
    PluginDataRec *shared = nullptr;
    Probes probes;
    AlertLog alerts;
};

// ---- OK and Cancel ----------------------------------------------------------

TEST_F(Session, CancelAfterManyChangesLeavesTheRecordByteIdentical)
{
    config->Sliders[0] = 35;
    config->StartRel = SetRelRect(0.1, 0.2, 0.7, 0.9);
    const PluginDataRec before = Snapshot();
    const std::string prefsBefore = PrefsFileBytes();
    SaveCounter saves;
    probes.Add([&] {
        EXPECT_FALSE(SameAs(before)); // the changes did reach the record
        EXPECT_EQ(config->Sliders[0], 50);
        EXPECT_STREQ(QVGetWindowName(Front()), "configHD"); // reopened for the format
        EXPECT_EQ(Value("ClpS", 1), 1) << "the scrubber keeps its frame";
    });
    Run("set Sldr 1 300\n"
        "set Sldr 2 -200\n"
        "choose Blnd 1 5\n"
        "click Prop 1\n"
        "click Rset 1\n"
        "set Sldr 1 50\n"
        "click Sall 1\n"
        "click Adva 1\n"
        "choose Medi 1 3\n"
        "command Prob\n"
        "click not! 1\n");
    EXPECT_TRUE(SameAs(before));
    EXPECT_EQ(saves.Count(), 0);
    EXPECT_EQ(PrefsFileBytes(), prefsBefore);
}

// ---- Video formats ------------------------------------------------------------

struct FormatCase {
    SInt16 mediaType;
    const char *window;
    SInt16 width, height;
    SInt32 shown; // the popup's value
};

class Formats : public Session, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(Formats, FormatChoosesTheWindowAndTheFrameSize)
{
    const FormatCase c = GetParam();
    config->MediaType = c.mediaType;
    probes.Add([&] {
        EXPECT_STREQ(QVGetWindowName(Front()), c.window);
        EXPECT_EQ(Value("Medi", 1), c.shown);
        // The preview control keeps the proportions of the format's frame.
        const Rect box = GetControlBox(Find(Front(), "Clip", 1));
        const int wid = box.right - box.left, hig = box.bottom - box.top;
        EXPECT_EQ(wid * c.height, hig * c.width) << wid << " x " << hig;
    });
    Run("command Prob\nclick not! 1\n");
    const auto requests = host.CallsNamed("GetFrame");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].args[3], c.width);
    EXPECT_EQ(requests[0].args[4], c.height);
    EXPECT_EQ(requests[0].args[5], kDVHighQuality);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, Formats,
                         ::testing::Values(FormatCase{1, "configNTSC", 720, 480, 1}, FormatCase{2, "configPAL", 720, 576, 2},
                                           FormatCase{3, "configHD", 960, 540, 3}, FormatCase{0, "configNTSC", 720, 480, 1},
                                           FormatCase{7, "configNTSC", 720, 480, 1}));

TEST_F(Session, FramesTheHostCannotGiveLeaveABlackFrameOrThePreviousOne)
{
    config->MediaType = 3;
    host.FailCall("GetFrame", kPluginCantGetNeededFrame, 1);
    probes.Add([&] {
        const Rect source = GetPortRect(gConfigWorkspace.SourceClip);
        EXPECT_TRUE(source.right == 960 && source.bottom == 540) << "the format's size";
        EXPECT_EQ(PixelAt(gConfigWorkspace.SourceClip, 480, 270), 0x000000u);
        EXPECT_EQ(PreviewCentre(), 0x000000u);
        EXPECT_EQ(host.CountCalls("ReleaseFrame"), 0) << "nothing lent, nothing given back";
    });
    probes.Add([&] { host.FailCall("GetFrame", kPluginCantGetNeededFrame, 1); });
    probes.Add([&] {
        EXPECT_EQ(RequestedFrames(host).back(), 6);
        EXPECT_EQ(Text("ClpM", 1), "6/9");
        EXPECT_EQ(gConfigWorkspace.CurrFrameIndex, 6);
        EXPECT_EQ(PreviewCentre(), FrameColour(5));
    });
    Run("command Prob\nset ClpS 1 5\ncommand Prob\nclick Adva 1\ncommand Prob\nset Sldr 1 100\nclick \"ok  \" 1\n");
    EXPECT_EQ(config->Sliders[0], 100);
}

// ---- Pictures ------------------------------------------------------------------

std::string WritePicture(const char *name, int width, int height, UInt32 rgb)
{
    const std::string path = Environment::Picture(name);
    EXPECT_TRUE(WritePPM(path, width, height, [rgb](int, int) { return rgb; }));
    return path;
}

struct PictureCase {
    int width, height;
    int boxWidth, boxHeight;   // the edited rectangle in preview pixels, before
    int keptWidth, keptHeight; // and after
};

class KeepProportions : public Session, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(KeepProportions, ChosenPictureShapesTheRectangleInThePreviewsPixels)
{
    const PictureCase c = GetParam();
    const std::string name = "p" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".ppm";
    const std::string picture = WritePicture(name.c_str(), c.width, c.height, 0x3366CC);
    // The NTSC preview control is 480 x 320; the rectangle starts at (60, 40).
    config->StartRel = SetRelRect(0.125, 0.125, (60.0 + c.boxWidth) / 480.0, (40.0 + c.boxHeight) / 320.0);
    probes.Add([&] {
        ASSERT_NE(config->TheOriginalImage, nullptr);
        EXPECT_EQ(CGImageGetWidth(config->TheOriginalImage), size_t(c.width));
        EXPECT_EQ(GetPictureBoxImage(Find(Front(), "Pict", 1)), config->TheOriginalImage);
    });
    Run("click Prop 1\nclick Pict 1\nfile \"" + picture + "\"\ncommand Prob\nclick \"ok  \" 1\n");
    EXPECT_DOUBLE_EQ(config->StartRel.Left * 480, 60);
    EXPECT_DOUBLE_EQ(config->StartRel.Top * 320, 40);
    EXPECT_NEAR(config->StartRel.Right * 480 - 60, c.keptWidth, 1e-9);
    EXPECT_NEAR(config->StartRel.Bottom * 320 - 40, c.keptHeight, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Pictures, KeepProportions,
                         ::testing::Values(PictureCase{400, 300, 240, 160, 240, 180},
                                           PictureCase{300, 400, 240, 160, 120, 160},
                                           // the kept width would take it past the bottom: the height is kept
                                           PictureCase{400, 300, 420, 280, 373, 280},
                                           // square: the height is kept
                                           PictureCase{300, 300, 240, 80, 80, 80}));

TEST_F(Session, CancelAfterPicturesRestoresTheOldImageAndReleasesTheNewOnes)
{
    const std::string first = WritePicture("first.ppm", 40, 30, 0xFF0000);
    const std::string second = WritePicture("second.ppm", 30, 40, 0x00FF00);
    CGImageRef old = MakeImage(20, 20, [](int, int) { return 0x0000FFu; });
    config->TheOriginalImage = old;
    CGImageRetain(old); // the test's own reference
    CGImageRef chosen[2] = {nullptr, nullptr};
    probes.Add([&] { EXPECT_EQ(config->TheOriginalImage, old); }); // file dialog cancelled
    probes.Add([&] { chosen[0] = CGImageRetain(config->TheOriginalImage); });
    probes.Add([&] {
        chosen[1] = CGImageRetain(config->TheOriginalImage);
        // The replaced images are still alive: Cancel may need them.
        EXPECT_EQ(CFGetRetainCount(old), 2);
        EXPECT_EQ(CFGetRetainCount(chosen[0]), 2);
    });
    Run("click PBtn 1\nfile cancel\ncommand Prob\n"
        "click Pict 1\nfile \"" + first + "\"\ncommand Prob\n"
        "click Pict 1\nfile \"" + second + "\"\ncommand Prob\n"
        "click not! 1\n");
    ASSERT_NE(chosen[0], nullptr);
    ASSERT_NE(chosen[1], nullptr);
    EXPECT_NE(chosen[0], old);
    EXPECT_EQ(config->TheOriginalImage, old);
    EXPECT_EQ(CFGetRetainCount(old), 2);       // the record's and the test's
    EXPECT_EQ(CFGetRetainCount(chosen[0]), 1); // only the test's: the dialog let go
    EXPECT_EQ(CFGetRetainCount(chosen[1]), 1);
    CGImageRelease(chosen[0]);
    CGImageRelease(chosen[1]);
    CGImageRelease(old);
}

TEST_F(Session, OkInAReopenedWindowSavesOnceAndKeepsThePictureAndReleasesTheReplaced)
{
    const std::string picture = WritePicture("kept.ppm", 16, 9, 0x00FFFF);
    CGImageRef old = MakeImage(20, 20, [](int, int) { return 0x0000FFu; });
    config->TheOriginalImage = old;
    CGImageRetain(old);
    SaveCounter saves;
    probes.Add([&] {
        EXPECT_STREQ(QVGetWindowName(Front()), "configHD");
        EXPECT_EQ(GetPictureBoxImage(Find(Front(), "Pict", 1)), config->TheOriginalImage);
        EXPECT_EQ(saves.Count(), 0) << "nothing is saved while a window is open, or by reopening";
    });
    Run("set Sldr 1 150\nclick Pict 1\nfile \"" + picture +
        "\"\nchoose Medi 1 3\ncommand Prob\nset Sldr 2 -75\nclick \"ok  \" 1\n");
    EXPECT_EQ(saves.Count(), 1);
    PluginDataRec *stored = nullptr;
    pNewConfig(stored);
    ASSERT_TRUE(ReadConfig(stored));
    EXPECT_TRUE(stored->MediaType == 3 && stored->Sliders[0] == 150 && stored->Sliders[1] == -75);
    pDestroyConfig(stored);
    ASSERT_NE(config->TheOriginalImage, nullptr);
    EXPECT_NE(config->TheOriginalImage, old);
    EXPECT_EQ(CFGetRetainCount(config->TheOriginalImage), 1);
    EXPECT_EQ(CGImageGetWidth(config->TheOriginalImage), 16u);
    EXPECT_EQ(CFGetRetainCount(old), 1); // released by the dialog
    CGImageRelease(old);
}

// ---- Every other command of the window, one row each ------------------------

std::vector<std::string> gLaunched;
OSStatus gLaunchAnswer = noErr;
OSStatus RecordLaunch(const char *document, const char *, void *)
{
    gLaunched.push_back(document ? document : "");
    return gLaunchAnswer;
}

TEST_F(Session, CommandsChangeTheRecordAsTheyShould)
{
    const RelRect whole = SetRelRect(0, 0, 1, 1);
    const std::string manual = BundleResources() + "/manual.pdf", aside = manual + ".aside";
    const std::string notImage = Environment::Picture("notes.txt");
    std::ofstream(notImage) << "not a picture\n";
    CGImageRef picture = MakeImage(40, 30, [](int, int) { return 0x808080u; });
    QVLSSetLaunchHook(RecordLaunch, nullptr);
    struct Case {
        std::string script;         // played before "click ok"
        std::function<void()> setUp; // record, probes, files
        std::function<void()> check; // after OK
    } cases[] = {
        // Reset keeps the format and the picture and clears the rest.
        {"click Rset 1\nexpect value Sldr 1 0\nexpect text Lgnd 1 0%\n",
         [&] {
             config->MediaType = 2;
             for (SInt16 &v : config->Sliders)
                 v = 77;
             config->KeepProps = true;
             config->BlendMode = 6;
             config->StartRel = SetRelRect(0.2, 0.2, 0.6, 0.6);
             config->TheOriginalImage = CGImageRetain(picture);
         },
         [&] {
             EXPECT_EQ(config->MediaType, 2);
             EXPECT_EQ(config->TheOriginalImage, picture);
             for (SInt16 v : config->Sliders)
                 EXPECT_EQ(v, 0);
             EXPECT_TRUE(!config->KeepProps && config->BlendMode == 1);
             EXPECT_EQ(std::memcmp(&config->StartRel, &whole, sizeof whole), 0);
         }},
        // Colour commands copy their box (hidden here: set as a click would).
        {"command Prob\ncommand Col1\ncommand Prob\ncommand Col2\ncommand Prob\ncommand Col3\n"
         "command Prob\ncommand Col4\ncommand Prob\ncommand Col5\ncommand Prob\ncommand Col6\n",
         [&] {
             for (int n = 1; n <= 6; ++n)
                 probes.Add([n] { SetControl32BitValue(Find(Front(), "Colr", n), 0xFF8000 + n); });
         },
         [&] {
             for (int n = 1; n <= 6; ++n) {
                 const RGBColor &c = config->Colors[n - 1];
                 EXPECT_TRUE(c.red == 65280 && c.green == 32768 && c.blue == n * 256) << n;
             }
         }},
        // Blend mode and proportions reach the record; the rectangle choice the workspace.
        {"choose Blnd 1 Luminosity\nclick Prop 1\ncommand Prob\ncommand Rect\ncommand Prob\n",
         [&] {
             probes.Add([&] { SetControl32BitValue(Find(Front(), "Rect", 1), 2); });
             probes.Add([&] { EXPECT_EQ(gConfigWorkspace.ActiveRel, 2); });
         },
         [&] { EXPECT_TRUE(config->BlendMode == 16 && config->KeepProps); }},
        // A file that is no image leaves the picture empty, without an alert.
        {"click Pict 1\nfile \"" + notImage + "\"\ncommand Prob\n",
         [&] { probes.Add([&] { EXPECT_EQ(Value("Pict", 1), 0); }); },
         [&] { EXPECT_TRUE(config->TheOriginalImage == nullptr && alerts.alerts.empty()); }},
        // The manual opens from the bundle, or the dialog says why not and goes on.
        {"click Help 1\n", [&] { gLaunched.clear(); },
         [&] {
             ASSERT_EQ(gLaunched.size(), 1u);
             EXPECT_EQ(std::filesystem::path(gLaunched[0]).filename(), "manual.pdf");
             EXPECT_TRUE(std::filesystem::exists(gLaunched[0]) && alerts.alerts.empty());
         }},
        {"click Help 1\nset Sldr 1 10\n", [&] { gLaunchAnswer = -10810; },
         [&] {
             gLaunchAnswer = noErr;
             ASSERT_EQ(alerts.alerts.size(), 1u);
             EXPECT_EQ(alerts.alerts[0].headline, "Internal Notification:");
             EXPECT_EQ(alerts.alerts[0].description, "LSOpen failed with -10810. The manual is " + manual);
             EXPECT_EQ(config->Sliders[0], 10);
         }},
        {"click Help 1\nset Sldr 1 20\n",
         [&] {
             gLaunched.clear();
             ASSERT_EQ(std::rename(manual.c_str(), aside.c_str()), 0);
         },
         [&] {
             std::rename(aside.c_str(), manual.c_str());
             EXPECT_TRUE(gLaunched.empty());
             ASSERT_EQ(alerts.alerts.size(), 1u);
             EXPECT_EQ(alerts.alerts[0].description, "Cannot locate manual in bundle");
             EXPECT_EQ(config->Sliders[0], 20);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.script);
        if (config->TheOriginalImage)
            CGImageRelease(config->TheOriginalImage);
        ResetConfig(config, true);
        config->TheOriginalImage = nullptr;
        alerts.alerts.clear();
        c.setUp();
        Run(c.script + "click \"ok  \" 1\n");
        c.check();
    }
    QVLSSetLaunchHook(nullptr, nullptr);
    CGImageRelease(picture);
}

} // namespace
