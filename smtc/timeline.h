// The pure arithmetic of a record: play states and the 100 ns time values turned into whole
// seconds. Every 64-bit input gives a defined result: sums are kept as whole seconds plus a
// remainder, never as one 64-bit count of ticks that could overflow.
#pragma once

#include <cstdint>

namespace mivola::smtc {

constexpr int64_t kTicksPerSecond = 10000000;

// An exact sum and difference of 100 ns values.
class TickSum {
public:
    void Add(int64_t ticks) {
        seconds_ += ticks / kTicksPerSecond;
        rest_ += ticks % kTicksPerSecond;
    }
    void Subtract(int64_t ticks) {
        seconds_ -= ticks / kTicksPerSecond;
        rest_ -= ticks % kTicksPerSecond;
    }
    // The sum in whole seconds, the fraction cut off toward zero.
    int64_t WholeSeconds() const;

private:
    int64_t seconds_ = 0;
    int64_t rest_ = 0;  // stays well within +-(number of terms) seconds
};

int32_t ClampToInt32(int64_t value);

// What the session's timeline gave; a value whose getter failed is absent.
struct TimelineValues {
    int64_t start = 0;  // a failed StartTime counts as 0
    bool haveEnd = false;
    int64_t end = 0;
    bool havePosition = false;
    int64_t position = 0;
    bool haveLastUpdated = false;
    int64_t lastUpdated = 0;  // 100 ns since 1601, as FILETIME
};

// (EndTime - StartTime) in whole seconds; 0 when negative or without an end.
int32_t LengthSeconds(const TimelineValues& t);
// Position - StartTime in whole seconds; while playing, plus the time from LastUpdatedTime to
// now (not when LastUpdatedTime is 0 or later than now). Never below 0, never beyond length
// when length > 0; 0 without a position.
int32_t PositionSeconds(const TimelineValues& t, bool playing, int64_t nowTicks, int32_t length);

// The record's play-state code for a session's playback status; a failed query is 0.
uint16_t PlayStateFromStatus(bool known, int32_t status);
// Whether a record in this state carries the media fields (Title through FileSize, Width, Height).
bool CarriesMediaFields(uint16_t playState);

}  // namespace mivola::smtc
