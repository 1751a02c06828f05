// The bridge program against the media-session stand-in, both separate from this process: what
// each tick publishes, which session it shows, bounded waits, and the manager appearing later.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bridge_test_support.h"
#include "play_state.h"
#include "smtc_test_support.h"

using namespace mivola;
using namespace mivola::test;

namespace {

class SmtcBridgeWithStandIn : public ::testing::Test {
protected:
    void SetUp() override { SmtcBridge::EndStray(); }
    void TearDown() override { SmtcBridge::EndStray(); }

    // Waits until a published record satisfies done; the last record seen stays in record_.
    bool WaitRecord(const std::function<bool(const NowPlayingRecord&)>& done, DWORD timeoutMs = 5000) {
        return WaitUntil([&] { return ReadSmtcNowPlaying(record_) && done(record_); }, timeoutMs);
    }
    static bool Ends(SmtcBridge& bridge) { return SmtcBridge::PostEnd() && bridge.Wait(10000) && bridge.ExitCode() == 0; }

    NowPlayingRecord record_;
};

const char kPlaying[] =
    "session spotify\n"
    "  app Spotify.exe\n"
    "  status playing\n"
    "  title Night Drive\n"
    "  artist\n"
    "  album-artist Various Artists\n"
    "  album Roads\n"
    "  subtitle not shown\n"
    "  genre Synthwave\n"
    "  genre Electronic\n"
    "  track 65541\n"
    "  start 2000\n"
    "  end 242000\n"
    "  position 62000\n"
    "  last-updated -3000\n"
    "current spotify\n";

TEST_F(SmtcBridgeWithStandIn, EveryFieldOfAPlayingAndAPausedSession) {
    SmtcStandIn standIn(kPlaying);
    ASSERT_TRUE(standIn.Ok());
    ULONGLONG loaded = ::GetTickCount64();
    SmtcBridge bridge;
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(SmtcBridge::WaitText("start")) << SmtcBridge::Text();
    ASSERT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return r.Magic == kRecordMagic && r.Title[0]; }));
    LONG elapsed = static_cast<LONG>((::GetTickCount64() - loaded) / 1000);

    EXPECT_EQ(record_.Version, 0x0401);
    EXPECT_EQ(record_.PlayState, PlayStatePlaying);
    EXPECT_STREQ(record_.Title, L"Night Drive");
    EXPECT_STREQ(record_.Artist, L"Various Artists");
    EXPECT_STREQ(record_.Album, L"Roads");
    EXPECT_STREQ(record_.Genre, L"Synthwave; Electronic");
    EXPECT_EQ(record_.TrackNumber, 5);
    EXPECT_EQ(record_.Length, 240);
    // 60 s into the track three seconds before the scenario was loaded, and playing since.
    EXPECT_GE(record_.Position, 63);
    EXPECT_LE(record_.Position, 64 + elapsed);
    EXPECT_STREQ(record_.Status, L"Spotify.exe");
    EXPECT_STREQ(record_.Path, L"");
    EXPECT_EQ(record_.FileSize, 0);
    EXPECT_EQ(record_.Width, 0);
    EXPECT_EQ(record_.BitRate, 0);
    EXPECT_STREQ(record_.Protocol, L"");

    BridgeIdentityRecord identity;
    ASSERT_TRUE(ReadSmtcIdentity(identity));
    EXPECT_STREQ(identity.Description, "SMTC\x97p Ver 1.0.0");
    EXPECT_STREQ(identity.PlayerVersion, L"Spotify.exe");
    EXPECT_NE(std::wstring(identity.ModulePath).find(L"ZEQ_Mivola_SMTC.exe"), std::wstring::npos);

    // Paused: the snapshot as it stands. Changing: no media fields, but the position and the app.
    std::string paused(kPlaying);
    paused.replace(paused.find("status playing"), 14, "status paused");
    ASSERT_TRUE(standIn.SetScenario(paused));
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return r.PlayState == PlayStatePaused; }));
    EXPECT_EQ(record_.Position, 60);
    EXPECT_STREQ(record_.Title, L"Night Drive");
    std::string changing(kPlaying);
    changing.replace(changing.find("status playing"), 14, "status changing");
    ASSERT_TRUE(standIn.SetScenario(changing));
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return r.PlayState == PlayStateTransitioning; }));
    EXPECT_STREQ(record_.Title, L"");
    EXPECT_EQ(record_.Length, 0);
    EXPECT_EQ(record_.Position, 60);
    EXPECT_STREQ(record_.Status, L"Spotify.exe");
    EXPECT_TRUE(Ends(bridge));
    EXPECT_FALSE(ReadSmtcIdentity(identity) && identity.ModulePath[0]) << "the identity is withdrawn at the end";
    EXPECT_EQ(standIn.LiveObjectsInLog(), 0) << "every object the bridge was given is released";
}

