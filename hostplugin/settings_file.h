// "Mivola\Setting.ini" beside the plug-in: [Main] and one section per numbered setting,
// read and written through the private-profile functions.
#pragma once

#include <windows.h>

#include <string>

#include "setting_list.h"
#include "template_engine.h"

namespace mivola {

struct MainSettings {
    UINT settingCount = 10;  // "MivolaNum", 1..1000
    UINT iTunesCheck = 0;    // non-zero: run the iTunes bridge
    UINT iTunesTiming = 1000;
    UINT smtcCheck = 1;  // "SMTCCheck", non-zero: run the media-session bridge
    UINT smtcTiming = 1000;
    int version = 1;  // above 1: sections "Mivola%03d", else the old "WMP_Basic%03d"
};

// moduleDir ends in a backslash.
std::string SettingsFilePath(const std::string& moduleDir);

// Reads [Main] and exactly main.settingCount settings into list (cleared first), and
// collects into attributes (cleared first) the custom attribute names of every setting
// whose player takes part in the exchange.
void LoadSettings(const std::string& moduleDir, MainSettings& main, SettingList& list, CustomAttributeList& attributes);

// Writes [Main] only. The number of settings in memory is unchanged until the next load.
void SaveMainSettings(const std::string& moduleDir, const MainSettings& main);

// Writes "Version" and every setting in the current layout, rebuilding attributes on the way.
// The caller publishes the rebuilt list.
void SaveSettings(const std::string& moduleDir, const SettingList& list, CustomAttributeList& attributes);

}  // namespace mivola
