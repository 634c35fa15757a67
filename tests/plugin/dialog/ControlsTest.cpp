// The dialog's custom controls drawn into a window's port: the preview at
// half size with its frame, the colour box and the picture box, what
// inactive, disabled and pressed controls draw; the colour box's click
// through the colour picker; the picture-proportion rule of the preview
// without a picture or option, and in the preview's pixel grid (the
// pictures' orientations are covered by the session tests).
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "dialog/carbonmacros.h"
#include "dialog/clipCTRL.h"
#include "dialog/colorCTRL.h"
#include "dialog/pictCTRL.h"
#include "engine/DataHandling.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <string>
#include <vector>

using namespace dlgtest;

namespace {

const char kBoxes[] = R"(
window boxes
    title "Boxes"
    bounds 100 100 400 700
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

class Controls : public ::testing::Test {
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
        window = WindowFromText(kBoxes, "boxes");
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

TEST_F(Controls, PreviewIsScaledIntoItsBoxWithABlackFrameAndOnlyWhenActiveAndEnabled)
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

    // A value flip redraws from the buffer as it is now.
    Fill(preview, Rect{0, 0, 480, 720}, 0x123456);
    ControlRef clip = Find(window, "Clip", 1);
    SetControl32BitValue(clip, GetControl32BitValue(clip) ? 0 : 1);
    EXPECT_EQ(PixelAt(port, 100, 100), 0x123456u);

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

TEST_F(Controls, ColorBoxShowsItsPackedValue)
{
    ShowWindow(window);
    ControlRef box = Find(window, "Colr", 1);
    SetControl32BitValue(box, 16744448); // 0xFF8000
    // Each byte times 256: (65280, 32768, 0), whose high bytes are FF 80 00.
    EXPECT_EQ(PixelAt(port, 430, 30), 0xFF8000u);
    EXPECT_EQ(PixelAt(port, 401, 11), 0xFF8000u);
    EXPECT_EQ(PixelAt(port, 400, 10), kBlack);
    EXPECT_EQ(PixelAt(port, 459, 49), kBlack);
    EXPECT_EQ(PixelAt(port, 460, 30), kWhite);

    DisableControl(box); // erased to the background colour
    EXPECT_EQ(PixelAt(port, 430, 30), kWhite);
    EXPECT_EQ(PixelAt(port, 400, 10), kWhite);
}

std::vector<std::pair<UInt32, SInt32>> gCommands;
OSStatus RecordCommand(EventHandlerCallRef, EventRef e, void *userData)
{
    HICommand command{};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    WindowRef w = static_cast<WindowRef>(userData);
    gCommands.push_back({command.commandID, GetControl32BitValue(Find(w, "Colr", 1))});
    if (command.commandID == kHICommandCancel)
        QuitAppModalLoopForWindow(w);
    return noErr;
}

TEST_F(Controls, ColorBoxClickPicksAColourAndAlwaysSendsItsCommand)
{
    gCommands.clear();
    const EventTypeSpec spec{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(window), NewEventHandlerUPP(RecordCommand), 1, &spec, window, nullptr);
    SetControl32BitValue(Find(window, "Colr", 1), 0x102030);
    const std::string text = "click Colr 1\n"
                             "color 65535 32896 255\n" // picked: high bytes FF 80 00
                             "click Colr 1\n"
                             "color cancel\n"
                             "click Colr 1 at 300 300\n" // outside the box: no part, nothing sent
                             "command not!\n";
    char error[256];
    ASSERT_EQ(QVToolboxLoadScript(text.data(), text.size(), error, sizeof error), noErr) << error;
    ShowWindow(window);
    RunAppModalLoopForWindow(window);
    ASSERT_EQ(gCommands.size(), 3u);
    EXPECT_EQ(gCommands[0].first, QV_FOURCC('C', 'o', 'l', '1'));
    EXPECT_EQ(gCommands[0].second, 16744448);
    EXPECT_EQ(gCommands[1].first, QV_FOURCC('C', 'o', 'l', '1')); // sent although cancelled
    EXPECT_EQ(gCommands[1].second, 16744448);                      // unchanged
    EXPECT_EQ(gCommands[2].first, UInt32(kHICommandCancel));
    EXPECT_EQ(QVToolboxScriptProblems(), 0u);
    EXPECT_EQ(PixelAt(port, 430, 30), 0xFF8000u);
}

// A 400 x 300 picture: a red band over its top quarter, green below.
CGImageRef BandedPicture()
{
    return MakeImage(400, 300, [](int, int v) { return v < 75 ? 0xFF0000u : 0x00FF00u; });
}

TEST_F(Controls, PictureBoxDrawsThePictureCentredAndFramed)
{
    ShowWindow(window);
    ControlRef box = Find(window, "Pict", 1);
    // Empty: white area, black frame.
    EXPECT_EQ(PixelAt(port, 500, 150), kWhite);
    EXPECT_EQ(PixelAt(port, 400, 100), kBlack);
    EXPECT_EQ(PixelAt(port, 599, 199), kBlack);

    CGImageRef picture = BandedPicture();
    SetPictureBoxImage(box, picture);
    EXPECT_EQ(GetPictureBoxImage(box), picture);
    EXPECT_EQ(GetControl32BitValue(box), 1);
    // The landscape picture in the landscape 200 x 100 box is 200 x 150,
    // centred: rows 75 .. 225 of the window, so the red band (37 rows)
    // shows in the box's first 12 rows and green below.
    EXPECT_EQ(PixelAt(port, 500, 105), 0xFF0000u);
    EXPECT_EQ(PixelAt(port, 500, 130), 0x00FF00u);
    EXPECT_EQ(PixelAt(port, 500, 195), 0x00FF00u);
    EXPECT_EQ(PixelAt(port, 400, 150), kBlack);
    // Nothing is painted beyond the box.
    EXPECT_EQ(PixelAt(port, 500, 90), kWhite);
    EXPECT_EQ(PixelAt(port, 500, 210), kWhite);

    HiliteControl(box, 1); // pressed: inverted
    EXPECT_EQ(PixelAt(port, 500, 130), 0xFF00FFu);
    EXPECT_EQ(PixelAt(port, 400, 150), kWhite);
    HiliteControl(box, 0);
    EXPECT_EQ(PixelAt(port, 500, 130), 0x00FF00u);

    // Inactive: not redrawn at all.
    DeactivateControl(box);
    Fill(port, GetControlBox(box), 0x0000FF);
    SetPictureBoxImage(box, nullptr);
    EXPECT_EQ(GetPictureBoxImage(box), nullptr);
    EXPECT_EQ(PixelAt(port, 500, 130), 0x0000FFu);
    CGImageRelease(picture);
}

// ---- The picture-proportion rule ------------------------------------------

TEST_F(Controls, EditedRectangleIsFittedInThePreviewsPixels)
{
    // Without the option or without a picture nothing changes.
    const Rect wide{20, 10, 120, 210};
    Rect r = wide;
    config->KeepProps = true;
    KeepImageProps(r);
    EXPECT_TRUE(r.right == 210 && r.bottom == 120);
    config->KeepProps = false;
    config->TheOriginalImage = MakeImage(400, 300, [](int, int) { return 0u; });
    KeepImageProps(r);
    EXPECT_TRUE(r.right == 210 && r.bottom == 120);

    // Quantised to the 360 x 240 control's grid: 0.3337 of 360 is pixel 120.
    config->StartRel = SetRelRect(0.3337, 0.25, 0.9, 0.75);
    CalcAndKeepImageProps();
    EXPECT_DOUBLE_EQ(config->StartRel.Left, 120.0 / 360.0);
    EXPECT_DOUBLE_EQ(config->StartRel.Right, 324.0 / 360.0);
    // Pictures of each orientation shape it in the session tests.
}

} // namespace
