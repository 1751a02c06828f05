// The bridge program of either architecture against the media-session stand-in, both separate
// from this process: what each tick publishes, which session it shows, bounded waits, the
// manager appearing later, and the record as the host plug-in reads it.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bridge_test_support.h"
#include "play_state.h"
#include "players.h"
#include "plugin_test_support.h"
#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"
#include "smtc_test_support.h"
#include "text_copy.h"

using namespace mivola;
using namespace mivola::test;

namespace {

constexpr bool kThis64 = sizeof(void*) == 8;
constexpr char kFastPolls[] = "[Main]\r\nSMTCTiming=10\r\n";

struct Row;

class SmtcBridgeWithStandIn : public BridgeOfEachArch {
protected:
    // The stand-in answers in the registry view the bridge of this architecture reads.
    bool Serves(const SmtcStandIn& standIn) const {
        return standIn.Ok() && ((arch() == Arch::Same) == kThis64 ? standIn.Registered64() : standIn.Registered32());
    }
    // Waits until a published record satisfies done; the last record seen stays in record_.
    bool WaitRecord(const std::function<bool(const NowPlayingRecord&)>& done, DWORD timeoutMs = 5000) {
        return WaitUntil([&] { return ReadPlayerNowPlaying(kKeySmtc, record_) && done(record_); }, timeoutMs);
    }
    static bool Ends(SmtcBridge& bridge) { return SmtcBridge::PostEnd() && bridge.Wait(10000) && bridge.ExitCode() == 0; }
    void PlayRowsThroughABridge(const std::vector<Row>& rows,
                                const std::function<void(SmtcStandIn&)>& then = nullptr);

    NowPlayingRecord record_;
};

std::string Brief(const wchar_t* text) {
    std::wstring w(text);
    std::string s = Narrow(w.size() > 24 ? w.substr(0, 24) : w);
    return w.size() > 24 ? s + "...(" + std::to_string(w.size()) + " units)" : s;
}

// The fields a failure message shows.
std::string Describe(const NowPlayingRecord& r) {
    std::ostringstream out;
    out << "magic " << std::hex << r.Magic << std::dec << " version " << r.Version << " state " << r.PlayState
        << " title '" << Brief(r.Title) << "' artist '" << Brief(r.Artist) << "' album '" << Brief(r.Album)
        << "' genre '" << Brief(r.Genre) << "' track " << r.TrackNumber << " length " << r.Length << " position "
        << r.Position << " status '" << Brief(r.Status) << "'";
    return out.str();
}

// One tick's record as the bridge should publish it: zero but for what the case sets.
struct Row {
    Row(const char* what, std::string scenario, uint16_t state, const wchar_t* app) : what(what), scenario(std::move(scenario)) {
        std::memset(&record, 0, sizeof record);
        record.Magic = kRecordMagic;
        record.Version = kVersionSmtc;
        record.PlayState = state;
        CopyText(record.Status, app);
    }
    // The media fields of kShown (below).
    Row& Media(int32_t length = 200) {
        CopyText(record.Title, L"T");
        CopyText(record.Artist, L"A");
        CopyText(record.Album, L"Al");
        CopyText(record.Genre, L"G1; G2");
        record.TrackNumber = 7;
        record.Length = length;
        return *this;
    }
    Row& At(int32_t seconds, bool movesOn = false) {
        record.Position = seconds;
        extrapolated = movesOn;
        return *this;
    }

