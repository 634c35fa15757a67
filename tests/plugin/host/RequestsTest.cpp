// Requests through the bundle's `main` and the test host: the filter's
// description, render runs from initialize to terminate (configuration copy,
// host settings, fade clamping, memory), and the exception boundary.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "TestHost.h"
#include "corefoundation/CFBundle.h"
#include "host/EffectRun.h"
#include "resources/Resources.h"

using qvtest::PluginBundle;
using qvtest::TestHost;

namespace {

// One preferences folder for the whole process; the plug-in starts up once.
const qvtest::PrivatePreferences kPrefs;

// String `index` of string list `listID` of the bundle's resource file, read
// here independently of the plug-in.
std::string BundleString(SInt16 listID, SInt16 index) {
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(CFSTR("com.dranwick.quillor.quelvane"));
    if (!bundle) return "<no bundle>";
    const ResFileRefNum file = CFBundleOpenBundleResourceMap(bundle);
    if (file == -1) return "<no resource file>";
    Str255 text = {0};
    GetIndString(text, listID, index);
    CFBundleCloseBundleResourceMap(bundle, file);
    return std::string(reinterpret_cast<const char *>(text + 1), text[0]);
}

class Requests : public ::testing::Test {
protected:
    void SetUp() override {
        bundle = PluginBundle::Get();
        ASSERT_NE(bundle, nullptr);
        params = qvtest::MakeParams(host);
        params->frameCount = 100;
        params->frameRect = Rect{0, 0, 480, 720};
        // The shared record exists from the first request on; count blocks
        // from a state where it does.
        ASSERT_EQ(bundle->Call(params.get(), kPlugDrawIcon), kPluginOK);
        baseline = host.OutstandingBlocks();
        host.ClearCalls();
    }

    EffectData *Run() { return static_cast<EffectData *>(params->clientData); }

    HYPluginResult Begin() { return static_cast<HYPluginResult>(bundle->Call(params.get(), kPlugInitialize)); }
    HYPluginResult End() { return static_cast<HYPluginResult>(bundle->Call(params.get(), kPlugTerminate)); }

    TestHost host;
    PluginBundle *bundle = nullptr;
    std::unique_ptr<PluginParams> params;
    int baseline = 0;
};

} // namespace

TEST_F(Requests, GetInfoDescribesAFilterOfTheSelectedFramesWithTheBundleTexts) {
    params->getInfo2.selectedFrames = 90;
    params->getInfo.pluginFlags = 0x1;
    params->getInfo.takeFromClipBefore = 7;
    params->getInfo.mustTakeFromSingleClips = true;
    std::memset(params->getInfo2.group, 'x', sizeof params->getInfo2.group); // no terminator left by the host
    ASSERT_EQ(bundle->Call(params.get(), kPlugGetInfo), kPluginOK);

    const HYPluginGetInfo &info = params->getInfo;
    EXPECT_EQ(info.framesToBeRendered, 90);
    EXPECT_EQ(info.takeFromClipBefore, 0);
    EXPECT_EQ(info.takeFromClipAfter, 90);
    EXPECT_FALSE(info.mustTakeFromSingleClips);
    EXPECT_EQ(info.pluginFlags, 0x1381u) << "the host's flags are kept";
    EXPECT_EQ(host.OutstandingBlocks(), baseline);

    const HY2PluginGetInfo &info2 = params->getInfo2;
    for (int i = 0; i < 3; ++i) {
        const HYPluginFilterSliderInfo &slider = info2.filterSliders[i];
        EXPECT_EQ(std::string(slider.label), BundleString(128, static_cast<SInt16>(i + 1))) << i;
        EXPECT_EQ(std::string(slider.minLabel), BundleString(129, static_cast<SInt16>(2 * i + 1))) << i;
        EXPECT_EQ(std::string(slider.maxLabel), BundleString(129, static_cast<SInt16>(2 * i + 2))) << i;
    }
    EXPECT_EQ(std::string(params->getInfo3.buttonTitle), BundleString(130, 1));
    EXPECT_EQ(std::string(info2.group), BundleString(17000, 1)) << "terminated inside its field";
    // The bundle holds real texts, so the comparisons above compared something.
    EXPECT_FALSE(std::string(info2.filterSliders[0].label).empty());
    EXPECT_FALSE(std::string(info2.group).empty());
}

