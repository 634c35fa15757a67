/* PluginEntry.h: the request dispatcher behind the exported `main`. It checks
   the parameter block and the interface version, runs the one-time start-up
   and hands the request to its handler. No C++ exception leaves it. The host
   owns `params`; the dispatcher keeps the shared configuration for the life
   of the process. */
#ifndef QUELVANE_PLUGINENTRY_H
#define QUELVANE_PLUGINENTRY_H

#include "HYPluginInterface.h"

QV_EXTERN_C_BEGIN

SInt32 PluginEntry(SInt32 which, PluginParams *params);

QV_EXTERN_C_END

#endif
