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

class Environment : public ::testing::Environment {
public:
    void SetUp() override { prefs_ = std::make_unique<qvtest::PrivatePreferences>(); }
    void TearDown() override { prefs_.reset(); }

private:
    std::unique_ptr<qvtest::PrivatePreferences> prefs_;
};
const auto *const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

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
    // Starts a run with the given fades and renders one frame.
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
    // Opacity of the one Blit of the last request, -1 without one.
    long long BlitOpacity() const {
        auto blits = host.CallsNamed("Blit");
        return blits.empty() ? -1 : blits.back().args.back();
    }

    TestHost host;
    World target{64, 48};
    std::unique_ptr<PluginParams> params;
    PluginDataRec saved{};
    int baseline = 0;
};

TEST_F(FrameDriver, FadeOpacitiesFrameByFrame) {
    struct Case {
        SInt32 fadeIn, fadeOut, frame;
        long long opacity;
    } cases[] = {
        {10, 0, 0, 255}, {10, 0, 5, 127}, {10, 0, 9, 25}, {10, 0, 10, -1}, {10, 0, 99, -1},
        {0, 10, 90, -1}, {0, 10, 91, 25}, {0, 10, 99, 229}, {0, 10, 0, -1},
        {10, 10, 3, 178}, {10, 10, 95, 127},
    };
    for (const Case &c : cases) {
        Begin(c.fadeIn, c.fadeOut);
        ASSERT_EQ(Frame(c.frame), kPluginOK);
        EXPECT_EQ(BlitOpacity(), c.opacity) << "fades " << c.fadeIn << "/" << c.fadeOut << ", frame " << c.frame;
        ASSERT_EQ(Call(kPlugTerminate), kPluginOK);
    }
    EXPECT_EQ(FadeOpacity(150, 100, 10, 0), -1) << "past the end without a fade-out: no division by nothing";
    EXPECT_EQ(FadeOpacity(120, 100, 0, -5), -1) << "a negative fade-out blends nothing";
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
    EXPECT_EQ(std::memcmp(target.at(7, 4), "\xFF\x11\x22\x33", 4), 0);
    EXPECT_EQ(std::memcmp(target.at(56, 35), "\xFF\x11\x22\x33", 4), 0);
    EXPECT_EQ(std::memcmp(target.at(20, 36), "\xFF\x11\x22\x33", 4), 0);
    EXPECT_EQ(gMostRecentStartFrame, 20);
    EXPECT_EQ(gMostRecentFrameCount, 100);
}

TEST_F(FrameDriver, FadeBlendsTheUntouchedFrameOverTheEffect) {
    // The top-left quarter in place over a black fill.
    gPascalData->StartRel = RelRect{0.0, 0.5, 0.0, 0.5};
    gPascalData->Colors[0] = RGBColor{0, 0, 0};
    Begin(10, 0);
    ASSERT_EQ(Frame(12), kPluginOK);
    EXPECT_EQ(target.at(10, 10)[2], 200) << "inside the crop: the frame";
    EXPECT_EQ(target.at(50, 40)[2], 0) << "outside: the fill";
    ASSERT_EQ(Frame(5), kPluginOK);
    EXPECT_EQ(BlitOpacity(), 127);
    EXPECT_EQ(target.at(10, 10)[2], 200);
    EXPECT_NEAR(target.at(50, 40)[2], 200 * 127 / 255.0, 1.0) << "outside: the frame at opacity 127 over the fill";
    ASSERT_EQ(Frame(0), kPluginOK);
    EXPECT_EQ(target.at(50, 40)[2], 200) << "first frame of the fade-in: the untouched frame";
}

TEST_F(FrameDriver, ProxyQualityAndSound) {
    params->proxyOnly = true;
    params->frameRect = Rect{0, 0, 240, 320};
    World big(320, 480);
    params->frame = big.gw;
    Begin(0, 0);
    ASSERT_EQ(Frame(0), kPluginOK);
    EXPECT_EQ(host.CallsNamed("GetFrame").at(0).args[5], kDVLowQuality);
    EXPECT_EQ(host.CountCalls("MixAudio"), 0) << "no sound in proxy mode";
    params->frameRect = Rect{0, 0, 480, 320};
    host.ClearCalls();
    ASSERT_EQ(Frame(1), kPluginOK);
    EXPECT_EQ(host.CallsNamed("GetFrame").at(0).args[5], kDVHighQuality);
    params->frame = target.gw;
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
    params->startFrame = 10;
    params->getInfo.bestThumbOffset = 6;
    ASSERT_EQ(Call(kPlugFilePlaceHolder), kPluginOK);
    EXPECT_EQ(host.CallsNamed("GetFrame").at(0).args[1], 16);
    UInt8 expect[4];
    TestHost::FrameColor(16, expect);
    EXPECT_EQ(std::memcmp(target.at(30, 20), expect, 4), 0);
    EXPECT_EQ(params->clientData, nullptr);
    EXPECT_EQ(host.OutstandingBlocks(), baseline);

    // With a run in the host's block: the run survives and renders on.
    Begin(0, 0);
    void *run = params->clientData;
    ASSERT_EQ(Call(kPlugFilePlaceHolder), kPluginOK);
    EXPECT_EQ(params->clientData, run);
    EXPECT_EQ(Frame(0), kPluginOK);
    ASSERT_EQ(Call(kPlugTerminate), kPluginOK);

    // Its initialize fails after allocating: the answer, and nothing kept.
    host.FailCall("GetFilterInfo", kPluginFailed, 1);
    host.ClearCalls();
    EXPECT_EQ(Call(kPlugFilePlaceHolder), kPluginFailed);
    EXPECT_EQ(host.CountCalls("GetFrame"), 0);
    EXPECT_EQ(host.OutstandingBlocks(), baseline);
}

TEST_F(FrameDriver, ScrubberFetchCopiesAndGivesBack) {
    World clip(32, 24);
    params->startFrame = 0;
    EXPECT_EQ(GetFrameIntoGW(clip.gw, params.get(), -5, 1), -1);
    EXPECT_EQ(host.CountCalls("GetFrame"), 0);
    params->startFrame = 40;
    EXPECT_EQ(GetFrameIntoGW(clip.gw, params.get(), 3, 1), kPluginOK);
    const auto get = host.CallsNamed("GetFrame").at(0).args;
    EXPECT_EQ(get[1], 43);
    EXPECT_EQ(get[3], 32);
    EXPECT_EQ(get[4], 24);
    UInt8 expect[4];
    TestHost::FrameColor(43, expect);
    EXPECT_EQ(std::memcmp(clip.at(31, 23), expect, 4), 0);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1);
    host.FailCall("GetFrame", kPluginCantGetNeededFrame, 1);
    EXPECT_EQ(GetFrameIntoGW(clip.gw, params.get(), 500, 1), kPluginCantGetNeededFrame);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1);
}

}  // namespace
