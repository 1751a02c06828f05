// The Windows Media Player and iTunes bridges dying at the worst moment, with the real
// Mivola.zeqp reading: the WMP stand-in (and the bridge inside it) killed while a slow tick holds
// the now-playing mutex, the iTunes bridge and the iTunes stand-in killed while they publish,
// and the host unloaded again and again while all three bridges publish every 10 ms. Nothing
// may hang, and the next start must work.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host_under_test.h"
#include "itunes_test_support.h"
#include "plugin_test_support.h"
#include "shared_region.h"
#include "sim/wmp/sim_protocol.h"
#include "wmp_stand_in.h"

using namespace mivola;
using namespace mivola::test;

namespace {

// Setting 1 targets WMP with a custom attribute, 2 Winamp, 3 iTunes.
std::string Settings(bool startItunesBridge) {
    return std::string("[Main]\r\nVersion=2\r\nMivolaNum=3\r\niTunesCheck=") + (startItunesBridge ? "1" : "0") +
           "\r\niTunesTiming=10\r\n"
           "[Mivola000]\r\nTargetPlayer=WMP\r\nFormat=\"%title|%{WM/Year}\"\r\n"
           "[Mivola001]\r\nTargetPlayer=Winamp\r\nFormat=\"%title\"\r\n"
           "[Mivola002]\r\nTargetPlayer=iTunes\r\nFormat=\"%title\"\r\n";
}

const char kFastBridge[] = "[Main]\r\nTiming=10\r\n";

std::string WmpPlaying(const char* title, const char* year) {
    return std::string("state 3\nmedia\nname ") + title + "\nurl C:\\m\\a.wma\nduration 300\nattr WM/Year=" + year + "\n";
}

std::string ItunesPlaying(const char* title) {
    return std::string("version 1.5\nstate playing\nposition 9\nquit-delay 500\ntrack\n kind 1\n name ") + title +
           "\n location C:\\m\\a.m4a\n duration 100\n";
}

// GetText comes back within its time limit (a hang fails the test) and gives this text.
void ExpectAnswer(HostUnderTest& host, int setting, const std::wstring& expected, const char* when) {
    std::wstring text;
    int n = 0;
    ASSERT_TRUE(host.TimedText(setting, &text, &n)) << "GetText did not return " << when;
    EXPECT_EQ(text, expected) << when;
    EXPECT_EQ(n, static_cast<int>(expected.size())) << when;
}

class WmpFault : public ::testing::TestWithParam<Arch> {
protected:
    void SetUp() override {
        MIVOLA_SKIP_UNLESS_RUNS(GetParam());
        ASSERT_TRUE(folder.Ready());
    }
    PluginFolder folder{Settings(false)};
};

// The bridge runs inside the player: killing the player in the middle of a slow tick kills the
// bridge while it holds its now-playing mutex.
TEST_P(WmpFault, PlayerKilledInsideASlowTickLeavesTheHostAnsweringAndTheNextStartWorks) {
    HostUnderTest host;
    {
        WmpStandIn player(GetParam());
        player.WriteSettings(kFastBridge);
        ASSERT_TRUE(player.Start(WmpPlaying("first", "1988")));
        ASSERT_TRUE(host.Load(folder.Dll()));
        ASSERT_TRUE(WaitUntil([&] { return host.Text(1) == L"first|1988"; })) << Narrow(host.Text(1));

        // Every core call now takes two seconds, and a tick holds the record for all of its calls.
        ASSERT_TRUE(player.Send(wmp_sim::kSimSetSlow, 2000, 0));
        SharedRegion region;
        ASSERT_EQ(region.Open("ZEQ_Plugin_WMP_Info", kNowPlayingRecordSize), RegionExisted);
        ASSERT_TRUE(WaitUntil([&] { return region.IsBusy(); }, 5000)) << "a tick holds the record";
        ::Sleep(100);
        EXPECT_TRUE(region.IsBusy());
        region.Close();
        player.Kill();
    }

    // The abandoned mutex is taken: the last whole record still answers. The answer region
    // went with the player's process, so the custom attribute expands to nothing.
    ExpectAnswer(host, 1, L"first|", "after the bridge died holding its mutex");
    ExpectAnswer(host, 1, L"first|", "a second time");

    WmpStandIn again(GetParam());
    again.WriteSettings(kFastBridge);
    ASSERT_TRUE(again.Start(WmpPlaying("second", "2001")));
    EXPECT_TRUE(WaitUntil([&] { return host.Text(1) == L"second|2001"; })) << Narrow(host.Text(1));
    EXPECT_TRUE(again.Close());
}

INSTANTIATE_TEST_SUITE_P(Arch, WmpFault, ::testing::Values(Arch::Same, Arch::Other),
                         [](const ::testing::TestParamInfo<Arch>& info) {
                             return info.param == Arch::Same ? std::string("SameArch") : std::string("OtherArch");
                         });

class ItunesFault : public ::testing::Test {
protected:
    void SetUp() override {
        EndStrays();
        ASSERT_TRUE(registration.Ok());
        ASSERT_TRUE(folder.Ready());
    }
    void TearDown() override { EndStrays(); }
    ItunesRegistration registration{Arch::Same};
    PluginFolder folder{Settings(false)};
};

// iTunes killed inside a slow call while the host keeps asking; then the bridge itself killed
// while it publishes every 10 ms, and a process killed while it holds the record's mutex. The
// bridge builds its record outside the lock and holds the mutex only to copy it in, so no slow
// call of iTunes can keep it inside the lock: a peer that takes the bridge's mutex and dies
// stands in for that moment.
TEST_F(ItunesFault, ItunesOrTheBridgeKilledLeavesTheHostAnsweringAndTheNextStartWorks) {
    HostUnderTest host;
    ASSERT_TRUE(host.Load(folder.Dll()));
    auto iTunes = std::make_unique<ItunesStandIn>();
    ASSERT_TRUE(iTunes->Start(ItunesPlaying("first")));
    auto bridge = std::make_unique<ItunesBridge>("[Main]\r\niTunesTiming=10\r\n");
    ASSERT_TRUE(bridge->Start());
    ASSERT_TRUE(ItunesBridge::WaitText("start"));
    ASSERT_TRUE(WaitUntil([&] { return host.Text(3) == L"first"; })) << Narrow(host.Text(3));

    // iTunes dies inside a call of a gather: the host keeps answering throughout.
    size_t from = iTunes->LogLines().size();
    ASSERT_EQ(iTunes->Send(itunes_sim::kSimSetSlow, 3000), 1);
    // The switch may land inside a gather: any call from now on is a slow one.
    ASSERT_TRUE(WaitUntil([&] {
        for (const std::string& e : iTunes->Events(from))
            if (e.compare(0, 5, "call ") == 0) return true;
        return false;
    }));
    ExpectAnswer(host, 3, L"first", "while the bridge waits inside a call");
    iTunes->Kill();
    ASSERT_TRUE(ItunesBridge::WaitText("end", 15000)) << ItunesBridge::Text();
    std::wstring text;
    ASSERT_TRUE(WaitUntil([&] { return host.TimedText(3, &text) && text.empty(); })) << "no player once it is gone";

    iTunes = std::make_unique<ItunesStandIn>();
    ASSERT_TRUE(iTunes->Start(ItunesPlaying("second")));
    ASSERT_TRUE(ItunesBridge::WaitText("start"));
    ASSERT_TRUE(WaitUntil([&] { return host.Text(3) == L"second"; })) << Narrow(host.Text(3));

    // The bridge killed at some moment of its 10 ms publishing, several times over; each new
    // bridge starts (the single-instance mutex went with the dead one) and publishes again.
    for (int round = 0; round < 5; ++round) {
        ::Sleep(7 * round);
        bridge->Kill();
        ASSERT_TRUE(bridge->Wait(5000));
        ExpectAnswer(host, 3, L"second", "after the bridge was killed");
        bridge = std::make_unique<ItunesBridge>("[Main]\r\niTunesTiming=10\r\n");
        ASSERT_TRUE(bridge->Start());
        ASSERT_TRUE(ItunesBridge::WaitText("start")) << "round " << round << ": " << ItunesBridge::Text();
        long calls = static_cast<long>(iTunes->Counter(itunes_sim::CounterCalls));
        ASSERT_TRUE(WaitUntil([&] { return iTunes->Counter(itunes_sim::CounterCalls) > calls + 14; }));
    }

    bridge->Kill();
    ASSERT_TRUE(bridge->Wait(5000));
    Peer holder;
    ASSERT_TRUE(holder.Start(Arch::Same, "lock-and-hang", L"Talvimora_ZEQ_Plugin_iTunes_Info_Mutex"));
    holder.Kill();
    ExpectAnswer(host, 3, L"second", "after a process died holding the record's mutex");

    bridge = std::make_unique<ItunesBridge>("[Main]\r\niTunesTiming=10\r\n");
    ASSERT_TRUE(bridge->Start());
    ASSERT_TRUE(ItunesBridge::WaitText("start"));
    iTunes->Close();
    ASSERT_TRUE(ItunesBridge::WaitText("end", 15000)) << ItunesBridge::Text();
    EXPECT_TRUE(WaitUntil([&] { return host.TimedText(3, &text) && text.empty(); })) << "the new bridge publishes";
    EXPECT_TRUE(bridge->Running());
}

// The Winamp stand-in with its bridge, from a plug-in folder of its own.
class WinampPlayer : public StandInProcess {
public:
    bool Start(const char* title) {
        std::wstring plugins = Folder() + L"Plugins";
        ::CreateDirectoryW(plugins.c_str(), nullptr);
        std::wstring dll = plugins + L"\\gen_zeq_mivola.dll";
        if (!::CopyFileW((ModuleDirectory() + L"gen_zeq_mivola.dll").c_str(), dll.c_str(), FALSE)) return false;
        WriteFileBytes(dll + L".ini", kFastBridge);
        return Launch(ModuleDirectory() + L"winamp.exe",
                      std::string("entry\ntitle ") + title + "\nfile C:\\m\\a.mp3\nlength 600000\nat 0 play\n",
                      L"--plugins \"" + plugins + L"\"") &&
               WaitEvent("ready") >= 0 && WindowFromLog();
    }
    bool Close() { return StandInProcess::Close(20000); }
};

// Every bridge publishes every 10 ms while the host is loaded, asked and unloaded 25 times; the
// host itself starts and stops the iTunes bridge each time, as it does when the ZEQ host runs it.
TEST(AllBridges, HostUnloadedWhileEveryBridgePublishesBlocksNothing) {
    EndStrays();
    ItunesRegistration registration(Arch::Same);
    ASSERT_TRUE(registration.Ok());
    PluginFolder folder(Settings(true));
    ASSERT_TRUE(folder.Ready());
    ASSERT_TRUE(::CopyFileW((ItunesProgramDir(Arch::Same) + L"ZEQ_Mivola_iTunes.exe").c_str(),
                            Widen(folder.ModuleDir() + "Mivola\\ZEQ_Mivola_iTunes.exe").c_str(), FALSE));
    WmpStandIn wmp;
    wmp.WriteSettings(kFastBridge);
    ASSERT_TRUE(wmp.Start(WmpPlaying("wmp", "1988")));
    WinampPlayer winamp;
    ASSERT_TRUE(winamp.Start("winamp"));
    ItunesStandIn iTunes;
    ASSERT_TRUE(iTunes.Start(ItunesPlaying("itunes")));

    int seen[3] = {};
    const std::wstring expected[3] = {L"wmp|1988", L"winamp", L"itunes"};
    for (int round = 0; round < 25; ++round) {
        HostUnderTest host;
        ASSERT_TRUE(host.Load(folder.Dll()));
        for (int i = 0; i < 15; ++i) {
            std::wstring text;
            ASSERT_TRUE(host.TimedText(1 + i % 3, &text)) << "round " << round;
            seen[i % 3] += text == expected[i % 3];
        }
    }  // each host is freed and unloaded (posting the iTunes bridge its end) while all publish
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    // The iTunes bridge each host starts may not be attached yet when that host is unloaded.
    std::printf("live texts in 125 requests each: WMP %d, Winamp %d, iTunes %d\n", seen[0], seen[1], seen[2]);

    // The next start shows all three; its Free ends the iTunes bridge it started.
    {
        HostUnderTest next;
        ASSERT_TRUE(next.Load(folder.Dll()));
        for (int setting = 1; setting <= 3; ++setting)
            EXPECT_TRUE(WaitUntil([&] { return next.Text(setting) == expected[setting - 1]; }, 15000))
                << "setting " << setting << ": " << Narrow(next.Text(setting));
    }
    EXPECT_TRUE(WaitUntil([] { return ItunesBridge::Window() == nullptr; })) << "the last host's bridge ended";
    EXPECT_TRUE(wmp.Close());
    EXPECT_TRUE(winamp.Close());
}

}  // namespace
