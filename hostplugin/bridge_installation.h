// Installing and removing the player bridges: whether each is in place, and the request to
// the installer program, which alone writes into the players' folders (with elevated rights).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace mivola {

enum LibraryState : uint8_t {
    LibraryInstalled = 0,     // the bridge file is at its place
    LibraryNotInstalled = 1,  // the player folder exists, the bridge file does not
    PlayerNotFound = 2,       // no player folder, or it is not a directory
};

// Results of InstallLibrary and UninstallLibrary.
constexpr int kInstallDone = 1;
constexpr int kInstallFailed = 0;
constexpr int kInstallNoPlayer = 2;

LibraryState LibraryStateOf(uint32_t playerId);

// moduleDir is the host plug-in's folder (trailing backslash); the installer and the
// bridges ship in its "Mivola" folder.
int InstallLibrary(const std::string& moduleDir, uint32_t playerId);
int UninstallLibrary(const std::string& moduleDir, uint32_t playerId);

// Hands the request to "Mivola\vennick.exe" and waits for it: 1 when it reported success.
int RunInstaller(const std::string& moduleDir, const char* firstPath, const char* secondPath, uint8_t operation,
                 uint32_t playerId);

// The verb the installer is started with: elevated from Windows Vista (major version 6) on.
const char* InstallerVerb(DWORD majorVersion);

// Button text and enabled state of the player's button in the settings dialog.
void SetLibraryButton(HWND dialog, uint32_t playerId, LibraryState state);

// A click on the player's button: installs or removes the bridge, tells the user how it went
// and resets the button. Returns the state after the attempt.
LibraryState ClickLibraryButton(HWND dialog, const std::string& moduleDir, uint32_t playerId, LibraryState state);

}  // namespace mivola
