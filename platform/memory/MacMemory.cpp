// Memory Manager stand-in: every block carries a 16-byte header holding a
// guard word and the requested size, so sizes can be asked back later.
#include "memory/MacMemory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr UInt64 kPtrGuard = 0x51564D4D50545221ull;    // live pointer block
constexpr UInt64 kHandleGuard = 0x51564D4D48444C21ull; // live handle block
constexpr UInt64 kDeadGuard = 0x51564D4D44454144ull;   // freed block

struct BlockHeader {
    UInt64 guard;
    UInt64 size;
};
static_assert(sizeof(BlockHeader) == 16, "header keeps 16-byte alignment");

thread_local OSErr tMemError = noErr;
std::atomic<int> gFailingAllocations{0};

bool ShouldFail() {
    int n = gFailingAllocations.load();
    while (n > 0) {
        if (gFailingAllocations.compare_exchange_weak(n, n - 1)) return true;
    }
    return false;
}

BlockHeader *HeaderOf(const void *p) {
    return reinterpret_cast<BlockHeader *>(const_cast<char *>(static_cast<const char *>(p)) - sizeof(BlockHeader));
}

Ptr AllocBlock(Size byteCount, bool clear, UInt64 guard) {
    if (byteCount < 0) {
        tMemError = paramErr;
        return nullptr;
    }
    if (ShouldFail()) {
        tMemError = memFullErr;
        return nullptr;
    }
    size_t total = sizeof(BlockHeader) + static_cast<size_t>(byteCount);
    void *raw = clear ? std::calloc(1, total) : std::malloc(total);
    if (!raw) {
        tMemError = memFullErr;
        return nullptr;
    }
    auto *h = static_cast<BlockHeader *>(raw);
    h->guard = guard;
    h->size = static_cast<UInt64>(byteCount);
    tMemError = noErr;
    return reinterpret_cast<Ptr>(h + 1);
}

bool Check(const void *p, UInt64 guard) {
    if (!p) {
        tMemError = nilHandleErr;
        return false;
    }
    if (HeaderOf(p)->guard != guard) {
        tMemError = memWZErr;
        return false;
    }
    return true;
}

void FreeBlock(Ptr p) {
    BlockHeader *h = HeaderOf(p);
    h->guard = kDeadGuard;
    std::free(h);
}

} // namespace

extern "C" {

Ptr NewPtr(Size byteCount) { return AllocBlock(byteCount, false, kPtrGuard); }

Ptr NewPtrClear(Size byteCount) { return AllocBlock(byteCount, true, kPtrGuard); }

void DisposePtr(Ptr p) {
    if (!p) {
        tMemError = noErr;
        return;
    }
    if (!Check(p, kPtrGuard)) return;
    FreeBlock(p);
    tMemError = noErr;
}

Size GetPtrSize(Ptr p) {
    if (!Check(p, kPtrGuard)) return 0;
    tMemError = noErr;
    return static_cast<Size>(HeaderOf(p)->size);
}

Handle NewHandle(Size byteCount) {
    Ptr data = AllocBlock(byteCount, false, kHandleGuard);
    if (!data) return nullptr;
    auto *master = static_cast<Ptr *>(std::malloc(sizeof(Ptr)));
    if (!master) {
        FreeBlock(data);
        tMemError = memFullErr;
        return nullptr;
    }
    *master = data;
    return master;
}

Handle NewHandleClear(Size byteCount) {
    Handle h = NewHandle(byteCount);
    if (h) std::memset(*h, 0, static_cast<size_t>(byteCount));
    return h;
}

void DisposeHandle(Handle h) {
    if (!h) {
        tMemError = noErr;
        return;
    }
    if (!Check(*h, kHandleGuard)) return;
    FreeBlock(*h);
    *h = nullptr;
    std::free(h);
    tMemError = noErr;
}

Size GetHandleSize(Handle h) {
    if (!h) {
        tMemError = nilHandleErr;
        return 0;
    }
    if (!Check(*h, kHandleGuard)) return 0;
    tMemError = noErr;
    return static_cast<Size>(HeaderOf(*h)->size);
}

void SetHandleSize(Handle h, Size newSize) {
    if (!h || newSize < 0) {
        tMemError = h ? paramErr : nilHandleErr;
        return;
    }
    if (!Check(*h, kHandleGuard)) return;
    if (ShouldFail()) {
        tMemError = memFullErr;
        return;
    }
    BlockHeader *old = HeaderOf(*h);
    void *raw = std::realloc(old, sizeof(BlockHeader) + static_cast<size_t>(newSize));
    if (!raw) {
        tMemError = memFullErr;
        return;
    }
    auto *hdr = static_cast<BlockHeader *>(raw);
    hdr->size = static_cast<UInt64>(newSize);
    *h = reinterpret_cast<Ptr>(hdr + 1);
    tMemError = noErr;
}

void HLock(Handle h) { tMemError = h ? noErr : nilHandleErr; }

void HUnlock(Handle h) { tMemError = h ? noErr : nilHandleErr; }

OSErr PtrToHand(const void *srcPtr, Handle *dstHndl, Size size) {
    if (!dstHndl || (!srcPtr && size > 0)) return tMemError = paramErr;
    *dstHndl = NewHandle(size);
    if (!*dstHndl) return tMemError;
    if (size > 0) std::memcpy(**dstHndl, srcPtr, static_cast<size_t>(size));
    return noErr;
}

OSErr MemError(void) { return tMemError; }

void BlockMove(const void *srcPtr, void *destPtr, Size byteCount) {
    if (byteCount > 0) std::memmove(destPtr, srcPtr, static_cast<size_t>(byteCount));
}

void BlockMoveData(const void *srcPtr, void *destPtr, Size byteCount) { BlockMove(srcPtr, destPtr, byteCount); }

void QVMemorySetFailingAllocations(int count) { gFailingAllocations.store(count < 0 ? 0 : count); }

} // extern "C"
