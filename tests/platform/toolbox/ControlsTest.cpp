// Controls: values and ranges, visibility, enabling and highlighting, control
// data, focus, and what custom controls leave in the port.
#include "ToolboxTestSupport.h"

using namespace tbtest;

using Controls = PanelTest;

TEST_F(Controls, ValuesStayWithinTheRangeAndFollowRangeChanges)
{
    ControlRef s = Find(w, "Sldr", 1);
    SetControl32BitValue(s, 1000);
    EXPECT_EQ(GetControl32BitValue(s), 400);
    SetControl32BitValue(s, -1000);
    EXPECT_EQ(GetControl32BitValue(s), -100);
    SetControl32BitValue(s, 50);
    SetControl32BitMaximum(s, 20);
    EXPECT_EQ(GetControl32BitValue(s), 20);
    SetControl32BitMinimum(s, 30); // above the maximum: the maximum follows
    EXPECT_EQ(GetControl32BitMaximum(s), 30);
    EXPECT_EQ(GetControl32BitValue(s), 30);
    // 16-bit views saturate instead of wrapping.
    ControlRef box = Find(w, "Colr", 1);
    SetControl32BitValue(box, 0xFF8000);
    EXPECT_EQ(GetControl32BitValue(box), 0xFF8000);
    EXPECT_EQ(GetControlValue(box), 32767);
}

TEST_F(Controls, HiliteReportsDisabledAndInactiveStates)
{
    ControlRef ok = Find(w, "ok  ", 1);
    EXPECT_EQ(GetControlHilite(ok), kControlInactivePart); // window not shown yet
    ShowWindow(w);
    EXPECT_TRUE(IsWindowActive(w));
    EXPECT_EQ(GetControlHilite(ok), 0);
    HiliteControl(ok, kControlButtonPart);
    EXPECT_EQ(GetControlHilite(ok), kControlButtonPart);
    DisableControl(ok);
    EXPECT_EQ(GetControlHilite(ok), kControlDisabledPart);
    EnableControl(ok);
    HiliteControl(ok, 0);
    // Another window in front makes this one inactive.
    WindowRef other = nullptr;
    ASSERT_EQ(QVCreateWindowFromNibNamed(nib, "other", &other), noErr);
    ShowWindow(other);
    EXPECT_FALSE(IsWindowActive(w));
    EXPECT_EQ(GetControlHilite(ok), kControlInactivePart);
    DisposeWindow(other);
    EXPECT_TRUE(IsWindowActive(w));
    EXPECT_EQ(GetControlHilite(ok), 0);
}

TEST_F(Controls, TextDataTravelsThroughTheTextAndSelectionTags)
{
    ControlRef legend = Find(w, "Lgnd", 1);
    const char text[] = "75%";
    EXPECT_EQ(SetControlData(legend, 0, kControlStaticTextTextTag, 3, text), noErr);
    EXPECT_EQ(Text(legend), "75%");
    // A short buffer gets the start; the whole size is reported.
    char small[2];
    Size size = 0;
    EXPECT_EQ(GetControlData(legend, 0, kControlStaticTextTextTag, sizeof small, small, &size), noErr);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(std::string(small, 2), "75");

    ControlRef edit = Find(w, "Name", 1);
    ControlEditTextSelectionRec sel{5, 90}, back{}; // beyond the text: kept inside it
    EXPECT_EQ(SetControlData(edit, 0, kControlEditTextSelectionTag, sizeof sel, &sel), noErr);
    GetControlData(edit, 0, kControlEditTextSelectionTag, sizeof back, &back, &size);
    EXPECT_EQ(back.selStart, 3);
    EXPECT_EQ(back.selEnd, 3);

    // Tags a control does not keep, bad sizes and buffers are refused.
    EXPECT_EQ(SetControlData(legend, 0, kControlEditTextSelectionTag, sizeof sel, &sel), errDataNotSupported);
    EXPECT_EQ(SetControlData(Find(w, "Sldr", 1), 0, kControlEditTextTextTag, 3, text), errDataNotSupported);
    EXPECT_EQ(SetControlData(edit, 0, kControlEditTextSelectionTag, 2, &sel), paramErr);
    EXPECT_EQ(SetControlData(edit, 0, kControlEditTextTextTag, -1, text), paramErr);
    EXPECT_EQ(GetControlData(edit, 0, kControlEditTextTextTag, 10, nullptr, &size), paramErr);
}

