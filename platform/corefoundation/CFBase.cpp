// Reference counting shared by every platform object type.
#include "corefoundation/CFRuntime.h"

void CFRuntimeInit(CFRuntimeBase *object, CFTypeID typeID, CFFinalizer finalize) {
    object->magic = kCFRuntimeMagic;
    object->typeID = typeID;
    object->retainCount.store(1);
    object->finalize = finalize;
}

CFRuntimeBase *CFRuntimeCast(CFTypeRef cf, CFTypeID typeID) {
    auto *base = static_cast<CFRuntimeBase *>(const_cast<void *>(cf));
    if (!base || base->magic != kCFRuntimeMagic || base->typeID != typeID) return nullptr;
    return base;
}

extern "C" {

CFTypeRef CFRetain(CFTypeRef cf) {
    auto *base = static_cast<CFRuntimeBase *>(const_cast<void *>(cf));
    if (base) base->retainCount.fetch_add(1);
    return cf;
}

void CFRelease(CFTypeRef cf) {
    auto *base = static_cast<CFRuntimeBase *>(const_cast<void *>(cf));
    if (!base) return;
    if (base->retainCount.fetch_sub(1) == 1) {
        base->magic = 0;
        base->finalize(base);
    }
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
    auto *base = static_cast<const CFRuntimeBase *>(cf);
    return base ? base->retainCount.load() : 0;
}

CFTypeID CFGetTypeID(CFTypeRef cf) {
    auto *base = static_cast<const CFRuntimeBase *>(cf);
    return base ? base->typeID : 0;
}

} // extern "C"
