/* A plug-in that renders nothing and answers kPluginFailed for the fourth
   frame of a render run: the host must name the frame and the result. */
#include "HYPluginInterface.h"

__attribute__((visibility("default"))) SInt32 main(SInt32 which, PluginParams *params) {
    (void)which;
    if (!params) return kPluginBadParams;
    if (params->selector == kPlugDoFrame && params->renderFrame == 3) return kPluginFailed;
    return kPluginOK;
}
