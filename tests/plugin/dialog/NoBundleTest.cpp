// A process that knows no bundle of the plug-in: the manual asked for shows
// both notices, launches nothing and crashes nothing; the filter's
// description still gives every number, and empty texts rather than the
// host's bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "SessionSupport.h"
#include "corefoundation/CFBundle.h"
#include "dialog/configdlghandler.h"
#include "host/PluginEntry.h"
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

TEST(NoBundle, GetInfoGivesTheNumbersAndEmptyTexts)
{
    qvtest::TestHost host;
    auto params = qvtest::MakeParams(host);
    std::memset(&params->getInfo2, 'x', sizeof params->getInfo2);
    std::memset(&params->getInfo3, 'x', sizeof params->getInfo3);
    params->getInfo2.selectedFrames = 12;
    params->getInfo.pluginFlags = 0;
    ASSERT_EQ(EffectGetInfo(0, params.get()), kPluginOK);
    EXPECT_EQ(params->getInfo.framesToBeRendered, 12);
    EXPECT_EQ(params->getInfo.pluginFlags, 0x1380u);
    EXPECT_EQ(params->getInfo2.baseMemoryNeeded, 50000);
    for (const HYPluginFilterSliderInfo &slider : params->getInfo2.filterSliders) {
        EXPECT_STREQ(slider.label, "");
        EXPECT_STREQ(slider.minLabel, "");
        EXPECT_STREQ(slider.maxLabel, "");
        EXPECT_EQ(slider.defaultValue, 0.5f);
    }
    EXPECT_STREQ(params->getInfo3.buttonTitle, "");
    EXPECT_STREQ(params->getInfo2.group, "");
}

} // namespace
