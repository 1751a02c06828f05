// Where the players that take a bridge file live, found from the registry the same way by the
// host plug-in (to show and request an installation) and by the installer (to check a request).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace mivola {

// Room for a path, terminator included.
constexpr size_t kPathCapacity = 2048;

struct InstallablePlayer {
    uint32_t id;
    const char* bridgeFile;  // shipped in the "Mivola" folder beside the host plug-in
    const char* subfolder;   // where the bridge goes below the player folder ("" or "Plugins\")
    const char* program;     // the player program, which the player folder must hold
};

// Windows Media Player and Winamp.
extern const InstallablePlayer InstallablePlayers[2];
// Null for a player that takes no bridge file.
const InstallablePlayer* FindInstallablePlayer(uint32_t playerId);

// A registry value as text into buffer (zero-filled first); the empty text when the key or
// value cannot be read. value null reads the key's default value. The type is not examined.
void ReadRegistryText(HKEY root, const char* subkey, const char* value, char* buffer, size_t capacity);

// Replaces each %NAME% by the process's variable NAME (nothing when it is not set); a "%"
// with no later "%" stays as it is. The result is cut to capacity - 1 bytes.
void ExpandReferences(const char* text, char* out, size_t capacity);

// The player's folder, ending in a backslash, into buffer; false when the registry names none.
// The folder is not checked for existence.
bool FindPlayerFolder(uint32_t playerId, char* buffer, size_t capacity);

// folder + the player's subfolder + its bridge file; false when it does not fit.
bool BridgePathIn(const char* folder, const InstallablePlayer& player, char* out, size_t capacity);

}  // namespace mivola
