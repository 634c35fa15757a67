// The entry point's checks and the one-time start-up, in a fresh process:
// rejected requests start nothing, the first accepted request of any kind
// allocates and loads the shared configuration, later ones do not.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "TestHost.h"
#include "engine/PluginDefines.h"

using qvtest::PluginBundle;
using qvtest::TestHost;

TEST(EntryStartup, RunsOnceOnTheFirstAcceptedRequest) {
    qvtest::PrivatePreferences prefs;
    const std::filesystem::path prefsFile = std::filesystem::path(prefs.Path()) / "qrvtn-Prefs";
    PluginBundle *bundle = PluginBundle::Get();
    ASSERT_NE(bundle, nullptr);
    TestHost host;
    auto params = qvtest::MakeParams(host);

    // Rejected requests: nothing is allocated, nothing is stored.
    EXPECT_EQ(bundle->Main(0, nullptr), kPluginBadParams);
    params->interfaceVersion = 3;
    EXPECT_EQ(bundle->Call(params.get(), kPlugGetInfo), kPluginAppIsTooOld);
    params->interfaceVersion = -5;
    EXPECT_EQ(bundle->Call(params.get(), kPlugInitialize), kPluginAppIsTooOld);
    params->interfaceVersion = 4;
    HYProcs *procs = params->procs;
    params->procs = nullptr;
    EXPECT_EQ(bundle->Call(params.get(), kPlugGetInfo), kPluginBadParams);
    params->procs = procs;
    EXPECT_TRUE(host.Calls().empty());
    EXPECT_FALSE(std::filesystem::exists(prefsFile));

    // No memory for the shared record: the host hears of it, and the next
    // request tries again.
    host.RunOutOfMemoryAfter(0);
    EXPECT_EQ(bundle->Call(params.get(), kPlugDrawIcon), kPluginOutOfMemory);
    host.RunOutOfMemoryAfter(-1);
    EXPECT_EQ(host.OutstandingBlocks(), 0);
    host.ClearCalls();

    // The first accepted request, of a kind without a handler, still starts up.
    auto before = qvtest::MakeParams(host, kPlugDrawIcon);
    std::memcpy(before.get(), params.get(), sizeof(PluginParams));
    before->selector = kPlugDrawIcon;
    EXPECT_EQ(bundle->Call(params.get(), kPlugDrawIcon, 0x7FFF1234), kPluginOK);
    EXPECT_EQ(std::memcmp(before.get(), params.get(), sizeof(PluginParams)), 0) << "the block is left as it was";
    ASSERT_EQ(host.CountCalls("NewPtrClear"), 1);
    EXPECT_EQ(host.CallsNamed("NewPtrClear")[0].args[0], static_cast<long long>(sizeof(PluginDataRec)));
    EXPECT_EQ(host.OutstandingBlocks(), 1) << "the shared record lives for the whole process";
    EXPECT_TRUE(std::filesystem::exists(prefsFile)) << "the saved configuration is created at start-up";

    // Later requests of every kind without a handler, and get-info twice: no
    // second record.
    const int others[] = {kPlugDrawThumbNail, kPlugCallOnceWithInitAndTerminate, 0, 10, 255};
    for (int selector : others) {
        EXPECT_EQ(bundle->Call(params.get(), static_cast<HYPluginSelector>(selector)), kPluginOK) << selector;
    }
    EXPECT_EQ(bundle->Call(params.get(), kPlugGetInfo), kPluginOK);
    EXPECT_EQ(bundle->Call(params.get(), kPlugGetInfo), kPluginOK);
    EXPECT_EQ(host.CountCalls("NewPtrClear"), 1);
    EXPECT_EQ(host.CountCalls("DisposePtr"), 0);
}