TEST_F(Controls, FocusGoesToUsableControlsOfTheWindow)
{
    ControlRef edit = Find(w, "Name", 1);
    EXPECT_EQ(SetKeyboardFocus(w, edit, kControlFocusNextPart), noErr);
    ControlRef focus = nullptr;
    GetKeyboardFocus(w, &focus);
    EXPECT_EQ(focus, edit);
    EXPECT_NE(SetKeyboardFocus(w, Find(w, "Hide", 1), kControlFocusNextPart), noErr);
    SetKeyboardFocus(w, nullptr, kControlFocusNoPart);
    GetKeyboardFocus(w, &focus);
    EXPECT_EQ(focus, nullptr);
}

TEST_F(Controls, CustomControlsRedrawIntoThePortOnEveryChange)
{
    ControlRef box = Find(w, "Colr", 1);
    CGrafPtr port = GetWindowPort(w);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(rec.Count(kEventControlOwningWindowChanged), 1);
    // Inactive until shown: the class draws nothing, the port stays white.
    SetControl32BitValue(box, 0xFF8000);
    EXPECT_EQ(PortPixel(port, 50, 170), 0xFFFFFFu);
    ShowWindow(w);
    EXPECT_GE(rec.Count(kEventControlActivate), 1);
    EXPECT_EQ(PortPixel(port, 50, 170), 0xFF8000u);
    EXPECT_EQ(PortPixel(port, 10, 140), 0x000000u); // frame
    SetControl32BitValue(box, 0x0000FF);
    EXPECT_EQ(PortPixel(port, 50, 170), 0x0000FFu);
    // Hiding erases the control's area; showing draws it again.
    HideControl(box);
    EXPECT_EQ(PortPixel(port, 50, 170), 0xFFFFFFu);
    int draws = rec.Count(kEventControlDraw);
    SetControl32BitValue(box, 0x00FF00); // hidden: no drawing
    EXPECT_EQ(rec.Count(kEventControlDraw), draws);
    ShowControl(box);
    EXPECT_EQ(PortPixel(port, 50, 170), 0x00FF00u);
    // Disabled: the class leaves its area untouched (white after a hide).
    DisableControl(box);
    HideControl(box);
    ShowControl(box);
    EXPECT_EQ(PortPixel(port, 50, 170), 0xFFFFFFu);
}

TEST_F(Controls, DisposedReferencesAreRefusedNotFollowed)
{
    ControlRef s = Find(w, "Sldr", 1);
    WindowRef old = w;
    DisposeWindow(w);
    w = nullptr;
    EXPECT_EQ(GetControl32BitValue(s), 0);
    SetControl32BitValue(s, 5);
    EXPECT_EQ(GetControlOwner(s), nullptr);
    EXPECT_EQ(GetControlEventTarget(s), nullptr);
    EXPECT_EQ(GetWindowPort(old), nullptr);
    ControlRef c = nullptr;
    ControlID id{QV_FOURCC('S', 'l', 'd', 'r'), 1};
    EXPECT_EQ(GetControlByID(old, &id, &c), errInvalidWindowRef);
    ShowWindow(old); // refused quietly
    EXPECT_EQ(FrontWindow(), nullptr);
    // Every control of the class is gone, so the class can go.
    rec.Unregister();
}

TEST_F(Controls, ClassesWithLiveControlsCannotBeUnregistered)
{
    EXPECT_EQ(UnregisterToolboxObjectClass(rec.cls), hiObjectClassHasInstancesErr);
    ToolboxObjectClassRef again = nullptr;
    EventTypeSpec draw{kEventClassControl, kEventControlDraw};
    EXPECT_EQ(QVRegisterToolboxObjectClass(kTestClass, 1, &draw, Recorder::Handler, &rec, &again),
              hiObjectClassExistsErr);
    EXPECT_EQ(again, nullptr);
}

TEST_F(Controls, WindowBoundsMoveAndResizeThePort)
{
    Rect r{10, 20, 110, 220};
    EXPECT_EQ(SetWindowBounds(w, kWindowContentRgn, &r), noErr);
    CGrafPtr port = GetWindowPort(w);
    Rect pr;
    GetPortBounds(port, &pr);
    EXPECT_EQ(pr.right, 200);
    EXPECT_EQ(pr.bottom, 100);
    Rect s{0, 0, 122, 100}; // structure: the title bar is above the content
    EXPECT_EQ(SetWindowBounds(w, kWindowStructureRgn, &s), noErr);
    GetWindowBounds(w, kWindowContentRgn, &r);
    EXPECT_EQ(r.top, kQVTitleBarHeight);
    EXPECT_EQ(r.bottom, 122);
    Rect empty{0, 0, 0, 0};
    EXPECT_EQ(SetWindowBounds(w, kWindowContentRgn, &empty), paramErr);
}
