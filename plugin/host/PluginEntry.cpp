// Request dispatch behind the exported entry point.
#include "host/PluginEntry.h"

#include <new>

extern "C" SInt32 PluginEntry(SInt32 which, PluginParams *params) {
    (void)which;
    try {
        if (!params) return kPluginBadParams;
        if (params->interfaceVersion <= kHYOldestRejectedInterfaceVersion) return kPluginAppIsTooOld;
        return kPluginOK;
    } catch (const std::bad_alloc &) {
        return kPluginOutOfMemory;
    } catch (...) {
        return kPluginFailed;
    }
}
