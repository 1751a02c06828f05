// Mivola.zeqp as the host sees it: loaded in this process, or driven by zeqhost of either
// architecture while this process publishes records the way the bridges do.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "attribute_exchange.h"
#include "mivola_version.h"
#include "now_playing_record.h"
#include "peer_arch.h"
#include "dialog_driver.h"
#include "plugin_test_support.h"
#include "region_names.h"
#include "unique_handle.h"

using namespace mivola;
using namespace mivola::test;

namespace {

const char kPlayers[] =
    "[Main]\nVersion=2\nMivolaNum=5\n"
    "[Mivola000]\nSettingName=\u81ea\u52d5\nTargetPlayer=Auto\nFormat=%title|%{Foo}\n"
    "[Mivola001]\nSettingName=WMP\nTargetPlayer=WMP\nFormat=%title|%{Foo}\n"
    "[Mivola002]\nSettingName=Winamp\nTargetPlayer=Winamp\nFormat=%title|%{Foo}\n"
    "[Mivola003]\nSettingName=iTunes\nTargetPlayer=iTunes\nFormat=%title\n"
    "[Mivola004]\nSettingName=SMTC\nTargetPlayer=smtc\nFormat=%title|%{Foo}\n";

std::string BridgeLog(const PluginFolder& folder) { return ReadFileBytes(folder.BridgeLog()); }

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A stand-in bridge's answer: 1 plus the end messages waiting in its queue; 0 without it.
LRESULT PingBridge(HWND (*find)() = FindBridgeWindow) {
    HWND bridge = find();
    DWORD_PTR answer = 0;
    if (!bridge) return 0;
    const UINT ping = ::RegisterWindowMessageA("mivola_test_bridge_ping");
    if (!::SendMessageTimeoutW(bridge, ping, 0, 0, SMTO_BLOCK, 5000, &answer)) return 0;
    return static_cast<LRESULT>(answer);
}

template <typename T>
T Export(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

class WithHost : public WithPeer {
protected:
    void SetUp() override {
        WithPeer::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(folder.Ready()) << "Mivola.zeqp of this architecture not built";
    }
    HostOutput Host(const std::wstring& args = std::wstring()) {
        HostOutput out = RunHost(arch(), folder.Dll(), args);
        EXPECT_TRUE(out.run.finished && out.run.exitCode == 0) << out.run.output;
        return out;
    }
    PluginFolder folder{kPlayers, GetParam()};
};

}  // namespace

TEST(PluginDll, CarriesTheProjectVersion) {
    PluginFolder folder(kPlayers);
    std::wstring dll = folder.Dll();
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(dll.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(dll.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MIVOLA_VERSION_MAJOR << 16 | MIVOLA_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MIVOLA_VERSION_PATCH << 16));
    wchar_t* text = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\StringFileInfo\\041104B0\\FileVersion", reinterpret_cast<void**>(&text),
                                 &length));
    EXPECT_EQ(std::wstring(text), Widen(MIVOLA_VERSION_TEXT));
}

TEST(PluginDll, RecordExportsReturnTheBufferWhole) {
    PluginFolder folder(kPlayers);
    unique_hmodule module(::LoadLibraryW(folder.Dll().c_str()));
    ASSERT_TRUE(module);
    auto getInfo = Export<INT_PTR(WINAPI*)(char*)>(module.get(), "GetInfo");
    auto getFuncInfo = Export<INT_PTR(WINAPI*)(int, char*)>(module.get(), "GetFuncInfo");
    ASSERT_TRUE(getInfo && getFuncInfo);
    // High in the address space, so that a result cut to 32 bits would show.
    char* buffer = static_cast<char*>(::VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE));
    ASSERT_TRUE(buffer);
    EXPECT_EQ(getInfo(buffer), reinterpret_cast<INT_PTR>(buffer));
    EXPECT_EQ(std::string(buffer + 32), MIVOLA_VERSION_TEXT);
    std::memset(buffer, 'x', 300);
    for (int index : {0, 2, -7}) EXPECT_EQ(getFuncInfo(index, buffer), static_cast<INT_PTR>(index));
    EXPECT_EQ(std::string(buffer, 300), std::string(300, 'x'));
    EXPECT_EQ(getFuncInfo(1, buffer), reinterpret_cast<INT_PTR>(buffer));
    int32_t count;
    std::memcpy(&count, buffer + 288, 4);
    EXPECT_EQ(count, 1000) << "before Init";
    EXPECT_EQ(getInfo(nullptr), 0);
    EXPECT_EQ(getFuncInfo(1, nullptr), 0) << "a null buffer is no address to hand back";
    ::VirtualFree(buffer, 0, MEM_RELEASE);
}

