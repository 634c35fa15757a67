/*
 * CFBase.h: reference-counted platform objects. Every object of the
 * CoreFoundation and Quartz stand-ins (strings, URLs, bundles, images,
 * contexts) starts with a CFRuntimeBase and is retained and released here.
 *
 * Ownership follows the platform's rule: whoever creates or copies an object
 * (a call with Create or Copy in its name) releases it; an object obtained by
 * a Get call belongs to the object it came from. Retain and release are
 * thread-safe.
 */
#ifndef QUELVANE_CFBASE_H
#define QUELVANE_CFBASE_H

#include "MacTypes.h"

QV_EXTERN_C_BEGIN

typedef const void *CFTypeRef;
typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef const struct OpaqueCFAllocator *CFAllocatorRef;

#define kCFAllocatorDefault ((CFAllocatorRef)0)

typedef struct CFRange {
    CFIndex location;
    CFIndex length;
} CFRange;

QV_API CFTypeRef CFRetain(CFTypeRef cf);
QV_API void CFRelease(CFTypeRef cf);
QV_API CFIndex CFGetRetainCount(CFTypeRef cf);
QV_API CFTypeID CFGetTypeID(CFTypeRef cf);

QV_EXTERN_C_END

#endif /* QUELVANE_CFBASE_H */
