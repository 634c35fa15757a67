// Requests through the dispatcher with the test host (calloc blocks, every
// call recorded): render runs from initialize to terminate (configuration
// copy, host settings, fade clamping, memory), the exception boundary, and
// the frame driver's answers to what goes wrong on the host's side (failing
// callbacks, missing slots, lent things that are no frames), the
// place-holder's own run and the scrubber's fetch. The filter's description,
// rendering, fades, sound and frames of another size through an installed
// bundle are the install test's (tests/install).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

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
    bool Untouched() const { return std::memcmp(at(0, 0), "\xFF\x11\x22\x33", 4) == 0; }
};

class Requests : public ::testing::Test {
protected:
    void SetUp() override {
        params = qvtest::MakeParams(host);
        params->frameCount = 100;
        params->frameRect = Rect{0, 0, 48, 64};
        params->frame = target.gw;
        // The shared record exists from the first request on; count blocks
        // from a state where it does.
        ASSERT_EQ(Call(kPlugDrawIcon), kPluginOK);
        baseline = host.OutstandingBlocks();
        host.ClearCalls();
    }
    void TearDown() override {
        if (params->clientData) Call(kPlugTerminate);
        EXPECT_EQ(host.OutstandingBlocks(), baseline) << "every block given back";
        EXPECT_EQ(host.FramesOutstanding(), 0) << "every frame given back";
        EXPECT_EQ(host.ForeignReleases(), 0) << "no cookie the host did not issue";
        EXPECT_EQ(host.ForeignDisposals(), 0) << "nothing is freed twice";
    }
    SInt32 Call(HYPluginSelector selector) {
        params->selector = selector;
        return PluginEntry(selector, params.get());
    }
    EffectData *Run() { return static_cast<EffectData *>(params->clientData); }
    SInt32 Begin() { return Call(kPlugInitialize); }
    SInt32 End() { return Call(kPlugTerminate); }
    // Starts a run with the given fades.
    void Begin(SInt32 fadeIn, SInt32 fadeOut) {
        host.FilterInfo().fadeInFrames = fadeIn;
        host.FilterInfo().fadeOutFrames = fadeOut;
        ASSERT_EQ(Begin(), kPluginOK);
        host.ClearCalls();
    }
    SInt32 Frame(SInt32 renderFrame) {
        params->renderFrame = renderFrame;
        return Call(kPlugDoFrame);
    }

    TestHost host;
    World target{64, 48};
    std::unique_ptr<PluginParams> params;
    int baseline = 0;
};

} // namespace

TEST_F(Requests, RunsCopyTheHostSettingsClampTheFadesAndReplaceTheirCopy) {
    // Each initialize here lands on the live run: the run's record is reused
    // and only the old copy of the configuration is freed.
    struct Case {
        SInt32 fadeIn, fadeOut, frames, wantIn, wantOut;
    } cases[] = {
        {10, 10, 15, 7, 7},  // both: at most half, truncated
        {10, 0, 6, 6, 0},    // fade-in alone: at most the clip
        {0, 20, 100, 0, 20}, {0, 200, 100, 0, 100}, // fade-out alone
        {-5, 30, 10, -5, 5}, // negative fades are left alone
    };
    host.FilterInfo().sliderValues[0] = 0.25f;
    for (const Case &c : cases) {
        host.FilterInfo().fadeInFrames = c.fadeIn;
        host.FilterInfo().fadeOutFrames = c.fadeOut;
        params->frameCount = c.frames;
        ASSERT_EQ(Begin(), kPluginOK);
        EXPECT_EQ(Run()->fadeInFrames, c.wantIn) << c.fadeIn << "/" << c.fadeOut << " over " << c.frames;
        EXPECT_EQ(Run()->fadeOutFrames, c.wantOut) << c.fadeIn << "/" << c.fadeOut << " over " << c.frames;
    }
    EXPECT_EQ(Run()->sliderValues[0], 0.25f);
    EXPECT_EQ(host.FilterInfoOutstanding(), 0) << "the filter info is given back";
    EXPECT_EQ(host.OutstandingBlocks(), baseline + 2) << "one run, one copy";
    ASSERT_EQ(End(), kPluginOK);
    EXPECT_EQ(params->clientData, nullptr);
    EXPECT_EQ(End(), kPluginOK) << "terminate without a run";
}

