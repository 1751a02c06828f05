// The bridge's settings file: the module's own full path with ".ini" appended,
// section "Main", key "Timing" (polling interval in milliseconds).
#pragma once

#include <windows.h>

#include "module_settings_file.h"

namespace mivola::winamp_bridge {

// Module path (at most 4096 characters) + ".ini" + terminator.
constexpr size_t kSettingsPathCapacity = kModuleSettingsPathCapacity;

// False (and an empty path) when the module path cannot be had whole: a cut path would
// name some other file.
bool SettingsPath(HMODULE module, char (&path)[kSettingsPathCapacity]);

// Interval from the file, clamped; 1000 when the file, the key or the path is missing.
UINT ReadInterval(HMODULE module);
// Writes the interval as decimal text; false when the path is unusable or the write fails.
bool WriteInterval(HMODULE module, UINT intervalMs);

}  // namespace mivola::winamp_bridge
