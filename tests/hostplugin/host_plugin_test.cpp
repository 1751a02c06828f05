// The plug-in's behaviour linked in directly: records for the host, setting names, text
// requests, lazy region opening, the custom attribute request and the bridge switch.
#include "host_plugin.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_exchange.h"
#include "mivola_version.h"
#include "plugin_test_support.h"
#include "region_names.h"

using namespace mivola;
using namespace mivola::test;

namespace {

// Code page 932 field of size bytes: the text, then zeros.
std::string Field(const std::wstring& text, size_t size) {
    std::string bytes = Cp932(text);
    bytes.resize(size, '\0');
    return bytes;
}

// Whether a now-playing region of key exists (opening it from here would otherwise create it).
bool RegionExists(const char* key) {
    char name[kRegionNameMax];
    NowPlayingRegionName(name, key);
    SharedRegion probe;
    return probe.Open(name, kNowPlayingRecordSize) == RegionExisted;
}

std::vector<std::wstring> RequestNames() {
    NamedMutex mutex;
    mutex.Create(kRequestMutex, false);
    std::vector<wchar_t> units;
    std::vector<std::wstring> names;
    if (!ReadList(mutex, kRequestRegion, units)) return {L"<no list>"};
    ListReader reader(units.data(), units.size());
    const wchar_t* s;
    size_t n;
    while (reader.Next(&s, &n) && n) names.emplace_back(s, n);
    return names;
}

const char kFourSettings[] =
    "[Main]\nVersion=2\nMivolaNum=4\n"
    "[Mivola000]\nSettingName=\u3042\u3044\u3046\nFormat=ab%title\n"
    "[Mivola001]\nSettingName=a\u3042\nTargetPlayer=Winamp\nFormat=%title\n"
    "[Mivola002]\nTargetPlayer=iTunes\nFormat=\n"
    "[Mivola003]\nTargetPlayer=WMP\nFormat=%{Foo}%{foo}%{Bar}\n";

class HostPluginTest : public ::testing::Test {
protected:
    void SetUp() override { plugin.InitIn(folder.ModuleDir()); }
    PluginFolder folder{kFourSettings};
    HostPlugin plugin;
};

}  // namespace

TEST(PluginRecords, PluginInfoHoldsTheTextsInCodePage932) {
    const char* p = reinterpret_cast<const char*>(&kPluginInfo);
    EXPECT_EQ(std::string(p, 32), Field(L"\u30e1\u30c7\u30a3\u30a2\u60c5\u5831\u53d6\u5f97\u30d7\u30e9\u30b0\u30a4\u30f3", 32));
    EXPECT_EQ(std::string(p + 32, 16), Field(Widen(MIVOLA_VERSION_TEXT), 16));
    EXPECT_EQ(std::string(p + 48, 256),
              Field(L"\u30e1\u30c7\u30a3\u30a2\u30d7\u30ec\u30a4\u30e4\u30fc\u306e\u518d\u751f\u60c5\u5831\u3092\u53d6"
                    L"\u5f97\u3059\u308b\u30d7\u30e9\u30b0\u30a4\u30f3\u3067\u3059\u3002",
                    256));
    int32_t values[3];
    std::memcpy(values, p + 944, sizeof values);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], 3);
    EXPECT_EQ(values[2], 0);
}

TEST(PluginRecords, FuncInfoHoldsTheTextsAndTheSettingCount) {
    const char* p = reinterpret_cast<const char*>(&kFuncInfo);
    EXPECT_EQ(std::string(p, 32), Field(L"\u30e1\u30c7\u30a3\u30a2\u60c5\u5831\u53d6\u5f97", 32));
    EXPECT_EQ(std::string(p + 32, 256),
              Field(L"\u30e1\u30c7\u30a3\u30a2\u30d7\u30ec\u30a4\u30e4\u30fc\u306e\u518d\u751f\u60c5\u5831\u3092\u53d6"
                    L"\u5f97\u3057\u307e\u3059\u3002\r\nWindows Media Player\u3068Winamp\u3001iTunes\u306b\u5bfe\u5fdc"
                    L"\u3057\u3066\u3044\u307e\u3059\u3002",
                    256));
    EXPECT_EQ(kFuncInfo.SettingCount, 1000);
    EXPECT_EQ(kFuncInfo.Value1, 1);
    EXPECT_EQ(kFuncInfo.Value2, 0);
    EXPECT_EQ(std::string(kDefaultSettingNameFormat), Cp932(L"\u8a2d\u5b9a%03d"));
}

