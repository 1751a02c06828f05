// What the bridge publishes on each tick, for the answers the player gives.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <optional>
#include <string>

#include "../channel/peer_arch.h"
#include "shared_region.h"
#include "scoped_lock.h"
#include "sim_protocol.h"
#include "stand_in.h"
#include "winamp_sdk.h"

using namespace mivola;
using namespace mivola::test;
using winamp_sim::ActionPause;
using winamp_sim::ActionPlay;
using winamp_sim::ActionNext;

namespace {

constexpr char kTickQueries[] = "104:0,3034:0,3031:0,126:3,126:4,105:2,105:0,126:1";

// A fast timer, so that each check waits only a few ms for the next tick.
bool StartFast(StandIn& s, const std::string& scenario) {
    s.WriteSettings("[Main]\r\nTiming=10\r\n");
    return s.Start(scenario);
}

// The record of a tick that began after everything done so far.
bool NextRecord(const StandIn& s, NowPlayingRecord& r) { return s.WaitTicks(1) && ReadNowPlaying(r); }

bool AllBytes(const void* p, size_t size, unsigned char value) {
    auto* bytes = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != value) return false;
    return true;
}

class PublishedRecord : public ::testing::TestWithParam<Arch> {};

TEST_P(PublishedRecord, CarriesPlayingVideoEntryAndNothingElse) {
    MIVOLA_SKIP_UNLESS_RUNS(GetParam());
    StandIn s(GetParam());
    ASSERT_TRUE(StartFast(s,
                          "entry\ntitle 夜の曲 Night\nfile C:\\Music\\夜.mp4\nlength 215999\nbitrate 128\nsize 640x480\n"
                          "video MPEG-4 Part 2\nat 0 play\n"));
    NowPlayingRecord r;
    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(r.PlayState, 3);
    ASSERT_TRUE(s.Control(ActionPause));
    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(r.Magic, 0x4D494E46u);
    EXPECT_EQ(r.Version, 257);
    EXPECT_EQ(r.PlayState, 2);
    EXPECT_EQ(std::wstring(r.Title), L"夜の曲 Night");
    EXPECT_EQ(std::wstring(r.Path), L"C:\\Music\\夜.mp4");
    EXPECT_EQ(r.Length, 215);
    EXPECT_GE(r.Position, 0);
    EXPECT_LT(r.Position, 30);
    EXPECT_EQ(r.Width, 640);
    EXPECT_EQ(r.Height, 480);
    EXPECT_EQ(r.BitRate, 128000);

    // Fields Winamp does not give (genre, artist, track, size, status, network) stay zero.
    NowPlayingRecord rest = r;
    rest.Magic = 0;
    rest.Version = 0;
    std::memset(rest.Title, 0, sizeof rest.Title);
    std::memset(rest.Path, 0, sizeof rest.Path);
    rest.Length = rest.Position = rest.Width = rest.Height = rest.BitRate = 0;
    rest.PlayState = 0;
    EXPECT_TRUE(AllBytes(&rest, sizeof rest, 0));

    // Every tick asks the same queries in the same order.
    std::vector<std::string> lines = s.LogLines();
    int ticks = 0;
    for (size_t i = static_cast<size_t>(s.FindEvent("ready")); i < lines.size(); ++i) {
        if (EventOf(lines[i]) != "tick 5656") continue;
        ++ticks;
        EXPECT_EQ(QueriesOf(lines[i]), kTickQueries) << lines[i];
    }
    EXPECT_GE(ticks, 2);
    EXPECT_TRUE(s.Close());
}

INSTANTIATE_TEST_SUITE_P(Pairs, PublishedRecord, ::testing::Values(Arch::Same, Arch::Other), ArchName);