TEST_F(Requests, ARunCopiesTheConfigurationAndTheHostSettings) {
    host.FilterInfo() = HYPluginFilterInfo{{0.25f, 0.5f, 1.0f}, 3, 4};
    params->frameRect = Rect{10, 20, 250, 340};
    ASSERT_EQ(Begin(), kPluginOK);
    EffectData *run = Run();
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->sliderValues[0], 0.25f);
    EXPECT_EQ(run->sliderValues[2], 1.0f);
    EXPECT_EQ(run->fadeInFrames, 3);
    EXPECT_EQ(run->fadeOutFrames, 4);
    ASSERT_NE(run->pascalData, nullptr);
    EXPECT_EQ(run->pascalData->StartRel.Right, 1.0) << "a copy of the defaults in a fresh preferences folder";
    const auto movie = host.CallsNamed("GetMovieInfo");
    ASSERT_EQ(movie.size(), 1u);
    EXPECT_EQ(movie[0].args[1], 320) << "width preset from the frame rectangle";
    EXPECT_EQ(movie[0].args[2], 240);
    EXPECT_EQ(host.FilterInfoOutstanding(), 0) << "the filter info is given back";

    // A second initialize over the live run frees the old copy, and only it.
    PluginDataRec *firstCopy = run->pascalData;
    host.ClearCalls();
    ASSERT_EQ(Begin(), kPluginOK);
    EXPECT_EQ(Run(), run) << "the run's record is reused";
    const auto freed = host.CallsNamed("DisposePtr");
    ASSERT_EQ(freed.size(), 1u);
    EXPECT_EQ(freed[0].args[0], reinterpret_cast<intptr_t>(firstCopy));
    EXPECT_TRUE(host.OwnsBlock(Run()->pascalData));
    EXPECT_EQ(host.OutstandingBlocks(), baseline + 2);

    ASSERT_EQ(End(), kPluginOK);
    EXPECT_EQ(params->clientData, nullptr);
    EXPECT_EQ(host.OutstandingBlocks(), baseline);
    EXPECT_EQ(host.ForeignDisposals(), 0) << "nothing is freed twice";
    host.ClearCalls();
    ASSERT_EQ(End(), kPluginOK) << "terminate without a run";
    EXPECT_EQ(host.CountCalls("DisposePtr"), 0);
    EXPECT_EQ(host.CountCalls("GetClipInfo"), 1);
}

TEST_F(Requests, FadesAreClampedToTheClip) {
    struct Case {
        SInt32 fadeIn, fadeOut, frames, wantIn, wantOut;
    };
    const Case cases[] = {
        {10, 10, 15, 7, 7},  // both: at most half, truncated
        {10, 0, 6, 6, 0},    // fade-in alone: at most the clip
        {0, 20, 100, 0, 20}, // short enough already
        {0, 200, 100, 0, 100},
        {8, 2, 15, 7, 2},
        {-5, 30, 10, -5, 5}, // negative fades are left alone
        {0, 0, 10, 0, 0},
    };
    for (const Case &c : cases) {
        host.FilterInfo().fadeInFrames = c.fadeIn;
        host.FilterInfo().fadeOutFrames = c.fadeOut;
        params->frameCount = c.frames;
        ASSERT_EQ(Begin(), kPluginOK);
        EXPECT_EQ(Run()->fadeInFrames, c.wantIn) << c.fadeIn << "/" << c.fadeOut << " over " << c.frames;
        EXPECT_EQ(Run()->fadeOutFrames, c.wantOut) << c.fadeIn << "/" << c.fadeOut << " over " << c.frames;
        ASSERT_EQ(End(), kPluginOK);
    }
    EXPECT_EQ(host.OutstandingBlocks(), baseline);
}

TEST_F(Requests, HostFailuresAreReportedAndLeaveNothingBehind) {
    // No record for the run.
    host.RunOutOfMemoryAfter(0);
    EXPECT_EQ(Begin(), kPluginOutOfMemory);
    EXPECT_EQ(params->clientData, nullptr);
    // No copy of the configuration: no half-made run either.
    host.RunOutOfMemoryAfter(1);
    EXPECT_EQ(Begin(), kPluginOutOfMemory);
    EXPECT_EQ(params->clientData, nullptr);
    host.RunOutOfMemoryAfter(-1);
    EXPECT_EQ(host.OutstandingBlocks(), baseline);

    // The host's settings cannot be read: its answer is the request's, and
    // terminate releases the run.
    host.FailCall("GetFilterInfo", kPluginCantGetNeededFrame, 1);
    EXPECT_EQ(Begin(), kPluginCantGetNeededFrame);
    ASSERT_NE(Run(), nullptr);
    EXPECT_EQ(Run()->fadeInFrames, 0);
    EXPECT_EQ(Run()->sliderValues[1], 0.5f) << "without host settings the sliders keep their defaults";
    EXPECT_EQ(host.CountCalls("ReleaseFilterInfo"), 0);
    ASSERT_EQ(End(), kPluginOK);
    EXPECT_EQ(host.OutstandingBlocks(), baseline);
}

TEST_F(Requests, NoExceptionLeavesTheEntryPoint) {
    host.ThrowOnCall("GetFilterInfo", std::make_exception_ptr(std::bad_alloc()));
    EXPECT_EQ(Begin(), kPluginOutOfMemory);
    host.ThrowOnCall("GetFilterInfo", std::make_exception_ptr(std::runtime_error("host trouble")));
    EXPECT_EQ(Begin(), kPluginFailed);
    host.ThrowOnCall("GetClipInfo", std::make_exception_ptr(42));
    EXPECT_EQ(End(), kPluginFailed);
    // The run survives an interrupted request and is released by the next
    // terminate.
    EXPECT_EQ(End(), kPluginOK);
    EXPECT_EQ(params->clientData, nullptr);
    EXPECT_EQ(host.OutstandingBlocks(), baseline);
}