TEST(PluginDll, UnloadingWithoutFreeReleasesWhatItHeld) {
    PluginFolder folder(kPlayers);
    unique_hmodule module(::LoadLibraryW(folder.Dll().c_str()));
    ASSERT_TRUE(module);
    auto init = Export<int(WINAPI*)()>(module.get(), "Init");
    auto getText = Export<int(WINAPI*)(int, int, int, wchar_t*, int, int)>(module.get(), "GetText");
    ASSERT_TRUE(init && getText);
    EXPECT_EQ(init(), 0);
    wchar_t buffer[16];
    {
        PublishedPlayer winamp("Winamp");
        winamp.Publish(L"W");
        EXPECT_EQ(getText(1, 3, 0, buffer, 16, 0), 2);
        EXPECT_EQ(std::wstring(buffer), L"W|");
    }
    NamedMutex requestMutex;
    requestMutex.Create(kRequestMutex, false);
    std::vector<wchar_t> request;
    EXPECT_TRUE(ReadList(requestMutex, kRequestRegion, request));
    module.reset();
    char name[kRegionNameMax];
    NowPlayingRegionName(name, "Winamp");
    SharedRegion probe;
    EXPECT_EQ(probe.Open(name, kNowPlayingRecordSize), RegionCreated);
    EXPECT_FALSE(ReadList(requestMutex, kRequestRegion, request));
}

// How the host plug-in starts and ends a bridge program, the same for the iTunes bridge and the
// media-session bridge.
struct BridgeProgramCase {
    const char* name;
    const char* settings;
    bool itunes;                  // the iTunes bridge; else the media-session bridge
    const char* startLine;        // the stand-in bridge's log line for its start
    int settingsDialogResult;     // what ShowSetting(0) returns after a cancel
};

class PluginBridgeProgram : public ::testing::TestWithParam<BridgeProgramCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(WaitUntil([] { return FindBridgeWindow() == nullptr && FindSmtcBridgeWindow() == nullptr; }))
            << "a stand-in bridge is still running";
    }
    using FindFn = HWND (*)();
    FindFn Find() const { return GetParam().itunes ? FindBridgeWindow : FindSmtcBridgeWindow; }
    std::string Log(const PluginFolder& folder) const {
        return ReadFileBytes(GetParam().itunes ? folder.BridgeLog() : folder.SmtcBridgeLog());
    }
};

