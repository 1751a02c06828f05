// The bridge inside the Windows Media Player stand-in, read from other processes: this test
// program plays the host plug-in's side of the records and of the custom attribute exchange,
// and the host stand-in with the real Mivola.zeqp shows the texts end to end.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <sstream>
#include <string>
#include <vector>

#include "attribute_exchange.h"
#include "record_transfer.h"
#include "named_mutex.h"
#include "peer_arch.h"
#include "region_names.h"
#include "shared_region.h"
#include "sim_protocol.h"
#include "wmp_stand_in.h"

using namespace mivola;
using namespace mivola::test;

namespace {

const char kFastSettings[] = "[Main]\r\nTiming=10\r\n";

std::string Media() {
    return "media\nname Song A\nurl C:\\Music\\a.wma\nduration 185.9\nwidth 0\nheight 0\n"
           "attr WM/Genre=Rock\nattr Author=Artist A\nattr WM/AlbumTitle=Album A\nattr WM/TrackNumber=07\n"
           "attr FileSize=3690987\nattr WM/Year=2003\nattr Foo=bar\nattr Bar=baz\nattr Empty=\n"
           "media\nname Song B\nurl http://radio.example/b\nduration 60\nwidth 640\nheight 360\n"
           "attr WM/TrackNumber=\nattr Foo=other\nattr WM/Year=1999\n"
           "media\nname Song C\nattr WM/TrackNumber=70000\n"
           "media\nname Song D\nattr WM/TrackNumber=3/12\n"
           "media\nname Song E\nattrrepeat WM/Genre=300 \xe3\x82\xb8\nattr Author=Artist E\nattrrepeat Long=20000 ab\n";
}

std::string Player(const std::string& extra = std::string()) {
    return "version 12.0.7601.24546 Stand-in\nstatus Playing stand-in\nstate 3\nprotocol http\n"
           "network bitrate 128000\nnetwork bandwidth 64000\nnetwork receptionquality 100\nnetwork lostpackets 3\n" +
           extra + Media();
}

// The host plug-in's side of the exchange: a request it keeps published, the answer it reads.
class Host {
public:
    Host() {
        requestMutex_.Create(kRequestMutex, false);
        answerMutex_.Create(kAnswerMutex, false);
    }
    void Request(std::initializer_list<const wchar_t*> names) {
        ListBuilder list;
        for (const wchar_t* n : names) list.Add(n);
        const std::vector<wchar_t>& units = list.Finish();
        WriteList(requestMutex_, request_, kRequestRegion, units.data(), static_cast<uint32_t>(units.size()));
    }
    bool Answer(std::vector<wchar_t>& units) { return ReadList(answerMutex_, kAnswerRegion, units); }
    // "<none>" when the name is not in the answer.
    std::wstring Value(const wchar_t* name) {
        std::vector<wchar_t> units;
        if (!Answer(units)) return L"<no answer>";
        size_t length = 0;
        const wchar_t* v = LookUpAnswer(units.data(), units.size(), name, std::wcslen(name), &length);
        return v ? std::wstring(v, length) : L"<none>";
    }

private:
    NamedMutex requestMutex_, answerMutex_;
    SharedRegion request_;
};

class WmpStandInTest : public WithPeer {};

NowPlayingRecord* Fresh() {
    static NowPlayingRecord record;
    std::memset(&record, 0xCC, sizeof record);
    return &record;
}

TEST_P(WmpStandInTest, RecordsAreAllZeroWithoutACoreAndFullWithOne) {
    WmpStandIn s(arch());
    s.WriteSettings(kFastSettings);
    ASSERT_TRUE(s.Start("core later\n" + Player()));
    ::Sleep(300);
    NowPlayingRecord& r = *Fresh();
    ASSERT_TRUE(ReadWmpNowPlaying(r));
    EXPECT_TRUE(AllZero(&r, sizeof r)) << "before SetCore";
    BridgeIdentityRecord id;
    ASSERT_TRUE(ReadWmpIdentity(id));
    EXPECT_EQ(_wcsicmp(id.ModulePath, s.BridgePath().c_str()), 0) << Narrow(id.ModulePath);
    EXPECT_EQ(FromCp932(id.Description, sizeof id.Description), L"WMP用 Ver 1.0.2");
    EXPECT_EQ(id.PlayerVersion[0], L'\0');

    ASSERT_TRUE(s.Send(wmp_sim::kSimSetCore, 1, 0));
    ASSERT_TRUE(s.WaitTicks(2));
    ASSERT_TRUE(ReadWmpNowPlaying(r));
    EXPECT_EQ(r.Magic, kRecordMagic);
    EXPECT_EQ(r.Version, 1);
    EXPECT_EQ(r.PlayState, 3);
    EXPECT_STREQ(r.Title, L"Song A");
    EXPECT_STREQ(r.Path, L"C:\\Music\\a.wma");
    EXPECT_STREQ(r.Genre, L"Rock");
    EXPECT_STREQ(r.Artist, L"Artist A");
    EXPECT_STREQ(r.Album, L"Album A");
    EXPECT_EQ(r.TrackNumber, 7);
    EXPECT_EQ(r.Length, 185) << "fraction cut off";
    EXPECT_EQ(r.FileSize, 3690987);
    EXPECT_STREQ(r.Status, L"Playing stand-in");
    EXPECT_EQ(r.BitRate, 128000);
    EXPECT_EQ(r.Bandwidth, 64000);
    EXPECT_EQ(r.ReceptionQuality, 100);
    EXPECT_EQ(r.LostPackets, 3);
    EXPECT_STREQ(r.Protocol, L"http");
    EXPECT_EQ(r.Reserved1, 0u);
    EXPECT_EQ(r.Reserved2, 0u);
    EXPECT_EQ(r.Reserved3, 0u);
    ASSERT_TRUE(ReadWmpIdentity(id));
    EXPECT_STREQ(id.PlayerVersion, L"12.0.7601.24546 Stand-in");

    ASSERT_TRUE(s.Send(wmp_sim::kSimSetCore, 0, 0));
    ::Sleep(300);
    ASSERT_TRUE(ReadWmpNowPlaying(r));
    EXPECT_TRUE(AllZero(&r, sizeof r)) << "after SetCore(NULL)";
    ASSERT_TRUE(ReadWmpIdentity(id));
    EXPECT_STREQ(id.PlayerVersion, L"12.0.7601.24546 Stand-in") << "SetCore(NULL) leaves the version";

    // Withdrawal: a reader holding the regions sees zeros once the player has gone.
    SharedRegion held;
    ASSERT_EQ(held.Open("ZEQ_Plugin_WMP_Info", kNowPlayingRecordSize), RegionExisted);
    SharedRegion heldId;
    ASSERT_EQ(heldId.Open("ZEQ_Plugin_WMP_PIN", kBridgeIdentityRecordSize), RegionExisted);
    EXPECT_TRUE(s.Close());
    ASSERT_TRUE(ReadWmpNowPlaying(r));
    EXPECT_TRUE(AllZero(&r, sizeof r));
    ASSERT_TRUE(ReadWmpIdentity(id));
    EXPECT_TRUE(AllZero(&id, sizeof id)) << "module unloaded";
}

TEST_P(WmpStandInTest, StatesWithoutMediaKeepFieldsEmptyAndThePreviousAnswers) {
    Host host;
    host.Request({L"WM/Year", L"Foo"});
    WmpStandIn s(arch());
    s.WriteSettings(kFastSettings);
    ASSERT_TRUE(s.Start(Player()));
    for (WPARAM state : {6, 8, 9}) {
        SCOPED_TRACE("state " + std::to_string(state));
        ASSERT_TRUE(s.Send(wmp_sim::kSimSetMedia, 0, 0));
        ASSERT_TRUE(s.Send(wmp_sim::kSimSetState, 3, 0));
        ASSERT_TRUE(s.WaitTicks(2));
        EXPECT_EQ(host.Value(L"Foo"), L"bar");
        // The state first: a tick between the two messages must not see the new item playing.
        ASSERT_TRUE(s.Send(wmp_sim::kSimSetState, state, 0));
        ASSERT_TRUE(s.Send(wmp_sim::kSimSetMedia, 1, 0));
        ASSERT_TRUE(s.WaitTicks(2));
        NowPlayingRecord& r = *Fresh();
        ASSERT_TRUE(ReadWmpNowPlaying(r));
        EXPECT_EQ(r.Magic, kRecordMagic);
        EXPECT_EQ(r.PlayState, state);
        EXPECT_EQ(r.Title[0], L'\0');
        EXPECT_EQ(r.Path[0], L'\0');
        EXPECT_EQ(r.Genre[0], L'\0');
        EXPECT_EQ(r.Artist[0], L'\0');
        EXPECT_EQ(r.Album[0], L'\0');
        EXPECT_EQ(r.TrackNumber, 0);
        EXPECT_EQ(r.Width, 0);
        EXPECT_EQ(r.Height, 0);
        EXPECT_EQ(r.Length, 0);
        EXPECT_EQ(r.FileSize, 0);
        EXPECT_STREQ(r.Status, L"Playing stand-in");
        EXPECT_EQ(r.BitRate, 128000);
        EXPECT_STREQ(r.Protocol, L"http");
        EXPECT_EQ(host.Value(L"Foo"), L"bar") << "the previous item's answer stays";
        EXPECT_EQ(host.Value(L"WM/Year"), L"2003");
    }
    ASSERT_TRUE(s.Send(wmp_sim::kSimSetState, 10, 0));  // ready: media fields again
    ASSERT_TRUE(s.WaitTicks(2));
    EXPECT_EQ(host.Value(L"Foo"), L"other");
    NowPlayingRecord& r = *Fresh();
    ASSERT_TRUE(ReadWmpNowPlaying(r));
    EXPECT_STREQ(r.Title, L"Song B");
    EXPECT_EQ(r.Width, 640);
    EXPECT_EQ(r.Height, 360);
    EXPECT_TRUE(s.Close());
}

TEST_P(WmpStandInTest, TrackNumbersLongGenresAndLongCustomValues) {
    Host host;
    host.Request({L"WM/Year", L"Missing", L"Empty", L"Long"});
    WmpStandIn s(arch());
    s.WriteSettings(kFastSettings);
    ASSERT_TRUE(s.Start(Player()));
    struct Case {
        WPARAM media;
        uint16_t track;
    } cases[] = {{0, 7}, {1, 0}, {2, 4464}, {3, 3}};
    for (const Case& c : cases) {
        ASSERT_TRUE(s.Send(wmp_sim::kSimSetMedia, c.media, 0));
        ASSERT_TRUE(s.WaitTicks(2));
        NowPlayingRecord& r = *Fresh();
        ASSERT_TRUE(ReadWmpNowPlaying(r));
        EXPECT_EQ(r.TrackNumber, c.track) << "media " << c.media;
    }
    ASSERT_TRUE(s.Send(wmp_sim::kSimSetMedia, 0, 0));
    ASSERT_TRUE(s.WaitTicks(2));
    std::vector<wchar_t> units;
    ASSERT_TRUE(host.Answer(units));
    // WM/Year, then Empty with its empty value; Missing (a null string) and Long are left out.
    const wchar_t expected[] = L"WM/Year\0" L"2003\0Empty\0\0";
    ASSERT_EQ(units.size(), sizeof expected / sizeof expected[0]);
    EXPECT_EQ(std::wstring(units.data(), units.size()), std::wstring(expected, units.size()));

    ASSERT_TRUE(s.Send(wmp_sim::kSimSetMedia, 4, 0));
    ASSERT_TRUE(s.WaitTicks(2));
    NowPlayingRecord& r = *Fresh();
    ASSERT_TRUE(ReadWmpNowPlaying(r));
    EXPECT_EQ(std::wstring(r.Genre), std::wstring(255, L'\u30b8')) << "300 characters cut to 255";
    EXPECT_EQ(r.Genre[255], L'\0');
    EXPECT_STREQ(r.Artist, L"Artist E") << "the artist is not disturbed";
    std::wstring longValue;
    for (int i = 0; i < 20000; ++i) longValue += L"ab";
    EXPECT_EQ(host.Value(L"Long"), longValue) << "custom values are copied whole";
    EXPECT_TRUE(s.Close());
}

// Doubles and digit strings as a core may hand them out: NaN, infinities, values beyond the
// 32-bit range, track numbers of any length and sign. Lengths and positions become 0 for NaN and
// are otherwise cut toward zero and held to the 32-bit range; track numbers are held to that
// range before their low 16 bits are taken.
TEST_P(WmpStandInTest, ForeignDoublesAndDigitStringsBecomeSoundIntegers) {
    WmpStandIn s(arch());
    s.WriteSettings(kFastSettings);
    ASSERT_TRUE(s.Start("state 3\n"
                        "media\nname N0\nduration nan\nposition nan\nattr WM/TrackNumber=99999999999\n"
                        "media\nname N1\nduration inf\nposition -inf\nattr WM/TrackNumber=-99999999999\n"
                        "media\nname N2\nduration -inf\nposition inf\nattr WM/TrackNumber= \t -5\n"
                        "media\nname N3\nduration 3000000000\nposition -3000000000\nattr WM/TrackNumber=+65537\n"
                        "media\nname N4\nduration 2147483647.9\nposition -2147483648.9\nattr WM/TrackNumber=2147483648\n"
                        "media\nname N5\nduration 2147483648\nposition -2147483649\nattr WM/TrackNumber=-2147483649\n"
                        "media\nname N6\nduration -0.9\nposition 1e300\n"
                        "attr WM/TrackNumber=0000000000000000000000000000000000000042x\n"
                        "media\nname N7\nduration 0\nposition -1e300\nattr WM/TrackNumber=123456789012345678901234567890\n"));
    struct Case {
        int32_t length, position;
        uint16_t track;
    } const cases[] = {
        {0, 0, 0xFFFF},
        {INT32_MAX, INT32_MIN, 0x0000},
        {INT32_MIN, INT32_MAX, 0xFFFB},
        {INT32_MAX, INT32_MIN, 1},
        {INT32_MAX, INT32_MIN, 0xFFFF},
        {INT32_MAX, INT32_MIN, 0x0000},
        {0, INT32_MAX, 42},
        {0, INT32_MIN, 0xFFFF},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE("media " + std::to_string(i));
        ASSERT_TRUE(s.Send(wmp_sim::kSimSetMedia, i, 0));
        ASSERT_TRUE(s.WaitTicks(2));
        NowPlayingRecord& r = *Fresh();
        ASSERT_TRUE(ReadWmpNowPlaying(r));
        EXPECT_EQ(r.Title, L"N" + std::to_wstring(i));
        EXPECT_EQ(r.Length, cases[i].length);
        EXPECT_EQ(r.Position, cases[i].position);
        EXPECT_EQ(r.TrackNumber, cases[i].track);
    }
    EXPECT_TRUE(s.Close());
}

// Cores written apart from the player answer differently: get_playState failing with its out
// value left uninitialised, getItemInfo succeeding with a null string, get_currentPosition
// answering S_FALSE with -1.0. The record stays sound: the failed play state reads 0 (so no
// media fields), absent attributes stay empty, and the position is the value the core gave.
TEST_P(WmpStandInTest, CoresThatAnswerOddlyStillGiveASoundRecord) {
    Host host;
    host.Request({L"WM/Year", L"Foo"});
    {
        WmpStandIn s(arch());
        s.WriteSettings(kFastSettings);
        ASSERT_TRUE(s.Start("quirk playstate-notimpl\nquirk position-sfalse\n" + Player()));
        ASSERT_TRUE(s.WaitTicks(2));
        NowPlayingRecord& r = *Fresh();
        ASSERT_TRUE(ReadWmpNowPlaying(r));
        EXPECT_EQ(r.Magic, kRecordMagic);
        EXPECT_EQ(r.PlayState, 0) << "nothing taken from the uninitialised out value";
        EXPECT_EQ(r.Title[0], L'\0');
        EXPECT_EQ(r.Path[0], L'\0');
        EXPECT_EQ(r.TrackNumber, 0);
        EXPECT_EQ(r.Length, 0);
        EXPECT_EQ(r.FileSize, 0);
        EXPECT_EQ(r.Position, -1);
        EXPECT_STREQ(r.Status, L"Playing stand-in");
        EXPECT_EQ(r.BitRate, 128000);
        EXPECT_EQ(host.Value(L"Foo"), L"<no answer>") << "no media item, no answer";
        EXPECT_TRUE(s.Close());
    }
    WmpStandIn s(arch());
    s.WriteSettings(kFastSettings);
    ASSERT_TRUE(s.Start("quirk iteminfo-null\n" + Player()));
    ASSERT_TRUE(s.WaitTicks(2));
    NowPlayingRecord& r = *Fresh();
    ASSERT_TRUE(ReadWmpNowPlaying(r));
    EXPECT_EQ(r.PlayState, 3);
    EXPECT_STREQ(r.Title, L"Song A");
    EXPECT_EQ(r.Genre[0], L'\0');
    EXPECT_EQ(r.Artist[0], L'\0');
    EXPECT_EQ(r.Album[0], L'\0');
    EXPECT_EQ(r.TrackNumber, 0);
    EXPECT_EQ(r.Length, 185);
    EXPECT_EQ(r.FileSize, 0);
    EXPECT_TRUE(AllZero(r.Genre, sizeof r.Genre));
    std::vector<wchar_t> units;
    ASSERT_TRUE(host.Answer(units));
    EXPECT_EQ(std::wstring(units.data(), units.size()), std::wstring(1, L'\0')) << "no pairs: every value was null";
    EXPECT_TRUE(s.Close());
}

// Such a core's other getters may fail the same way, leaving garbage in a number, a string or
// an interface pointer. Nothing of it is stored, freed or called: the record holds only what
// the calls that succeeded gave (the play state, and the status while only the interface
// getters fail), the request is answered with no pairs, and the player lives on.
TEST_P(WmpStandInTest, GettersThatFailLeaveNothingOfTheirOutValues) {
    Host host;
    host.Request({L"WM/Year", L"Foo"});
    for (const char* quirk : {"values-fail", "objects-fail"}) {
        SCOPED_TRACE(quirk);
        static NowPlayingRecord expected;
        std::memset(&expected, 0, sizeof expected);
        expected.Magic = kRecordMagic;
        expected.Version = kVersionWmp;
        expected.PlayState = 3;
        if (std::string(quirk) == "objects-fail") std::wcscpy(expected.Status, L"Playing stand-in");
        WmpStandIn s(arch());
        s.WriteSettings(kFastSettings);
        ASSERT_TRUE(s.Start("quirk " + std::string(quirk) + "\n" + Player()));
        ASSERT_TRUE(s.WaitTicks(3));
        NowPlayingRecord& r = *Fresh();
        ASSERT_TRUE(ReadWmpNowPlaying(r));
        EXPECT_EQ(std::memcmp(&r, &expected, sizeof r), 0)
            << "length " << r.Length << ", width " << r.Width << ", position " << r.Position << ", bit rate " << r.BitRate;
        std::vector<wchar_t> units;
        if (std::string(quirk) == "values-fail") {
            ASSERT_TRUE(host.Answer(units));
            EXPECT_EQ(std::wstring(units.data(), units.size()), std::wstring(1, L'\0')) << "every value failed";
            BridgeIdentityRecord id;
            ASSERT_TRUE(ReadWmpIdentity(id));
            EXPECT_EQ(id.PlayerVersion[0], L'\0');
        }
        EXPECT_TRUE(s.Running());
        EXPECT_TRUE(s.Close());
    }
}

std::vector<std::string> CallsOfOneTick(const std::vector<std::string>& lines) {
    std::vector<std::string> calls;
    for (const std::string& line : lines) {
        std::string e = EventText(line);
        if (e.rfind("call 0 ", 0) == 0) calls.push_back(e.substr(7));
    }
    // The second complete tick: from a get_playState to the next one.
    std::vector<size_t> starts;
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i] == "get_playState") starts.push_back(i);
    if (starts.size() < 3) return {};
    return std::vector<std::string>(calls.begin() + static_cast<long>(starts[1]), calls.begin() + static_cast<long>(starts[2]));
}