TEST_F(SmtcBridgeWithStandIn, ShowsTheChosenSessionAndNamesItsAppInTheIdentity) {
    SmtcStandIn standIn(
        "session a\n  app App.A\n  status paused\n  title A\n"
        "session b\n  app App.B\n  status playing\n  title B\n"
        "current a\n");
    ASSERT_TRUE(standIn.Ok());
    SmtcBridge bridge;
    ASSERT_TRUE(bridge.Start());
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return std::wstring(r.Title) == L"B"; }))
        << "the first playing session before a current one that is paused";
    BridgeIdentityRecord identity;
    EXPECT_TRUE(ReadSmtcIdentity(identity));
    EXPECT_STREQ(identity.PlayerVersion, L"App.B");

    ASSERT_TRUE(standIn.SetScenario(
        "session a\n  app App.A\n  status paused\n  title A\n"
        "session b\n  app App.B\n  status stopped\n  title B\n"
        "current a\nfail sessions\n"));
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return std::wstring(r.Title) == L"A"; }));
    EXPECT_TRUE(WaitUntil([&] { return ReadSmtcIdentity(identity) && std::wstring(identity.PlayerVersion) == L"App.A"; }));

    // No sessions at all: an all-zero record, and the identity without a player version.
    ASSERT_TRUE(standIn.SetScenario("current none\n"));
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return AllBytesZero(&r, sizeof r); }));
    EXPECT_TRUE(WaitUntil([&] { return ReadSmtcIdentity(identity) && identity.PlayerVersion[0] == 0; }));
    EXPECT_NE(identity.ModulePath[0], 0);
    EXPECT_TRUE(Ends(bridge));
}

TEST_F(SmtcBridgeWithStandIn, AMediaRequestThatNeverEndsIsCancelledAndTheNextTickWorks) {
    SmtcStandIn standIn("session s\n  app App.S\n  status playing\n  title Seen\n  media-op never\ncurrent s\n");
    ASSERT_TRUE(standIn.Ok());
    SmtcBridge bridge("[Main]\r\nSMTCTiming=10\r\n");
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return std::wstring(r.Status) == L"App.S"; }));
    EXPECT_STREQ(record_.Title, L"");
    ASSERT_TRUE(WaitUntil([&] { return standIn.CallCount("AsyncOperation<MediaProperties>.Cancel") >= 2; }));
    EXPECT_GE(standIn.CallCount("AsyncOperation<MediaProperties>.Close"), 2u);

    ASSERT_TRUE(standIn.SetScenario("session s\n  app App.S\n  status playing\n  title Seen\ncurrent s\n"));
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return std::wstring(r.Title) == L"Seen"; }));
    EXPECT_TRUE(Ends(bridge));
    EXPECT_EQ(standIn.LiveObjectsInLog(), 0) << "every object the bridge was given is released";
}

TEST_F(SmtcBridgeWithStandIn, PollsAtSMTCTimingClampedTo10Through9999) {
    SmtcStandIn standIn("session s\n  app App.S\n  status paused\ncurrent s\n");
    ASSERT_TRUE(standIn.Ok());
    struct Case {
        const char* settings;
        size_t atLeast, atMost;  // polls in the 2.5 s after the first
    } cases[] = {
        {"[Main]\r\nSMTCTiming=5\r\n", 20, 1000},  // 10 ms
        {"", 1, 4},                                  // 1000 ms
        {"[Main]\r\nSMTCTiming=99999\r\n", 0, 0},   // 9999 ms
    };
    for (const Case& c : cases) {
        SmtcBridge bridge(c.settings);
        size_t from = standIn.LogLines().size();
        ASSERT_TRUE(bridge.Start());
        ASSERT_TRUE(WaitUntil([&] { return standIn.CallCount("Manager.GetCurrentSession", from) >= 1; }));
        size_t first = standIn.LogLines().size();
        ::Sleep(2500);
        size_t polls = standIn.CallCount("Manager.GetCurrentSession", first);
        EXPECT_GE(polls, c.atLeast) << c.settings;
        EXPECT_LE(polls, c.atMost) << c.settings;
        EXPECT_TRUE(Ends(bridge));
    }
}

TEST_F(SmtcBridgeWithStandIn, UnavailableUntilTheClassIsRegisteredThenStarts) {
    SmtcBridge bridge;
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(SmtcBridge::WaitText("unavailable")) << SmtcBridge::Text();
    SmtcStandIn standIn("session s\n  app App.Late\n  status playing\n  title Late\ncurrent s\n");
    ASSERT_TRUE(standIn.Ok());
    // The next try comes a minute after the first.
    EXPECT_TRUE(SmtcBridge::WaitText("start", 75000)) << SmtcBridge::Text();
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return std::wstring(r.Title) == L"Late"; }));
    EXPECT_TRUE(Ends(bridge));
}

}  // namespace
