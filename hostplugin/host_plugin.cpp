#include "host_plugin.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ansi_text.h"
#include "attribute_exchange.h"
#include "dialogs.h"
#include "now_playing_record.h"
#include "players.h"
#include "program_path.h"
#include "record_transfer.h"
#include "region_names.h"

namespace mivola {

HostPlugin::HostPlugin() : funcInfo_(kFuncInfo) {}

int HostPlugin::Init() { return InitIn(ModuleFolder(module_)); }

int HostPlugin::InitIn(const std::string& moduleDir) {
    moduleDir_ = moduleDir;
    LoadSettings(moduleDir_, main_, settings_, attributes_);
    funcInfo_.SettingCount = static_cast<int32_t>(main_.settingCount);
    requestMutex_.Create(kRequestMutex, false);
    answerMutex_.Create(kAnswerMutex, false);
    PublishRequest();
    // Without a whole folder this is no full path, and the bridges are not started.
    launcher_.Configure(moduleDir_ + "Mivola\\ZEQ_Mivola_iTunes.exe");
    smtcLauncher_.Configure(moduleDir_ + "Mivola\\ZEQ_Mivola_SMTC.exe");
    StartBridges();
    released_ = false;
    return 0;
}

void HostPlugin::Free() {
    for (SharedRegion& region : players_) region.Close();
    attributes_.Clear();
    requestRegion_.Close();
    released_ = true;
}

bool HostPlugin::CopyFuncInfo(int funcIndex, void* buffer) const {
    if (funcIndex != kTextFunction || !buffer) return false;
    std::memcpy(buffer, &funcInfo_, sizeof funcInfo_);
    return true;
}

const Setting* HostPlugin::FindSetting(int funcIndex, int settingIndex) const {
    if (funcIndex != kTextFunction || settingIndex < 1) return nullptr;
    return settings_.Get(static_cast<size_t>(settingIndex) - 1);
}

int HostPlugin::GetFuncSettingName(int funcIndex, int settingIndex, char* buffer, int bufferSize) const {
    if (!buffer || bufferSize < 1) return 0;
    buffer[0] = '\0';
    if (settingIndex > funcInfo_.SettingCount) return 0;
    const Setting* setting = FindSetting(funcIndex, settingIndex);
    if (!setting) return 0;
    // Cut to the host's buffer, never between the two bytes of a character.
    size_t room = std::min(static_cast<size_t>(bufferSize) - 1, kSettingNameCapacity - 1);
    // The host reads the names as code page 932, whatever this thread's code page is.
    size_t n = AnsiPrefixLength(kHostCodePage, setting->name, room);
    std::memcpy(buffer, setting->name, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

int HostPlugin::GetText(int funcIndex, int settingIndex, wchar_t* buffer, int bufferLength) {
    const Setting* setting = FindSetting(funcIndex, settingIndex);
    if (!setting) return 0;
    if (bufferLength == 0) return EstimateTemplateSize(setting->tmpl) + 1;
    if (!buffer || bufferLength < 0) return 0;
    size_t row = ResolvePlayer(*setting);
    if (row == kPlayerCount) return 0;  // no player: the host keeps what its buffer held
    ResolvedPlayer player{PlayerTable[row].id, &players_[row]};
    return ExpandTemplate(setting->tmpl, &player, answerMutex_, buffer, bufferLength);
}

size_t HostPlugin::ResolvePlayer(const Setting& setting) {
    if (PlayerTable[setting.playerRow].id != kPlayerAuto) return IsLive(setting.playerRow) ? setting.playerRow : kPlayerCount;
    for (size_t row = 0; row < kPlayerCount; ++row) {
        uint32_t id = PlayerTable[row].id;
        if (id == 0 || id == kPlayerAuto) continue;
        if (IsLive(row)) return row;
    }
    return kPlayerCount;
}

bool HostPlugin::IsLive(size_t row) {
    SharedRegion& region = players_[row];
    if (!region.IsOpen()) {
        char name[kRegionNameMax];
        if (!NowPlayingRegionName(name, PlayerTable[row].key)) return false;
        // Only a bridge creates a now-playing region; one this call created is discarded again.
        if (region.Open(name, kNowPlayingRecordSize) != RegionExisted) {
            region.Close();
            return false;
        }
    }
    uint32_t magic = 0;
    CopyRecordOut(region, &magic, sizeof magic);
    return magic == kRecordMagic;
}

int HostPlugin::ShowSetting(int funcIndex, int settingIndex, HWND parent) {
    if (funcIndex == 0) {
        // The bridges read their settings only when they start, so they are restarted around the
        // dialog; one switched off there stays ended.
        launcher_.Stop();
        smtcLauncher_.Stop();
        RunPluginSettingsDialog(*this, parent);
        // The result tells the host about the iTunes bridge only, as it did before the media
        // sessions came: with iTunesCheck 0 it is 0 whatever the other bridge does.
        return StartBridges() ? 1 : 0;
    }
    if (funcIndex == kTextFunction) return static_cast<int>(RunFormatSettingDialog(*this, settingIndex, parent));
    // Wraps instead of overflowing for the smallest int.
    return static_cast<int>(static_cast<unsigned>(funcIndex) - 1u);
}

bool HostPlugin::StartBridges() const {
    bool iTunesStarted = main_.iTunesCheck && launcher_.Start();
    if (main_.smtcCheck) smtcLauncher_.Start();
    return iTunesStarted;
}

int HostPlugin::ShowAbout(HWND parent) { return static_cast<int>(RunVersionDialog(*this, parent)); }

void HostPlugin::SaveMainSettings() {
    // "Version" 2 makes the next load read the current sections; settings loaded from the old
    // ones are written there first, or they would be lost.
    if (main_.version <= 1) SaveSettings();
    mivola::SaveMainSettings(moduleDir_, main_);
}

void HostPlugin::SaveSettings() {
    mivola::SaveSettings(moduleDir_, settings_, attributes_);
    main_.version = 2;
    PublishRequest();
}

void HostPlugin::PublishRequest() {
    std::vector<wchar_t> units = attributes_.Serialize();
    WriteList(requestMutex_, requestRegion_, kRequestRegion, units.data(), static_cast<uint32_t>(units.size()));
}

}  // namespace mivola
