#include "player_folder.h"

#include <shlwapi.h>

#include <cstring>

#include "players.h"
#include "text_copy.h"
#include "unique_handle.h"

namespace mivola {

const InstallablePlayer InstallablePlayers[2] = {
    {kPlayerWmp, "ZEQ_Mivola_WMP.dll", "", "wmplayer.exe"},
    {kPlayerWinamp, "gen_zeq_mivola.dll", "Plugins\\", "winamp.exe"},
};

const InstallablePlayer* FindInstallablePlayer(uint32_t playerId) {
    for (const InstallablePlayer& p : InstallablePlayers)
        if (p.id == playerId) return &p;
    return nullptr;
}

void ReadRegistryText(HKEY root, const char* subkey, const char* value, char* buffer, size_t capacity) {
    if (capacity == 0) return;
    std::memset(buffer, 0, capacity);
    unique_hkey key;
    if (::RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    // One byte stays back so that a value stored without its terminator still ends in one.
    DWORD size = static_cast<DWORD>(capacity - 1);
    if (::RegQueryValueExA(key.get(), value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        std::memset(buffer, 0, capacity);
}

void ExpandReferences(const char* text, char* out, size_t capacity) {
    if (capacity == 0) return;
    size_t n = 0;
    auto append = [&](const char* s, size_t length) {
        size_t room = capacity - 1 - n;
        size_t take = length < room ? length : room;
        std::memcpy(out + n, s, take);
        n += take;
        return take == length;
    };
    for (const char* p = text; *p;) {
        const char* close = *p == '%' ? std::strchr(p + 1, '%') : nullptr;
        if (!close) {
            if (!append(p, 1)) break;
            ++p;
            continue;
        }
        char name[1024];
        char value[1024];
        size_t nameLength = static_cast<size_t>(close - p - 1);
        if (nameLength < sizeof name) {
            std::memcpy(name, p + 1, nameLength);
            name[nameLength] = '\0';
            DWORD got = ::GetEnvironmentVariableA(name, value, sizeof value);
            // A value too long for the buffer leaves it unwritten: it contributes nothing.
            if (got > 0 && got < sizeof value && !append(value, got)) break;
        }
        p = close + 1;
    }
    out[n] = '\0';
}

namespace {

// Appends a backslash unless the last character is one; a trail byte 0x5C of a double-byte
// character does not count.
void AddBackslash(char* buffer, size_t capacity) {
    size_t length = std::strlen(buffer);
    if (length + 1 >= capacity) return;
    if (length > 0) {
        const char* last = ::CharPrevA(buffer, buffer + length);
        if (last + 1 == buffer + length && *last == '\\') return;
    }
    buffer[length] = '\\';
    buffer[length + 1] = '\0';
}

}  // namespace

bool FindPlayerFolder(uint32_t playerId, char* buffer, size_t capacity) {
    if (capacity == 0) return false;
    char raw[kPathCapacity];
    if (playerId == kPlayerWmp) {
        ReadRegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\MediaPlayer", "Installation Directory", raw, sizeof raw);
        if (!raw[0]) {
            ReadRegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Multimedia\\WMPlayer", "Player.Path", raw,
                             sizeof raw);
            if (raw[0]) ::PathRemoveFileSpecA(raw);
        }
    } else if (playerId == kPlayerWinamp) {
        ReadRegistryText(HKEY_CURRENT_USER, "Software\\Winamp", nullptr, raw, sizeof raw);
    } else {
        raw[0] = '\0';
    }
    if (!raw[0]) return false;
    AddBackslash(raw, capacity < sizeof raw ? capacity : sizeof raw);
    ExpandReferences(raw, buffer, capacity);
    return true;
}

bool BridgePathIn(const char* folder, const InstallablePlayer& player, char* out, size_t capacity) {
    return JoinText(out, capacity, {folder, player.subfolder, player.bridgeFile});
}

}  // namespace mivola
