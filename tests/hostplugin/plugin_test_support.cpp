#include "plugin_test_support.h"

#include <cstring>
#include <sstream>

#include "now_playing_record.h"
#include "record_transfer.h"
#include "region_names.h"
#include "text_copy.h"

namespace mivola::test {

std::wstring BuildFile(Arch arch, const wchar_t* relative) {
    std::wstring path = (arch == Arch::Same ? ModuleDirectory() + L"..\\" : OtherArchDirectory()) + relative;
    wchar_t full[MAX_PATH * 2];
    DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(full, n) : path;
}

PluginFolder::PluginFolder(const std::string& settingsUtf8, Arch arch, bool withBridge, bool withSmtcBridge,
                           const std::wstring& parent)
    : dir_(parent) {
    ::CreateDirectoryW((dir_.Path() + L"Mivola").c_str(), nullptr);
    WriteSettings(settingsUtf8);
    ready_ = ::CopyFileW(BuildFile(arch, L"..\\hostplugin\\Mivola.zeqp").c_str(), Dll().c_str(), FALSE) != FALSE;
    if (withBridge) {
        ready_ = ready_ && ::CopyFileW(BuildFile(Arch::Same, L"hostplugin\\fake_itunes_bridge.exe").c_str(),
                                       (dir_.Path() + L"Mivola\\ZEQ_Mivola_iTunes.exe").c_str(), FALSE) != FALSE;
    }
    if (withSmtcBridge) {
        ready_ = ready_ && ::CopyFileW(BuildFile(Arch::Same, L"hostplugin\\fake_smtc_bridge.exe").c_str(),
                                       (dir_.Path() + L"Mivola\\ZEQ_Mivola_SMTC.exe").c_str(), FALSE) != FALSE;
    }
}

void PluginFolder::WriteSettings(const std::string& settingsUtf8) const {
    WriteFileBytes(SettingsFile(), Cp932(Widen(settingsUtf8)));
}

PublishedPlayer::PublishedPlayer(const char* key) {
    char name[kRegionNameMax];
    NowPlayingRegionName(name, key);
    region_.Open(name, kNowPlayingRecordSize);
}

void PublishedPlayer::Publish(const std::wstring& title) {
    NowPlayingRecord record;
    std::memset(&record, 0, sizeof record);
    record.Magic = kRecordMagic;
    record.PlayState = 3;
    CopyText(record.Title, title.c_str());
    PublishRecord(region_, &record, sizeof record);
}

void PublishedPlayer::Zero() {
    NowPlayingRecord record;
    std::memset(&record, 0, sizeof record);
    PublishRecord(region_, &record, sizeof record);
}

std::string HostOutput::operator[](const std::string& key) const {
    auto it = lines.find(key);
    return it == lines.end() ? std::string("<missing>") : it->second;
}

HostOutput RunHost(Arch arch, const std::wstring& dll, const std::wstring& args) {
    HostOutput out;
    std::wstring tail = args.empty() ? L"\"" + dll + L"\"" : args + L" \"" + dll + L"\"";
    out.run = RunChild(BuildFile(arch, L"..\\sim\\zeqhost\\zeqhost.exe"), tail);
    std::istringstream stream(out.run.output);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(": ");
        if (colon == std::string::npos) {
            out.lines[line];
        } else {
            out.lines[line.substr(0, colon)] = line.substr(colon + 2);
        }
    }
    return out;
}

HWND FindBridgeWindow() { return ::FindWindowExA(HWND_MESSAGE, nullptr, "ZEQ_Plugin_iTunes", nullptr); }

HWND FindSmtcBridgeWindow() { return ::FindWindowExA(HWND_MESSAGE, nullptr, "ZEQ_Plugin_SMTC", nullptr); }

}  // namespace mivola::test
