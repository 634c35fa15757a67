// The window and control helpers: the neutral answers for missing controls,
// edit texts and their limits, popup look-ups, commands as
// text and posted commands, block copies, nib windows of the bundle (and how
// a missing bundle, nib or window ends the process).
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "dialog/carbonmacros.h"
#include "dialog/clipCTRL.h"
#include "dialog/colorCTRL.h"
#include "dialog/dlgUtils.h"
#include "dialog/pictCTRL.h"
#include "engine/PluginDefines.h"
#include "memory/MacMemory.h"
#include "toolbox/Alerts.h"
#include "toolbox/TextUtils.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <cstring>
#include <string>

using namespace dlgtest;

namespace {

const char kPanel[] = R"(
window panel
    title "Helpers"
    bounds 100 100 300 500
    control popup
        id Popu 1
        bounds 10 10 34 200
        item "Alpha"
        item "Beta"
        item "Alpha"
        item "beta"
    end
    control popup
        id Empt 1
        bounds 40 10 64 200
    end
    control edittext
        id Edit 1
        bounds 100 10 120 200
        text "42 apples"
    end
    control statictext
        id Stat 1
        bounds 130 10 150 200
        text "before"
    end
    control slider
        id Sldr 1
        bounds 160 10 180 200
        minimum -10
        maximum 10
    end
end
)";

class Helpers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QVToolboxSelectFrontEnd(kQVFrontEndHeadless), noErr);
        window = WindowFromText(kPanel, "panel");
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { DisposeWindow(window); }
    WindowRef window = nullptr;
};

std::string PopupText(WindowRef w, SInt16 index)
{
    Str255 text;
    GetIndexedPopupTextFromID(w, FourCC("Popu"), 1, index, text);
    return P2S(text);
}

TEST_F(Helpers, MissingControlsGiveNeutralAnswersAndChangeNothing)
{
    const OSType none = FourCC("None");
    EXPECT_EQ(SimpleGetControlByID(window, none, 1), nullptr);
    EXPECT_EQ(SimpleGetControlByID(window, FourCC("Stat"), 2), nullptr); // right signature, wrong id
    const Rect box = SimpleGetControlBox(window, none, 1);
    EXPECT_TRUE(box.top == 0 && box.left == 0 && box.bottom == 0 && box.right == 0);
    EXPECT_EQ(SimpleGetControlValueByID(window, none, 1), 0);

    Str255 text;
    S2P("changed", text);
    SimpleSetControlText(window, none, 1, text);
    SetEditTextForControl(text, window, none, 1);
    SimpleSetControlValueByID(window, none, 1, 5);
    SimpleHideControl(window, none, 1);
    SimpleDisableControlByID(window, none, 1);
    SelectTextByIDForControl(window, none, 1, 0, 2);
    SetKeyboadFocusByID(window, none, 1);
    GetEditTextFromControl(window, none, 1, text);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(FindNameInPopupByID(window, none, 1, text), -1);
    // Nothing else in the window moved.
    EXPECT_EQ(ControlText(Find(window, "Stat", 1)), "before");
    EXPECT_EQ(GetControl32BitValue(Find(window, "Sldr", 1)), 0);
    ControlRef focus = nullptr;
    GetKeyboardFocus(window, &focus);
    EXPECT_EQ(focus, nullptr);
}

TEST_F(Helpers, EditTextsAreCutAt255AndNumbersRead)
{
    std::string longText(300, 'x');
    longText[254] = 'L';
    longText[255] = 'M';
    ControlRef edit = Find(window, "Edit", 1);
    SetControlData(edit, 0, kControlEditTextTextTag, static_cast<Size>(longText.size()), longText.data());
    Str255 text;
    GetEditTextFromControl(window, FourCC("Edit"), 1, text);
    ASSERT_EQ(text[0], 255);
    EXPECT_EQ(text[255], 'L');

    // A control without text data answers the empty text, not garbage.
    GetEditTextFromControl(window, FourCC("Sldr"), 1, text);
    EXPECT_EQ(text[0], 0);

    S2P("42 apples", text);
    SetEditTextForControl(text, window, FourCC("Edit"), 1);
    EXPECT_EQ(GetNumberFromEditTextControl(window, FourCC("Edit"), 1), 42);
    SetEditTextToNumberForControl(-305, window, FourCC("Edit"), 1);
    EXPECT_EQ(ControlText(edit), "-305");
    EXPECT_EQ(GetNumberFromEditTextControl(window, FourCC("Edit"), 1), -305);
    S2P("apples", text);
    SetEditTextForControl(text, window, FourCC("Edit"), 1);
    EXPECT_EQ(GetNumberFromEditTextControl(window, FourCC("Edit"), 1), 0);

}

