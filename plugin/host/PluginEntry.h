/* PluginEntry.h: the request dispatcher behind the exported `main`, and the
   get-info request. The dispatcher checks the parameter block and the
   interface version, runs the one-time start-up (the shared configuration
   record, allocated through the host and loaded from the saved settings)
   and hands the request to its handler. No C++ exception leaves it:
   std::bad_alloc answers kPluginOutOfMemory, anything else kPluginFailed.

   Ownership: the host owns `params`; the plug-in keeps the shared
   configuration gPascalData for the life of the process (never freed). */
#ifndef QUELVANE_PLUGINENTRY_H
#define QUELVANE_PLUGINENTRY_H

#include "HYPluginInterface.h"

QV_EXTERN_C_BEGIN

SInt32 PluginEntry(SInt32 which, PluginParams *params);

QV_EXTERN_C_END

#ifdef __cplusplus
#include "engine/PluginDefines.h"

/* The engine's start-up hook has run. */
extern Boolean gPascalInited;
/* The shared configuration record: the one the dialog edits and every render
   run copies. Empty until the first request that passes the checks. */
extern PluginDataRec *gPascalData;

/* Get-info request: describes the filter to the host (type, frames, flags,
   memory need, sliders, button caption, group). Answers kPluginOK. */
HYPluginResult EffectGetInfo(SInt16 which, PluginParams *params);
/* Fills the slider, button and group descriptions from the bundle's string
   lists 128 (slider labels), 129 (end labels), 130 (button caption) and
   17000 (group name). */
void SetFilterParamInfos(SInt16 which, PluginParams *params);

/* The base memory need reported to the host, and the bits added to its
   choice flags. */
constexpr SInt32 cBaseMemoryNeeded = 50000;
constexpr HYPluginChoiceFlags cGetInfoFlags = 0x380;
constexpr HYPluginChoiceFlags cFilterParamFlags = 0x1000;
#endif

#endif
