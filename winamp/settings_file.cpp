#include "settings_file.h"

namespace mivola::winamp_bridge {

bool SettingsPath(HMODULE module, char (&path)[kSettingsPathCapacity]) { return ModuleSettingsPath(module, path); }
UINT ReadInterval(HMODULE module) { return ReadModuleInterval(module); }
bool WriteInterval(HMODULE module, UINT intervalMs) { return WriteModuleInterval(module, intervalMs); }

}  // namespace mivola::winamp_bridge
