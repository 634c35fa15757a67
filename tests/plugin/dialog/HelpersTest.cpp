// The settings window's custom controls, headless, on one test window: the
// preview at half size with its frame and the picture box drawn into the
// window's port (inactive, disabled and pressed too); the picture-proportion
// rule in the preview's pixel grid (the pictures' orientations are covered by
// the session tests); nib windows of the bundle, and how a missing bundle,
// nib or window ends the process.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "dialog/carbonmacros.h"
#include "dialog/clipCTRL.h"
#include "dialog/colorCTRL.h"
#include "dialog/dlgUtils.h"
#include "dialog/pictCTRL.h"
#include "engine/DataHandling.h"
#include "engine/PluginDefines.h"
#include "toolbox/Alerts.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <string>
#include <tuple>

using namespace dlgtest;

namespace {

const char kPanel[] = R"(
window panel
    title "Panel"
    bounds 100 100 400 920
    control custom
        id Clip 1
        bounds 10 10 250 370
        class "com.dranwick.quillor.clip"
        minimum 0
        maximum 1
    end
    control custom
        id Colr 1
        bounds 10 400 50 460
        class "com.dranwick.quillor.color"
        minimum 0
        maximum 16777215
        command Col1
    end
    control custom
        id Pict 1
        bounds 100 400 200 600
        class "com.dranwick.quillor.imageCTRL"
        minimum 0
        maximum 1
        command Pict
    end
end
)";

constexpr UInt32 kWhite = 0xFFFFFF, kBlack = 0x000000;

class Panel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QVToolboxSelectFrontEnd(kQVFrontEndHeadless), noErr);
        RegisterColorBox();
        RegisterClipCtrl();
        RegisterPictureControl();
        pNewConfig(config);
        ResetConfig(config, true);
        // A 720 x 480 preview whose pixels tell where they came from.
        preview = MakeBuffer(720, 480, [](int h, int v) { return UInt32((h & 0xFF) << 16 | (v & 0xFF) << 8 | 0x40); });
        ASSERT_NE(preview, nullptr);
        gConfigWorkspace = PluginWorkspace{};
        gConfigWorkspace.TheConfig = config;
        gConfigWorkspace.TheFXClip = preview;
        window = WindowFromText(kPanel, "panel");
        ASSERT_NE(window, nullptr);
        port = GetWindowPort(window);
        gConfigWorkspace.TheFrameCtrl = Find(window, "Clip", 1);
    }
    void TearDown() override
    {
        DisposeWindow(window);
        UnregisterClipCtrl();
        UnregisterColorBox();
        UnregisterPictureControl();
        DisposeGWorld(preview);
        if (config->TheOriginalImage)
            CGImageRelease(config->TheOriginalImage);
        pDestroyConfig(config);
        gConfigWorkspace = PluginWorkspace{};
    }
    PluginDataRec *config = nullptr;
    GWorldPtr preview = nullptr;
    WindowRef window = nullptr;
    CGrafPtr port = nullptr;
};

// ---- Custom controls ----------------------------------------------------------

TEST_F(Panel, PreviewIsScaledIntoItsBoxWithABlackFrameAndOnlyWhenActiveAndEnabled)
{
    ShowWindow(window); // active: the preview draws itself
    // Box 10,10 .. 370,250 is 360 x 240: half of 720 x 480.
    for (int v = 11; v < 249; v += 7)
        for (int h = 11; h < 369; h += 11)
            ASSERT_EQ(PixelAt(port, h, v), PixelAt(preview, (h - 10) * 2, (v - 10) * 2)) << h << "," << v;
    for (auto [h, v] : {std::pair{10, 10}, {369, 10}, {10, 249}, {369, 249}, {200, 10}, {10, 100}})
        EXPECT_EQ(PixelAt(port, h, v), kBlack) << h << "," << v;
    EXPECT_EQ(PixelAt(port, 9, 9), kWhite);
    EXPECT_EQ(PixelAt(port, 370, 250), kWhite);

    ControlRef clip = Find(window, "Clip", 1);
    // Inactive or disabled, it leaves its area alone, frame included.
    const Rect box = GetControlBox(clip);
    Fill(port, box, 0xABCDEF);
    DeactivateControl(clip);
    Draw1Control(clip);
    EXPECT_EQ(PixelAt(port, 10, 10), 0xABCDEFu);
    EXPECT_EQ(PixelAt(port, 200, 100), 0xABCDEFu);
    ActivateControl(clip);
    DisableControl(clip);
    Fill(port, box, 0xABCDEF);
    Draw1Control(clip);
    EXPECT_EQ(PixelAt(port, 200, 100), 0xABCDEFu);
    EnableControl(clip);
    EXPECT_EQ(PixelAt(port, 10, 10), kBlack);
}

// The colour boxes are hidden in the product's windows, but their class is
// the plug-in's: a picked colour is stored as the box's packed value, a
// cancelled picker keeps the old one.
TEST_F(Panel, ColourBoxStoresThePickedColourAndKeepsItWhenCancelled)
{
    ControlRef box = Find(window, "Colr", 1);
    SetControl32BitValue(box, 0x102030);
    const std::string text = "click Colr 1\n"
                             "color 65535 32896 255\n" // high bytes FF 80 00
                             "expect value Colr 1 16744448\n"
                             "click Colr 1\n"
                             "color cancel\n"
                             "expect value Colr 1 16744448\n"
                             "command not!\n";
    char error[256];
    ASSERT_EQ(QVToolboxLoadScript(text.data(), text.size(), error, sizeof error), noErr) << error;
    const EventTypeSpec commandEvent{kEventClassCommand, kEventCommandProcess};
    const auto quitOnCancel = [](EventHandlerCallRef, EventRef e, void *w) -> OSStatus {
        HICommand command{};
        GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
        if (command.commandID == kHICommandCancel)
            QuitAppModalLoopForWindow(static_cast<WindowRef>(w));
        return noErr;
    };
    InstallEventHandler(GetWindowEventTarget(window), NewEventHandlerUPP(quitOnCancel), 1, &commandEvent, window, nullptr);
    ShowWindow(window);
    RunAppModalLoopForWindow(window);
    EXPECT_EQ(QVToolboxScriptProblems(), 0u);
    EXPECT_EQ(GetControl32BitValue(box), 0xFF8000);
}

