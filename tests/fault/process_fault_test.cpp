// Processes that die or go away at the worst moment: the Winamp stand-in with the real bridge
// killed in the middle of a tick (while the bridge holds its now-playing mutex), the host
// unloaded again and again while the bridge publishes, and a host killed while it holds the
// record's lock. Nothing may hang, and the next start must work.
#include <gtest/gtest.h>

#include <string>

#include "host_under_test.h"
#include "plugin_test_support.h"
#include "shared_region.h"
#include "sim_protocol.h"
#include "stand_in.h"
#include "winamp_sdk.h"

using namespace mivola;
using namespace mivola::test;

namespace {

// Setting 1 targets Winamp, setting 2 lets "Auto" find it.
const char kSettings[] =
    "[Main]\r\nVersion=2\r\nMivolaNum=2\r\n"
    "[Mivola000]\r\nTargetPlayer=Winamp\r\nFormat=\"%title\"\r\n"
    "[Mivola001]\r\nTargetPlayer=Auto\r\nFormat=\"%title|%playstate\"\r\n";

std::string Playing(const char* title) {
    return std::string("entry\ntitle ") + title + "\nfile C:\\m\\a.mp3\nlength 600000\nbitrate 128\nat 0 play\n";
}

bool StartFast(StandIn& player, const char* title) {
    player.WriteSettings("[Main]\r\nTiming=10\r\n");
    return player.Start(Playing(title));
}

class WinampFault : public ::testing::TestWithParam<Arch> {
protected:
    void SetUp() override {
        MIVOLA_SKIP_UNLESS_RUNS(GetParam());
        ASSERT_TRUE(folder.Ready());
    }
    PluginFolder folder{kSettings};
};

TEST_P(WinampFault, BridgeKilledHoldingItsMutexLeavesTheHostAnsweringAndTheNextStartWorks) {
    HostUnderTest host;
    {
        StandIn player(GetParam());
        ASSERT_TRUE(StartFast(player, "first"));
        ASSERT_TRUE(host.Load(folder.Dll()));
        ASSERT_TRUE(WaitUntil([&] { return host.Text(1) == L"first"; }));

        // The player hangs inside the title query: the bridge's tick holds the record's mutex.
        ASSERT_TRUE(player.StallAt(0, winamp::IPC_GET_PLAYING_TITLE));
        SharedRegion region;
        ASSERT_EQ(region.Open("ZEQ_Plugin_Winamp_Info", kNowPlayingRecordSize), RegionExisted);
        EXPECT_TRUE(region.IsBusy());
        region.Close();
        player.Kill();
    }

    // The abandoned mutex is taken: the host answers from the last whole record, at once.
    std::wstring text;
    int n = 0;
    ASSERT_TRUE(host.TimedText(1, &text, &n)) << "GetText did not return after the bridge died holding its mutex";
    EXPECT_EQ(text, L"first");
    EXPECT_EQ(n, 5);
    ASSERT_TRUE(host.TimedText(2, &text, &n));
    EXPECT_EQ(text, L"first|Playing");

    // A player that starts again publishes into the same region, and the host follows it.
    StandIn again(GetParam());
    ASSERT_TRUE(StartFast(again, "second"));
    EXPECT_TRUE(WaitUntil([&] { return host.Text(1) == L"second"; }));
    EXPECT_TRUE(again.Close());
}

TEST_P(WinampFault, HostUnloadedWhileTheBridgePublishesBlocksNothing) {
    StandIn player(GetParam());
    ASSERT_TRUE(StartFast(player, "steady"));
    int texts = 0;
    for (int round = 0; round < 25; ++round) {
        HostUnderTest host;
        ASSERT_TRUE(host.Load(folder.Dll()));
        for (int i = 0; i < 20; ++i) {
            std::wstring text;
            ASSERT_TRUE(host.TimedText(1 + i % 2, &text)) << "round " << round;
            texts += text.rfind(L"steady", 0) == 0;
        }
    }  // each host is freed and unloaded while the bridge ticks every 10 ms
    EXPECT_GT(texts, 0);
    EXPECT_TRUE(player.WaitTicks(5));  // the player's window never stalled
    HostUnderTest next;
    ASSERT_TRUE(next.Load(folder.Dll()));
    EXPECT_TRUE(WaitUntil([&] { return next.Text(1) == L"steady"; }));
    EXPECT_TRUE(player.Close());
}

TEST_P(WinampFault, HostKilledHoldingTheRecordLockStopsNoPublishing) {
    StandIn player(GetParam());
    ASSERT_TRUE(StartFast(player, "held"));
    ASSERT_TRUE(player.WaitTicks(2));
    Peer host;  // a host process that dies inside its record copy
    ASSERT_TRUE(host.Start(Arch::Same, "lock-and-hang", L"Talvimora_ZEQ_Plugin_Winamp_Info_Mutex"));
    // While it holds the lock the bridge skips its ticks, and the player keeps answering.
    ASSERT_TRUE(player.Control(winamp_sim::ActionPause));
    ASSERT_TRUE(player.WaitTicks(5));
    host.Kill();

    // The bridge takes the abandoned mutex and publishes the pause it could not publish before.
    NowPlayingRecord r{};
    EXPECT_TRUE(WaitUntil([&] { return ReadNowPlaying(r) && r.PlayState == 2; }));
    EXPECT_TRUE(player.Close());
}

INSTANTIATE_TEST_SUITE_P(Arch, WinampFault, ::testing::Values(Arch::Same, Arch::Other),
                         [](const ::testing::TestParamInfo<Arch>& info) {
                             return info.param == Arch::Same ? std::string("SameArch") : std::string("OtherArch");
                         });

}  // namespace