TEST(PluginRecords, PlayerTableRowsThenTheTerminator) {
    struct Row {
        std::string display;
        const char* key;
        uint32_t id;
    } rows[] = {{Cp932(L"\u81ea\u52d5"), "Auto", 255}, {"Windows Media Player", "WMP", 1}, {"Winamp", "Winamp", 2},
                {"iTunes", "iTunes", 4}, {Cp932(L"\u30e1\u30c7\u30a3\u30a2 \u30bb\u30c3\u30b7\u30e7\u30f3"), "SMTC", 8}};
    ASSERT_EQ(kPlayerCount, sizeof rows / sizeof rows[0]);
    for (size_t i = 0; i < kPlayerCount; ++i) {
        EXPECT_EQ(PlayerTable[i].displayName, rows[i].display) << i;
        EXPECT_STREQ(PlayerTable[i].key, rows[i].key);
        EXPECT_EQ(PlayerTable[i].id, rows[i].id);
    }
    EXPECT_EQ(PlayerTable[kPlayerCount].displayName, nullptr);
    EXPECT_EQ(PlayerTable[kPlayerCount].key, nullptr);
    EXPECT_EQ(PlayerTable[kPlayerCount].id, 0u);
}

TEST(PluginRecords, FuncInfoOnlyForFunctionOne) {
    HostPlugin plugin;
    std::vector<char> buffer(300, 'x');
    EXPECT_FALSE(plugin.CopyFuncInfo(0, buffer.data()));
    EXPECT_FALSE(plugin.CopyFuncInfo(2, buffer.data()));
    EXPECT_EQ(std::string(buffer.data(), 300), std::string(300, 'x'));
    ASSERT_TRUE(plugin.CopyFuncInfo(1, buffer.data()));
    int32_t count;
    std::memcpy(&count, buffer.data() + 288, 4);
    EXPECT_EQ(count, 1000) << "before Init";

    PluginFolder folder(kFourSettings);
    plugin.InitIn(folder.ModuleDir());
    ASSERT_TRUE(plugin.CopyFuncInfo(1, buffer.data()));
    std::memcpy(&count, buffer.data() + 288, 4);
    EXPECT_EQ(count, 4);
    plugin.Free();
}

TEST_F(HostPluginTest, SettingNamesAreCutToTheHostsBufferOnCharacterBoundaries) {
    char buffer[16];
    const std::string aiu = Cp932(L"\u3042\u3044\u3046");
    struct Case {
        int setting;
        int size;
        std::string expected;
    } cases[] = {
        {1, 16, aiu}, {1, 7, aiu}, {1, 6, aiu.substr(0, 4)}, {1, 5, aiu.substr(0, 4)}, {1, 4, aiu.substr(0, 2)},
        {1, 2, ""},   {1, 1, ""},  {2, 3, "a"},              {2, 4, Cp932(L"a\u3042")}, {3, 16, Cp932(L"\u8a2d\u5b9a003")},
    };
    for (const Case& c : cases) {
        std::memset(buffer, 'x', sizeof buffer);
        int n = plugin.GetFuncSettingName(1, c.setting, buffer, c.size);
        EXPECT_EQ(std::string(buffer), c.expected) << c.setting << "/" << c.size;
        EXPECT_EQ(n, static_cast<int>(c.expected.size()));
    }
}

TEST_F(HostPluginTest, NamesAreCutAsCodePage932WhateverTheThreadsCodePage) {
    const LCID locale = ::GetThreadLocale();
    ASSERT_TRUE(::SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT)));
    char buffer[16];
    const std::string name = Cp932(L"\u8a2d\u5b9a003");  // the default name of setting 3
    int two = plugin.GetFuncSettingName(1, 3, buffer, 2);
    std::string cutTwo = buffer;
    int four = plugin.GetFuncSettingName(1, 3, buffer, 4);
    std::string cutFour = buffer;
    ::SetThreadLocale(locale);
    EXPECT_EQ(two, 0);
    EXPECT_EQ(cutTwo, "") << "no lead byte without its trail byte";
    EXPECT_EQ(four, 2);
    EXPECT_EQ(cutFour, name.substr(0, 2));
}

