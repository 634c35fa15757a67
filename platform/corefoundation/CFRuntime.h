/*
 * CFRuntime.h: how the platform stand-ins define reference-counted object
 * types (internal to the platform layer). An object type embeds
 * CFRuntimeBase as its first member and names a finaliser that runs when the
 * last reference is released; the finaliser frees the object itself.
 */
#ifndef QUELVANE_CFRUNTIME_H
#define QUELVANE_CFRUNTIME_H

#include "corefoundation/CFBase.h"

#ifdef __cplusplus
#include <atomic>

struct CFRuntimeBase;
using CFFinalizer = void (*)(CFRuntimeBase *object);

struct CFRuntimeBase {
    UInt32 magic;
    CFTypeID typeID;
    std::atomic<CFIndex> retainCount;
    CFFinalizer finalize;
};

constexpr UInt32 kCFRuntimeMagic = 0x43465242; // "CFRB"

// Type identifiers of the stand-ins' object types.
enum : CFTypeID {
    kQVTypeIDString = 1,
    kQVTypeIDURL = 2,
    kQVTypeIDBundle = 3,
    kQVTypeIDImage = 4,
    kQVTypeIDContext = 5,
    kQVTypeIDColorSpace = 6,
    kQVTypeIDImageSource = 7,
    kQVTypeIDData = 8,
    kQVTypeIDArray = 9
};

// Sets up a freshly allocated object with one reference.
QV_API void CFRuntimeInit(CFRuntimeBase *object, CFTypeID typeID, CFFinalizer finalize);

// The object if cf is a live object of that type, else nullptr.
QV_API CFRuntimeBase *CFRuntimeCast(CFTypeRef cf, CFTypeID typeID);
#endif

#endif /* QUELVANE_CFRUNTIME_H */
