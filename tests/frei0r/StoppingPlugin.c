/* A plug-in that stops the way a failed assertion does: a stop alert, then
   the end of the process. A host that loads it must survive the request. */
#include "HYPluginInterface.h"
#include "corefoundation/CFString.h"
#include "toolbox/Alerts.h"

__attribute__((visibility("default"))) SInt32 main(SInt32 which, PluginParams *params) {
    (void)which;
    if (!params) return kPluginBadParams;
    if (params->selector == kPlugGetInfo) params->getInfo.pluginType = kPluginFilterType;
    if (params->selector == kPlugInitialize) {
        DialogRef alert = NULL;
        DialogItemIndex hit = 0;
        CreateStandardAlert(kAlertStopAlert, CFSTR("Assertion Failure"), CFSTR("Assertion failed in: a test"), NULL,
                            &alert);
        RunStandardAlert(alert, NULL, &hit);
        ExitToShell();
    }
    return kPluginOK;
}