TEST(WinampRecord, PlayStateFollowsPlayingStatus) {
    StandIn s;
    ASSERT_TRUE(StartFast(s, "entry\ntitle t\nlength 60000\nbitrate 192\n"));
    NowPlayingRecord r;
    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(r.PlayState, 1) << "stopped";
    EXPECT_EQ(r.Position, 0) << "the player answers -1 while stopped";
    EXPECT_EQ(r.Length, 60);
    ASSERT_TRUE(s.Control(ActionPlay));
    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(r.PlayState, 3);
    EXPECT_EQ(r.BitRate, 192000);
    ASSERT_TRUE(s.Control(ActionPause));
    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(r.PlayState, 2);
    for (LRESULT answer : {LRESULT(2), LRESULT(4), LRESULT(7), LRESULT(-1)}) {
        ASSERT_TRUE(s.ForceAnswer(0, winamp::IPC_ISPLAYING, answer));
        ASSERT_TRUE(NextRecord(s, r));
        EXPECT_EQ(r.PlayState, 0) << "status answer " << answer;
        EXPECT_EQ(r.Magic, 0x4D494E46u);
    }
    EXPECT_TRUE(s.Close());
}

TEST(WinampRecord, VideoSizeOnlyWithVideoDescription) {
    StandIn s;
    ASSERT_TRUE(StartFast(s, "entry\ntitle audio\nlength 60000\nsize 320x240\nat 0 play\n"));
    NowPlayingRecord r;
    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(r.Width, 0) << "audio, though the size query answers";
    EXPECT_EQ(r.Height, 0);
    struct Case {
        LRESULT description;
        bool sized;
    };
    Case cases[] = {
        {0x10000, false},
        {0x10001, true},
        {-2, true},  // taken as unsigned
#if defined(_WIN64)
        {static_cast<LRESULT>(0x100000000LL), true},  // the whole answer counts, not its low half
#endif
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(s.ForceAnswer(winamp::kInfoVideoDescription, winamp::IPC_GETINFO, c.description));
        ASSERT_TRUE(NextRecord(s, r));
        EXPECT_EQ(r.Width, c.sized ? 320 : 0) << std::hex << c.description;
        EXPECT_EQ(r.Height, c.sized ? 240 : 0) << std::hex << c.description;
    }
    EXPECT_TRUE(s.Close());
}

TEST(WinampRecord, TimesInSecondsAndBitRateInBits) {
    StandIn s;
    ASSERT_TRUE(StartFast(s, "entry\ntitle stream\nlength -1\nbitrate 128\nat 0 play\n"));
    NowPlayingRecord r;
    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(r.Length, 0) << "length unknown";
    EXPECT_EQ(r.BitRate, 128000);
    struct Case {
        WPARAM wParam;
        LPARAM id;
        LRESULT answer;
        int32_t NowPlayingRecord::*field;
        int32_t want;
    };
    const Case cases[] = {
        {2, winamp::IPC_GETOUTPUTTIME, 215999, &NowPlayingRecord::Length, 215},
        {2, winamp::IPC_GETOUTPUTTIME, -1500, &NowPlayingRecord::Length, -1},
        {0, winamp::IPC_GETOUTPUTTIME, 1999, &NowPlayingRecord::Position, 1},
        {0, winamp::IPC_GETOUTPUTTIME, -1, &NowPlayingRecord::Position, 0},
        {1, winamp::IPC_GETINFO, 3000000, &NowPlayingRecord::BitRate, INT32_MAX},  // saturates, never wraps
        {1, winamp::IPC_GETINFO, -3000000, &NowPlayingRecord::BitRate, INT32_MIN},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(s.ForceAnswer(c.wParam, c.id, c.answer));
        ASSERT_TRUE(NextRecord(s, r));
        EXPECT_EQ(r.*c.field, c.want) << "answer " << c.answer << " to " << c.id << "/" << c.wParam;
    }
    EXPECT_TRUE(s.Close());
}

