// Player ids (single bits, also used as tag masks) and the keys that name their regions.
#pragma once

#include <cstdint>

namespace mivola {

constexpr uint32_t kPlayerWmp = 1;
constexpr uint32_t kPlayerWinamp = 2;
constexpr uint32_t kPlayeriTunes = 4;
constexpr uint32_t kPlayerSmtc = 8;  // the system's media sessions
constexpr uint32_t kPlayerAuto = 255;

constexpr const char kKeyWmp[] = "WMP";
constexpr const char kKeyWinamp[] = "Winamp";
constexpr const char kKeyiTunes[] = "iTunes";
// The system's media sessions (its bridge program, not a player of its own).
constexpr const char kKeySmtc[] = "SMTC";
constexpr const char kKeyAuto[] = "Auto";

// Whether a player id takes part in the custom attribute exchange.
constexpr bool UsesCustomAttributes(uint32_t playerId) { return (playerId & kPlayerWmp) != 0; }

}  // namespace mivola
