/* The plug-in's only exported symbol: the host calls `main` for every
   request. C++ reserves the name `main`, so the entry lives in this C file and
   hands the request to the dispatcher. */
#include "host/PluginEntry.h"

__attribute__((visibility("default"))) SInt32 main(SInt32 which, PluginParams *params) {
    return PluginEntry(which, params);
}
