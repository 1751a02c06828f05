// Compiled with -fexec-charset=CP932 for the Japanese display names.
#include "player_table.h"

#include <windows.h>

#include "players.h"

namespace mivola {

const PlayerEntry PlayerTable[kPlayerCount + 1] = {
    {"自動", kKeyAuto, kPlayerAuto},
    {"Windows Media Player", kKeyWmp, kPlayerWmp},
    {"Winamp", kKeyWinamp, kPlayerWinamp},
    {"iTunes", kKeyiTunes, kPlayeriTunes},
    {"メディア セッション", kKeySmtc, kPlayerSmtc},
    {nullptr, nullptr, 0},
};

size_t FindPlayerRow(const char* key) {
    if (!key) return kAutoRow;
    for (size_t row = 0; row < kPlayerCount; ++row) {
        if (::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, key, -1, PlayerTable[row].key, -1) == CSTR_EQUAL)
            return row;
    }
    return kAutoRow;
}

}  // namespace mivola
