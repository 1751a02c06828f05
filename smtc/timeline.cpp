#include "timeline.h"

#include <cstdint>

#include "media_session_interfaces.h"
#include "play_state.h"

namespace mivola::smtc {

int64_t TickSum::WholeSeconds() const {
    int64_t whole = seconds_ + rest_ / kTicksPerSecond;
    int64_t rest = rest_ % kTicksPerSecond;
    // whole * T + rest with |rest| < T: move one second across when the two differ in sign.
    if (whole > 0 && rest < 0) return whole - 1;
    if (whole < 0 && rest > 0) return whole + 1;
    return whole;
}

int32_t ClampToInt32(int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t LengthSeconds(const TimelineValues& t) {
    if (!t.haveEnd) return 0;
    TickSum sum;
    sum.Add(t.end);
    sum.Subtract(t.start);
    int64_t seconds = sum.WholeSeconds();
    return seconds < 0 ? 0 : ClampToInt32(seconds);
}

int32_t PositionSeconds(const TimelineValues& t, bool playing, int64_t nowTicks, int32_t length) {
    if (!t.havePosition) return 0;
    TickSum sum;
    sum.Add(t.position);
    sum.Subtract(t.start);
    // Apps update the timeline only now and then; a snapshot from the future or from no time is not moved on.
    if (playing && t.haveLastUpdated && t.lastUpdated != 0 && t.lastUpdated <= nowTicks) {
        sum.Add(nowTicks);
        sum.Subtract(t.lastUpdated);
    }
    int64_t seconds = sum.WholeSeconds();
    if (seconds < 0) return 0;
    if (length > 0 && seconds > length) return length;
    return ClampToInt32(seconds);
}

uint16_t PlayStateFromStatus(bool known, int32_t status) {
    if (!known) return PlayStateUndefined;
    switch (status) {
        case kPlaybackClosed: return PlayStateUndefined;
        case kPlaybackOpened: return PlayStateReady;
        case kPlaybackChanging: return PlayStateTransitioning;
        case kPlaybackStopped: return PlayStateStopped;
        case kPlaybackPlaying: return PlayStatePlaying;
        case kPlaybackPaused: return PlayStatePaused;
        default: return PlayStateUndefined;
    }
}

bool CarriesMediaFields(uint16_t playState) {
    return playState == PlayStateStopped || playState == PlayStatePaused || playState == PlayStatePlaying ||
           playState == PlayStateReady;
}

}  // namespace mivola::smtc
