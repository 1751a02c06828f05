// What reaches the bridge while it waits inside a call to iTunes: ticks of its own timer, the
// quit announcement, its own end-of-iTunes message, iTunes' window going away, and iTunes
// dying in the middle of a call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "itunes_fixture.h"

using namespace mivola;
using namespace mivola::test;
using namespace itunes_sim;

namespace {

const char kScenario[] =
    "version 1.5\nstate playing\nposition 9\nquit-delay 8000\n"
    "track\n kind 1\n name Slow Song\n location C:\\slow.mp3\n genre G\n artist A\n album B\n number 1\n"
    " duration 100\n size 1000\n bitrate 128\n";

const std::vector<std::string> kFullGather = Calls({"get_PlayerState", "get_CurrentTrack", "get_Name", "get_Kind",
                                                    "QueryInterface(IITFileOrCDTrack)", "get_Location", "get_Genre",
                                                    "get_Artist", "get_Album", "get_TrackNumber", "get_Duration",
                                                    "get_Size", "get_BitRate", "get_PlayerPosition"});

// The calls after line `from` up to the end of the gather they belong to.
std::vector<std::string> CallsFrom(const ItunesStandIn& iTunes, size_t from) {
    std::vector<std::string> calls;
    for (const std::string& e : iTunes.Events(from)) {
        if (e.compare(0, 5, "call ") == 0) calls.push_back(e);
    }
    return calls;
}

class WhileWaiting : public WithStandIn {
protected:
    void Attach(const char* timing = "100") {
        ASSERT_TRUE(iTunes.Start(kScenario));
        bridge = std::make_unique<ItunesBridge>(std::string("[Main]\r\niTunesTiming=") + timing + "\r\n");
        ASSERT_TRUE(bridge->Start());
        ASSERT_TRUE(ItunesBridge::WaitText("start"));
        NowPlayingRecord record;
        ASSERT_TRUE(WaitUntil([&] { return ReadNowPlaying(record) && record.PlayState == 3 && record.Position == 9; }));
    }
    ItunesStandIn iTunes{GetParam()};
    std::unique_ptr<ItunesBridge> bridge;
};

TEST_P(WhileWaiting, TicksInsideAGatherDoNotStartAnother) {
    Attach("20");
    size_t from = iTunes.LogLines().size();
    ASSERT_EQ(iTunes.Send(kSimSetSlow, 30), 1);
    ASSERT_EQ(iTunes.Send(kSimPoke, PokeTimer), 1);
    ASSERT_TRUE(WaitUntil([&] { return Gathers(iTunes.Events(from)).size() >= 4; }, 20000));
    ASSERT_EQ(iTunes.Send(kSimPoke, PokeNone), 1);
    ASSERT_EQ(iTunes.Send(kSimSetSlow, 0), 1);
    std::vector<std::string> events = iTunes.Events(from);
    EXPECT_GE(std::count(events.begin(), events.end(), "poke timer"), 20) << "ticks arrived inside the calls";
    std::vector<std::vector<std::string>> gathers = Gathers(events);
    // The first may be cut at its start, the last may still run.
    for (size_t i = 1; i + 1 < gathers.size(); ++i) EXPECT_EQ(gathers[i], kFullGather) << "gather " << i;
}

TEST_P(WhileWaiting, QuitAnnouncedInsideAGatherDetachesAfterIt) {
    Attach();
    ASSERT_EQ(iTunes.Send(kSimSetSlow, 150), 1);
    size_t from = iTunes.LogLines().size();
    int name = iTunes.WaitEvent("call get_Name", from, 10000);
    ASSERT_GE(name, 0);
    ASSERT_TRUE(iTunes.Quit());
    int fired = iTunes.WaitEvent("fire 9 1 0", static_cast<size_t>(name), 5000);
    ASSERT_GE(fired, 0);
    ASSERT_TRUE(ItunesBridge::WaitText("itunes ending...", 10000));
    // The gather went on to its last call after the announcement, and nothing followed it.
    std::vector<std::string> calls = CallsFrom(iTunes, static_cast<size_t>(name));
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "call get_PlayerPosition");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "call get_PlayerState"), 0);
    NowPlayingRecord record;
    ASSERT_TRUE(ReadNowPlaying(record));
    EXPECT_EQ(std::wstring(record.Title), L"Slow Song") << "the finished gather's record is kept";
    EXPECT_EQ(record.Position, 9);
}

TEST_P(WhileWaiting, EndOfItunesMessageInsideAGatherWaitsForIt) {
    Attach();
    size_t from = iTunes.LogLines().size();
    ASSERT_EQ(iTunes.Send(kSimPoke, PokeiTunesEnd), 1);
    ASSERT_EQ(iTunes.Send(kSimSetSlow, 50), 1);
    int poked = iTunes.WaitEvent("poke itunes-end", from, 10000);
    ASSERT_GE(poked, 0);
    ASSERT_TRUE(ItunesBridge::WaitText("itunes ending...", 10000));
    ::Sleep(500);
    // The detach waited for the rest of the gather that carried the message; nothing followed.
    std::vector<std::string> calls = CallsFrom(iTunes, static_cast<size_t>(poked) + 1);
    std::vector<std::string> rest(kFullGather.begin() + 1, kFullGather.end());
    EXPECT_EQ(calls, rest);
    EXPECT_TRUE(bridge->Running());
}

