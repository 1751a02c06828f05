// The plug-in's three modal dialogs, run from ShowSetting and ShowAbout. Each returns the
// dialog's result (0), or -1 when the dialog could not be created.
#pragma once

#include <windows.h>

namespace mivola {

class HostPlugin;

// Dialog 102: number of settings, the bridge installations, the iTunes bridge switch and interval.
INT_PTR RunPluginSettingsDialog(HostPlugin& plugin, HWND parent);
// Dialog 103: name, target player and template of setting number `settingNumber` (1-based).
INT_PTR RunFormatSettingDialog(HostPlugin& plugin, int settingNumber, HWND parent);
// Dialog 104: the plug-in's name and version and the bridges running now.
INT_PTR RunVersionDialog(HostPlugin& plugin, HWND parent);

}  // namespace mivola
