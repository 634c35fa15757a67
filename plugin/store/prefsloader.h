// prefsloader.h: the saved configuration. The user's last settings live in
// the resource file "qrvtn-Prefs" in the Preferences folder, as resource
// "Pref" ID 1 named "Config Settings" holding one ConfigSaveRec, written and
// read field by field at fixed offsets in the byte order of the build.
//
// Ownership: the caller owns the PluginDataRec; these procedures only read or
// overwrite its stored fields. Nothing is kept open between calls. Failures
// answer false and show nothing.
#ifndef QUELVANE_PREFSLOADER_H
#define QUELVANE_PREFSLOADER_H

#include "engine/PluginDefines.h"

constexpr UInt32 cConfigSaveVersion = 3;

// Creates an empty preferences file when none exists (at plug-in start, before
// the first ReadConfig), and the preferences folder (mode 0700) when that is
// missing too. True when the file exists afterwards.
Boolean MakeSurePrefsFileExists();

// True when a stored record was read into theConfig.
Boolean ReadConfig(PluginDataRec *theConfig);

// True when the record was written. The file is replaced atomically: a failed
// save leaves the previous file as it was.
Boolean SaveConfig(PluginDataRec *theConfig);

// Conversions between the record and a ConfigSaveRec block (a handle to at
// least the build's record size).
Boolean Config2Save(PluginDataRec *theConfig, Handle theSave);
Boolean Save2Config(PluginDataRec *theConfig, Handle theSave);

#endif // QUELVANE_PREFSLOADER_H
