// The settings file of a bridge module: the module's own full path with ".ini" appended,
// section "Main", key "Timing" holding the polling interval.
#pragma once

#include <windows.h>

#include <cstddef>

namespace mivola {

constexpr size_t kModuleSettingsPathCapacity = 4096 + 4 + 1;

// False when the module's path does not fit: a cut path would name another file.
bool ModuleSettingsPath(HMODULE module, char (&path)[kModuleSettingsPathCapacity]);
// The clamped interval, or the default when the file or the path is missing.
UINT ReadModuleInterval(HMODULE module);
// Saved whole or not at all.
bool WriteModuleInterval(HMODULE module, UINT intervalMs);

}  // namespace mivola