TEST_P(WmpStandInTest, OneTickCallsThePlayerInItsFixedOrder) {
    Host host;
    host.Request({L"WM/Year", L"Foo"});
    WmpStandIn s(arch());
    s.WriteSettings("[Main]\r\nTiming=50\r\n");
    ASSERT_TRUE(s.Start("calls on\n" + Player()));
    ASSERT_TRUE(s.WaitTicks(4));
    EXPECT_TRUE(s.Close());
    const std::vector<std::string> expected = {
        "get_playState", "get_currentMedia", "get_name", "get_sourceURL", "getItemInfo(WM/Genre)",
        "getItemInfo(Author)", "getItemInfo(WM/AlbumTitle)", "getItemInfo(WM/TrackNumber)", "get_imageSourceWidth",
        "get_imageSourceHeight", "get_duration", "getItemInfo(FileSize)", "getItemInfo(WM/Year)", "getItemInfo(Foo)",
        "get_controls", "get_currentPosition", "get_status", "get_network", "get_bandWidth", "get_maxBandwidth",
        "get_bitRate", "get_encodedFrameRate", "get_frameRate", "get_framesSkipped", "get_receivedPackets",
        "get_receptionQuality", "get_recoveredPackets", "get_lostPackets", "get_bufferingCount",
        "get_bufferingProgress", "get_downloadProgress", "get_sourceProtocol"};
    EXPECT_EQ(CallsOfOneTick(s.LogLines()), expected);
}

