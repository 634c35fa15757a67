// The test host itself: its memory accounting, which the plug-in leak checks
// trust.
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