TEST_P(PluginBridgeProgram, StartsItAndEndsItOnlyWhenUnloaded) {
    const BridgeProgramCase& c = GetParam();
    PluginFolder folder(c.settings, Arch::Same, c.itunes, !c.itunes);
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    ASSERT_TRUE(WaitUntil([&] { return Count(Log(folder), "start") == 1; })) << Log(folder);
    EXPECT_EQ(Log(folder), c.startLine) << "hidden, with the one parameter";

    // Ended before the settings dialog; the new one starts only once the old one is gone.
    EXPECT_EQ(ClickThrough([&] { return plugin.ShowSetting(0, 0); }, L"設定", {IDCANCEL}), c.settingsDialogResult)
        << "the result speaks of the iTunes bridge only";
    ASSERT_TRUE(WaitUntil([&] { return Count(Log(folder), "start") == 2 && Count(Log(folder), "exit") == 1; }))
        << Log(folder);
    EXPECT_EQ(Count(Log(folder), "PluginEnd"), 1u);
    EXPECT_EQ(Count(Log(folder), "second instance"), 0u) << Log(folder);
    ASSERT_TRUE(WaitUntil([&] { return PingBridge(Find()) != 0; }));

    plugin.Free();
    EXPECT_EQ(PingBridge(Find()), 1) << "Free leaves the bridge running with no end message queued";
    plugin.Unload();
    ASSERT_TRUE(WaitUntil([&] { return Count(Log(folder), "exit") == 2; })) << Log(folder);
    EXPECT_EQ(Count(Log(folder), "PluginEnd"), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, PluginBridgeProgram,
    ::testing::Values(BridgeProgramCase{"Itunes", "[Main]\nVersion=2\nMivolaNum=1\niTunesCheck=1\n", true,
                                        "start ZEQ_Plugin_iTunes show 0\n", 1},
                      // On without SMTCCheck in the file; the iTunes bridge is off by default.
                      BridgeProgramCase{"MediaSessions", "[Main]\nVersion=2\nMivolaNum=1\n", false,
                                        "start ZEQ_Plugin_SMTC show 0\n", 0}),
    [](const ::testing::TestParamInfo<BridgeProgramCase>& info) { return std::string(info.param.name); });

// Switched off in the settings dialog: the bridge is ended and stays ended.
TEST(PluginDll, UncheckingTheBridgeLeavesItStopped) {
    ASSERT_TRUE(WaitUntil([] { return FindBridgeWindow() == nullptr; })) << "a stand-in bridge is still running";
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\niTunesCheck=1\n", Arch::Same, true);
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    ASSERT_TRUE(WaitUntil([&] { return Count(BridgeLog(folder), "start") == 1; })) << BridgeLog(folder);
    EXPECT_EQ(ClickThrough([&] { return plugin.ShowSetting(0, 0); }, L"設定", {1010, IDOK}), 0);
    ASSERT_TRUE(WaitUntil([&] { return Count(BridgeLog(folder), "exit") == 1; })) << BridgeLog(folder);
    EXPECT_FALSE(WaitUntil([] { return FindBridgeWindow() != nullptr; }, 2000)) << "switched off, yet started";
    EXPECT_EQ(Count(BridgeLog(folder), "start"), 1u);
}

// SMTCCheck 0: nothing starts, not even after the settings dialog; switched on there, it starts,
// and switched off again it is ended and stays ended. The iTunes bridge keeps its own switch.
TEST(PluginDll, SmtcCheckZeroStartsNothing) {
    ASSERT_TRUE(WaitUntil([] { return FindSmtcBridgeWindow() == nullptr && FindBridgeWindow() == nullptr; }))
        << "a stand-in bridge is still running";
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\niTunesCheck=1\nSMTCCheck=0\n", Arch::Same, true, true);
    ASSERT_TRUE(folder.Ready());
    auto log = [&] { return ReadFileBytes(folder.SmtcBridgeLog()); };
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    ASSERT_TRUE(WaitUntil([&] { return Count(BridgeLog(folder), "start") == 1; })) << BridgeLog(folder);
    auto dialog = [&](bool toggleSmtc) {
        std::initializer_list<int> clicks = {IDOK}, toggled = {1011, IDOK};
        EXPECT_NE(ClickThrough([&] { return plugin.ShowSetting(0, 0); }, L"設定", toggleSmtc ? toggled : clicks),
                  kDialogNotShown);
    };
    dialog(false);
    EXPECT_FALSE(WaitUntil([] { return FindSmtcBridgeWindow() != nullptr; }, 2000)) << "switched off, yet started";
    EXPECT_EQ(log(), "");

    dialog(true);
    ASSERT_TRUE(WaitUntil([&] { return Count(log(), "start") == 1; })) << log();
    ASSERT_TRUE(WaitUntil([] { return PingBridge(FindSmtcBridgeWindow) != 0; }));
    dialog(true);
    ASSERT_TRUE(WaitUntil([&] { return Count(log(), "exit") == 1; })) << log();
    EXPECT_FALSE(WaitUntil([] { return FindSmtcBridgeWindow() != nullptr; }, 2000)) << "switched off, yet started";
    EXPECT_EQ(Count(log(), "start"), 1u);
    EXPECT_EQ(Count(BridgeLog(folder), "start"), 4u) << "the iTunes bridge restarted around each dialog";
}

TEST_P(WithHost, ReportsTheRecordsAndNamesToTheHost) {
    HostOutput out = Host();
    EXPECT_EQ(out["info result"], "buffer");
    EXPECT_EQ(out["funcinfo result"], "buffer");
    EXPECT_EQ(out["plugin name"], "\u30e1\u30c7\u30a3\u30a2\u60c5\u5831\u53d6\u5f97\u30d7\u30e9\u30b0\u30a4\u30f3");
    EXPECT_EQ(out["plugin version"], MIVOLA_VERSION_TEXT);
    EXPECT_EQ(out["plugin values"], "1 3 0");
    EXPECT_EQ(out["function name"], "\u30e1\u30c7\u30a3\u30a2\u60c5\u5831\u53d6\u5f97");
    // The line break inside the description is shown as \r\n, so the item stays on one line.
    EXPECT_NE(out["function description"].find("\\r\\nWindows Media Player"), std::string::npos)
        << out["function description"];
    EXPECT_EQ(out["function settings"], "5");
    EXPECT_EQ(out["function values"], "1 0");
    EXPECT_EQ(out["name 1"], "\u81ea\u52d5");
    EXPECT_EQ(out["name 4"], "iTunes");
    EXPECT_EQ(out["size 1"], "2051");
    EXPECT_TRUE(out.Has("done"));
}

TEST_P(WithHost, AutoPrefersWmpThenWinampThenItunes) {
    PublishedPlayer itunes("iTunes"), winamp("Winamp"), wmp("WMP");
    itunes.Publish(L"\u66f2I");
    winamp.Publish(L"W");
    EXPECT_EQ(Host()["text 1"], "W|");
    wmp.Publish(L"M");
    EXPECT_EQ(Host()["text 1"], "M|");
    wmp.Zero();
    EXPECT_EQ(Host()["text 1"], "W|");
    winamp.Zero();
    HostOutput out = Host();
    EXPECT_EQ(out["text 1"], "\u66f2I|");
    EXPECT_EQ(out["result 1"], "3");
}

// The media sessions come last: "Auto" shows them only while none of the three players publishes.
TEST_P(WithHost, AutoFallsThroughToTheMediaSessions) {
    PublishedPlayer smtc("SMTC");
    smtc.Publish(L"\u30bb\u30c3\u30b7\u30e7\u30f3");
    HostOutput out = Host();
    EXPECT_EQ(out["text 1"], "\u30bb\u30c3\u30b7\u30e7\u30f3|") << "no custom attributes from the sessions";
    EXPECT_EQ(out["text 5"], "\u30bb\u30c3\u30b7\u30e7\u30f3|");
    EXPECT_TRUE(out.Has("text 4 untouched")) << out.run.output;
    {
        PublishedPlayer itunes("iTunes");
        itunes.Publish(L"I");
        out = Host();
        EXPECT_EQ(out["text 1"], "I|");
        EXPECT_EQ(out["text 5"], "\u30bb\u30c3\u30b7\u30e7\u30f3|");
    }
    smtc.Zero();
    out = Host();
    EXPECT_TRUE(out.Has("text 1 untouched")) << out.run.output;
    EXPECT_EQ(out["result 5"], "0");
}

TEST_P(WithHost, AnAbsentTargetLeavesTheBufferUntouched) {
    PublishedPlayer winamp("Winamp");
    winamp.Publish(L"C:\\W");
    HostOutput out = Host();
    EXPECT_EQ(out["text 3"], "C:\\W|") << "a backslash printed as it is";
    EXPECT_EQ(out["result 4"], "0");
    EXPECT_TRUE(out.Has("text 4 untouched")) << out.run.output;
    EXPECT_TRUE(out.Has("text 2 untouched")) << out.run.output;
    EXPECT_TRUE(out.Has("text 5 untouched")) << out.run.output;
}

TEST_P(WithHost, CustomAttributesOnlyForWmpAndAuto) {
    PublishedPlayer winamp("Winamp"), wmp("WMP");
    winamp.Publish(L"W");
    wmp.Publish(L"M");
    NamedMutex answerMutex;
    answerMutex.Create(kAnswerMutex, false);
    SharedRegion answer;
    ListBuilder list;
    list.Add(L"foo");
    list.Add(L"\u5024");
    const std::vector<wchar_t>& units = list.Finish();
    ASSERT_TRUE(WriteList(answerMutex, answer, kAnswerRegion, units.data(), static_cast<uint32_t>(units.size())));
    HostOutput out = Host();
    EXPECT_EQ(out["text 1"], "M|\u5024");
    EXPECT_EQ(out["text 2"], "M|\u5024");
    EXPECT_EQ(out["text 3"], "W|");
}

MIVOLA_BOTH_ARCHES(WithHost);
