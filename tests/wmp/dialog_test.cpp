// The timing dialog (resource 104) that the stand-in opens through DisplayPropertyPage, driven
// with real window messages under the virtual display.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "sim_protocol.h"
#include "wmp_stand_in.h"

using namespace mivola::test;

namespace {

constexpr wchar_t kTitle[] = L"ZEQ用プラグイン設定";

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != search->processId) return TRUE;
    // The stored title, without a message (GetWindowText would send one to this process's windows).
    wchar_t title[64] = L"";
    ::InternalGetWindowText(window, title, 64);
    if (std::wstring(title) == kTitle && ::IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND OpenDialog(const WmpStandIn& s) {
    size_t from = s.LogLines().size();
    if (!s.Send(wmp_sim::kSimConfig, 0, 0) || s.WaitEvent("config 0 begin", from) < 0) return nullptr;
    for (int i = 0; i < 500; ++i) {
        Search search{s.ProcessId(), nullptr};
        ::EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found && ::GetDlgItem(search.found, IDOK)) return search.found;
        ::Sleep(20);
    }
    return nullptr;
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result);
    return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = L"";
    SendTo(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

BOOL CALLBACK CollectTexts(HWND child, LPARAM lParam) {
    *reinterpret_cast<std::wstring*>(lParam) += TextOf(child) + L"|";
    return TRUE;
}

// Clicks a button and waits for DisplayPropertyPage to return.
bool Click(const WmpStandIn& s, HWND dialog, int id) {
    size_t from = s.LogLines().size() > 0 ? static_cast<size_t>(s.FindEvent("config 0 begin")) : 0;
    SendTo(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    for (int i = 0; i < 500 && ::IsWindow(dialog); ++i) ::Sleep(10);
    int end = -1;
    std::vector<std::string> lines = s.LogLines();
    for (size_t i = from; i < lines.size(); ++i)
        if (WmpEventOf(lines[i]) == "config 0 end hr=0x0") end = static_cast<int>(i);
    return end >= 0 && !::IsWindow(dialog);
}

// Ticks the worker runs in one second (each begins with get_playState).
long TicksPerSecond(const WmpStandIn& s) {
    long a = s.CallCount();
    ::Sleep(1000);
    return s.CallCount() - a;
}

const char kPlaying[] = "state 3\nmedia\nname Song\n";

struct ShownCase {
    const char* ini;
    const wchar_t* shown;
};

class TimingFromFile : public ::testing::TestWithParam<ShownCase> {};

// Timing from the file is clamped to 10..9999 (unsigned) when the object is created; the dialog
// shows the object's interval.
TEST_P(TimingFromFile, IsClampedWhenTheObjectIsCreated) {
    WmpStandIn s;
    if (GetParam().ini[0]) s.WriteSettings(GetParam().ini);
    ASSERT_TRUE(s.Start(kPlaying));
    HWND dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(::GetDlgItem(dialog, 1000)), GetParam().shown);
    EXPECT_TRUE(Click(s, dialog, IDCANCEL));
    EXPECT_TRUE(s.Close());
}

INSTANTIATE_TEST_SUITE_P(Files, TimingFromFile,
                         ::testing::Values(ShownCase{"[Main]\r\nTiming=5\r\n", L"10"},
                                           ShownCase{"[Main]\r\nTiming=10000\r\n", L"9999"},
                                           ShownCase{"", L"1000"}, ShownCase{"[Main]\r\nOther=1\r\n", L"1000"},
                                           ShownCase{"[Main]\r\nTiming=fast\r\n", L"10"},
                                           ShownCase{"[Main]\r\nTiming=-5\r\n", L"9999"}));

TEST(WmpDialog, ShowsItsControlsTextsAndLimits) {
    WmpStandIn s;
    s.WriteSettings("[Main]\r\nTiming=250\r\n");
    ASSERT_TRUE(s.Start(kPlaying));
    HWND dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    HWND field = ::GetDlgItem(dialog, 1000);
    HWND spin = ::GetDlgItem(dialog, 1001);
    ASSERT_NE(field, nullptr);
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(TextOf(field), L"250");
    EXPECT_EQ(SendTo(field, EM_GETLIMITTEXT, 0, 0), 4);
    EXPECT_EQ(SendTo(spin, UDM_GETRANGE, 0, 0), MAKELONG(9999, 10));
    EXPECT_EQ(reinterpret_cast<HWND>(SendTo(spin, UDM_GETBUDDY, 0, 0)), field);
    std::wstring texts = L"|";
    ::EnumChildWindows(dialog, CollectTexts, reinterpret_cast<LPARAM>(&texts));
    EXPECT_NE(texts.find(L"|情報を取得する間隔(&T)|"), std::wstring::npos) << Narrow(texts);
    EXPECT_NE(texts.find(L"|ms|"), std::wstring::npos) << Narrow(texts);
    EXPECT_EQ(TextOf(::GetDlgItem(dialog, IDOK)), L"OK");
    EXPECT_EQ(TextOf(::GetDlgItem(dialog, IDCANCEL)), L"キャンセル");
    EXPECT_EQ(::GetWindow(dialog, GW_OWNER), s.Window()) << "owned by the player's window";
    EXPECT_TRUE(Click(s, dialog, IDCANCEL));
    EXPECT_TRUE(s.Close());
}

struct OkCase {
    const wchar_t* typed;
    const char* saved;
};

class DialogOk : public ::testing::TestWithParam<OkCase> {};

TEST_P(DialogOk, StoresTheClampedValueInTheRunningObjectAndTheFile) {
    WmpStandIn s;
    s.WriteSettings("[Main]\r\nTiming=1000\r\n");
    ASSERT_TRUE(s.Start(kPlaying));
    HWND dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    SendTo(::GetDlgItem(dialog, 1000), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(GetParam().typed));
    ASSERT_TRUE(Click(s, dialog, IDOK));
    EXPECT_EQ(s.ReadTiming(), GetParam().saved);
    dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Narrow(TextOf(::GetDlgItem(dialog, 1000))), GetParam().saved) << "the running interval";
    EXPECT_TRUE(Click(s, dialog, IDCANCEL));
    if (std::string(GetParam().saved) == "10") {
        EXPECT_GE(TicksPerSecond(s), 20) << "the worker runs every 10 ms";
    }
    EXPECT_TRUE(s.Close());
}