TEST(WinampRecord, TextsAreCutToTheirFields) {
    std::string title1023, title1024, path;
    for (int i = 0; i < 1023; ++i) title1023 += "あ";
    title1024 = title1023 + "い";
    for (int i = 0; i < 5000; ++i) path += "p";
    StandIn s;
    ASSERT_TRUE(StartFast(s, "entry\ntitle " + title1023 + "\nfile " + path + "\nentry\ntitle " + title1024 + "\n"));
#if defined(_WIN64)
    // Only texts above 4 GB show a bridge that cuts answers to 32 bits.
    LRESULT address = 0;
    ASSERT_TRUE(s.Send(winamp::WM_WA_IPC, 0, winamp::IPC_GET_PLAYING_TITLE, &address));
    EXPECT_GT(static_cast<ULONG_PTR>(address), 0xFFFFFFFFull) << "the stand-in's texts lie low";
#endif
    NowPlayingRecord r;
    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(std::wstring(r.Title), Widen(title1023));
    EXPECT_EQ(std::wstring(r.Path), std::wstring(4095, L'p'));
    EXPECT_EQ(r.Path[4095], L'\0');
    ASSERT_TRUE(s.Control(ActionNext));
    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(std::wstring(r.Title), Widen(title1023)) << "cut to 1023 units";
    EXPECT_EQ(r.Title[1023], L'\0');
    EXPECT_EQ(r.Path[0], L'\0');

    // No text: 0, and the 1 a player answers to a query it does not know, are not addresses.
    for (LRESULT answer : {LRESULT(0), LRESULT(1), LRESULT(0xFFFF)}) {
        ASSERT_TRUE(s.ForceAnswer(0, winamp::IPC_GET_PLAYING_TITLE, answer));
        ASSERT_TRUE(s.ForceAnswer(0, winamp::IPC_GET_PLAYING_FILENAME, answer));
        ASSERT_TRUE(NextRecord(s, r));
        EXPECT_EQ(r.Title[0], L'\0') << answer;
        EXPECT_EQ(r.Path[0], L'\0') << answer;
        EXPECT_EQ(r.Magic, 0x4D494E46u);
    }
    EXPECT_TRUE(s.Close());
}

TEST(WinampRecord, BusyRegionSkipsTicksWithoutBlockingThePlayer) {
    StandIn s;
    ASSERT_TRUE(StartFast(s, "entry\ntitle t\nlength 60000\nat 0 play\n"));
    NowPlayingRecord r;
    ASSERT_TRUE(NextRecord(s, r));
    ASSERT_EQ(r.Magic, 0x4D494E46u);

    SharedRegion region;
    ASSERT_EQ(region.Open("ZEQ_Plugin_Winamp_Info", kNowPlayingRecordSize), RegionExisted);
    std::optional<MutexLock> held(std::in_place, region);
    std::memset(region.View(), 0x5A, kNowPlayingRecordSize);
    size_t lockedAt = s.LogLines().size();
    // Each wait is a message round trip to the player's window, bounded by SendMessageTimeout.
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(s.WaitTicks(1)) << "window thread blocked";
    EXPECT_TRUE(AllBytes(region.View(), kNowPlayingRecordSize, 0x5A)) << "a tick wrote while the region was held";
    std::vector<std::string> lines = s.LogLines();
    int skipped = 0;
    bool first = true;
    for (size_t i = lockedAt; i < lines.size(); ++i) {
        if (EventOf(lines[i]) != "tick 5656") continue;
        if (first) {  // may have published just before the lock was granted
            first = false;
            continue;
        }
        ++skipped;
        EXPECT_EQ(QueriesOf(lines[i]), "") << "a skipped tick asks nothing";
    }
    EXPECT_GE(skipped, 3);
    held.reset();

    ASSERT_TRUE(NextRecord(s, r));
    EXPECT_EQ(r.Magic, 0x4D494E46u) << "the next tick after release publishes";
    EXPECT_EQ(r.PlayState, 3);
    EXPECT_TRUE(s.Close());
}

}  // namespace
