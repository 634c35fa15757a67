/* A plug-in that renders nothing and answers kPluginFailed for the fourth
   frame of a render run: the host must name the frame and the result. Its
   settings button borrows a frame and never gives it back. */
#include "HYPluginInterface.h"

__attribute__((visibility("default"))) SInt32 main(SInt32 which, PluginParams *params) {
    (void)which;
    if (!params) return kPluginBadParams;
    if (params->selector == kPlugDoFrame && params->renderFrame == 3) return kPluginFailed;
    if (params->selector == kPlugCustomButtonClick) {
        GWorldPtr frame = 0;
        SInt16 volume = 0;
        void *cookie = 0;
        params->procs->GetFrame(params->instance, params->renderFrame, &frame, 64, 48, kDVHighQuality, &volume, &cookie);
    }
    return kPluginOK;
}