    const char* what;
    std::string scenario;
    NowPlayingRecord record;
    bool extrapolated = false;  // Position may be later by the seconds the case took
};

// A session "s" shown as the current one; extra lines describe it further.
std::string Shown(const char* app, const char* status, const std::string& extra = std::string()) {
    return std::string("session s\n  app ") + app + "\n  status " + status +
           "\n  title T\n  artist A\n  album Al\n  genre G1\n  genre G2\n  track 7\n"
           "  start 0\n  end 200000\n  position 50000\n  last-updated -3000\n" + extra + "current s\n";
}

// Equal to the row's record apart from a later Position where the case lets it move on.
bool Matches(const NowPlayingRecord& got, const Row& row, int32_t extraSeconds) {
    NowPlayingRecord copy = got;
    const int32_t want = row.record.Position;
    if (row.extrapolated && got.Position >= want && got.Position <= want + extraSeconds) copy.Position = want;
    return std::memcmp(&copy, &row.record, sizeof copy) == 0;
}

// Plays every row in turn through one running bridge polling every 10 ms.
void PlayRows(SmtcStandIn& standIn, const std::vector<Row>& rows, NowPlayingRecord& seen) {
    for (const Row& row : rows) {
        ULONGLONG set = ::GetTickCount64();
        ASSERT_TRUE(standIn.SetScenario(row.scenario)) << row.what;
        bool ok = WaitUntil([&] {
            int32_t extra = static_cast<int32_t>((::GetTickCount64() - set) / 1000) + 1;
            return ReadPlayerNowPlaying(kKeySmtc, seen) && Matches(seen, row, extra);
        }, 5000);
        size_t differs = 0;
        const unsigned char* a = reinterpret_cast<const unsigned char*>(&seen);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&row.record);
        while (differs < sizeof seen && a[differs] == b[differs]) ++differs;
        EXPECT_TRUE(ok) << row.what << "\n  got  " << Describe(seen) << "\n  want " << Describe(row.record)
                        << "\n  first differing byte at offset " << differs;
    }
}

// The fixture with a stand-in made anew and a bridge polling every 10 ms: plays the rows, runs
// then() with the stand-in, and ends the bridge.
void SmtcBridgeWithStandIn::PlayRowsThroughABridge(const std::vector<Row>& rows,
                                                   const std::function<void(SmtcStandIn&)>& then) {
    SmtcStandIn standIn;
    ASSERT_TRUE(Serves(standIn));
    SmtcBridge bridge(kFastPolls, arch());
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(SmtcBridge::WaitText("start")) << SmtcBridge::Text();
    PlayRows(standIn, rows, record_);
    if (then) then(standIn);
    EXPECT_TRUE(Ends(bridge));
}

TEST_P(SmtcBridgeWithStandIn, PlayStatesAndTheFieldsEachCarries) {
    // Media fields in stopped, paused, playing and ready only; position and app in every state.
    std::vector<Row> rows;
    rows.emplace_back("closed", Shown("st.closed", "closed"), PlayStateUndefined, L"st.closed");
    rows.back().At(50);
    rows.emplace_back("opened", Shown("st.opened", "opened"), PlayStateReady, L"st.opened");
    rows.back().Media().At(50);
    rows.emplace_back("changing", Shown("st.changing", "changing"), PlayStateTransitioning, L"st.changing");
    rows.back().At(50);
    rows.emplace_back("stopped", Shown("st.stopped", "stopped"), PlayStateStopped, L"st.stopped");
    rows.back().Media().At(50);
    rows.emplace_back("playing: moved on from three seconds ago", Shown("st.playing", "playing"), PlayStatePlaying,
                      L"st.playing");
    rows.back().Media().At(53, true);
    rows.emplace_back("paused", Shown("st.paused", "paused"), PlayStatePaused, L"st.paused");
    rows.back().Media().At(50);
    rows.emplace_back("an unknown status", Shown("st.seven", "7"), PlayStateUndefined, L"st.seven");
    rows.back().At(50);
    rows.emplace_back("a status that cannot be read", Shown("st.failed", "playing", "  fail status\n"),
                      PlayStateUndefined, L"st.failed");
    rows.back().At(50);
    PlayRowsThroughABridge(rows, [&](SmtcStandIn& standIn) {
        // Without any session: all zero.
        ASSERT_TRUE(standIn.SetScenario("current none\n"));
        EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return AllZero(&r, sizeof r); })) << Describe(record_);
    });
}

