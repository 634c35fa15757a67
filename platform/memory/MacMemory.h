/*
 * MacMemory.h: the Memory Manager stand-in. Pointers (NewPtr, NewPtrClear)
 * and relocatable handles (NewHandle) whose block sizes are recorded, so
 * that GetPtrSize and GetHandleSize answer for them.
 *
 * Ownership: whoever allocates a block frees it with DisposePtr or
 * DisposeHandle. Passing anything that did not come from these allocators to
 * GetPtrSize, DisposePtr or the handle calls is refused (MemError then
 * reports memWZErr) as far as the block's guard word shows it.
 *
 * MemError is per thread. The allocators are safe to call from any thread.
 */
#ifndef QUELVANE_MACMEMORY_H
#define QUELVANE_MACMEMORY_H

#include "MacTypes.h"

QV_EXTERN_C_BEGIN

/* Pointers. A negative or failed request gives NULL and sets MemError. */
QV_API Ptr NewPtr(Size byteCount);
QV_API Ptr NewPtrClear(Size byteCount);
QV_API void DisposePtr(Ptr p);
QV_API Size GetPtrSize(Ptr p);

/* Handles: a master pointer to a block that may move when it is resized. */
QV_API Handle NewHandle(Size byteCount);
QV_API Handle NewHandleClear(Size byteCount);
QV_API void DisposeHandle(Handle h);
QV_API Size GetHandleSize(Handle h);
QV_API void SetHandleSize(Handle h, Size newSize);
QV_API void HLock(Handle h);
QV_API void HUnlock(Handle h);
QV_API OSErr PtrToHand(const void *srcPtr, Handle *dstHndl, Size size);

/* Result of the last Memory Manager call on this thread. */
QV_API OSErr MemError(void);

QV_API void BlockMove(const void *srcPtr, void *destPtr, Size byteCount);
QV_API void BlockMoveData(const void *srcPtr, void *destPtr, Size byteCount);

/* Test support: make the next `count` allocations fail with memFullErr
   (0 turns the failure off). Used to exercise out-of-memory paths. */
QV_API void QVMemorySetFailingAllocations(int count);

QV_EXTERN_C_END

#endif /* QUELVANE_MACMEMORY_H */
