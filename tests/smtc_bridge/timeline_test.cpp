#include <gtest/gtest.h>

#include <cstdint>

#include "play_state.h"
#include "timeline.h"

using namespace mivola;
using namespace mivola::smtc;

namespace {

constexpr int64_t T = kTicksPerSecond;

TimelineValues Timeline(int64_t start, int64_t end, int64_t position) {
    TimelineValues t;
    t.start = start;
    t.haveEnd = true;
    t.end = end;
    t.havePosition = true;
    t.position = position;
    return t;
}

}  // namespace

TEST(TickSum, TruncatesTowardZeroAcrossSigns) {
    TickSum a;
    a.Add(T + T / 2);
    EXPECT_EQ(a.WholeSeconds(), 1);
    TickSum b;
    b.Add(-(T + T / 2));
    EXPECT_EQ(b.WholeSeconds(), -1);
    // 0.6 s + 0.6 s is one whole second, which adding whole seconds of each part would miss.
    TickSum c;
    c.Add(6 * T / 10);
    c.Add(6 * T / 10);
    EXPECT_EQ(c.WholeSeconds(), 1);
    // 2 s - 0.5 s = 1.5 s; -2 s + 0.5 s = -1.5 s.
    TickSum d;
    d.Add(2 * T);
    d.Subtract(T / 2);
    EXPECT_EQ(d.WholeSeconds(), 1);
    TickSum e;
    e.Add(-2 * T);
    e.Subtract(-T / 2);
    EXPECT_EQ(e.WholeSeconds(), -1);
}

TEST(TickSum, ExactAtTheExtremesOfSixtyFourBits) {
    TickSum a;
    a.Add(INT64_MAX);
    a.Subtract(INT64_MIN);
    // (2^64 - 1) / 10^7 = 1844674407370.9551615
    EXPECT_EQ(a.WholeSeconds(), INT64_C(1844674407370));
    TickSum b;
    b.Add(INT64_MIN);
    b.Subtract(INT64_MAX);
    EXPECT_EQ(b.WholeSeconds(), -INT64_C(1844674407370));
    TickSum c;
    c.Add(INT64_MIN);
    c.Subtract(INT64_MIN);
    EXPECT_EQ(c.WholeSeconds(), 0);
    TickSum d;
    d.Add(INT64_MAX);
    d.Add(INT64_MAX);
    d.Subtract(INT64_MIN);
    d.Subtract(INT64_MIN);
    EXPECT_EQ(d.WholeSeconds(), INT64_C(3689348814741));  // (2^65 - 2) / 10^7, cut
}

TEST(Length, WholeSecondsOfEndMinusStartClampedToTheField) {
    EXPECT_EQ(LengthSeconds(Timeline(0, 240 * T + T - 1, 0)), 240);
    EXPECT_EQ(LengthSeconds(Timeline(10 * T, 250 * T, 0)), 240);
    EXPECT_EQ(LengthSeconds(Timeline(10 * T, 5 * T, 0)), 0);  // negative
    EXPECT_EQ(LengthSeconds(Timeline(0, 0, 0)), 0);
    EXPECT_EQ(LengthSeconds(Timeline(INT64_MIN, INT64_MAX, 0)), INT32_MAX);
    EXPECT_EQ(LengthSeconds(Timeline(INT64_MAX, INT64_MIN, 0)), 0);
    TimelineValues noEnd = Timeline(0, 100 * T, 0);
    noEnd.haveEnd = false;
    EXPECT_EQ(LengthSeconds(noEnd), 0);
}

TEST(Position, SnapshotMinusStartWithoutPlaying) {
    TimelineValues t = Timeline(5 * T, 300 * T, 65 * T + T / 2);
    t.haveLastUpdated = true;
    t.lastUpdated = 1000 * T;
    EXPECT_EQ(PositionSeconds(t, false, 2000 * T, 295), 60);  // paused: not moved on
    t.havePosition = false;
    EXPECT_EQ(PositionSeconds(t, true, 2000 * T, 295), 0);
}

TEST(Position, PlayingMovesOnFromLastUpdatedUnlessItIsZeroOrInTheFuture) {
    TimelineValues t = Timeline(0, 300 * T, 10 * T + 6 * T / 10);
    t.haveLastUpdated = true;
    t.lastUpdated = 1000 * T;
    // 10.6 s + 20.5 s = 31.1 s.
    EXPECT_EQ(PositionSeconds(t, true, 1020 * T + T / 2, 300), 31);
    EXPECT_EQ(PositionSeconds(t, true, 1000 * T, 300), 10);  // updated just now
    EXPECT_EQ(PositionSeconds(t, true, 999 * T, 300), 10);   // updated "later than now"
    t.lastUpdated = 0;
    EXPECT_EQ(PositionSeconds(t, true, 1020 * T, 300), 10);
    t.lastUpdated = 1000 * T;
    t.haveLastUpdated = false;
    EXPECT_EQ(PositionSeconds(t, true, 1020 * T, 300), 10);
}

TEST(Position, NeverBeyondALengthNorBelowZero) {
    TimelineValues t = Timeline(0, 100 * T, 90 * T);
    t.haveLastUpdated = true;
    t.lastUpdated = 1000 * T;
    EXPECT_EQ(PositionSeconds(t, true, 1060 * T, 100), 100);
    // Without a length (a stream) the position runs on.
    EXPECT_EQ(PositionSeconds(t, true, 1060 * T, 0), 150);
    // Position before the start.
    EXPECT_EQ(PositionSeconds(Timeline(50 * T, 100 * T, 10 * T), false, 0, 50), 0);
    // A stale snapshot from the year 1601, a clock at the end of time.
    t.lastUpdated = 1;
    EXPECT_EQ(PositionSeconds(t, true, INT64_MAX, 0), INT32_MAX);
    EXPECT_EQ(PositionSeconds(t, true, INT64_MAX, 100), 100);
    EXPECT_EQ(PositionSeconds(Timeline(INT64_MAX, 0, INT64_MIN), true, INT64_MAX, 0), 0);
    TimelineValues extreme = Timeline(INT64_MIN, 0, INT64_MAX);
    extreme.haveLastUpdated = true;
    extreme.lastUpdated = 1;
    EXPECT_EQ(PositionSeconds(extreme, true, INT64_MAX, 0), INT32_MAX);
}

TEST(PlayState, StatusMapsToTheRecordsCodesAndOnlySomeCarryMedia) {
    struct Row {
        int32_t status;
        uint16_t code;
        bool media;
    } rows[] = {
        {0, PlayStateUndefined, false}, {1, PlayStateReady, true},  {2, PlayStateTransitioning, false},
        {3, PlayStateStopped, true},    {4, PlayStatePlaying, true}, {5, PlayStatePaused, true},
        {6, PlayStateUndefined, false}, {-1, PlayStateUndefined, false}, {INT32_MAX, PlayStateUndefined, false},
    };
    for (const Row& row : rows) {
        uint16_t code = PlayStateFromStatus(true, row.status);
        EXPECT_EQ(code, row.code) << row.status;
        EXPECT_EQ(CarriesMediaFields(code), row.media) << row.status;
    }
    EXPECT_EQ(PlayStateFromStatus(false, 4), PlayStateUndefined);
}