TEST_P(SmtcBridgeWithStandIn, TextsFallBackAreCutAndKeepCharactersOutsideCodePage932) {
    const std::wstring hangul(1023, L'\xD55C');
    std::wstring notes;
    for (int i = 0; i < 511; ++i) notes += L"\xD83C\xDFB5";  // 1022 units, then one unit of the next

    std::vector<Row> rows;
    rows.emplace_back("an empty artist gives the album artist", Shown("tx.empty", "paused", "  artist\n  album-artist AA\n"),
                      PlayStatePaused, L"tx.empty");
    rows.back().Media().At(50);
    CopyText(rows.back().record.Artist, L"AA");
    rows.emplace_back("a failing artist gives the album artist",
                      Shown("tx.fails", "paused", "  album-artist AB\n  fail artist\n"), PlayStatePaused, L"tx.fails");
    rows.back().Media().At(50);
    CopyText(rows.back().record.Artist, L"AB");
    rows.emplace_back("no artist at all", Shown("tx.none", "paused", "  artist\n  album-artist\n"), PlayStatePaused,
                      L"tx.none");
    rows.back().Media().At(50);
    CopyText(rows.back().record.Artist, L"");
    rows.emplace_back("long texts cut to capacity - 1 units",
                      Shown("\xF0\x9F\x8E\xB5.app", "paused",
                            "  repeat title 1500 \xED\x95\x9C\n  repeat artist 600 \xF0\x9F\x8E\xB5\n"
                            "  repeat album 1024 x\n  genres\n  genre \xED\x95\x9C\xEA\xB5\xAD\n  repeat genre 300 g\n"
                            "  track 65541\n"),
                      PlayStatePaused, L"\xD83C\xDFB5.app");
    rows.back().Media().At(50);
    CopyText(rows.back().record.Title, hangul.c_str());
    CopyText(rows.back().record.Artist, (notes + L"\xD83C").c_str());
    CopyText(rows.back().record.Album, std::wstring(1023, L'x').c_str());
    CopyText(rows.back().record.Genre, (L"\xD55C\xAD6D; " + std::wstring(251, L'g')).c_str());
    rows.back().record.TrackNumber = 5;  // the low 16 bits of 65541
    rows.emplace_back("empty genres are left out", Shown("tx.genres", "paused", "  genres\n  genre\n  genre B\n  genre\n  genre C\n"),
                      PlayStatePaused, L"tx.genres");
    rows.back().Media().At(50);
    CopyText(rows.back().record.Genre, L"B; C");
    rows.emplace_back("a title that fails, a negative track",
                      Shown("tx.title", "paused", "  fail title\n  track -1\n"), PlayStatePaused, L"tx.title");
    rows.back().Media().At(50);
    CopyText(rows.back().record.Title, L"");
    rows.back().record.TrackNumber = 0xFFFF;
    rows.emplace_back("genres that fail", Shown("tx.nogenres", "paused", "  fail genres\n"), PlayStatePaused,
                      L"tx.nogenres");
    rows.back().Media().At(50);
    CopyText(rows.back().record.Genre, L"");
    PlayRowsThroughABridge(rows, [](SmtcStandIn& standIn) {
        BridgeIdentityRecord identity;
        ASSERT_TRUE(ReadPlayerIdentity(kKeySmtc, identity));
        EXPECT_STREQ(identity.PlayerVersion, L"tx.nogenres") << "the app id of the session shown";
        ASSERT_TRUE(standIn.SetScenario(Shown("tx.app", "paused", "  repeat app 100 \xED\x95\x9C\n")));
        EXPECT_TRUE(WaitUntil([&] {
            return ReadPlayerIdentity(kKeySmtc, identity) && std::wstring(identity.PlayerVersion) == std::wstring(63, L'\xD55C');
        })) << "the app id cut to 63 units";
    });
}