TEST_F(HostPluginTest, InvalidNameRequestsLeaveTheEmptyStringOrNothing) {
    char buffer[16];
    for (int setting : {0, 5, -1, INT_MIN}) {
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(plugin.GetFuncSettingName(1, setting, buffer, sizeof buffer), 0);
        EXPECT_EQ(buffer[0], '\0') << setting;
    }
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(plugin.GetFuncSettingName(2, 1, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], '\0');
    // No room at all: nothing is written.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(plugin.GetFuncSettingName(1, 1, buffer, 0), 0);
    EXPECT_EQ(plugin.GetFuncSettingName(1, 1, buffer, -5), 0);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(plugin.GetFuncSettingName(1, 1, nullptr, 16), 0);
}

TEST_F(HostPluginTest, SizeRequestsNeedNoPlayer) {
    EXPECT_EQ(plugin.GetText(1, 1, nullptr, 0), 1028);
    EXPECT_EQ(plugin.GetText(1, 3, nullptr, 0), 2) << "empty template";
    EXPECT_EQ(plugin.GetText(1, 0, nullptr, 0), 0);
    EXPECT_EQ(plugin.GetText(1, 5, nullptr, 0), 0);
    EXPECT_EQ(plugin.GetText(2, 1, nullptr, 0), 0);
    EXPECT_FALSE(RegionExists("WMP"));
    EXPECT_FALSE(RegionExists("Winamp"));
    EXPECT_FALSE(RegionExists("iTunes"));
}

TEST_F(HostPluginTest, BadTextBuffersAreNeverWritten) {
    PublishedPlayer winamp("Winamp");
    winamp.Publish(L"W");
    wchar_t buffer[8];
    std::wmemset(buffer, L'x', 8);
    EXPECT_EQ(plugin.GetText(1, 2, buffer, -1), 0);
    EXPECT_EQ(plugin.GetText(1, 2, nullptr, 8), 0);
    EXPECT_EQ(plugin.GetText(0, 2, buffer, 8), 0);
    EXPECT_EQ(plugin.GetText(1, 9, buffer, 8), 0);
    EXPECT_EQ(buffer[0], L'x');
    EXPECT_EQ(plugin.GetText(1, 2, buffer, 8), 1);
    EXPECT_EQ(std::wstring(buffer), L"W");
    plugin.Free();
}

TEST_F(HostPluginTest, TextWithoutABridgeLeavesNoRegionBehind) {
    wchar_t buffer[8];
    std::wmemset(buffer, L'x', 8);
    for (int setting = 1; setting <= 4; ++setting) EXPECT_EQ(plugin.GetText(1, setting, buffer, 8), 0);
    EXPECT_EQ(buffer[0], L'x');
    EXPECT_FALSE(RegionExists("WMP"));
    EXPECT_FALSE(RegionExists("Winamp"));
    EXPECT_FALSE(RegionExists("iTunes"));
}

TEST_F(HostPluginTest, AnOpenedRegionStaysUntilFree) {
    wchar_t buffer[8];
    {
        PublishedPlayer winamp("Winamp");
        winamp.Publish(L"W");
        EXPECT_EQ(plugin.GetText(1, 2, buffer, 8), 1);
        winamp.Zero();
        std::wmemset(buffer, L'x', 8);
        EXPECT_EQ(plugin.GetText(1, 2, buffer, 8), 0) << "a zeroed record means no player";
        EXPECT_EQ(buffer[0], L'x');
    }
    EXPECT_TRUE(RegionExists("Winamp")) << "the plug-in still holds the region its bridge made";
    {
        PublishedPlayer winamp("Winamp");
        winamp.Publish(L"again");
        EXPECT_EQ(plugin.GetText(1, 2, buffer, 8), 5);
    }
    plugin.Free();
    EXPECT_FALSE(RegionExists("Winamp"));
}

