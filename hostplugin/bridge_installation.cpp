#include "bridge_installation.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "install_request.h"
#include "player_folder.h"
#include "players.h"
#include "program_path.h"
#include "resource.h"
#include "shared_region.h"
#include "text_copy.h"
#include "unique_handle.h"

namespace mivola {

namespace {

struct LibraryButton {
    uint32_t playerId;
    int buttonId;
    const wchar_t* accessKey;
};

constexpr LibraryButton kButtons[] = {
    {kPlayerWmp, IDC_WMP_LIBRARY, L"(&M)"},
    {kPlayerWinamp, IDC_WINAMP_LIBRARY, L"(&A)"},
};

// The size the structure announces differs between the architectures.
static_assert(sizeof(SHELLEXECUTEINFOA) == (sizeof(void*) == 8 ? 112 : 60));

constexpr wchar_t kInstallText[] = L"ライブラリのインストール";
constexpr wchar_t kUninstallText[] = L"ライブラリのアンインストール";
constexpr wchar_t kNoPlayerText[] = L"プレイヤーがみつかりません！";
constexpr wchar_t kSucceeded[] = L"に成功しました";
constexpr wchar_t kFailed[] = L"に失敗しました";

const LibraryButton* FindButton(uint32_t playerId) {
    for (const LibraryButton& b : kButtons)
        if (b.playerId == playerId) return &b;
    return nullptr;
}

// The player's folder and the bridge's place in it; false when the registry names no folder
// or the path does not fit.
bool BridgePlace(uint32_t playerId, char (&folder)[kPathCapacity], char (&bridge)[kPathCapacity]) {
    const InstallablePlayer* player = FindInstallablePlayer(playerId);
    return player && FindPlayerFolder(playerId, folder, kPathCapacity) &&
           BridgePathIn(folder, *player, bridge, kPathCapacity);
}

DWORD WindowsMajorVersion() {
    OSVERSIONINFOA info{};
    // Without its size the call fails and every Windows would look like version 0.
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info)) return 0;
#pragma GCC diagnostic pop
    return info.dwMajorVersion;
}

}  // namespace

LibraryState LibraryStateOf(uint32_t playerId) {
    char folder[kPathCapacity];
    char bridge[kPathCapacity];
    if (!BridgePlace(playerId, folder, bridge) || !::PathIsDirectoryA(folder)) return PlayerNotFound;
    return ::PathFileExistsA(bridge) ? LibraryInstalled : LibraryNotInstalled;
}

int InstallLibrary(const std::string& moduleDir, uint32_t playerId) {
    char folder[kPathCapacity];
    char destination[kPathCapacity];
    const InstallablePlayer* player = FindInstallablePlayer(playerId);
    if (!player || !FindPlayerFolder(playerId, folder, kPathCapacity)) return kInstallNoPlayer;
    if (!BridgePathIn(folder, *player, destination, kPathCapacity)) return kInstallFailed;
    char source[kPathCapacity];
    if (!JoinText(source, kPathCapacity, {moduleDir.c_str(), "Mivola\\", player->bridgeFile})) return kInstallFailed;
    return RunInstaller(moduleDir, destination, source, kOperationInstall, playerId);
}

int UninstallLibrary(const std::string& moduleDir, uint32_t playerId) {
    char folder[kPathCapacity];
    char target[kPathCapacity];
    const InstallablePlayer* player = FindInstallablePlayer(playerId);
    if (!player || !FindPlayerFolder(playerId, folder, kPathCapacity)) return kInstallNoPlayer;
    if (!BridgePathIn(folder, *player, target, kPathCapacity)) return kInstallFailed;
    return RunInstaller(moduleDir, target, "", kOperationUninstall, playerId);
}

const char* InstallerVerb(DWORD majorVersion) { return majorVersion >= 6 ? "runas" : "open"; }

int RunInstaller(const std::string& moduleDir, const char* firstPath, const char* secondPath, uint8_t operation,
                 uint32_t playerId) {
    const DWORD major = WindowsMajorVersion();
    const std::string installer = moduleDir + "Mivola\\vennick.exe";
    // Elevated, a relative name would run whatever the host's current folder holds.
    if (!IsFullPath(installer)) return kInstallFailed;
    const size_t l1 = std::strlen(firstPath), l2 = std::strlen(secondPath);
    if (l1 >= kPathCapacity || l2 >= kPathCapacity) return kInstallFailed;
    const uint32_t size = static_cast<uint32_t>(l1 + l2 + kInstallRequestMinSize);

    SharedRegion region;
    region.Open(kInstallRequestRegion, size);
    // Without a request there is nothing for the installer to do.
    if (!region.IsOpen()) return kInstallFailed;
    auto* bytes = static_cast<unsigned char*>(region.View());
    InstallRequestHeader header{operation, static_cast<uint8_t>(playerId), 0,
                                static_cast<uint32_t>(sizeof header + l1 + 1), static_cast<uint32_t>(sizeof header)};
    std::memcpy(bytes, &header, sizeof header);
    std::memcpy(bytes + header.firstPathOffset, firstPath, l1 + 1);
    std::memcpy(bytes + header.secondPathOffset, secondPath, l2 + 1);

    char parameters[16];
    std::snprintf(parameters, sizeof parameters, "%u", static_cast<unsigned>(size));
    SHELLEXECUTEINFOA info{};
    // The structure's own size: 60 bytes on 32-bit Windows, 112 on 64-bit.
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = InstallerVerb(major);
    info.lpFile = installer.c_str();
    info.lpParameters = parameters;
    info.nShow = SW_SHOW;
    int result = kInstallFailed;
    if (::ShellExecuteExA(&info) && reinterpret_cast<INT_PTR>(info.hInstApp) > 32) {
        unique_handle process(info.hProcess);
        // Without a process to wait for, the verdict could be read before it is written.
        if (process && ::WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0)
            result = bytes[0] == kInstallSucceeded ? kInstallDone : kInstallFailed;
    }
    region.Close();
    return result;
}

void SetLibraryButton(HWND dialog, uint32_t playerId, LibraryState state) {
    const LibraryButton* button = FindButton(playerId);
    if (!button) return;
    HWND control = ::GetDlgItem(dialog, button->buttonId);
    std::wstring text = state == PlayerNotFound ? kNoPlayerText
                        : state == LibraryInstalled ? std::wstring(kUninstallText) + button->accessKey
                                                    : std::wstring(kInstallText) + button->accessKey;
    ::SetWindowTextW(control, text.c_str());
    ::EnableWindow(control, state != PlayerNotFound);
}

LibraryState ClickLibraryButton(HWND dialog, const std::string& moduleDir, uint32_t playerId, LibraryState state) {
    if (state == PlayerNotFound) return state;
    const bool installed = state == LibraryInstalled;
    const int result = installed ? UninstallLibrary(moduleDir, playerId) : InstallLibrary(moduleDir, playerId);
    const wchar_t* caption = installed ? kUninstallText : kInstallText;
    const bool done = result == kInstallDone;
    const std::wstring message = std::wstring(caption) + (done ? kSucceeded : kFailed);
    ::MessageBoxW(dialog, message.c_str(), caption, MB_OK | (done ? MB_ICONINFORMATION : MB_ICONWARNING));
    LibraryState next = done ? (installed ? LibraryNotInstalled : LibraryInstalled) : state;
    SetLibraryButton(dialog, playerId, next);
    return next;
}

}  // namespace mivola
