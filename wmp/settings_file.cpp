#include "settings_file.h"

#include "module_settings_file.h"

namespace mivola::wmp {

UINT ReadTiming(HMODULE module) { return ReadModuleInterval(module); }
bool WriteTiming(HMODULE module, UINT intervalMs) { return WriteModuleInterval(module, intervalMs); }

}  // namespace mivola::wmp