// A 400 x 300 picture: a red band over its top quarter, green below.
CGImageRef BandedPicture()
{
    return MakeImage(400, 300, [](int, int v) { return v < 75 ? 0xFF0000u : 0x00FF00u; });
}

TEST_F(Panel, PictureBoxDrawsThePictureCentredAndFramed)
{
    ShowWindow(window);
    ControlRef box = Find(window, "Pict", 1);
    // Empty: white area, black frame.
    EXPECT_TRUE(PixelAt(port, 500, 150) == kWhite && PixelAt(port, 400, 100) == kBlack && PixelAt(port, 599, 199) == kBlack);
    CGImageRef picture = BandedPicture();
    SetPictureBoxImage(box, picture);
    EXPECT_TRUE(GetPictureBoxImage(box) == picture && GetControl32BitValue(box) == 1);
    // The landscape picture in the landscape 200 x 100 box is 200 x 150,
    // centred: rows 75 .. 225 of the window, so the red band (37 rows)
    // shows in the box's first 12 rows and green below; nothing beyond the box.
    for (auto [h, v, rgb] : {std::tuple{500, 105, 0xFF0000u}, {500, 130, 0x00FF00u}, {500, 195, 0x00FF00u},
                             {400, 150, kBlack}, {500, 90, kWhite}, {500, 210, kWhite}})
        EXPECT_EQ(PixelAt(port, h, v), rgb) << h << "," << v;
    HiliteControl(box, 1); // pressed: inverted
    EXPECT_TRUE(PixelAt(port, 500, 130) == 0xFF00FFu && PixelAt(port, 400, 150) == kWhite);
    HiliteControl(box, 0);
    EXPECT_EQ(PixelAt(port, 500, 130), 0x00FF00u);

    // Inactive: not redrawn at all.
    DeactivateControl(box);
    Fill(port, GetControlBox(box), 0x0000FF);
    SetPictureBoxImage(box, nullptr);
    EXPECT_TRUE(GetPictureBoxImage(box) == nullptr && PixelAt(port, 500, 130) == 0x0000FFu);
    CGImageRelease(picture);
}

// ---- The picture-proportion rule ------------------------------------------

TEST_F(Panel, EditedRectangleIsFittedInThePreviewsPixels)
{
    // Without the option or without a picture nothing changes.
    const Rect wide{20, 10, 120, 210};
    Rect r = wide;
    config->KeepProps = true;
    const Rect frame{0, 0, 240, 360};
    KeepImageProps(r, frame);
    EXPECT_TRUE(r.right == 210 && r.bottom == 120);
    config->KeepProps = false;
    config->TheOriginalImage = MakeImage(400, 300, [](int, int) { return 0u; });
    KeepImageProps(r, frame);
    EXPECT_TRUE(r.right == 210 && r.bottom == 120);

    // Quantised to the 360 x 240 control's grid: 0.3337 of 360 is pixel 120.
    config->StartRel = SetRelRect(0.3337, 0.25, 0.9, 0.75);
    CalcAndKeepImageProps();
    EXPECT_DOUBLE_EQ(config->StartRel.Left, 120.0 / 360.0);
    EXPECT_DOUBLE_EQ(config->StartRel.Right, 324.0 / 360.0);
    // Pictures of each orientation shape it in the session tests.
}

// ---- Nib windows of the bundle ----------------------------------------------

TEST_F(Panel, AnEmptyNibNameMeansTheSettingsNib)
{
    WindowRef w = OpenNibWindowFromCFBundle(cMyBundleID, "", "configPAL");
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(QVGetWindowName(w), "configPAL");
    EXPECT_FALSE(IsWindowVisible(w)); // the caller shows it
    DisposeWindow(w);
}

using PanelDeathTest = Panel;

TEST_F(PanelDeathTest, AMissingBundleNibOrWindowEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(OpenNibWindowFromCFBundle("com.example.nowhere", "quelvane", "configNTSC"),
                ::testing::ExitedWithCode(kQVExitToShellStatus),
                "Assertion failed in: Cannot allocate bundle for ID = com.example.nowhere");
    EXPECT_EXIT(OpenNibWindowFromCFBundle(cMyBundleID, "nonesuch", "configNTSC"),
                ::testing::ExitedWithCode(kQVExitToShellStatus),
                "Unable to CreateNibReferenceWithCFBundle for \"com.dranwick.quillor.quelvane/nonesuch\" as it "
                "returned errcode #-10960\\.");
    // The window's status, -10962, ends the process with its low eight bits.
    EXPECT_EXIT(OpenNibWindowFromCFBundle(cMyBundleID, "quelvane", "configSECAM"), ::testing::ExitedWithCode(0x2E),
                "configSECAM");
    EXPECT_EXIT(OpenNibWindow("nonesuch", "main"), ::testing::ExitedWithCode(kQVExitToShellStatus),
                "Unable to CreateNibReference for \"nonesuch\" as it returned errcode #-10960\\.");
}

} // namespace
