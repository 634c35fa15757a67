// The frame driver: do-frame requests (fetch, render, fades, sound, release),
// the place-holder still and the scrubber's frame fetch, driven through the
// dispatcher with the test host lending frames.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "TestHost.h"
#include "engine/PluginDefines.h"
#include "host/EffectRun.h"
#include "host/FrameDriver.h"
#include "host/PluginEntry.h"
#include "host/iMovieGlue.h"
#include "quickdraw/QuickDraw.h"

using qvtest::TestHost;

namespace {

// One preferences folder for the whole process; the plug-in starts up once.
const qvtest::PrivatePreferences kPrefs;

// A target world whose pixels start as a marker colour.
struct World {
    GWorldPtr gw = nullptr;
    World(SInt16 w, SInt16 h) {
        Rect r{0, 0, h, w};
        EXPECT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
        LockPixels(GetGWorldPixMap(gw));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) std::memcpy(at(x, y), "\xFF\x11\x22\x33", 4);
    }
    ~World() { DisposeGWorld(gw); }
    UInt8 *at(int x, int y) const {
        PixMapHandle pm = GetGWorldPixMap(gw);
        return reinterpret_cast<UInt8 *>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm) + 4 * x;
    }
};

class FrameDriver : public ::testing::Test {
protected:
    void SetUp() override {
        params = qvtest::MakeParams(host);
        params->frameCount = 100;
        params->frameRect = Rect{0, 0, 48, 64};
        params->frame = target.gw;
        ASSERT_EQ(Call(kPlugDrawIcon), kPluginOK);  // start-up: the shared record exists
        ASSERT_NE(gPascalData, nullptr);
        saved = *gPascalData;
        baseline = host.OutstandingBlocks();
    }
    void TearDown() override {
        if (params->clientData) Call(kPlugTerminate);
        *gPascalData = saved;
        EXPECT_EQ(host.OutstandingBlocks(), baseline) << "every block given back";
        EXPECT_EQ(host.FramesOutstanding(), 0) << "every frame given back";
        EXPECT_EQ(host.ForeignReleases(), 0) << "no cookie the host did not issue";
    }
    SInt32 Call(HYPluginSelector selector) {
        params->selector = selector;
        return PluginEntry(selector, params.get());
    }
    // Starts a run with the given fades.
    void Begin(SInt32 fadeIn, SInt32 fadeOut) {
        host.FilterInfo().fadeInFrames = fadeIn;
        host.FilterInfo().fadeOutFrames = fadeOut;
        ASSERT_EQ(Call(kPlugInitialize), kPluginOK);
        host.ClearCalls();
    }
    SInt32 Frame(SInt32 renderFrame) {
        params->renderFrame = renderFrame;
        return Call(kPlugDoFrame);
    }

    TestHost host;
    World target{64, 48};
    std::unique_ptr<PluginParams> params;
    PluginDataRec saved{};
    int baseline = 0;
};