TEST_F(Helpers, PopupItemsAreFoundExactly)
{
    ControlRef popup = Find(window, "Popu", 1);
    Str255 name;
    S2P("Alpha", name);
    EXPECT_EQ(GetMenuItemPosition(popup, name), 1); // the first of two
    S2P("beta", name);
    EXPECT_EQ(GetMenuItemPosition(popup, name), 4); // case matters
    S2P("ALPHA", name);
    EXPECT_EQ(GetMenuItemPosition(popup, name), -1);
    S2P("Alph", name);
    EXPECT_EQ(FindNameInPopupByID(window, FourCC("Popu"), 1, name), -1); // length matters
    S2P("", name);
    EXPECT_EQ(GetMenuItemPosition(Find(window, "Empt", 1), name), -1);

    EXPECT_EQ(PopupText(window, 2), "Beta");
    EXPECT_EQ(PopupText(window, 9), "");
    SetControl32BitValue(popup, 4);
    Str255 text;
    GetSelectedPopupTextFromID(window, FourCC("Popu"), 1, text);
    EXPECT_EQ(P2S(text), "beta");
}

std::vector<UInt32> gSeen;
OSStatus Record(EventHandlerCallRef, EventRef e, void *userData)
{
    HICommand command{};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    gSeen.push_back(command.commandID);
    if (userData)
        QuitAppModalLoopForWindow(static_cast<WindowRef>(userData));
    return noErr;
}

TEST_F(Helpers, PostedCommandsReachTheFocusWindowsHandler)
{
    Str255 text;
    CommandID2Str(0x41626364, text);
    EXPECT_EQ(P2S(text), "Abcd") << "most significant byte first";
    EXPECT_TRUE(PStrEqualsC(text, "Abcd"));
    EXPECT_FALSE(PStrEqualsC(text, "Abc")) << "length matters";

    gSeen.clear();
    const EventTypeSpec spec{kEventClassCommand, kEventCommandProcess};
    EventHandlerRef handler = nullptr;
    ASSERT_EQ(InstallWindowEventHandler(window, NewEventHandlerUPP(Record), 1, &spec, nullptr, &handler), noErr);
    ShowWindow(window);
    Str255 command;
    S2P("ok", command); // shorter texts are padded with blanks
    PostCommand(command);
    S2P("Adva and more", command);
    PostCommand(command);
    ASSERT_EQ(gSeen.size(), 2u);
    EXPECT_EQ(gSeen[0], UInt32(kHICommandOK));
    EXPECT_EQ(gSeen[1], QV_FOURCC('A', 'd', 'v', 'a'));
    RemoveEventHandler(handler);

    // The application's handler gets what no window takes.
    gSeen.clear();
    ASSERT_EQ(InstallApplicationEventHandler(NewEventHandlerUPP(Record), 1, &spec, nullptr, &handler), noErr);
    S2P("Appl", command);
    PostCommand(command);
    EXPECT_EQ(gSeen.size(), 1u);
    RemoveEventHandler(handler);
}

TEST(CloneObject, CopiesTheRecordedSize)
{
    Ptr block = NewPtr(37);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 37; ++i)
        block[i] = static_cast<char>(i * 7);
    Ptr copy = CloneObject(block);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GetPtrSize(copy), 37);
    EXPECT_EQ(std::memcmp(copy, block, 37), 0);
    DisposePtr(copy);
    DisposePtr(block);
    EXPECT_EQ(CloneObject(nullptr), nullptr);
    Ptr empty = NewPtr(0);
    EXPECT_EQ(CloneObject(empty), nullptr);
    DisposePtr(empty);
}

// ---- Nib windows of the bundle ----------------------------------------------

class BundleWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QVToolboxSelectFrontEnd(kQVFrontEndHeadless), noErr);
        RegisterColorBox();
        RegisterClipCtrl();
        RegisterPictureControl();
    }
    void TearDown() override
    {
        UnregisterClipCtrl();
        UnregisterColorBox();
        UnregisterPictureControl();
    }
};

TEST_F(BundleWindows, AnEmptyNibNameMeansTheSettingsNib)
{
    WindowRef w = OpenNibWindowFromCFBundle(cMyBundleID, "", "configPAL");
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(QVGetWindowName(w), "configPAL");
    EXPECT_FALSE(IsWindowVisible(w)); // the caller shows it
    DisposeWindow(w);
}

using BundleWindowsDeathTest = BundleWindows;

TEST_F(BundleWindowsDeathTest, AMissingBundleNibOrWindowEndsTheProcess)
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