// SetCore(NULL) and the final Release come on the player's thread while a slow tick is inside
// core calls: SetCore returns at once, the tick goes on with its own reference and completes,
// the Release waits only for that tick, no call reaches a released core, nothing hangs.
TEST_P(WmpStandInTest, SetCoreNullAndDestructionDuringASlowTick) {
    WmpStandIn s(arch());
    s.WriteSettings(kFastSettings);
    ASSERT_TRUE(s.Start("calls on\nslow 100\n" + Player()));
    SharedRegion held;
    ASSERT_EQ(held.Open("ZEQ_Plugin_WMP_Info", kNowPlayingRecordSize), RegionExisted);
    int first = s.WaitEvent("call 0 get_playState");
    ASSERT_GE(first, 0);
    ::Sleep(250);  // well inside the tick (about 32 calls of 100 ms)
    ASSERT_TRUE(s.Send(wmp_sim::kSimSetCore, 0, 0));
    int nulled = s.FindEvent("setcore 0 null");
    ASSERT_GE(nulled, 0);
    ASSERT_TRUE(s.Send(wmp_sim::kSimSetCore, 1, 0));
    int again = s.WaitEvent("call 0 get_playState", static_cast<size_t>(nulled) + 1, 30000);
    ASSERT_GE(again, 0);
    ::Sleep(250);
    ASSERT_TRUE(s.Close(60000)) << "the player's thread came back and the process ended";

    std::vector<std::string> lines = s.LogLines();
    int lastNull = -1, releaseEnd = -1, coreGone = -1, lastCall = -1, callsAfterNull = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string e = EventText(lines[i]);
        EXPECT_EQ(e.find("call-after-release"), std::string::npos) << e;
        if (e == "setcore 0 null hr=0x0") lastNull = static_cast<int>(i);
        if (e.rfind("release 0 end", 0) == 0) releaseEnd = static_cast<int>(i);
        if (e == "core 0 released") coreGone = static_cast<int>(i);
        if (e.rfind("call 0 ", 0) == 0) {
            lastCall = static_cast<int>(i);
            if (lastNull >= 0) ++callsAfterNull;
        }
    }
    ASSERT_GE(lastNull, 0);
    ASSERT_GE(releaseEnd, 0);
    ASSERT_GE(coreGone, 0);
    EXPECT_GT(callsAfterNull, 0) << "the tick went on after SetCore(NULL) returned";
    EXPECT_LT(lastCall, releaseEnd) << "the final Release waited for the tick";
    EXPECT_GT(coreGone, lastCall) << "the core lived until its last call";
    EXPECT_GE(s.FindEvent("unload 0"), 0);
    NowPlayingRecord& r = *Fresh();
    ASSERT_TRUE(CopyRecordOut(held, &r, sizeof r));
    EXPECT_TRUE(AllZero(&r, sizeof r)) << "the record is zeroed after the completed tick";
}