INSTANTIATE_TEST_SUITE_P(Fields, DialogOk,
                         ::testing::Values(OkCase{L"5", "10"}, OkCase{L"", "10"}, OkCase{L"50", "50"},
                                           OkCase{L"12345", "9999"}, OkCase{L"4x", "10"}, OkCase{L"1,500", "1500"}));

class DialogCancel : public ::testing::TestWithParam<bool> {};

TEST_P(DialogCancel, ChangesNeitherTheRunningIntervalNorTheFile) {
    WmpStandIn s;
    s.WriteSettings("[Main]\r\nTiming=200\r\n");
    ASSERT_TRUE(s.Start(kPlaying));
    HWND dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    SendTo(::GetDlgItem(dialog, 1000), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"10"));
    if (GetParam()) {
        ASSERT_TRUE(Click(s, dialog, IDCANCEL));
    } else {
        SendTo(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        for (int i = 0; i < 500 && ::IsWindow(dialog); ++i) ::Sleep(10);
        ASSERT_GE(s.WaitEvent("config 0 end"), 0);
    }
    EXPECT_EQ(s.ReadTiming(), "200");
    EXPECT_LE(TicksPerSecond(s), 8) << "still about 5 ticks a second";
    dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(::GetDlgItem(dialog, 1000)), L"200");
    EXPECT_TRUE(Click(s, dialog, IDCANCEL));
    EXPECT_TRUE(s.Close());
}

INSTANTIATE_TEST_SUITE_P(Ways, DialogCancel, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "CancelButton" : "CloseCommand");
                         });

}  // namespace
