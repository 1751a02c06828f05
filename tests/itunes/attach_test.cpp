// The bridge attached to the stand-in: attaching, the records for every player state and
// track kind, the exact calls of a gather, the quit announcement and the end message.
#include <gtest/gtest.h>

#include <cstring>

#include "itunes_fixture.h"
#include "region_names.h"
#include "scoped_lock.h"
#include "shared_region.h"
#include "text_copy.h"

using namespace mivola;
using namespace mivola::test;
using namespace itunes_sim;

namespace mivola::test {

std::vector<std::vector<std::string>> Gathers(const std::vector<std::string>& events) {
    std::vector<std::vector<std::string>> gathers;
    for (const std::string& e : events) {
        if (e == "call get_PlayerState") gathers.emplace_back();
        if (!gathers.empty() && e.compare(0, 5, "call ") == 0) gathers.back().push_back(e);
    }
    return gathers;
}

}  // namespace mivola::test

namespace {

const std::wstring kLongTitle = [] {
    std::wstring t;
    for (int i = 0; i < 1100; ++i) t += static_cast<wchar_t>(i % 2 ? L'\u66f2' : L'a' + i % 26);
    return t;
}();

struct TrackRow {
    long kind;
    std::wstring name, location, url, genre, artist, album;
    long number, duration, size, bitRate;
};

// Indices 0..5: file, CD, URL, unknown kind, device kind, long title.
const TrackRow kTracks[] = {
    {1, L"\u590f\u306e\u5e7b Summer", L"C:\\Music\\\u590f.m4a", L"", L"Pop", L"\u6b4c\u624b", L"Album", 0x12345, 185, -5, 256},
    {2, L"CD Track 1", L"D:\\Track01.cda", L"", L"Classical", L"Orchestra", L"Live", 1, 300, 52000000, 1411},
    {3, L"Radio", L"C:\\not-for-streams.mp3", L"http://radio.example/stream", L"Talk", L"Host", L"", 0, 0, 0, 128},
    {0, L"Unknown kind", L"C:\\unknown.mp3", L"", L"G", L"A", L"B", 7, 10, 100, 64},
    {4, L"Device kind", L"C:\\device.mp3", L"", L"G", L"A", L"B", 8, 11, 200, 96},
    {1, kLongTitle, L"C:\\long.mp3", L"", L"", L"", L"", 2, 20, 2000, 320},
};

std::string Utf8(const std::wstring& w) { return Narrow(w); }

std::string Scenario(const char* state = "playing", int current = 0) {
    std::string s = "version 12.5.1.21 (\u30c6\u30b9\u30c8)\nstate " + std::string(state) + "\nposition 42\nquit-delay 500\n";
    for (const TrackRow& t : kTracks) {
        s += "track\n kind " + std::to_string(t.kind) + "\n name " + Utf8(t.name) + "\n location " + Utf8(t.location) +
             "\n url " + Utf8(t.url) + "\n genre " + Utf8(t.genre) + "\n artist " + Utf8(t.artist) + "\n album " +
             Utf8(t.album) + "\n number " + std::to_string(t.number) + "\n duration " + std::to_string(t.duration) +
             "\n size " + std::to_string(t.size) + "\n bitrate " + std::to_string(t.bitRate) + "\n";
    }
    return s + "current " + std::to_string(current) + "\n";
}

// The record the bridge must publish: player state as the stand-in answers it (-1: fails).
NowPlayingRecord Expected(long long state, int track, long position) {
    NowPlayingRecord r;
    std::memset(&r, 0, sizeof r);
    r.Magic = kRecordMagic;
    r.Version = 513;
    if (state == 2) r.PlayState = 4;
    if (state == 3) r.PlayState = 5;
    if (state != 0 && state != 1) return r;
    r.PlayState = state == 0 ? 1 : 3;
    r.Position = position;
    if (track < 0) return r;
    const TrackRow& t = kTracks[track];
    CopyText(r.Title, t.name.c_str());
    if (t.kind == 1 || t.kind == 2) CopyText(r.Path, t.location.c_str());
    if (t.kind == 3) CopyText(r.Path, t.url.c_str());
    CopyText(r.Genre, t.genre.c_str());
    CopyText(r.Artist, t.artist.c_str());
    CopyText(r.Album, t.album.c_str());
    r.TrackNumber = static_cast<uint16_t>(t.number & 0xFFFF);
    r.Length = t.duration;
    r.FileSize = t.size;
    r.BitRate = t.bitRate;
    return r;
}

std::string Describe(const NowPlayingRecord& r) {
    return "magic " + std::to_string(r.Magic) + " state " + std::to_string(r.PlayState) + " title '" +
           Narrow(std::wstring(r.Title, BoundedLength(r.Title, 1024))) + "' path '" +
           Narrow(std::wstring(r.Path, BoundedLength(r.Path, 4096))) + "' track " + std::to_string(r.TrackNumber) +
           " len " + std::to_string(r.Length) + " size " + std::to_string(r.FileSize) + " rate " +
           std::to_string(r.BitRate) + " pos " + std::to_string(r.Position);
}

bool WaitRecord(const NowPlayingRecord& expected, NowPlayingRecord& seen, DWORD timeoutMs = 5000) {
    return WaitUntil([&] { return ReadNowPlaying(seen) && std::memcmp(&seen, &expected, sizeof seen) == 0; }, timeoutMs);
}

class Attached : public WithStandIn {};

TEST_P(Attached, AttachesWithinASecondAndPublishesItsIdentity) {
    ItunesBridge bridge("[Main]\r\niTunesTiming=50\r\n");
    ASSERT_TRUE(bridge.Start());
    NowPlayingRecord record;
    ASSERT_TRUE(WaitUntil([&] { return ReadNowPlaying(record) && AllZero(&record, sizeof record); }));

    ItunesStandIn iTunes(arch());
    ASSERT_TRUE(iTunes.Start(Scenario()));
    ULONGLONG shown = ::GetTickCount64();
    ASSERT_TRUE(WaitUntil([&] { return ReadNowPlaying(record) && record.Magic == kRecordMagic; }, 5000));
    ULONGLONG attachedAfter = ::GetTickCount64() - shown;
    // One search period, plus the connection itself, which takes over a second of its own on a
    // loaded machine; a bridge that searched only after a pause of several seconds fails.
    EXPECT_LT(attachedAfter, 4000u);
    EXPECT_EQ(ItunesBridge::Text(), "start");

    BridgeIdentityRecord identity, expected;
    std::memset(&expected, 0, sizeof expected);
    CopyText(expected.ModulePath, bridge.ProgramPath().c_str());
    CopyText(expected.Description, "iTunes\x97p Ver 1.0.0");  // "iTunes用" in code page 932
    CopyText(expected.PlayerVersion, L"12.5.1.21 (\u30c6\u30b9\u30c8)");
    ASSERT_TRUE(ReadIdentity(identity));
    EXPECT_EQ(std::memcmp(&identity, &expected, sizeof identity), 0)
        << Narrow(identity.ModulePath) << " / " << identity.Description << " / " << Narrow(identity.PlayerVersion);
    EXPECT_TRUE(WaitRecord(Expected(1, 0, 42), record)) << Describe(record);
    EXPECT_EQ(iTunes.Counter(CounterSinks), 1) << "one sink advised";
}

TEST_P(Attached, PublishesTheRecordOfEveryStateAndTrackKind) {
    ItunesStandIn iTunes(arch());
    ASSERT_TRUE(iTunes.Start(Scenario()));
    ItunesBridge bridge("[Main]\r\niTunesTiming=20\r\n");
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(ItunesBridge::WaitText("start"));

    struct Case {
        long long state;
        int track;
        const char* what;
    };
    const Case cases[] = {
        {1, 0, "playing a file: track number cut to 16 bits, size widened with its sign"},
        {0, 1, "stopped on a CD track"},
        {1, 2, "a stream: the address, not the location"},
        {1, 3, "kind 0: no path"},
        {0, 4, "kind 4: no path"},
        {1, 5, "a title cut to 1023 units"},
        {1, -1, "no current track: position only"},
        {2, 0, "fast forward: no track, no position"},
        {3, 0, "rewind: no track, no position"},
        {-1, 0, "the state cannot be read"},
        {7, 0, "a state above 3"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(iTunes.Send(kSimSetState, static_cast<WPARAM>(c.state)), 1);
        ASSERT_EQ(iTunes.Send(kSimSetCurrent, static_cast<WPARAM>(static_cast<LONG_PTR>(c.track))), 1);
        ASSERT_EQ(iTunes.Send(kSimSetPosition, 77), 1);
        NowPlayingRecord seen;
        EXPECT_TRUE(WaitRecord(Expected(c.state, c.track, 77), seen)) << c.what << ": " << Describe(seen);
    }
    NowPlayingRecord seen;
    ReadNowPlaying(seen);
    ASSERT_EQ(iTunes.Send(kSimSetState, 1), 1);
    ASSERT_EQ(iTunes.Send(kSimSetCurrent, 5), 1);
    ASSERT_TRUE(WaitRecord(Expected(1, 5, 0), seen));
    EXPECT_EQ(BoundedLength(seen.Title, 1024), 1023u);
    EXPECT_EQ(std::wstring(seen.Title), kLongTitle.substr(0, 1023));
}

TEST_P(Attached, AGatherMakesExactlyItsCallsInOrder) {
    ItunesStandIn iTunes(arch());
    ASSERT_TRUE(iTunes.Start(Scenario()));
    ItunesBridge bridge("[Main]\r\niTunesTiming=30\r\n");
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(ItunesBridge::WaitText("start"));

    const std::vector<std::string> track = Calls({"get_Name", "get_Kind"});
    const std::vector<std::string> rest = Calls({"get_Genre", "get_Artist", "get_Album", "get_TrackNumber", "get_Duration",
                                                 "get_Size", "get_BitRate", "get_PlayerPosition"});
    auto join = [](std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    struct Case {
        long long state;
        int track;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {1, 0,
         join({Calls({"get_PlayerState", "get_CurrentTrack"}), track,
               Calls({"QueryInterface(IITFileOrCDTrack)", "get_Location"}), rest})},
        {1, 2,
         join({Calls({"get_PlayerState", "get_CurrentTrack"}), track, Calls({"QueryInterface(IITURLTrack)", "get_URL"}),
               rest})},
        {0, 3, join({Calls({"get_PlayerState", "get_CurrentTrack"}), track, rest})},
        {1, -1, Calls({"get_PlayerState", "get_CurrentTrack", "get_PlayerPosition"})},
        {2, 0, Calls({"get_PlayerState"})},
        {-1, 0, Calls({"get_PlayerState"})},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(iTunes.Send(kSimSetState, static_cast<WPARAM>(c.state)), 1);
        ASSERT_EQ(iTunes.Send(kSimSetCurrent, static_cast<WPARAM>(static_cast<LONG_PTR>(c.track))), 1);
        size_t from = iTunes.LogLines().size();
        ASSERT_TRUE(WaitUntil([&] { return Gathers(iTunes.Events(from)).size() >= 3; }));
        // The first gather may have begun before the change.
        std::vector<std::vector<std::string>> gathers = Gathers(iTunes.Events(from));
        EXPECT_EQ(gathers[1], c.calls) << "state " << c.state << " track " << c.track;
    }
}

TEST_P(Attached, QuitAnnouncementPausesTenSecondsThenSearchesAndReattaches) {
    ItunesBridge bridge("[Main]\r\niTunesTiming=100\r\n");
    ASSERT_TRUE(bridge.Start());
    auto iTunes = std::make_unique<ItunesStandIn>(arch());
    ASSERT_TRUE(iTunes->Start(Scenario()));
    ASSERT_TRUE(ItunesBridge::WaitText("start"));
    NowPlayingRecord last;
    ASSERT_TRUE(WaitRecord(Expected(1, 0, 42), last));

    ULONGLONG quit = ::GetTickCount64();
    ASSERT_TRUE(iTunes->Quit());
    ASSERT_TRUE(ItunesBridge::WaitText("itunes ending...", 5000));
    ULONGLONG ending = ::GetTickCount64();
    // The text changes just before the identity goes, so allow a moment, far short of the pause.
    BridgeIdentityRecord identity;
    EXPECT_TRUE(WaitUntil([&] { return !ReadIdentity(identity); }, 1000)) << "withdrawn at once";
    ASSERT_TRUE(iTunes->WaitExit(5000));
    int fired = iTunes->WaitEvent("fire 9 1 0", 0, 1000);
    ASSERT_GE(fired, 0) << "the announcement reached the one sink";
    for (const std::string& e : iTunes->Events(static_cast<size_t>(fired))) EXPECT_NE(e, "call get_PlayerState");

    // The pause keeps the last record for its whole length.
    ::Sleep(static_cast<DWORD>(8000 - (::GetTickCount64() - ending)));
    NowPlayingRecord kept;
    ASSERT_TRUE(ReadNowPlaying(kept));
    EXPECT_EQ(std::memcmp(&kept, &last, sizeof kept), 0) << Describe(kept);
    EXPECT_EQ(ItunesBridge::Text(), "itunes ending...");

    ASSERT_TRUE(ItunesBridge::WaitText("end", 6000));
    ULONGLONG searching = ::GetTickCount64() - ending;
    EXPECT_GE(searching, 9500u);
    EXPECT_LE(searching, 11000u);
    EXPECT_LE(::GetTickCount64() - quit, 13000u);
    ASSERT_TRUE(WaitUntil([&] { return ReadNowPlaying(kept) && AllZero(&kept, sizeof kept); }, 2000));

    // iTunes comes back: a new connection, identity and record again.
    iTunes = std::make_unique<ItunesStandIn>(arch());
    ASSERT_TRUE(iTunes->Start(Scenario("stopped", 1)));
    ASSERT_TRUE(ItunesBridge::WaitText("start", 4000));
    EXPECT_TRUE(WaitRecord(Expected(0, 1, 42), kept)) << Describe(kept);
    EXPECT_TRUE(ReadIdentity(identity));
    EXPECT_EQ(iTunes->Counter(CounterSinks), 1);
}

TEST_P(Attached, EndMessageEndsTheBridgeWithItsIdentityZeroedAndItunesRunning) {
    ItunesStandIn iTunes(arch());
    ASSERT_TRUE(iTunes.Start(Scenario()));
    ItunesBridge bridge("[Main]\r\niTunesTiming=50\r\n");
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(ItunesBridge::WaitText("start"));
    NowPlayingRecord last;
    ASSERT_TRUE(WaitRecord(Expected(1, 0, 42), last));

    // Readers holding both regions see what the bridge leaves behind.
    char name[kRegionNameMax];
    SharedRegion identity, nowPlaying;
    IdentityRegionName(name, "iTunes");
    ASSERT_EQ(identity.Open(name, kBridgeIdentityRecordSize), RegionExisted);
    NowPlayingRegionName(name, "iTunes");
    ASSERT_EQ(nowPlaying.Open(name, kNowPlayingRecordSize), RegionExisted);

    ASSERT_TRUE(ItunesBridge::PostEnd());
    ASSERT_TRUE(bridge.Wait(10000));
    EXPECT_EQ(bridge.ExitCode(), 0u);
    {
        MutexLock lock(identity);
        EXPECT_TRUE(AllZero(identity.View(), kBridgeIdentityRecordSize));
    }
    {
        MutexLock lock(nowPlaying);
        EXPECT_EQ(std::memcmp(nowPlaying.View(), &last, sizeof last), 0) << "the last record stays";
    }
    EXPECT_TRUE(iTunes.Running());
    EXPECT_NE(::FindWindowW(kWindowClass, nullptr), nullptr);
}

TEST_P(Attached, EndsWhenItunesCannotBeCreated) {
    Unregister();
    ItunesStandIn iTunes(arch());
    ASSERT_TRUE(iTunes.Start(Scenario(), L"--no-class"));
    ItunesBridge bridge;
    ASSERT_TRUE(bridge.Start());
    ASSERT_TRUE(bridge.Wait(15000)) << "still running: " << ItunesBridge::Text();
    EXPECT_EQ(bridge.ExitCode(), 0u);
    BridgeIdentityRecord identity;
    EXPECT_FALSE(ReadIdentity(identity));
}

INSTANTIATE_TEST_SUITE_P(Bridge, Attached, ::testing::Values(Arch::Same, Arch::Other), StandInArchName);

}  // namespace
