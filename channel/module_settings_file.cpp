#include "module_settings_file.h"

#include <cstdio>

#include "ini_file_update.h"
#include "interval.h"
#include "text_copy.h"

namespace mivola {

namespace {
constexpr char kSection[] = "Main";
constexpr char kKey[] = "Timing";
constexpr DWORD kModulePathMax = 4096;
}  // namespace

bool ModuleSettingsPath(HMODULE module, char (&path)[kModuleSettingsPathCapacity]) {
    path[0] = '\0';
    char modulePath[kModulePathMax + 1];
    DWORD n = ::GetModuleFileNameA(module, modulePath, kModulePathMax + 1);
    // n == the buffer size means the path was cut.
    if (n == 0 || n > kModulePathMax) return false;
    return JoinText(path, kModuleSettingsPathCapacity, {modulePath, ".ini"});
}

UINT ReadModuleInterval(HMODULE module) {
    char path[kModuleSettingsPathCapacity];
    if (!ModuleSettingsPath(module, path)) return kIntervalDefault;
    return ReadIntervalSetting(path, kSection, kKey);
}

bool WriteModuleInterval(HMODULE module, UINT intervalMs) {
    char path[kModuleSettingsPathCapacity];
    if (!ModuleSettingsPath(module, path)) return false;
    char text[16];
    std::snprintf(text, sizeof text, "%u", intervalMs);
    // Saved whole or not at all: the file is never left cut short.
    IniFileUpdate file(path);
    return file.Write(kSection, kKey, text) && file.Commit();
}

}  // namespace mivola