TEST_P(SmtcBridgeWithStandIn, TimelinesInWholeSecondsWithoutOverflow) {
    std::vector<Row> rows;
    rows.emplace_back("counted from the start", Shown("tl.start", "paused", "  start 2500\n  end 242900\n  position 62600\n"),
                      PlayStatePaused, L"tl.start");
    rows.back().Media(240).At(60);
    rows.emplace_back("an end before the start", Shown("tl.negative", "paused", "  start 10000\n  end 5000\n  position 7000\n"),
                      PlayStatePaused, L"tl.negative");
    rows.back().Media(0).At(0);
    rows.emplace_back("a position beyond the end", Shown("tl.beyond", "paused", "  end 100000\n  position 150000\n"),
                      PlayStatePaused, L"tl.beyond");
    rows.back().Media(100).At(100);
    rows.emplace_back("no end: no limit", Shown("tl.noend", "paused", "  end 0\n  position 150000\n"), PlayStatePaused,
                      L"tl.noend");
    rows.back().Media(0).At(150);
    rows.emplace_back("the extremes of 64 bits",
                      Shown("tl.extreme", "playing",
                            "  start -9223372036854775808t\n  end 9223372036854775807t\n"
                            "  position 9223372036854775807t\n  last-updated 1t\n"),
                      PlayStatePlaying, L"tl.extreme");
    rows.back().Media(INT32_MAX).At(INT32_MAX);
    rows.emplace_back("playing, updated at date 0: not moved on", Shown("tl.zero", "playing", "  last-updated 0\n"),
                      PlayStatePlaying, L"tl.zero");
    rows.back().Media().At(50);
    rows.emplace_back("playing, updated in the future: not moved on", Shown("tl.future", "playing", "  last-updated +60000\n"),
                      PlayStatePlaying, L"tl.future");
    rows.back().Media().At(50);
    rows.emplace_back("playing since long ago: at the end", Shown("tl.stale", "playing", "  last-updated -3000000\n"),
                      PlayStatePlaying, L"tl.stale");
    rows.back().Media().At(200);
    rows.emplace_back("no timeline", Shown("tl.none", "paused", "  fail timeline\n"), PlayStatePaused, L"tl.none");
    rows.back().Media(0).At(0);
    rows.emplace_back("no position", Shown("tl.nopos", "playing", "  fail position\n"), PlayStatePlaying, L"tl.nopos");
    rows.back().Media().At(0);
    rows.emplace_back("no end", Shown("tl.noend2", "paused", "  fail end\n  position 250000\n"), PlayStatePaused,
                      L"tl.noend2");
    rows.back().Media(0).At(250);
    PlayRowsThroughABridge(rows);
}

TEST_P(SmtcBridgeWithStandIn, ShowsTheChosenSessionAndNamesItsAppInTheIdentity) {
    SmtcStandIn standIn(
        "session a\n  app App.A\n  status paused\n  title A\n"
        "session b\n  app App.B\n  status playing\n  title B\n"
        "current a\n");
    ASSERT_TRUE(Serves(standIn));
    SmtcBridge bridge(kFastPolls, arch());
    ASSERT_TRUE(bridge.Start());
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return std::wstring(r.Title) == L"B"; }))
        << "the first playing session before a current one that is paused; " << Describe(record_);
    BridgeIdentityRecord identity;
    EXPECT_TRUE(ReadPlayerIdentity(kKeySmtc, identity));
    EXPECT_STREQ(identity.PlayerVersion, L"App.B");
    EXPECT_STREQ(identity.Description, "SMTC\x97p Ver 1.0.0");
    EXPECT_NE(std::wstring(identity.ModulePath).find(bridge.ProgramPath()), std::wstring::npos)
        << Narrow(identity.ModulePath);

    struct Step {
        const char* what;
        const char* scenario;
        const wchar_t* title;
    } steps[] = {
        {"the current session while it plays",
         "session a\n  status playing\n  title A\nsession b\n  status playing\n  title B\ncurrent b\n", L"B"},
        {"the current session when none plays",
         "session a\n  status paused\n  title A\nsession b\n  status stopped\n  title B\ncurrent b\n", L"B"},
        {"the first session without a current one",
         "session a\n  status paused\n  title A\nsession b\n  status stopped\n  title B\ncurrent none\n", L"A"},
        {"the current session when the list fails",
         "session a\n  status paused\n  title A\nsession b\n  status playing\n  title B\ncurrent a\nfail sessions\n", L"A"},
        {"the first playing one when the current session fails",
         "session a\n  status paused\n  title A\nsession b\n  status playing\n  title B\ncurrent a\nfail current-session\n",
         L"B"},
        {"the playing one when the current session has vanished",
         "session a\n  status playing\n  title A\n  vanish\nsession b\n  status playing\n  title B\ncurrent a\n", L"B"},
        {"the one left when the shown one's app has closed",
         "session a\n  status paused\n  title A\nsession b\n  status playing\n  title B\ncurrent b\nat 300\nremove b\n",
         L"A"},
    };
    // Each step's sessions get app ids of their own, so that a record still showing the previous
    // step cannot pass for this one's.
    int number = 0;
    for (const Step& step : steps) {
        std::string scenario = step.scenario;
        const std::string prefix = "s" + std::to_string(++number) + ".";
        for (const char* session : {"a", "b"}) {
            const std::string line = std::string("session ") + session + "\n";
            scenario.insert(scenario.find(line) + line.size(), "  app " + prefix + session + "\n");
        }
        const std::wstring app = Widen(prefix) + (std::wstring(step.title) == L"A" ? L"a" : L"b");
        ASSERT_TRUE(standIn.SetScenario(scenario)) << step.what;
        EXPECT_TRUE(WaitRecord([&](const NowPlayingRecord& r) { return r.Title == std::wstring(step.title) && r.Status == app; }))
            << step.what << "; " << Describe(record_);
        EXPECT_TRUE(WaitUntil([&] { return ReadPlayerIdentity(kKeySmtc, identity) && identity.PlayerVersion == app; }))
            << step.what;
    }

    // No sessions at all: an all-zero record, and the identity without a player version.
    ASSERT_TRUE(standIn.SetScenario("current none\n"));
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return AllZero(&r, sizeof r); }));
    EXPECT_TRUE(WaitUntil([&] { return ReadPlayerIdentity(kKeySmtc, identity) && identity.PlayerVersion[0] == 0; }));
    EXPECT_NE(identity.ModulePath[0], 0);
    EXPECT_TRUE(Ends(bridge));
    EXPECT_FALSE(ReadPlayerIdentity(kKeySmtc, identity) && identity.ModulePath[0]) << "the identity is withdrawn at the end";
    EXPECT_EQ(standIn.LiveObjectsInLog(), 0) << "every object the bridge was given is released";
}