MIVOLA_BOTH_ARCHES(WmpStandInTest);

// --- End to end with the host stand-in --------------------------------------------------------

// The host stand-in of either architecture with that architecture's Mivola.zeqp; the bridge in
// the stand-in of this architecture.
class CustomAttributesEndToEnd : public WithPeer {};

TEST_P(CustomAttributesEndToEnd, TemplatesShowThePlayersValuesUpToAnEmptyName) {
    std::wstring tree = arch() == Arch::Same ? ModuleDirectory() + L"..\\..\\" : OtherArchDirectory() + L"..\\";
    TempDir dir;
    std::wstring host = dir.Path();
    ASSERT_TRUE(::CreateDirectoryW((host + L"Mivola").c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW((tree + L"hostplugin\\Mivola.zeqp").c_str(), (host + L"Mivola.zeqp").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((tree + L"sim\\zeqhost\\zeqhost.exe").c_str(), (host + L"zeqhost.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(host + L"Mivola\\Setting.ini",
                               "[Main]\r\nVersion=2\r\nMivolaNum=4\r\n"
                               "[Mivola000]\r\nTargetPlayer=WMP\r\nFormat=\"%{WM/Year}|%{Foo}|%title|%track\"\r\n"
                               "[Mivola001]\r\nTargetPlayer=Auto\r\nFormat=\"[%{}][%{Bar}]%title\"\r\n"
                               "[Mivola002]\r\nTargetPlayer=WMP\r\nFormat=\"[%{bar}][%{wm/year}]\"\r\n"
                               "[Mivola003]\r\nTargetPlayer=Winamp\r\nFormat=\"%title\"\r\n"));
    WmpStandIn s;
    s.WriteSettings("[Main]\r\nTiming=50\r\n");
    ASSERT_TRUE(s.Start(Player()));
    ChildResult watch = RunChild(host + L"zeqhost.exe", L"--watch 3 \"" + host + L"Mivola.zeqp\"", 60000, host);
    EXPECT_TRUE(s.Close());
    ASSERT_TRUE(watch.finished) << watch.output;
    std::vector<WatchRound> rounds = ParseWatchRounds(watch.output);
    ASSERT_EQ(rounds.size(), 3u) << watch.output;
    const WatchRound& last = rounds.back();
    EXPECT_EQ(last.text[1], "2003|bar|Song A|7") << watch.output;
    EXPECT_EQ(last.text[2], "[][]Song A") << "an empty name ends the request: Bar is never asked";
    EXPECT_EQ(last.text[3], "[][2003]") << "names compare without ASCII case";
    EXPECT_EQ(last.text[4], "untouched");
}

MIVOLA_BOTH_ARCHES(CustomAttributesEndToEnd);

}  // namespace
