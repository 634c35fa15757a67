/* The host records keep their published layout. Including the interface
   header runs its pinned static assertions; this file repeats the sizes the
   host relies on so that a change to the header cannot drop them silently.
   It is compiled natively (and run) and with -m32 (compile only: 32-bit
   programs cannot run here). */
#include <stdio.h>

#include "HYPluginInterface.h"
#include "quickdraw/QuickDraw.h"

#define PTR4 (sizeof(void *) == 4)
_Static_assert(sizeof(PluginParams) == (PTR4 ? 1940 : 1976), "PluginParams");
_Static_assert(sizeof(HYPluginGetInfo) == 48, "HYPluginGetInfo");
_Static_assert(sizeof(HY2PluginGetInfo) == 1328, "HY2PluginGetInfo");
_Static_assert(sizeof(HY3PluginGetInfo) == (PTR4 ? 128 : 136), "HY3PluginGetInfo");
_Static_assert(sizeof(HY4PluginGetInfo) == 388, "HY4PluginGetInfo");
_Static_assert(sizeof(HYPluginFilterInfo) == 20, "HYPluginFilterInfo");
_Static_assert(sizeof(HYProcs) == (PTR4 ? 120 : 240), "HYProcs");
_Static_assert(sizeof(HYPluginSelector) == 1 && sizeof(HYPluginResult) == 1 && sizeof(HYPluginType) == 1 &&
                   sizeof(HYRefDVQuality) == 1 && sizeof(HYRefDigitalVideoStandard) == 1,
               "every enumeration is one byte");
_Static_assert(offsetof(PluginParams, frameRect) == (PTR4 ? 78 : 94), "frameRect");
_Static_assert(offsetof(PluginParams, getInfo3) + offsetof(HY3PluginGetInfo, buttonTitle) == (PTR4 ? 1520 : 1552),
               "buttonTitle");
_Static_assert(sizeof(PixMap) == (PTR4 ? 50 : 62), "PixMap");

int main(void) {
    printf("PluginParams %zu bytes, HYProcs %zu bytes, %zu-byte pointers\n", sizeof(PluginParams),
           sizeof(HYProcs), sizeof(void *));
    return 0;
}