TEST_P(SmtcBridgeWithStandIn, MediaRequestsThatEndLateNeverOrInErrorAreBoundedAndTheNextTickWorks) {
    SmtcStandIn standIn(Shown("App.S", "playing", "  title Seen\n  media-op never\n"));
    ASSERT_TRUE(Serves(standIn));
    SmtcBridge bridge(std::string(), arch());  // polls every 1000 ms
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return std::wstring(r.Status) == L"App.S"; }));
    EXPECT_STREQ(record_.Title, L"");
    EXPECT_EQ(record_.Length, 200) << "the timeline is no media request";
    // Each tick gives up on its request after its bound, cancels and closes it, and the next tick
    // asks again: one bound and one poll apart at most.
    ASSERT_TRUE(WaitUntil([&] { return standIn.CallCount("AsyncOperation<MediaProperties>.Cancel") >= 3; }, 10000));
    EXPECT_GE(standIn.CallCount("AsyncOperation<MediaProperties>.Close"), 2u);
    std::vector<ULONGLONG> cancels = standIn.CallTimes("AsyncOperation<MediaProperties>.Cancel");
    for (size_t i = 1; i < cancels.size(); ++i) EXPECT_LE(cancels[i] - cancels[i - 1], 2500u) << "cancel " << i;
    // While it waits the bridge is not stuck: the end message is handled within a tick.
    DWORD_PTR answer = 0;
    EXPECT_TRUE(::SendMessageTimeoutA(SmtcBridge::Window(), WM_NULL, 0, 0, SMTO_NORMAL, 3000, &answer));

    struct Step {
        const char* what;
        const char* how;
        const wchar_t* title;
    } steps[] = {
        {"a request that ends within the bound", "late 300", L"Seen"},
        {"a request that ends in an error", "error 0x80004005", L""},
        {"a request that ends after the bound", "late 2500", L""},
        {"a request that ends at once", "now", L"Seen"},
    };
    for (const Step& step : steps) {
        ASSERT_TRUE(standIn.SetScenario(Shown(step.how, "playing", std::string("  title Seen\n  media-op ") + step.how + "\n")));
        EXPECT_TRUE(WaitRecord([&](const NowPlayingRecord& r) {
            return std::wstring(r.Status) == Widen(step.how) && std::wstring(r.Title) == step.title && r.Length == 200;
        }, 8000)) << step.what << "; " << Describe(record_);
    }
    EXPECT_TRUE(Ends(bridge));
    EXPECT_EQ(standIn.LiveObjectsInLog(), 0) << "every object the bridge was given is released";
}

