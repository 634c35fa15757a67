// Memory Manager stand-in: recorded sizes, clearing, handles, failures.
#include <gtest/gtest.h>

#include <cstring>

#include "memory/MacMemory.h"

TEST(MacMemory, PointersRecordTheirSizeAndAreCleared) {
    Ptr p = NewPtrClear(396);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GetPtrSize(p), 396);
    for (int i = 0; i < 396; ++i) ASSERT_EQ(p[i], 0) << i;
    DisposePtr(p);
    EXPECT_EQ(MemError(), noErr);

    Ptr empty = NewPtr(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GetPtrSize(empty), 0);
    DisposePtr(empty);
}

TEST(MacMemory, RefusesNegativeSizesAndHandlesAsPointers) {
    EXPECT_EQ(NewPtr(-1), nullptr);
    EXPECT_EQ(MemError(), paramErr);

    Handle h = NewHandle(8);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetPtrSize(*h), 0) << "a handle's block is not a pointer block";
    EXPECT_EQ(MemError(), memWZErr);
    DisposeHandle(h);
}

TEST(MacMemory, HandlesResizeAndKeepTheirContents) {
    Handle h = NewHandleClear(4);
    ASSERT_NE(h, nullptr);
    std::memcpy(*h, "abcd", 4);
    SetHandleSize(h, 100000);
    ASSERT_EQ(MemError(), noErr);
    EXPECT_EQ(GetHandleSize(h), 100000);
    EXPECT_EQ(std::memcmp(*h, "abcd", 4), 0);
    SetHandleSize(h, 2);
    EXPECT_EQ(GetHandleSize(h), 2);
    DisposeHandle(h);

    Handle copy = nullptr;
    ASSERT_EQ(PtrToHand("xyz", &copy, 3), noErr);
    EXPECT_EQ(GetHandleSize(copy), 3);
    EXPECT_EQ(std::memcmp(*copy, "xyz", 3), 0);
    DisposeHandle(copy);
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