TEST(FadeOpacity, FallsThroughTheFadeInAndRisesThroughTheFadeOut) {
    // Both fades together run end to end through the host; these are the
    // cases a single fade and odd counts bring.
    struct Case {
        SInt32 frame, frames, fadeIn, fadeOut, opacity;
    } cases[] = {
        {0, 100, 10, 0, 255}, {9, 100, 10, 0, 25}, {10, 100, 10, 0, -1}, {99, 100, 10, 0, -1},
        {0, 100, 0, 10, -1},  {90, 100, 0, 10, -1}, {91, 100, 0, 10, 25}, {99, 100, 0, 10, 229},
        {0, 1, 1, 0, 255},    {150, 100, 10, 0, -1}, {120, 100, 0, -5, -1}, {5, 100, -5, 0, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FadeOpacity(c.frame, c.frames, c.fadeIn, c.fadeOut), c.opacity)
            << "frame " << c.frame << " of " << c.frames << ", fades " << c.fadeIn << "/" << c.fadeOut;
}

TEST_F(FrameDriver, OneFrameAsksDrawsMixesAndGivesBack) {
    params->startFrame = 20;
    params->frameRect = Rect{4, 8, 36, 56};  // a 48 x 32 frame inside the 64 x 48 target
    Begin(0, 0);
    ASSERT_EQ(Frame(7), kPluginOK);
    EXPECT_EQ(host.CallNames(), (std::vector<std::string>{"GetFrame", "MixAudio", "ReleaseFrame"}));
    const auto get = host.CallsNamed("GetFrame").at(0).args;
    EXPECT_EQ(get[1], 27) << "absolute frame startFrame + renderFrame";
    EXPECT_EQ(get[3], 48);
    EXPECT_EQ(get[4], 32);
    EXPECT_EQ(get[5], kDVHighQuality);
    const auto mix = host.CallsNamed("MixAudio").at(0).args;
    EXPECT_EQ(mix[2], 256);
    EXPECT_EQ(mix[1], host.CallsNamed("ReleaseFrame").at(0).args[1]) << "the sound of the frame fetched";
    // The default settings draw the frame as it is, inside frameRect only.
    UInt8 expect[4];
    TestHost::FrameColor(27, expect);
    EXPECT_EQ(std::memcmp(target.at(8, 4), expect, 4), 0);
    EXPECT_EQ(std::memcmp(target.at(55, 35), expect, 4), 0);
    for (auto [x, y] : {std::pair{7, 4}, {56, 35}, {20, 36}})
        EXPECT_EQ(std::memcmp(target.at(x, y), "\xFF\x11\x22\x33", 4), 0) << x << "," << y << " is outside";

    // A proxy render of a small frame asks for low quality and mixes no sound.
    params->proxyOnly = true;
    host.ClearCalls();
    ASSERT_EQ(Frame(1), kPluginOK);
    EXPECT_EQ(host.CallsNamed("GetFrame").at(0).args[5], kDVLowQuality);
    EXPECT_EQ(host.CountCalls("MixAudio"), 0);
}

TEST_F(FrameDriver, FailuresAreReportedAndNothingLeaks) {
    EXPECT_EQ(Frame(0), kPluginBadParams) << "no run";
    EXPECT_EQ(host.CountCalls("GetFrame"), 0);

    Begin(0, 0);
    // A negative absolute frame: nothing asked, nothing given back, nothing drawn.
    params->startFrame = 20;
    ASSERT_EQ(Frame(-30), kPluginOK);
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_EQ(gMostRecentStartFrame, 20);
    EXPECT_EQ(std::memcmp(target.at(0, 0), "\xFF\x11\x22\x33", 4), 0);
    params->startFrame = 0;

    // The host cannot give the frame: its answer, and no ReleaseFrame.
    host.FailCall("GetFrame", kPluginCantGetNeededFrame, 1);
    EXPECT_EQ(Frame(3), kPluginCantGetNeededFrame);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 0);

    // The sound's answer becomes the request's; the frame is still given back.
    host.ClearCalls();
    host.mixAudioResult = kPluginOutOfDiskSpace;
    EXPECT_EQ(Frame(4), kPluginOutOfDiskSpace);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1);
    host.mixAudioResult = kPluginOK;

    // Giving the frame back fails: reported when all else went well.
    host.FailCall("ReleaseFrame", kPluginFailed, 1);
    EXPECT_EQ(Frame(5), kPluginFailed);
    ASSERT_EQ(Call(kPlugTerminate), kPluginOK);

    // A failing blend: its answer, no sound.
    Begin(10, 0);
    host.FailCall("Blit", kPluginFailed, 1);
    EXPECT_EQ(Frame(2), kPluginFailed);
    EXPECT_EQ(host.CountCalls("MixAudio"), 0);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1);

    // The keep-copy for the fade cannot be made (a frame wider than any
    // world): the frame is not rendered, and that is a failure.
    host.ClearCalls();
    host.forcedFrameWidth = 64;
    host.forcedFrameHeight = 48;
    params->frameRect = Rect{0, 0, 48, 5000};
    EXPECT_EQ(Frame(1), kPluginFailed);
    EXPECT_EQ(host.CountCalls("Blit"), 0);
    EXPECT_EQ(host.CountCalls("MixAudio"), 0);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1);
    host.forcedFrameWidth = host.forcedFrameHeight = 0;
}

TEST_F(FrameDriver, PlaceHolderIsARunOfItsOwn) {
    // With a run in the host's block: the still renders on a run of its own,
    // and the host's run survives and renders on.
    params->startFrame = 10;
    params->getInfo.bestThumbOffset = 6;
    Begin(0, 0);
    void *run = params->clientData;
    ASSERT_EQ(Call(kPlugFilePlaceHolder), kPluginOK);
    EXPECT_EQ(host.CallsNamed("GetFrame").at(0).args[1], 16);
    EXPECT_EQ(params->clientData, run);
    EXPECT_EQ(Frame(0), kPluginOK);
    ASSERT_EQ(Call(kPlugTerminate), kPluginOK);

    // Its initialize fails after allocating: the answer, and nothing kept.
    host.FailCall("GetFilterInfo", kPluginFailed, 1);
    host.ClearCalls();
    EXPECT_EQ(Call(kPlugFilePlaceHolder), kPluginFailed);
    EXPECT_EQ(host.CountCalls("GetFrame"), 0);
    EXPECT_EQ(params->clientData, nullptr);
}

TEST_F(FrameDriver, ScrubberFetchCopiesAndGivesBack) {
    World clip(32, 24);
    EXPECT_EQ(GetFrameIntoGW(clip.gw, params.get(), -5, 1), -1);
    EXPECT_EQ(host.CountCalls("GetFrame"), 0);
    params->startFrame = 40;
    EXPECT_EQ(GetFrameIntoGW(clip.gw, params.get(), 3, 1), kPluginOK);
    EXPECT_EQ(host.CallsNamed("GetFrame").at(0).args[1], 43);
    UInt8 expect[4];
    TestHost::FrameColor(43, expect);
    EXPECT_EQ(std::memcmp(clip.at(31, 23), expect, 4), 0);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1);
    host.FailCall("GetFrame", kPluginCantGetNeededFrame, 1);
    EXPECT_EQ(GetFrameIntoGW(clip.gw, params.get(), 500, 1), kPluginCantGetNeededFrame);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1) << "no frame, nothing given back";
}

}  // namespace
