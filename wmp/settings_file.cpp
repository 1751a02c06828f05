#include "settings_file.h"

#include <cstdio>

#include "ini_file_update.h"
#include "interval.h"
#include "text_copy.h"

namespace mivola::wmp {

namespace {


constexpr char kSection[] = "Main";
constexpr char kKey[] = "Timing";
constexpr DWORD kModulePathMax = 4096;

bool SettingsPath(HMODULE module, char (&path)[kModulePathMax + 5]) {
    path[0] = '\0';
    char modulePath[kModulePathMax + 1];
    DWORD n = ::GetModuleFileNameA(module, modulePath, kModulePathMax + 1);
    if (n == 0 || n > kModulePathMax) return false;  // a cut path would name another file
    return JoinText(path, sizeof path, {modulePath, ".ini"});
}

}  // namespace

UINT ReadTiming(HMODULE module) {
    char path[kModulePathMax + 5];
    if (!SettingsPath(module, path)) return kIntervalDefault;
    return ReadIntervalSetting(path, kSection, kKey);
}

bool WriteTiming(HMODULE module, UINT intervalMs) {
    char path[kModulePathMax + 5];
    if (!SettingsPath(module, path)) return false;
    char text[16];
    std::snprintf(text, sizeof text, "%u", intervalMs);
    // Saved whole or not at all: the file is never left cut short.
    IniFileUpdate file(path);
    return file.Write(kSection, kKey, text) && file.Commit();
}

}  // namespace mivola::wmp
