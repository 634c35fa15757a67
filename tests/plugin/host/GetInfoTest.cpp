// The filter's description when the bundle cannot be found: every number is
// still given and the texts are empty, never left as the host's bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "TestHost.h"
#include "host/PluginEntry.h"

TEST(GetInfoWithoutBundle, NumbersAreGivenAndTextsAreEmpty) {
    unsetenv("QUELVANE_BUNDLE"); // this program lies in no bundle either
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