TEST_P(WhileWaiting, QuitAnnouncedInsideAdviseWaitsForTheConnectAndKeepsThePause) {
    ASSERT_TRUE(iTunes.Start(std::string(kScenario) + "quit-in-advise\n"));
    bridge = std::make_unique<ItunesBridge>("[Main]\r\niTunesTiming=100\r\n");
    ASSERT_TRUE(bridge->Start());
    int poked = iTunes.WaitEvent("poke quit-in-advise", 0, 10000);
    ASSERT_GE(poked, 0);
    ASSERT_GE(iTunes.WaitEvent("advise returns", static_cast<size_t>(poked), 10000), 0);
    ASSERT_TRUE(ItunesBridge::WaitText("itunes ending...", 5000)) << ItunesBridge::Text();
    // The pause holds with iTunes' window still there: no gather, no attach, no identity.
    ::Sleep(3000);
    EXPECT_EQ(ItunesBridge::Text(), "itunes ending...");
    std::vector<std::string> calls = CallsFrom(iTunes, static_cast<size_t>(poked));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "call get_PlayerState"), 0) << "gathered during the pause";
    BridgeIdentityRecord identity;
    EXPECT_FALSE(ReadIdentity(identity) && !AllZero(&identity, sizeof identity)) << "identity published";
    ASSERT_TRUE(bridge->Running());
    ASSERT_TRUE(ItunesBridge::PostEnd());
    ASSERT_TRUE(bridge->Wait(10000));
    EXPECT_EQ(bridge->ExitCode(), 0u);
}

TEST_P(WhileWaiting, ItunesWindowGoingInsideAGatherLeavesTheConnectionToIt) {
    Attach();
    size_t from = iTunes.LogLines().size();
    ASSERT_EQ(iTunes.Send(kSimPoke, PokeNoWindowTimer), 1);
    ASSERT_EQ(iTunes.Send(kSimSetSlow, 50), 1);
    int poked = iTunes.WaitEvent("poke timer without window", from, 10000);
    ASSERT_GE(poked, 0);
    ASSERT_TRUE(ItunesBridge::WaitText("end", 10000));
    // The nested tick detached at once; the connection stayed for the gather to finish.
    ASSERT_GE(iTunes.WaitEvent("call get_PlayerPosition", static_cast<size_t>(poked), 10000), 0);
    std::vector<std::string> calls = CallsFrom(iTunes, static_cast<size_t>(poked) + 1);
    std::vector<std::string> rest(kFullGather.begin() + 1, kFullGather.end());
    EXPECT_EQ(calls, rest) << "the gather ran to its end";
    // The gather ended detached: its record must not bring iTunes back, not even until the
    // next tick zeroes it again.
    NowPlayingRecord record;
    int live = 0;
    for (ULONGLONG end = ::GetTickCount64() + 1500; ::GetTickCount64() < end; ::Sleep(5)) {
        if (ReadNowPlaying(record) && !AllZero(&record, sizeof record)) ++live;
    }
    EXPECT_EQ(live, 0) << "reads of a live record after the detach";
    EXPECT_TRUE(ReadNowPlaying(record) && AllZero(&record, sizeof record));
    ASSERT_TRUE(bridge->Running());
    ASSERT_TRUE(ItunesBridge::PostEnd());
    ASSERT_TRUE(bridge->Wait(10000));
    EXPECT_EQ(bridge->ExitCode(), 0u);
}

TEST_P(WhileWaiting, ItunesKilledInsideACallDoesNotStickTheBridge) {
    Attach();
    // Gathers may run back to back, so the slowness can start in the middle of one: any call
    // entered after it is set is one to kill iTunes in.
    ASSERT_EQ(iTunes.Send(kSimSetSlow, 3000), 1);
    size_t from = iTunes.LogLines().size();
    ASSERT_TRUE(WaitUntil([&] { return !CallsFrom(iTunes, from).empty(); }, 10000));
    ::Sleep(300);
    iTunes.Kill();
    ASSERT_TRUE(ItunesBridge::WaitText("end", 15000)) << ItunesBridge::Text();
    NowPlayingRecord record;
    ASSERT_TRUE(WaitUntil([&] { return ReadNowPlaying(record) && AllZero(&record, sizeof record); }, 3000));
    BridgeIdentityRecord identity;
    EXPECT_FALSE(ReadIdentity(identity));

    ItunesStandIn again(arch());
    ASSERT_TRUE(again.Start(kScenario));
    ASSERT_TRUE(ItunesBridge::WaitText("start", 10000)) << ItunesBridge::Text();
    EXPECT_TRUE(WaitUntil([&] { return ReadNowPlaying(record) && record.PlayState == 3; }, 5000));
    EXPECT_TRUE(bridge->Running());
}

INSTANTIATE_TEST_SUITE_P(Bridge, WhileWaiting, ::testing::Values(Arch::Same, Arch::Other), StandInArchName);

}  // namespace
