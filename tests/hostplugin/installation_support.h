// Helpers for the installation tests: registry values put back whatever happens, fake player
// folders, a plug-in folder with the installer and the bridges, and direct installer runs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin_test_support.h"
#include "test_support.h"

namespace mivola::test {

// One registry value (null name: the key's default value), saved now and put back at
// destruction, so a failing test leaves the prefix's registry as it found it. A key that did
// not exist is removed again.
class RegistryValueGuard {
public:
    RegistryValueGuard(HKEY root, const std::wstring& subkey, const wchar_t* value);
    ~RegistryValueGuard();
    RegistryValueGuard(const RegistryValueGuard&) = delete;
    RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

    bool Set(const std::wstring& text);
    void Remove();

private:
    HKEY root_;
    std::wstring subkey_;
    std::wstring value_;
    bool isDefault_;
    bool keyExisted_ = false;
    bool valueExisted_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

// A key that a test may cause to be created (a COM registration): removed with its subkeys at
// destruction if it did not exist before. view: 0 for this program's registry view, or
// KEY_WOW64_32KEY / KEY_WOW64_64KEY.
class RegistryKeyGuard {
public:
    RegistryKeyGuard(HKEY root, const std::wstring& subkey, REGSAM view = 0);
    ~RegistryKeyGuard();
    RegistryKeyGuard(const RegistryKeyGuard&) = delete;
    RegistryKeyGuard& operator=(const RegistryKeyGuard&) = delete;
    bool Existed() const { return existed_; }

private:
    HKEY root_;
    std::wstring subkey_;
    REGSAM view_;
    bool existed_;
};

bool KeyExists(HKEY root, const std::wstring& subkey, REGSAM view = 0);
// A string value, or "<none>".
std::wstring RegistryText(HKEY root, const std::wstring& subkey, const wchar_t* value);

// The registry values that name the players' folders, all removed for the test and put back
// afterwards.
struct RegisteredPlayers {
    RegisteredPlayers();
    RegistryValueGuard wmpDirectory;
    RegistryValueGuard wmpPlayerPath;
    RegistryValueGuard winamp;
};

// A player folder: the player program (unless left out) and, for Winamp, a "Plugins" folder.
class FakePlayer {
public:
    FakePlayer(uint32_t playerId, bool withProgram = true, const std::wstring& parent = std::wstring());
    const std::wstring& Folder() const { return dir_.Path(); }
    std::wstring Program() const;
    std::wstring BridgePath() const;  // where the installer puts the bridge

private:
    uint32_t id_;
    TempDir dir_;
};

// Copies the installer and the bridges of this build into the plug-in folder's "Mivola" folder.
// The Windows Media Player bridge is copied when this build has one.
bool AddInstaller(const PluginFolder& folder);
std::wstring MivolaFolder(const PluginFolder& folder);
bool WmpBridgeBuilt();

// The COM registration a Windows Media Player bridge makes.
extern const wchar_t kWmpClassKey[];
extern const wchar_t kWmpUiPluginKey[];

// A request as the host plug-in writes it.
std::string RequestBytes(uint8_t operation, uint8_t playerId, const std::string& first, const std::string& second);

struct InstallerRun {
    bool started = false;
    DWORD exitCode = 0;
    unsigned char verdict = 0;  // byte 0 of the request afterwards
};
// Publishes bytes in "ZEQ_Mivola_Vennick" (a region of regionSize bytes, or as many as there are
// bytes; none at all with createRegion false), runs the installer with the command-line tail
// args and reads the verdict back.
InstallerRun RunVennick(const std::wstring& vennick, const std::string& bytes, const std::wstring& args,
                        DWORD regionSize = 0, bool createRegion = true);

// Every file and folder below dir with its size and contents, to show that nothing changed.
std::string Listing(const std::wstring& dir);

}  // namespace mivola::test