TEST_P(SmtcBridgeWithStandIn, PollsAtSMTCTimingClampedTo10Through9999) {
    SmtcStandIn standIn("session s\n  app App.S\n  status paused\ncurrent s\n");
    ASSERT_TRUE(Serves(standIn));
    struct Case {
        const char* settings;
        size_t atLeast, atMost;  // polls in the 2.5 s after the first
    } cases[] = {
        {"[Main]\r\nSMTCTiming=5\r\n", 20, 1000},  // 10 ms
        {"", 1, 4},                                  // 1000 ms
        {"[Main]\r\nSMTCTiming=99999\r\n", 0, 0},   // 9999 ms
    };
    for (const Case& c : cases) {
        SmtcBridge bridge(c.settings, arch());
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

TEST_P(SmtcBridgeWithStandIn, AManagerRequestThatNeverEndsOrFailsLeavesTheBridgeUnavailable) {
    SmtcStandIn standIn;
    ASSERT_TRUE(Serves(standIn));
    // A reader holding the region with an old record sees it zeroed.
    SharedRegion reader;
    char name[kRegionNameMax];
    ASSERT_TRUE(NowPlayingRegionName(name, kKeySmtc));
    ASSERT_EQ(reader.Open(name, kNowPlayingRecordSize), RegionCreated);
    for (const char* how : {"never", "error 0x80004005"}) {
        NowPlayingRecord stale;
        std::memset(&stale, 0x5A, sizeof stale);
        PublishRecord(reader, &stale, sizeof stale);
        ASSERT_TRUE(standIn.SetScenario(Shown("App.S", "playing") + "request-op " + how + "\n"));
        size_t from = standIn.LogLines().size();
        SmtcBridge bridge(kFastPolls, arch());
        ASSERT_TRUE(bridge.Start());
        EXPECT_TRUE(SmtcBridge::WaitText("unavailable", 5000)) << how << ": " << SmtcBridge::Text();
        EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return AllZero(&r, sizeof r); }, 3000))
            << how << ": " << Describe(record_);
        EXPECT_EQ(standIn.CallCount("Statics.RequestAsync", from), 1u) << how << ": the manager was asked for once";
        EXPECT_TRUE(Ends(bridge)) << how;
    }
}

TEST_P(SmtcBridgeWithStandIn, UnavailableUntilTheClassIsRegisteredThenStarts) {
    SmtcBridge bridge(kFastPolls, arch());
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(SmtcBridge::WaitText("unavailable")) << SmtcBridge::Text();
    NowPlayingRecord record;
    EXPECT_TRUE(WaitUntil([&] { return ReadPlayerNowPlaying(kKeySmtc, record) && AllZero(&record, sizeof record); }));
    SmtcStandIn standIn("session s\n  app App.Late\n  status playing\n  title Late\ncurrent s\n");
    ASSERT_TRUE(Serves(standIn));
    // The next try comes a minute after the first, whatever the interval.
    EXPECT_FALSE(SmtcBridge::WaitText("start", 20000)) << "tried again before the minute was up";
    EXPECT_TRUE(SmtcBridge::WaitText("start", 60000)) << SmtcBridge::Text();
    EXPECT_TRUE(WaitRecord([](const NowPlayingRecord& r) { return std::wstring(r.Title) == L"Late"; }));
    EXPECT_TRUE(Ends(bridge));
}

