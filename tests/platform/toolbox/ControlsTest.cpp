// Controls: values kept within their range, references to disposed windows
// refused rather than followed, classes that keep live controls; event
// parameters copied into no more than the caller's buffer. (What
// controls show: the screen tests; how scripts play them: ScriptTest.)
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
}

TEST_F(Controls, DisposedReferencesAreRefusedNotFollowed)
{
    EXPECT_EQ(UnregisterToolboxObjectClass(rec.cls), hiObjectClassHasInstancesErr); // the panel's box lives
    ControlRef s = Find(w, "Sldr", 1);
    WindowRef old = w;
    DisposeWindow(w);
    w = nullptr;
    EXPECT_EQ(GetControl32BitValue(s), 0);
    SetControl32BitValue(s, 5);
    EXPECT_EQ(GetControlOwner(s), nullptr);
    EXPECT_EQ(GetWindowPort(old), nullptr);
    ControlRef c = nullptr;
    ControlID id{QV_FOURCC('S', 'l', 'd', 'r'), 1};
    EXPECT_EQ(GetControlByID(old, &id, &c), errInvalidWindowRef);
    ShowWindow(old); // refused quietly
    EXPECT_EQ(FrontWindow(), nullptr);
    // Every control of the class is gone, so the class can go.
    rec.Unregister();
}

TEST(EventParameters, AreCopiedIntoNoMoreThanTheCallersBuffer)
{
    EventRef e = nullptr;
    ASSERT_EQ(CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e), noErr);
    const UInt8 data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof data, data), noErr);
    UInt8 out[8] = {};
    ByteCount size = 0;
    EXPECT_EQ(GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, 4, &size, out), noErr);
    EXPECT_EQ(size, sizeof data); // the whole size is told
    EXPECT_EQ(std::vector<UInt8>(out, out + 8), (std::vector<UInt8>{1, 2, 3, 4, 0, 0, 0, 0}));
    ReleaseEvent(e);
}
