// The stand-in's scenario reader: a mistake in a test's scenario is reported with its line
// instead of playing something else, and the values arrive as written.
#include <gtest/gtest.h>

#include <string>

#include "scenario.h"

using namespace smtc_sim;

namespace {

bool Fails(const std::string& text, const std::string& expectedLine) {
    Scenario s;
    std::string error;
    bool ok = ParseScenario(text, s, error);
    EXPECT_FALSE(ok) << text;
    EXPECT_EQ(error.compare(0, expectedLine.size(), expectedLine), 0) << error;
    return !ok;
}

State Play(const std::string& text, int64_t nowTicks, size_t phases = 100) {
    Scenario s;
    std::string error;
    EXPECT_TRUE(ParseScenario(text, s, error)) << error;
    State state;
    for (size_t i = 0; i < s.phases.size() && i < phases; ++i) {
        EXPECT_TRUE(ApplyPhase(s.phases[i], state, nowTicks + static_cast<int64_t>(s.phases[i].atMs) * 10000, error));
    }
    return state;
}

TEST(SmtcScenario, MistakesNameTheirLine) {
    Fails("session a\nstatus dancing\n", "line 2:");
    Fails("title before any session\n", "line 1:");
    Fails("session a\ncurrent b\n", "line 2:");
    Fails("fail nothing\n", "line 1:");
    Fails("session a\nfail title 0xZZ\n", "line 2:");
    Fails("session a\nposition 12s\n", "line 2:");
    Fails("session a\nlast-updated 5000\n", "line 2:");  // neither a date nor an offset
    Fails("request-op late\n", "line 1:");
    Fails("request-op error ok\n", "line 1:");            // an error must be a failure code
    Fails("session a\ntitle \xC3\x28\n", "line 2:");     // not UTF-8
    Fails("session a\nat 100\ntitle no session named\n", "line 3:");
    Fails("session a\nat 100\nremove b\n", "line 3:");
    Fails("at soon\n", "line 1:");
}

TEST(SmtcScenario, ValuesArriveAsWritten) {
    const int64_t now = 133000000000000000;
    State s = Play(
        "\xEF\xBB\xBF# comment\n"
        "session one\r\n"
        "  app Player.One\n"
        "  status paused\n"
        "  title \xF0\x9F\x8E\xB5 \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\n"  // emoji and Hangul
        "  artist\n"
        "  repeat album 3 ab\n"
        "  genre Rock\n  genre Jazz Fusion\n"
        "  track 4\n  track-count 9\n  playback-type 1\n  rate 0.5\n"
        "  start 1000\n  end 9223372036854775807t\n  position -20\n"
        "  last-updated -5000\n"
        "  media-op late 250 error 0x80070005\n"
        "  fail genres\n  fail title denied\n  fail title ok\n"
        "session two\n  last-updated 0\n  vanish\n"
        "session three\n  last-updated 42t\n"
        "current one\n"
        "request-op never\n"
        "fail sessions disconnected\n",
        now);
    ASSERT_EQ(s.sessions.size(), 3u);
    const Session& one = s.sessions[0];
    EXPECT_EQ(one.app, L"Player.One");
    EXPECT_EQ(one.status, 5);
    EXPECT_EQ(one.title, L"\U0001F3B5 \uD55C\uAD6D\uC5B4");
    EXPECT_TRUE(one.artist.empty());
    EXPECT_EQ(one.album, L"ababab");
    ASSERT_EQ(one.genres.size(), 2u);
    EXPECT_EQ(one.genres[1], L"Jazz Fusion");
    EXPECT_EQ(one.track, 4);
    EXPECT_EQ(one.trackCount, 9);
    EXPECT_TRUE(one.hasPlaybackType);
    EXPECT_TRUE(one.hasRate);
    EXPECT_DOUBLE_EQ(one.rate, 0.5);
    EXPECT_EQ(one.start, 10000000);
    EXPECT_EQ(one.end, INT64_MAX);
    EXPECT_EQ(one.position, -200000);
    EXPECT_EQ(one.lastUpdated, now - 50000000);
    EXPECT_EQ(one.media.kind, Completion::Late);
    EXPECT_EQ(one.media.delayMs, 250u);
    EXPECT_EQ(one.media.error, E_ACCESSDENIED);
    EXPECT_EQ(one.fail[CallGenres], E_FAIL);
    EXPECT_EQ(one.fail[CallTitle], S_OK);
    EXPECT_EQ(s.sessions[1].lastUpdated, 0);
    EXPECT_TRUE(s.sessions[1].vanished);
    EXPECT_EQ(s.sessions[2].lastUpdated, 42);
    EXPECT_EQ(s.current, "one");
    EXPECT_EQ(s.request.kind, Completion::Never);
    EXPECT_EQ(s.fail[CallSessions], RPC_E_DISCONNECTED);
    EXPECT_NE(s.sessions[0].serial, s.sessions[1].serial);
}

TEST(SmtcScenario, PhasesApplyInTimeOrderAndRemovalEndsTheSession) {
    const std::string text =
        "session a\nstatus playing\nsession b\ncurrent a\n"
        "at 2000\nsession a\nposition 5000\nlast-updated now\n"
        "at 1000\nremove a\nsession a\nstatus stopped\n";
    const int64_t now = 1000000000;
    State first = Play(text, now, 1);
    ASSERT_EQ(first.sessions.size(), 2u);
    EXPECT_EQ(first.current, "a");
    uint64_t serialA = first.sessions[0].serial;

    State second = Play(text, now, 2);  // "at 1000" comes first
    ASSERT_EQ(second.sessions.size(), 2u);
    EXPECT_EQ(second.sessions[0].key, "b");
    EXPECT_EQ(second.current, "");  // the current session was removed
    EXPECT_NE(second.sessions[1].serial, serialA);  // back again as a new session
    EXPECT_EQ(second.sessions[1].status, 3);

    State third = Play(text, now, 3);
    EXPECT_EQ(third.sessions[1].position, 50000000);
    EXPECT_EQ(third.sessions[1].lastUpdated, now + 2000 * 10000);  // the phase's own moment
}

}  // namespace
