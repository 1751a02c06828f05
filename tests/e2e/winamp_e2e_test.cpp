// The 32-bit Winamp stand-in with the 32-bit bridge publishes; the host stand-in of this
// build's architecture loads this build's Mivola.zeqp and asks for texts once a second.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

using namespace mivola::test;

namespace {

#ifdef _WIN64
std::wstring I686Tree() { return OtherArchDirectory() + L"..\\"; }
#else
std::wstring I686Tree() { return ModuleDirectory() + L"..\\..\\"; }
#endif
std::wstring OwnTree() { return ModuleDirectory() + L"..\\..\\"; }

// Setting.ini in code page 932; the templates are ASCII so the bytes are the same in UTF-8.
const char kSettings[] =
    "[Main]\r\nVersion=2\r\nMivolaNum=4\r\n"
    "[Mivola000]\r\nTargetPlayer=Auto\r\nFormat=\"%title|%playstate|%filename|%kbitrate|%pos\"\r\n"
    "[Mivola001]\r\nTargetPlayer=Winamp\r\nFormat=\"%playmark %title (%len)\"\r\n"
    "[Mivola002]\r\nTargetPlayer=iTunes\r\nFormat=\"%title\"\r\n"
    "[Mivola003]\r\nTargetPlayer=WMP\r\nFormat=\"%title\"\r\n";

std::string Scenario(int quitMs) {
    return "entry\ntitle E2E \xe6\x9b\xb2\nfile C:\\e2e\\song.mp3\nlength 200000\nbitrate 128\n"
           "at 0 play\nat " + std::to_string(quitMs) + " quit\n";
}

class WinampEndToEnd : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring host, player;
    void SetUp() override {
        MIVOLA_SKIP_UNLESS_32BIT_RUNS();  // real Winamp, and so its bridge, is 32-bit
        host = dir.Path() + L"host\\";
        player = dir.Path() + L"winamp\\";
        ASSERT_TRUE(::CreateDirectoryW(host.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((host + L"Mivola").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(player.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((player + L"Plugins").c_str(), nullptr));
        struct Copy { std::wstring from, to; } copies[] = {
            {OwnTree() + L"hostplugin\\Mivola.zeqp", host + L"Mivola.zeqp"},
            {OwnTree() + L"sim\\zeqhost\\zeqhost.exe", host + L"zeqhost.exe"},
            {I686Tree() + L"sim\\winamp\\winamp.exe", player + L"winamp.exe"},
            {I686Tree() + L"winamp\\gen_zeq_mivola.dll", player + L"Plugins\\gen_zeq_mivola.dll"},
        };
        for (const Copy& c : copies) ASSERT_TRUE(::CopyFileW(c.from.c_str(), c.to.c_str(), FALSE)) << Narrow(c.from);
        ASSERT_TRUE(WriteFileBytes(host + L"Mivola\\Setting.ini", kSettings));
        // A fast bridge, so that each second's request sees a fresh record.
        ASSERT_TRUE(WriteFileBytes(player + L"Plugins\\gen_zeq_mivola.dll.ini", "[Main]\r\nTiming=100\r\n"));
    }
    bool StartPlayer(Child& child, int quitMs) {
        if (!WriteFileBytes(player + L"scenario.txt", Scenario(quitMs))) return false;
        return child.Start(player + L"winamp.exe", L"--scenario \"" + player + L"scenario.txt\"", player);
    }
};

}  // namespace

TEST_F(WinampEndToEnd, TextsFollowThePlayerAndAutoFallsThroughWhileItIsGone) {
    Child first;
    ASSERT_TRUE(StartPlayer(first, 4000));
    ::Sleep(1500);

    ChildResult watch;
    std::thread hostThread([&] {
        watch = RunChild(host + L"zeqhost.exe", L"--watch 13 \"" + host + L"Mivola.zeqp\"", 60000, host);
    });
    ASSERT_TRUE(first.Wait(15000));  // the scenario quits the first player
    EXPECT_EQ(first.ExitCode(), 0u);
    ::Sleep(3500);
    Child second;
    ASSERT_TRUE(StartPlayer(second, 60000));
    hostThread.join();
    second.Kill();

    ASSERT_TRUE(watch.finished) << watch.output;
    ASSERT_EQ(watch.exitCode, 0u) << watch.output;
    std::vector<WatchRound> rounds = ParseWatchRounds(watch.output);
    ASSERT_EQ(rounds.size(), 13u) << watch.output;

    // Phases: the first player publishes, then no player, then the second one.
    enum Phase { Before, Playing, Gone, Back } phase = Before;
    int playingRounds = 0, goneRounds = 0, backRounds = 0;
    for (const WatchRound& r : rounds) {
        bool live = r.text[1] != "untouched";
        EXPECT_EQ(r.text[3], "untouched");  // only Winamp publishes
        EXPECT_EQ(r.text[4], "untouched");
        if (live) {
            EXPECT_EQ(r.text[1].rfind("E2E \xe6\x9b\xb2|Playing|song.mp3|128.0|00:00:", 0), 0u) << r.text[1];
            EXPECT_EQ(r.text[2], "\xef\xbc\x9e E2E \xe6\x9b\xb2 (00:03:20)");
        } else {
            EXPECT_EQ(r.text[2], "untouched");
        }
        if (live && (phase == Before || phase == Playing)) phase = Playing, ++playingRounds;
        else if (!live && phase == Playing) phase = Gone;
        if (!live && phase == Gone) ++goneRounds;
        if (live && (phase == Gone || phase == Back)) phase = Back, ++backRounds;
    }
    EXPECT_GE(playingRounds, 2) << watch.output;
    EXPECT_GE(goneRounds, 2) << watch.output;
    EXPECT_GE(backRounds, 2) << watch.output;
}
