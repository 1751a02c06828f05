// The plug-in's state and the behaviour behind its exports: lifecycle, player
// resolution, publication of the custom attribute request, the iTunes bridge.
#pragma once

#include <windows.h>

#include <string>

#include "bridge_launcher.h"
#include "named_mutex.h"
#include "player_table.h"
#include "plugin_info.h"
#include "setting_list.h"
#include "settings_file.h"
#include "shared_region.h"
#include "template_engine.h"

namespace mivola {

class HostPlugin {
public:
    HostPlugin();
    HostPlugin(const HostPlugin&) = delete;
    HostPlugin& operator=(const HostPlugin&) = delete;
    ~HostPlugin() = default;

    // The DLL's own module; Init finds the settings beside it.
    void SetModule(HMODULE module) { module_ = module; }
    // The module whose resources hold the dialogs.
    HMODULE Module() const { return module_; }
    // Folder of the plug-in, with a trailing backslash; set by Init (empty when the DLL's path
    // does not fit a path buffer).
    const std::string& ModuleDir() const { return moduleDir_; }

    int Init();
    // Init with an explicit module directory (trailing backslash).
    int InitIn(const std::string& moduleDir);
    void Free();
    bool Released() const { return released_; }

    const FuncInfo& Functions() const { return funcInfo_; }
    // Copies FuncInfo for funcIndex 1 and returns true; anything else copies nothing.
    bool CopyFuncInfo(int funcIndex, void* buffer) const;
    int GetFuncSettingName(int funcIndex, int settingIndex, char* buffer, int bufferSize) const;
    int GetText(int funcIndex, int settingIndex, wchar_t* buffer, int bufferLength);
    int ShowSetting(int funcIndex, int settingIndex, HWND parent);
    int ShowAbout(HWND parent);

    // What the dialogs change and save.
    MainSettings& Main() { return main_; }
    SettingList& Settings() { return settings_; }
    const CustomAttributeList& Attributes() const { return attributes_; }
    void SaveMainSettings();
    void SaveSettings();

private:
    // Starts each bridge program that is switched on; true when the iTunes bridge was started.
    bool StartBridges() const;
    void PublishRequest();
    // Opens the row's now-playing region when a bridge made it, and checks the record.
    bool IsLive(size_t row);
    // Row of the player that serves the setting, or kPlayerCount for none.
    size_t ResolvePlayer(const Setting& setting);
    const Setting* FindSetting(int funcIndex, int settingIndex) const;

    HMODULE module_ = nullptr;
    std::string moduleDir_;
    MainSettings main_;
    FuncInfo funcInfo_;
    bool released_ = true;

    // Declared so that destruction stops the bridges first and closes the request mutex last.
    NamedMutex requestMutex_;
    CustomAttributeList attributes_;
    NamedMutex answerMutex_;
    SettingList settings_;
    BridgeLauncher launcher_{kiTunesBridgeProtocol};
    BridgeLauncher smtcLauncher_{kSmtcBridgeProtocol};

    SharedRegion requestRegion_;
    SharedRegion players_[kPlayerCount];
};

}  // namespace mivola