TEST_F(Requests, HostFailuresAndExceptionsAreAnsweredAndLeaveNothingBehind) {
    // No record for the run, or no copy of the configuration: no half-made run.
    for (int successes : {0, 1}) {
        host.RunOutOfMemoryAfter(successes);
        EXPECT_EQ(Begin(), kPluginOutOfMemory);
        EXPECT_EQ(params->clientData, nullptr);
    }
    host.RunOutOfMemoryAfter(-1);
    // The host's settings cannot be read: its answer is the request's, the
    // sliders keep their defaults, and terminate releases the run.
    host.FailCall("GetFilterInfo", kPluginCantGetNeededFrame, 1);
    EXPECT_EQ(Begin(), kPluginCantGetNeededFrame);
    ASSERT_NE(Run(), nullptr);
    EXPECT_EQ(Run()->sliderValues[1], 0.5f);
    EXPECT_EQ(host.CountCalls("ReleaseFilterInfo"), 0);
    // No exception leaves the entry point; the run survives an interrupted
    // request and is released by the next terminate.
    host.ThrowOnCall("GetFilterInfo", std::make_exception_ptr(std::bad_alloc()));
    EXPECT_EQ(Begin(), kPluginOutOfMemory);
    host.ThrowOnCall("GetFilterInfo", std::make_exception_ptr(std::runtime_error("host trouble")));
    EXPECT_EQ(Begin(), kPluginFailed);
    host.ThrowOnCall("GetClipInfo", std::make_exception_ptr(42));
    EXPECT_EQ(End(), kPluginFailed);
    EXPECT_EQ(End(), kPluginOK);
    EXPECT_EQ(params->clientData, nullptr);
}

TEST_F(Requests, FailuresAreReportedAndNothingLeaks) {
    EXPECT_EQ(Frame(0), kPluginBadParams) << "no run";
    EXPECT_EQ(host.CountCalls("GetFrame"), 0);

    Begin(0, 0);
    // A negative absolute frame: nothing asked, nothing given back, nothing drawn.
    params->startFrame = 20;
    ASSERT_EQ(Frame(-30), kPluginOK);
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_EQ(gMostRecentStartFrame, 20);
    EXPECT_TRUE(target.Untouched());
    params->startFrame = 0;

    // The host cannot give the frame: its answer, and no ReleaseFrame.
    host.FailCall("GetFrame", kPluginCantGetNeededFrame, 1);
    EXPECT_EQ(Frame(3), kPluginCantGetNeededFrame);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 0);

    // The host lends something that is no world, to a frame or to the
    // scrubber: refused, given back, nothing drawn.
    host.lendsForgedFrame = true;
    EXPECT_EQ(Frame(3), kPluginBadParams);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1);
    EXPECT_TRUE(target.Untouched());
    World clip(32, 24);
    EXPECT_EQ(GetFrameIntoGW(clip.gw, params.get(), -5, 1), -1);
    EXPECT_EQ(GetFrameIntoGW(clip.gw, params.get(), 3, 1), kPluginBadParams);
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 2);
    EXPECT_TRUE(clip.Untouched());
    host.lendsForgedFrame = false;

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

    // A frame before the run's first (the host's clip goes on before it) is
    // all the unchanged frame; a failing blend: its answer, no sound.
    Begin(10, 0);
    params->startFrame = 20;
    ASSERT_EQ(Frame(-5), kPluginOK);
    EXPECT_EQ(host.CallsNamed("Blit").at(0).args.at(0), 255);
    params->startFrame = 0;
    host.ClearCalls();
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
    EXPECT_EQ(host.Calls().size(), 2u) << "GetFrame and ReleaseFrame only";
    EXPECT_EQ(host.CountCalls("ReleaseFrame"), 1);
}

TEST_F(Requests, WhatADoFrameOrStillNeedsIsCheckedBeforeAnything) {
    Begin(0, 0);
    // (No GetFrame is refused in the install test.)
    struct Case {
        const char *what;
        HYReleaseFrameProcPtr releaseFrame;
        GWorldPtr frame;
        Rect frameRect;
    } cases[] = {
        {"no ReleaseFrame", nullptr, target.gw, Rect{0, 0, 48, 64}},
        {"a target that is no world", host.Procs()->ReleaseFrame, reinterpret_cast<GWorldPtr>(&host),
         Rect{0, 0, 48, 64}},
        {"an empty frameRect", host.Procs()->ReleaseFrame, target.gw, Rect{0, 10, 48, 10}},
    };
    const HYProcs procs = *host.Procs();
    for (const Case &c : cases) {
        host.Procs()->ReleaseFrame = c.releaseFrame;
        params->frame = c.frame;
        params->frameRect = c.frameRect;
        EXPECT_EQ(Frame(0), kPluginBadParams) << c.what;
        EXPECT_EQ(Call(kPlugFilePlaceHolder), kPluginBadParams) << c.what;
        EXPECT_TRUE(host.Calls().empty()) << c.what << ": nothing asked, nothing allocated";
        EXPECT_TRUE(target.Untouched()) << c.what;
    }
    *host.Procs() = procs;
    params->frame = target.gw;
}

TEST_F(Requests, PlaceHolderIsARunOfItsOwn) {
    // With a run in the host's block: the still renders on a run of its own,
    // and the host's run survives and renders on.
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
    EXPECT_EQ(params->clientData, nullptr);
}
