#include "settings_file.h"

#include <cstdio>

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
    return ::WritePrivateProfileStringA(kSection, kKey, text, path) != FALSE;
}

}  // namespace mivola::wmp