TEST_F(HostPluginTest, InitPublishesTheRequestOfWmpAndAutoSettings) {
    EXPECT_EQ(RequestNames(), (std::vector<std::wstring>{L"Foo", L"Bar"}));
    std::wcscpy(plugin.Settings().Get(1)->tmpl, L"%{Winamp}");
    std::wcscpy(plugin.Settings().Get(0)->tmpl, L"%{Auto}");
    plugin.SaveSettings();
    EXPECT_EQ(RequestNames(), (std::vector<std::wstring>{L"Auto", L"Foo", L"Bar"}));
    plugin.Free();
    EXPECT_EQ(RequestNames(), (std::vector<std::wstring>{L"<no list>"})) << "Free withdraws the request";
}

TEST(HostPluginSave, SavingMainSettingsKeepsSettingsOfTheOldLayout) {
    PluginFolder folder(
        "[Main]\nMivolaNum=2\n"
        "[WMP_Basic000]\nSettingName=\u65e7\nFormat=\" %title\"\n[WMP_Basic001]\nFormat=%{Foo}\n");
    HostPlugin plugin;
    plugin.InitIn(folder.ModuleDir());
    plugin.Main().iTunesTiming = 40;
    plugin.SaveMainSettings();
    plugin.Free();

    MainSettings main;
    SettingList list;
    CustomAttributeList attributes;
    LoadSettings(folder.ModuleDir(), main, list, attributes);
    EXPECT_EQ(main.version, 2);
    EXPECT_EQ(main.iTunesTiming, 40u);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(std::string(list.Get(0)->name), Cp932(L"\u65e7"));
    EXPECT_EQ(std::wstring(list.Get(0)->tmpl), L" %title");
    EXPECT_EQ(std::wstring(list.Get(1)->tmpl), L"%{Foo}");
    ASSERT_EQ(attributes.Count(), 1u);
}

TEST(HostPluginRequest, AnEmptyRequestIsPublishedToo) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\n[Mivola000]\nFormat=%title\n");
    HostPlugin plugin;
    plugin.InitIn(folder.ModuleDir());
    NamedMutex mutex;
    mutex.Create(kRequestMutex, false);
    std::vector<wchar_t> units;
    ASSERT_TRUE(ReadList(mutex, kRequestRegion, units));
    EXPECT_EQ(units, std::vector<wchar_t>{L'\0'});
    plugin.Free();
}

// Without the DLL's resources the dialogs cannot be created: their results say so, and the
// other function indices still answer index - 1.
TEST(HostPluginDialogs, ShowSettingResultsWithoutDialogs) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\n");
    HostPlugin plugin;
    plugin.InitIn(folder.ModuleDir());
    EXPECT_EQ(plugin.ShowSetting(1, 1, nullptr), -1);
    EXPECT_EQ(plugin.ShowSetting(5, 1, nullptr), 4);
    EXPECT_EQ(plugin.ShowSetting(-3, 1, nullptr), -4);
    EXPECT_EQ(plugin.ShowSetting(INT_MIN, 1, nullptr), INT_MAX);
    EXPECT_EQ(plugin.ShowAbout(nullptr), -1);
    plugin.Free();
}

TEST(HostPluginDialogs, PluginSettingsBroadcastTheEndWhenNoBridgeRuns) {
    ASSERT_TRUE(WaitUntil([] { return FindBridgeWindow() == nullptr; })) << "a stand-in bridge is still running";
    HWND window = ::CreateWindowExW(0, L"STATIC", L"listener", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (!window) GTEST_SKIP() << "no display for a top-level window";
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\niTunesCheck=0\n", Arch::Same, true);
    ASSERT_TRUE(folder.Ready());
    HostPlugin plugin;
    plugin.InitIn(folder.ModuleDir());
    EXPECT_EQ(plugin.ShowSetting(0, 0, nullptr), 0);
    const UINT pluginEnd = ::RegisterWindowMessageA("ZEQ_Plugin_iTunesMsg_PluginEnd");
    MSG msg;
    bool received = WaitUntil([&] { return ::PeekMessageW(&msg, window, pluginEnd, pluginEnd, PM_REMOVE) != FALSE; }, 5000);
    EXPECT_TRUE(received);
    if (received) {
        EXPECT_EQ(msg.wParam, 0u);
        EXPECT_EQ(msg.lParam, 0);
    }
    EXPECT_FALSE(WaitUntil([] { return FindBridgeWindow() != nullptr; }, 2000)) << "switched off, yet started";
    EXPECT_EQ(ReadFileBytes(folder.BridgeLog()), "");
    plugin.Free();
    ::DestroyWindow(window);
}
