// Helpers for the host plug-in's tests: plug-in folders with their own settings file,
// records published the way a bridge does, and the zeqhost stand-in as the host.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "shared_region.h"
#include "test_support.h"

namespace mivola::test {

// A file of this build tree (Arch::Same) or the other one, named relative to its tests folder.
std::wstring BuildFile(Arch arch, const wchar_t* relative);

// A folder laid out as the host installs the plug-in: Mivola.zeqp of the given architecture
// beside "Mivola\Setting.ini" (written from UTF-8 text, stored in code page 932), and, on
// request, the stand-in bridges as "Mivola\ZEQ_Mivola_iTunes.exe" and "Mivola\ZEQ_Mivola_SMTC.exe".
// Made under parent (trailing backslash) when one is given, else under the temporary folder.
class PluginFolder {
public:
    explicit PluginFolder(const std::string& settingsUtf8, Arch arch = Arch::Same, bool withBridge = false,
                          bool withSmtcBridge = false, const std::wstring& parent = std::wstring());
    bool Ready() const { return ready_; }
    std::wstring Dll() const { return dir_.Path() + L"Mivola.zeqp"; }
    std::string ModuleDir() const { return dir_.PathA(); }
    std::wstring SettingsFile() const { return dir_.Path() + L"Mivola\\Setting.ini"; }
    std::wstring BridgeLog() const { return dir_.Path() + L"Mivola\\bridge.log"; }
    std::wstring SmtcBridgeLog() const { return dir_.Path() + L"Mivola\\smtc_bridge.log"; }
    void WriteSettings(const std::string& settingsUtf8) const;

private:
    TempDir dir_;
    bool ready_ = false;
};

// A now-playing record as a bridge publishes it: the region stays while this object lives.
class PublishedPlayer {
public:
    explicit PublishedPlayer(const char* key);
    void Publish(const std::wstring& title);
    void Zero();

private:
    SharedRegion region_;
};

// What zeqhost printed: "key: value" lines by key; other lines by themselves (empty value).
struct HostOutput {
    ChildResult run;
    std::map<std::string, std::string> lines;
    bool Has(const std::string& key) const { return lines.count(key) != 0; }
    std::string operator[](const std::string& key) const;
};

HostOutput RunHost(Arch arch, const std::wstring& dll, const std::wstring& args = std::wstring());

// The stand-in iTunes bridge's message-only window, or null.
HWND FindBridgeWindow();
// The stand-in media-session bridge's message-only window, or null.
HWND FindSmtcBridgeWindow();

}  // namespace mivola::test
