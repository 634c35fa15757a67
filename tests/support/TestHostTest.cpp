// The test host itself: recording, planned failures, memory accounting.
#include <gtest/gtest.h>

#include "TestHost.h"
#include "memory/MacMemory.h"

using qvtest::TestHost;

TEST(TestHost, AllocatorHandsOutMemoryManagerBlocksAndCountsThem) {
    TestHost host;
    Ptr a = host.Procs()->NewPtrClear(40);
    Ptr b = host.Procs()->NewPtr(8);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetPtrSize(a), 40) << "blocks are the platform's, so their size is known";
    for (int i = 0; i < 40; ++i) ASSERT_EQ(a[i], 0);
    EXPECT_EQ(host.OutstandingBlocks(), 2);
    host.Procs()->DisposePtr(a);
    host.Procs()->DisposePtr(a);
    EXPECT_EQ(host.OutstandingBlocks(), 1);
    EXPECT_EQ(host.ForeignDisposals(), 1) << "a second free is caught, not passed on";
    host.Procs()->DisposePtr(b);
    EXPECT_EQ(host.OutstandingBlocks(), 0);
    EXPECT_EQ((host.CallNames()),
              (std::vector<std::string>{"NewPtrClear", "NewPtr", "DisposePtr", "DisposePtr", "DisposePtr"}));
    EXPECT_EQ(host.CallsNamed("NewPtrClear").at(0).args, std::vector<long long>{40});
}

TEST(TestHost, RunsOutOfMemoryAndFailsPlannedCalls) {
    TestHost host;
    host.RunOutOfMemoryAfter(1);
    Ptr a = host.Procs()->NewPtrClear(4);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(host.Procs()->NewPtrClear(4), nullptr);
    EXPECT_EQ(host.Procs()->NewPtr(4), nullptr);
    host.RunOutOfMemoryAfter(-1);
    host.Procs()->DisposePtr(a);

    host.FailCall("GetFilterInfo", kPluginCantGetNeededFrame, 1);
    HYPluginFilterInfo *info = reinterpret_cast<HYPluginFilterInfo *>(1);
    EXPECT_EQ(host.Procs()->GetFilterInfo(host.Instance(), &info), kPluginCantGetNeededFrame);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(host.Procs()->GetFilterInfo(host.Instance(), &info), kPluginOK) << "only one failure was planned";
    EXPECT_EQ(info, &host.FilterInfo());
    EXPECT_EQ(host.FilterInfoOutstanding(), 1);
    host.Procs()->ReleaseFilterInfo(host.Instance(), info);
    EXPECT_EQ(host.FilterInfoOutstanding(), 0);
}
