// The players a setting can target, in the order "Auto" tries them after itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mivola {

struct PlayerEntry {
    const char* displayName;  // code page 932; null in the terminator row
    const char* key;          // names the player's regions; stored as "TargetPlayer"
    uint32_t id;
};

constexpr size_t kPlayerCount = 5;
constexpr size_t kAutoRow = 0;  // the default target of every setting

// kPlayerCount rows, then an all-zero row.
extern const PlayerEntry PlayerTable[kPlayerCount + 1];

// The first row whose key equals key ignoring case; kAutoRow when none does (or key is null).
size_t FindPlayerRow(const char* key);

}  // namespace mivola
