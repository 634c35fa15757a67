// The manual asked for in a process that knows no bundle of the plug-in:
// both notices are shown, nothing is launched, and nothing crashes.
#include <gtest/gtest.h>

#include "SessionSupport.h"
#include "corefoundation/CFBundle.h"
#include "dialog/configdlghandler.h"
#include "toolbox/LaunchServices.h"
#include "toolbox/ToolboxFrontEnd.h"

namespace {

int gLaunches = 0;
OSStatus CountLaunch(const char *, const char *, void *)
{
    ++gLaunches;
    return noErr;
}

TEST(NoBundle, ManualRequestReportsTheMissingBundleAndGoesOn)
{
    ASSERT_EQ(QVToolboxSelectFrontEnd(kQVFrontEndHeadless), noErr);
    ASSERT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.dranwick.quillor.quelvane")), nullptr)
        << "this test runs where the plug-in's bundle cannot be found";
    dlgtest::AlertLog alerts;
    QVLSSetLaunchHook(CountLaunch, nullptr);
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
    HICommand help{};
    help.commandID = QV_FOURCC('H', 'e', 'l', 'p');
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof help, &help);
    EXPECT_EQ(TheDialogHandler(nullptr, e, nullptr), noErr);
    ReleaseEvent(e);
    QVLSSetLaunchHook(nullptr, nullptr);
    EXPECT_EQ(gLaunches, 0);
    ASSERT_EQ(alerts.alerts.size(), 2u);
    EXPECT_EQ(alerts.alerts[0].headline, "Internal Notification:");
    EXPECT_EQ(alerts.alerts[0].description, "Cannot Locate Bundle. Proceed with caution. Crash imminent");
    EXPECT_EQ(alerts.alerts[1].description, "Cannot locate manual in bundle");
}

} // namespace
