// Play-state codes carried in NowPlayingRecord::PlayState (Windows Media Player's numbering).
#pragma once

#include <cstdint>

namespace mivola {

enum PlayStateCode : uint16_t {
    PlayStateUndefined = 0,
    PlayStateStopped = 1,
    PlayStatePaused = 2,
    PlayStatePlaying = 3,
    PlayStateScanForward = 4,
    PlayStateScanReverse = 5,
    PlayStateBuffering = 6,
    PlayStateWaiting = 7,
    PlayStateMediaEnded = 8,
    PlayStateTransitioning = 9,
    PlayStateReady = 10,
    PlayStateReconnecting = 11,
};

constexpr uint16_t kPlayStateCount = 12;

// Any code a reader does not know is read as undefined.
constexpr uint16_t NormalizePlayState(uint16_t code) { return code < kPlayStateCount ? code : static_cast<uint16_t>(PlayStateUndefined); }

}  // namespace mivola