// The record as the host reads it: Mivola.zeqp of the bridge's architecture, in the host
// stand-in, expands the media-session settings from what the bridge publishes; a session in
// each play state in turn. The plug-in ends the bridge as it unloads, so each row has its own.
TEST_P(SmtcBridgeWithStandIn, TheHostPluginShowsWhatTheBridgePublishes) {
    SmtcStandIn standIn;
    ASSERT_TRUE(Serves(standIn));
    PluginFolder folder(
        "[Main]\nVersion=2\nMivolaNum=2\nSMTCCheck=0\n"
        "[Mivola000]\nSettingName=S\nTargetPlayer=SMTC\n"
        "Format=%title|%artist|%album|%genre|%track|%len|%pos|%playstate|%status\n"
        "[Mivola001]\nSettingName=P\nTargetPlayer=SMTC\nFormat=%playstate|%pos|%len|%status|%title\n",
        arch());
    ASSERT_TRUE(folder.Ready()) << "Mivola.zeqp of that architecture not built";
    struct HostRow {
        const char* app;
        std::string scenario;
        const char* texts;  // of both settings, "\n" between
    } rows[] = {
        {"Spotify.exe",
         "session s\n  app Spotify.exe\n  status paused\n  title \xF0\x9F\x8E\xB5 Night\n  artist\n"
         "  album-artist \xED\x95\x9C Various\n  album Roads\n  genre Synthwave\n  genre Electronic\n  track 65541\n"
         "  start 2000\n  end 242000\n  position 62000\ncurrent s\n",
         "\xF0\x9F\x8E\xB5 Night|\xED\x95\x9C Various|Roads|Synthwave; Electronic|5|00:04:00|00:01:00|Paused|"
         "Spotify.exe\n"
         "Paused|00:01:00|00:04:00|Spotify.exe|\xF0\x9F\x8E\xB5 Night"},
        {"st.closed", Shown("st.closed", "closed"),
         "||||0|00:00:00|00:00:50|Undefined|st.closed\nUndefined|00:00:50|00:00:00|st.closed|"},
        {"st.opened", Shown("st.opened", "opened"),
         "T|A|Al|G1; G2|7|00:03:20|00:00:50|Ready|st.opened\nReady|00:00:50|00:03:20|st.opened|T"},
        {"st.changing", Shown("st.changing", "changing"),
         "||||0|00:00:00|00:00:50|Transitioning|st.changing\nTransitioning|00:00:50|00:00:00|st.changing|"},
        {"st.stopped", Shown("st.stopped", "stopped"),
         "T|A|Al|G1; G2|7|00:03:20|00:00:50|Stopped|st.stopped\nStopped|00:00:50|00:03:20|st.stopped|T"},
        // Updated at date 0, so that the position stays where it is.
        {"st.playing", Shown("st.playing", "playing", "  last-updated 0\n"),
         "T|A|Al|G1; G2|7|00:03:20|00:00:50|Playing|st.playing\nPlaying|00:00:50|00:03:20|st.playing|T"},
        {"st.seven", Shown("st.seven", "7"),
         "||||0|00:00:00|00:00:50|Undefined|st.seven\nUndefined|00:00:50|00:00:00|st.seven|"},
    };
    for (const HostRow& row : rows) {
        ASSERT_TRUE(standIn.SetScenario(row.scenario)) << row.app;
        SmtcBridge bridge(kFastPolls, arch());
        ASSERT_TRUE(bridge.Start()) << row.app;
        ASSERT_TRUE(WaitRecord([&](const NowPlayingRecord& r) { return std::wstring(r.Status) == Widen(row.app); }))
            << row.app << "; " << Describe(record_);
        HostOutput out = RunHost(arch(), folder.Dll());
        EXPECT_TRUE(out.run.finished && out.run.exitCode == 0) << row.app << "\n" << out.run.output;
        EXPECT_EQ(out["text 1"] + "\n" + out["text 2"], row.texts) << row.app << "\n" << out.run.output;
        // The plug-in may end the bridge as it unloads; either way it ends with 0.
        SmtcBridge::PostEnd();
        ASSERT_TRUE(bridge.Wait(10000)) << row.app;
        EXPECT_EQ(bridge.ExitCode(), 0u) << row.app;
    }
}

INSTANTIATE_TEST_SUITE_P(BothArchitectures, SmtcBridgeWithStandIn, ::testing::Values(Arch::Same, Arch::Other),
                         BridgeArchName);

}  // namespace
