#include "settings_file.h"

#include <cstdio>
#include <cstring>

#include "ansi_text.h"
#include "ini_file_update.h"
#include "interval.h"
#include "player_table.h"
#include "plugin_info.h"
#include "players.h"
#include "setting_keys.h"
#include "text_copy.h"

namespace mivola {

namespace {

// Bytes read for "Format": room for any template SaveSettings writes (1023 units, up to three
// bytes each in a multi-byte code page), so a saved template loads back whole.
constexpr size_t kFormatCapacity = 4096;
constexpr size_t kKeyCapacity = 256;

void SectionName(char (&out)[32], bool currentLayout, size_t index) {
    std::snprintf(out, sizeof out, currentLayout ? setting_ini::kSettingSection : setting_ini::kOldSettingSection,
                  static_cast<unsigned>(index));
}

void WriteNumber(IniFileUpdate& file, const char* key, long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld", value);
    file.Write(setting_ini::kMain, key, text);
}

// Creates the "Mivola" folder when nothing of that name is in the module directory.
void EnsureFolder(const std::string& moduleDir) {
    char found[MAX_PATH];
    if (::SearchPathA(moduleDir.c_str(), setting_ini::kFolder, "", MAX_PATH, found, nullptr) == 0)
        ::CreateDirectoryA((moduleDir + setting_ini::kFolder).c_str(), nullptr);
}

void LoadSetting(const char* path, bool currentLayout, size_t index, Setting& s) {
    char section[32];
    SectionName(section, currentLayout, index);

    char defaultName[kSettingNameCapacity];
    std::snprintf(defaultName, sizeof defaultName, kDefaultSettingNameFormat, static_cast<int>(index + 1));
    // Buffers start zeroed: a value cut at the end of a buffer may leave a byte unwritten
    // before the terminator.
    std::memset(s.name, 0, sizeof s.name);
    ::GetPrivateProfileStringA(section, setting_ini::kSettingName, defaultName, s.name, kSettingNameCapacity, path);
    // A name cut by the buffer may end in half a double-byte character.
    s.name[AnsiPrefixLength(CP_THREAD_ACP, s.name, kSettingNameCapacity - 1)] = '\0';

    s.playerRow = kAutoRow;
    if (currentLayout) {
        char key[kKeyCapacity] = {};
        ::GetPrivateProfileStringA(section, setting_ini::kTargetPlayer, "", key, kKeyCapacity, path);
        s.playerRow = FindPlayerRow(key);
    }

    char format[kFormatCapacity] = {};
    ::GetPrivateProfileStringA(section, setting_ini::kFormat, "", format, kFormatCapacity, path);
    format[AnsiPrefixLength(CP_THREAD_ACP, format, kFormatCapacity - 1)] = '\0';
    AnsiToField(CP_THREAD_ACP, format, s.tmpl, kTemplateCapacity);
}

}  // namespace

std::string SettingsFilePath(const std::string& moduleDir) {
    return moduleDir + setting_ini::kFolder + "\\" + setting_ini::kFileName;
}

void LoadSettings(const std::string& moduleDir, MainSettings& main, SettingList& list, CustomAttributeList& attributes) {
    const std::string file = SettingsFilePath(moduleDir);
    const char* path = file.c_str();
    list.Clear();
    attributes.Clear();

    // Unsigned reads: a negative number arrives huge and becomes the maximum.
    UINT count = ::GetPrivateProfileIntA(setting_ini::kMain, setting_ini::kSettingCount, 10, path);
    main.settingCount = count == 0 ? 1 : count > static_cast<UINT>(kMaxSettings) ? kMaxSettings : count;
    main.iTunesCheck = ::GetPrivateProfileIntA(setting_ini::kMain, setting_ini::kiTunesCheck, 0, path);
    main.iTunesTiming = ReadIntervalSetting(path, setting_ini::kMain, setting_ini::kiTunesTiming);
    // On unless switched off: a file written before the media-session bridge existed lacks it.
    main.smtcCheck = ::GetPrivateProfileIntA(setting_ini::kMain, setting_ini::kSmtcCheck, 1, path);
    main.smtcTiming = ReadIntervalSetting(path, setting_ini::kMain, setting_ini::kSmtcTiming);
    main.version = static_cast<int>(::GetPrivateProfileIntA(setting_ini::kMain, setting_ini::kVersion, 1, path));
    const bool currentLayout = main.version > 1;

    for (size_t i = 0; i < main.settingCount; ++i) {
        Setting& s = list.Append();
        LoadSetting(path, currentLayout, i, s);
        if (UsesCustomAttributes(PlayerTable[s.playerRow].id)) CollectCustomAttributes(s.tmpl, attributes);
    }
}

void SaveMainSettings(const std::string& moduleDir, const MainSettings& main) {
    EnsureFolder(moduleDir);
    IniFileUpdate file(SettingsFilePath(moduleDir));
    file.Write(setting_ini::kMain, setting_ini::kVersion, "2");
    WriteNumber(file, setting_ini::kSettingCount, static_cast<int>(main.settingCount));
    WriteNumber(file, setting_ini::kiTunesCheck, static_cast<int>(main.iTunesCheck));
    WriteNumber(file, setting_ini::kiTunesTiming, static_cast<int>(main.iTunesTiming));
    WriteNumber(file, setting_ini::kSmtcCheck, static_cast<int>(main.smtcCheck));
    WriteNumber(file, setting_ini::kSmtcTiming, static_cast<int>(main.smtcTiming));
    file.Commit();
}

void SaveSettings(const std::string& moduleDir, const SettingList& list, CustomAttributeList& attributes) {
    EnsureFolder(moduleDir);
    IniFileUpdate file(SettingsFilePath(moduleDir));
    attributes.Clear();
    file.Write(setting_ini::kMain, setting_ini::kVersion, "2");

    std::string ansi;
    for (size_t i = 0; i < list.Count(); ++i) {
        const Setting& s = *list.Get(i);
        char section[32];
        SectionName(section, true, i);
        file.Write(section, setting_ini::kSettingName, s.name);
        file.Write(section, setting_ini::kTargetPlayer, PlayerTable[s.playerRow].key);
        if (UsesCustomAttributes(PlayerTable[s.playerRow].id)) CollectCustomAttributes(s.tmpl, attributes);
        // Quoted, so that leading and trailing spaces survive the reader's stripping of quotes.
        std::string quoted = WideToAnsi(CP_THREAD_ACP, s.tmpl, ansi) ? "\"" + ansi + "\"" : std::string();
        file.Write(section, setting_ini::kFormat, quoted.c_str());
    }
    // Saved whole or not at all: the settings in memory stay as edited either way.
    file.Commit();
}

}  // namespace mivola
