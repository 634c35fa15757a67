// Memory Manager stand-in: what it refuses, cleared handles, and the
// injected failures the out-of-memory tests rely on.
#include <gtest/gtest.h>

#include <cstring>

#include "memory/MacMemory.h"

TEST(MacMemory, RefusesNegativeSizesAndHandlesAsPointers) {
    EXPECT_EQ(NewPtr(-1), nullptr);
    EXPECT_EQ(MemError(), paramErr);
    Handle h = NewHandle(8);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetPtrSize(*h), 0) << "a handle's block is not a pointer block";
    EXPECT_EQ(MemError(), memWZErr);
    DisposeHandle(h);
}

TEST(MacMemory, ClearedHandlesAreClearInReusedMemoryToo) {
    Handle dirty = NewHandle(4096);
    std::memset(*dirty, 0xAA, 4096);
    DisposeHandle(dirty);
    Handle h = NewHandleClear(4096);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ((*h)[i], 0) << i;
    DisposeHandle(h);
}

TEST(MacMemory, InjectedFailuresRunOutAfterTheirCount) {
    QVMemorySetFailingAllocations(2);
    EXPECT_EQ(NewPtrClear(16), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(NewHandle(16), nullptr);
    Ptr p = NewPtrClear(16);
    EXPECT_NE(p, nullptr) << "only two allocations were to fail";
    DisposePtr(p);
    QVMemorySetFailingAllocations(0);
}
