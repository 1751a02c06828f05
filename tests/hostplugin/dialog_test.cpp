// The settings, setting and version dialogs of the real Mivola.zeqp, driven with window
// messages from the test thread while the export that shows them runs on its own thread.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_exchange.h"
#include "mivola_version.h"
#include "bridge_identity_record.h"
#include "dialog_driver.h"
#include "named_mutex.h"
#include "plugin_test_support.h"
#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"
#include "text_copy.h"

using namespace mivola;
using namespace mivola::test;

namespace {

constexpr wchar_t kSettingsTitle[] = L"設定";
constexpr wchar_t kSettingTitle[] = L"メディア情報設定";
constexpr wchar_t kVersionTitle[] = L"バージョン情報";

std::pair<int, int> SpinRange(HWND dialog, int id) {
    int low = -1, high = -1;
    SendTo(::GetDlgItem(dialog, id), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    return {low, high};
}

// Ending a thread that showed a window lets the X server give the thread's window ids to
// another program while Wine still has requests for them on their way (dialog_driver.cpp).
TEST(DialogDriver, DialogsRunOnThreadsThatOutliveThem) {
    DWORD first = 0;
    {
        DialogThread shown([] { return 7; });
        ASSERT_TRUE(shown.Finish());
        EXPECT_EQ(shown.Result(), 7);
        first = shown.ThreadId();
    }
    unique_handle thread(::OpenThread(SYNCHRONIZE, FALSE, first));
    ASSERT_TRUE(thread);
    EXPECT_EQ(::WaitForSingleObject(thread.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT)) << "the thread ended";
    DialogThread next([] { return 8; });
    ASSERT_TRUE(next.Finish());
    EXPECT_EQ(next.Result(), 8);
    EXPECT_EQ(next.ThreadId(), first) << "an idle thread is used again";
}

// ---- Dialog 102 ------------------------------------------------------------------------------

TEST(PluginSettingsDialog, ShowsTheSettingsWithTheirLimits) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1000\niTunesCheck=1\niTunesTiming=250\nSMTCCheck=0\nSMTCTiming=300\n");
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = shown.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);

    EXPECT_EQ(ItemText(dialog, 1005), L"1000") << "the 3-character limit applies to typing only";
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1005), EM_GETLIMITTEXT), 3);
    EXPECT_EQ(SpinRange(dialog, 1007), std::make_pair(1, 999));
    EXPECT_EQ(reinterpret_cast<HWND>(SendTo(::GetDlgItem(dialog, 1007), UDM_GETBUDDY)), ::GetDlgItem(dialog, 1005));
    EXPECT_EQ(ItemText(dialog, 1000), L"250");
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1000), EM_GETLIMITTEXT), 4);
    EXPECT_EQ(SpinRange(dialog, 1001), std::make_pair(10, 9999));
    EXPECT_EQ(reinterpret_cast<HWND>(SendTo(::GetDlgItem(dialog, 1001), UDM_GETBUDDY)), ::GetDlgItem(dialog, 1000));
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1010), BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(ItemText(dialog, 1010), L"iTunes用プラグインを起動する(&I)");
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1011), BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(ItemText(dialog, 1011), L"メディア セッションから取得する");
    EXPECT_EQ(ItemText(dialog, 1012), L"300");
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1012), EM_GETLIMITTEXT), 4);
    EXPECT_EQ(SpinRange(dialog, 1013), std::make_pair(10, 9999));
    EXPECT_EQ(reinterpret_cast<HWND>(SendTo(::GetDlgItem(dialog, 1013), UDM_GETBUDDY)), ::GetDlgItem(dialog, 1012));
    EXPECT_EQ(ItemText(dialog, IDOK), L"OK");
    EXPECT_EQ(ItemText(dialog, IDCANCEL), L"ｷｬﾝｾﾙ");

    ASSERT_NE(CloseWith(shown, dialog, IDOK), kDialogNotShown);
    EXPECT_EQ(shown.Result(), 0) << "no bridge program to start in this folder";
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"MivolaNum"), L"1000");
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"iTunesCheck"), L"1");
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"iTunesTiming"), L"250");
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"SMTCCheck"), L"0");
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"SMTCTiming"), L"300");
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"Version"), L"2");
}

// The controls in tab order: the earlier ones keep their ids, texts and order, and the
// media-session group comes below the iTunes group, before OK and Cancel.
TEST(PluginSettingsDialog, TheMediaSessionGroupFollowsTheItunesGroup) {
    PluginFolder folder("[Main]\nVersion=2\n");
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = shown.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);
    std::vector<std::wstring> controls;
    std::vector<RECT> rects;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        int id = ::GetDlgCtrlID(child);
        // The library buttons' texts depend on the players found.
        std::wstring text = id == 1008 || id == 1009 ? L"" : TextOf(child);
        controls.push_back(std::to_wstring(id == 0xFFFF ? -1 : id) + L" " + text);
        RECT r;
        ::GetWindowRect(child, &r);
        rects.push_back(r);
    }
    const std::vector<std::wstring> expected = {
        L"-1 全般", L"-1 表示項目数(&N)", L"1005 10", L"1007 ", L"-1 ※変更を適用するには、ﾌﾟﾗｸﾞｲﾝの再ﾛｰﾄﾞが必要",
        L"-1 Windows Media Player用プラグイン", L"1008 ", L"-1 Winamp用プラグイン", L"1009 ",
        L"-1 iTunes用プラグイン", L"1010 iTunes用プラグインを起動する(&I)", L"-1 情報を取得する間隔(&T)", L"1000 1000",
        L"1001 ", L"-1 ms",
        L"-1 メディア セッション用プラグイン", L"1011 メディア セッションから取得する", L"-1 情報を取得する間隔(&S)",
        L"1012 1000", L"1013 ", L"-1 ms",
        L"1 OK", L"2 ｷｬﾝｾﾙ"};
    EXPECT_EQ(controls, expected);
    if (controls.size() == expected.size()) {
        EXPECT_GT(rects[15].top, rects[12].bottom) << "below the iTunes interval";
        EXPECT_GT(rects[21].top, rects[18].bottom) << "OK below the new group";
        RECT client;
        ::GetClientRect(dialog, &client);
        POINT corner{client.right, client.bottom};
        ::ClientToScreen(dialog, &corner);
        for (size_t i = 0; i < rects.size(); ++i) {
            EXPECT_LE(rects[i].right, corner.x) << Narrow(controls[i]);
            EXPECT_LE(rects[i].bottom, corner.y) << Narrow(controls[i]);
        }
    }
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1011), BM_GETCHECK), BST_CHECKED) << "on by default";
    EXPECT_NE(CloseWith(shown, dialog, IDCANCEL), kDialogNotShown);
}

// Switched off and a short interval typed: saved off, and clamped like the iTunes interval.
TEST(PluginSettingsDialog, OkStoresTheMediaSessionFields) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=5\nSMTCTiming=700\n");
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    for (const wchar_t* typed : {L"5", L"12345", L"250"}) {
        DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
        HWND dialog = shown.WaitWindow(kSettingsTitle);
        ASSERT_NE(dialog, nullptr);
        SetItemText(dialog, 1012, typed);
        Click(dialog, 1011);
        ASSERT_NE(CloseWith(shown, dialog, IDOK), kDialogNotShown);
        const std::wstring saved = IniValue(folder.SettingsFile(), L"Main", L"SMTCTiming");
        EXPECT_EQ(saved, std::wstring(typed) == L"5" ? L"10" : std::wstring(typed) == L"12345" ? L"9999" : L"250");
        // Each OK toggles the box: off, on, off.
        EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"SMTCCheck"), std::wstring(typed) == L"12345" ? L"1" : L"0");
        EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"iTunesTiming"), L"1000") << "the iTunes interval stays";
    }
}

struct TypedCase {
    const wchar_t* count;
    const wchar_t* timing;
    const wchar_t* savedCount;
    const wchar_t* savedTiming;
};

class PluginSettingsTyped : public ::testing::TestWithParam<TypedCase> {};

// The count is stored as typed (loading clamps it); the interval is clamped at once.
TEST_P(PluginSettingsTyped, OkStoresTheFields) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=5\niTunesCheck=1\niTunesTiming=200\n");
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = shown.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);
    SetItemText(dialog, 1005, GetParam().count);
    SetItemText(dialog, 1000, GetParam().timing);
    Click(dialog, 1010);  // unchecks the box
    ASSERT_NE(CloseWith(shown, dialog, IDOK), kDialogNotShown);
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"MivolaNum"), GetParam().savedCount);
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"iTunesTiming"), GetParam().savedTiming);
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"iTunesCheck"), L"0");
}

INSTANTIATE_TEST_SUITE_P(Fields, PluginSettingsTyped,
                         ::testing::Values(TypedCase{L"0", L"5", L"0", L"10"}, TypedCase{L"12", L"", L"12", L"10"},
                                           TypedCase{L"999", L"1,500", L"999", L"1500"},
                                           TypedCase{L"x", L"12345", L"0", L"9999"},
                                           TypedCase{L"7", L"4x", L"7", L"10"}));

// The spinner writes what it shows; that value is what gets saved.
TEST(PluginSettingsDialog, SpinnerValueAboveThousandIsSavedAsShown) {
    PluginFolder folder("[Main]\nVersion=2\niTunesTiming=200\n");
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = shown.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);
    SendTo(::GetDlgItem(dialog, 1001), UDM_SETPOS32, 0, 2500);
    std::wstring shownText = ItemText(dialog, 1000);
    EXPECT_TRUE(shownText == L"2,500" || shownText == L"2500") << Narrow(shownText);
    ASSERT_NE(CloseWith(shown, dialog, IDOK), kDialogNotShown);
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Main", L"iTunesTiming"), L"2500");
}

class PluginSettingsCancel : public ::testing::TestWithParam<bool> {};

TEST_P(PluginSettingsCancel, ChangesNothing) {
    const std::string settings = "[Main]\nVersion=2\nMivolaNum=5\niTunesCheck=0\niTunesTiming=200\n";
    PluginFolder folder(settings);
    ASSERT_TRUE(folder.Ready());
    const std::string before = ReadFileBytes(folder.SettingsFile());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    {
        DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
        HWND dialog = shown.WaitWindow(kSettingsTitle);
        ASSERT_NE(dialog, nullptr);
        SetItemText(dialog, 1005, L"9");
        SetItemText(dialog, 1000, L"50");
        Click(dialog, 1010);
        if (GetParam()) Click(dialog, IDCANCEL);
        else SendTo(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(shown.Finish());
        EXPECT_EQ(shown.Result(), 0);
    }
    EXPECT_EQ(ReadFileBytes(folder.SettingsFile()), before);
    // Still the loaded values: a second opening shows them.
    DialogThread again([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = again.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, 1005), L"5");
    EXPECT_EQ(ItemText(dialog, 1000), L"200");
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1010), BM_GETCHECK), BST_UNCHECKED);
    EXPECT_NE(CloseWith(again, dialog, IDCANCEL), kDialogNotShown);
}

INSTANTIATE_TEST_SUITE_P(Ways, PluginSettingsCancel, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "CancelButton" : "CloseCommand");
                         });

// ---- Dialog 103 ------------------------------------------------------------------------------

const char kTwoSettings[] =
    "[Main]\nVersion=2\nMivolaNum=2\n"
    "[Mivola000]\nSettingName=最初\nFormat=%title\n"
    "[Mivola001]\nSettingName=曲名\nTargetPlayer=Winamp\nFormat=AB\n";

void SelectTarget(HWND dialog, int item) {
    HWND combo = ::GetDlgItem(dialog, 1004);
    SendTo(combo, CB_SETCURSEL, static_cast<WPARAM>(item));
    SendTo(dialog, WM_COMMAND, MAKEWPARAM(1004, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

bool HasRow(const std::vector<std::wstring>& rows, const std::wstring& prefix) {
    return std::any_of(rows.begin(), rows.end(), [&](const std::wstring& r) { return r.rfind(prefix, 0) == 0; });
}

TEST(FormatSettingDialog, ShowsTheSettingAndListsTheTagsOfEachTarget) {
    PluginFolder folder(kTwoSettings);
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(1, 2); });
    HWND dialog = shown.WaitWindow(kSettingTitle);
    ASSERT_NE(dialog, nullptr);

    EXPECT_EQ(ItemText(dialog, 1005), L"曲名");
    EXPECT_EQ(ItemText(dialog, 1017), L"AB");
    EXPECT_EQ(ItemText(dialog, 1006), L"1");
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dialog, 1006)));
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1005), EM_GETLIMITTEXT), 256);
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1017), EM_GETLIMITTEXT), 1024);
    HWND combo = ::GetDlgItem(dialog, 1004);
    ASSERT_EQ(SendTo(combo, CB_GETCOUNT), 5);
    const wchar_t* names[] = {L"自動", L"Windows Media Player", L"Winamp", L"iTunes", L"メディア セッション"};
    for (int i = 0; i < 5; ++i) {
        wchar_t text[64] = L"";
        SendTo(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        EXPECT_EQ(std::wstring(text), names[i]);
    }
    EXPECT_EQ(SendTo(combo, CB_GETCURSEL), 2) << "Winamp";

    HWND list = ::GetDlgItem(dialog, 1031);
    EXPECT_EQ(SendTo(list, LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    std::vector<std::wstring> rows = ListRows(list);
    EXPECT_EQ(rows.size(), 15u);
    EXPECT_FALSE(HasRow(rows, L"%genre |")) << "Winamp supplies no genre";

    SelectTarget(dialog, 0);
    rows = ListRows(list);
    EXPECT_EQ(rows.size(), 41u);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], L"%title | メディアのタイトル");
    EXPECT_TRUE(HasRow(rows, L"%genre |"));
    SelectTarget(dialog, 3);
    EXPECT_EQ(ListRows(list).size(), 22u);
    SelectTarget(dialog, 4);
    rows = ListRows(list);
    EXPECT_EQ(rows.size(), 14u);
    EXPECT_TRUE(HasRow(rows, L"%genre |"));
    EXPECT_TRUE(HasRow(rows, L"%status | ステータス"));
    EXPECT_FALSE(HasRow(rows, L"%path |")) << "a session has no file";
    EXPECT_FALSE(HasRow(rows, L"%bitrate |"));
    SelectTarget(dialog, 1);
    EXPECT_EQ(ListRows(list).size(), 41u);
    SelectTarget(dialog, 2);
    EXPECT_EQ(ListRows(list).size(), 15u);

    HWND header = reinterpret_cast<HWND>(SendTo(list, LVM_GETHEADER));
    wchar_t text[32] = L"";
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 32;
    SendTo(header, HDM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(text), L"説明");
    EXPECT_NE(CloseWith(shown, dialog, IDCANCEL), kDialogNotShown);
}

void SelectTag(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = row < 0 ? 0 : LVIS_SELECTED | LVIS_FOCUSED;
    SendTo(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The double click as the list view receives it, on the given row.
void DoubleClickRow(HWND list, int row) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    SendTo(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    SendTo(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(rect.left + 5, (rect.top + rect.bottom) / 2));
}

HWND FocusOf(DWORD threadId) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

TEST(FormatSettingDialog, DoubleClickInsertsTheTagUndoably) {
    PluginFolder folder(kTwoSettings);
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(1, 2); });
    HWND dialog = shown.WaitWindow(kSettingTitle);
    ASSERT_NE(dialog, nullptr);
    HWND list = ::GetDlgItem(dialog, 1031);
    HWND format = ::GetDlgItem(dialog, 1017);
    SelectTarget(dialog, 0);
    ASSERT_EQ(ListRows(list).size(), 41u);

    // Nothing selected: nothing happens.
    SelectTag(list, -1);
    SendTo(format, EM_SETSEL, 1, 1);
    DoubleClickRow(list, 0);
    EXPECT_EQ(TextOf(format), L"AB");

    // At the caret.
    SelectTag(list, 0);
    SendTo(format, EM_SETSEL, 1, 1);
    DoubleClickRow(list, 0);
    EXPECT_EQ(TextOf(format), L"A%titleB");
    EXPECT_EQ(FocusOf(shown.ThreadId()), format);
    EXPECT_NE(SendTo(format, EM_CANUNDO), 0);
    SendTo(format, WM_UNDO);
    EXPECT_EQ(TextOf(format), L"AB");

    // Over the selection.
    SelectTag(list, 1);
    SendTo(format, EM_SETSEL, 0, 2);
    DoubleClickRow(list, 1);
    EXPECT_EQ(TextOf(format), L"%filename");
    SendTo(format, WM_UNDO);
    EXPECT_EQ(TextOf(format), L"AB");
    EXPECT_NE(CloseWith(shown, dialog, IDCANCEL), kDialogNotShown);
}

TEST(FormatSettingDialog, OkSavesTheSettingAndRepublishesTheRequest) {
    PluginFolder folder(kTwoSettings);
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(1, 2); });
    HWND dialog = shown.WaitWindow(kSettingTitle);
    ASSERT_NE(dialog, nullptr);
    SetItemText(dialog, 1005, L"新しい名前");
    SelectTarget(dialog, 1);
    SetItemText(dialog, 1017, L" %{Bitrate} %title ");
    EXPECT_EQ(CloseWith(shown, dialog, IDOK), 0);

    const std::wstring file = folder.SettingsFile();
    EXPECT_EQ(IniValue(file, L"Mivola001", L"SettingName"), L"新しい名前");
    EXPECT_EQ(IniValue(file, L"Mivola001", L"TargetPlayer"), L"WMP");
    EXPECT_EQ(IniValue(file, L"Mivola001", L"Format"), L" %{Bitrate} %title ");
    EXPECT_EQ(IniValue(file, L"Mivola000", L"SettingName"), L"最初");
    EXPECT_EQ(plugin.SettingName(2), Cp932(L"新しい名前"));

    NamedMutex mutex;
    mutex.Create(kRequestMutex, false);
    std::vector<wchar_t> request;
    ASSERT_TRUE(ReadList(mutex, kRequestRegion, request));
    const wchar_t expected[] = L"Bitrate\0";
    EXPECT_EQ(std::wstring(request.data(), request.size()), std::wstring(expected, 9));
}

TEST(FormatSettingDialog, TheMediaSessionsAreATarget) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=2\n[Mivola000]\nTargetPlayer=Smtc\nFormat=%title\n");
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    {
        DialogThread shown([&] { return plugin.ShowSetting(1, 1); });
        HWND dialog = shown.WaitWindow(kSettingTitle);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1004), CB_GETCURSEL), 4);
        EXPECT_EQ(ListRows(::GetDlgItem(dialog, 1031)).size(), 14u);
        ASSERT_NE(CloseWith(shown, dialog, IDOK), kDialogNotShown);
    }
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Mivola000", L"TargetPlayer"), L"SMTC") << "saved as the key";
    DialogThread shown([&] { return plugin.ShowSetting(1, 2); });
    HWND dialog = shown.WaitWindow(kSettingTitle);
    ASSERT_NE(dialog, nullptr);
    SelectTarget(dialog, 4);
    ASSERT_NE(CloseWith(shown, dialog, IDOK), kDialogNotShown);
    EXPECT_EQ(IniValue(folder.SettingsFile(), L"Mivola001", L"TargetPlayer"), L"SMTC");
}

class FormatSettingCancel : public ::testing::TestWithParam<bool> {};

TEST_P(FormatSettingCancel, LeavesTheSettingAsItWas) {
    PluginFolder folder(kTwoSettings);
    ASSERT_TRUE(folder.Ready());
    const std::string before = ReadFileBytes(folder.SettingsFile());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    {
        DialogThread shown([&] { return plugin.ShowSetting(1, 2); });
        HWND dialog = shown.WaitWindow(kSettingTitle);
        ASSERT_NE(dialog, nullptr);
        SetItemText(dialog, 1005, L"別名");
        SelectTarget(dialog, 3);
        SetItemText(dialog, 1017, L"%artist");
        if (GetParam()) Click(dialog, IDCANCEL);
        else SendTo(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(shown.Finish());
    }
    EXPECT_EQ(ReadFileBytes(folder.SettingsFile()), before);
    EXPECT_EQ(plugin.SettingName(2), Cp932(L"曲名"));
    DialogThread again([&] { return plugin.ShowSetting(1, 2); });
    HWND dialog = again.WaitWindow(kSettingTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, 1017), L"AB");
    EXPECT_EQ(SendTo(::GetDlgItem(dialog, 1004), CB_GETCURSEL), 2);
    EXPECT_NE(CloseWith(again, dialog, IDCANCEL), kDialogNotShown);
}

INSTANTIATE_TEST_SUITE_P(Ways, FormatSettingCancel, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "CancelButton" : "CloseCommand");
                         });

TEST(FormatSettingDialog, ASettingThatDoesNotExistShowsNothing) {
    PluginFolder folder(kTwoSettings);
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(1, 3); });
    EXPECT_TRUE(shown.Finish(5000));
    EXPECT_EQ(shown.Result(), 0);
}

// ---- Dialog 104 ------------------------------------------------------------------------------

// An identity record as a running bridge publishes it; withdrawn at destruction.
class PublishedIdentity {
public:
    PublishedIdentity(const char* key, const std::wstring& path, const std::wstring& description,
                      const std::wstring& version) {
        char name[kRegionNameMax];
        IdentityRegionName(name, key);
        region_.Open(name, kBridgeIdentityRecordSize);
        BridgeIdentityRecord record;
        std::memset(&record, 0, sizeof record);
        CopyText(record.ModulePath, path.c_str());
        CopyText(record.Description, Cp932(description).c_str());
        CopyText(record.PlayerVersion, version.c_str());
        PublishRecord(region_, &record, sizeof record);
    }

private:
    SharedRegion region_;
};

TEST(VersionDialog, ListsOneRowPerRunningBridgeInPlayerOrder) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\n");
    ASSERT_TRUE(folder.Ready());
    // Published in the opposite order; a record without a module path is no bridge.
    PublishedIdentity itunes("iTunes", L"C:\\Mivola\\ZEQ_Mivola_iTunes.exe", L"iTunes用 Ver 1.0.0", L"12.1.0.71");
    PublishedIdentity winamp("Winamp", L"", L"Winamp用 Ver 1.0.0", L"5.666");
    PublishedIdentity smtc("SMTC", L"C:\\Mivola\\ZEQ_Mivola_SMTC.exe", L"SMTC用 Ver 1.0.0",
                           L"Microsoft.ZuneMusic_8wekyb3d8bbwe!Microsoft.ZuneMusic");
    PublishedIdentity wmp("WMP", L"C:\\Program Files\\Windows Media Player\\ZEQ_Mivola_WMP.dll", L"WMP用 Ver 1.0.0",
                          L"12.0.7601");
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowAbout(); });
    HWND dialog = shown.WaitWindow(kVersionTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, 1003), L"メディア情報取得プラグイン");
    EXPECT_EQ(ItemText(dialog, 1004), L"Ver. " + Widen(MIVOLA_VERSION_TEXT));
    std::vector<std::wstring> rows = ListRows(::GetDlgItem(dialog, 1002));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], L"WMP用 Ver 1.0.0 | 12.0.7601 | C:\\Program Files\\Windows Media Player\\ZEQ_Mivola_WMP.dll");
    EXPECT_EQ(rows[1], L"iTunes用 Ver 1.0.0 | 12.1.0.71 | C:\\Mivola\\ZEQ_Mivola_iTunes.exe");
    EXPECT_EQ(rows[2], L"SMTC用 Ver 1.0.0 | Microsoft.ZuneMusic_8wekyb3d8bbwe!Microsoft.ZuneMusic | "
                       L"C:\\Mivola\\ZEQ_Mivola_SMTC.exe");
    SendTo(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(shown.Finish());
    EXPECT_EQ(shown.Result(), 0);

    // The host stand-in lists the same bridges, for a look from a terminal, paths as they are.
    ChildResult listed = RunChild(BuildFile(Arch::Same, L"..\\sim\\zeqhost\\zeqhost.exe"), L"--bridges");
    ASSERT_TRUE(listed.finished);
    EXPECT_EQ(listed.output,
              "bridge: WMP\u7528 Ver 1.0.0 | 12.0.7601 | C:\\Program Files\\Windows Media Player\\ZEQ_Mivola_WMP.dll\n"
              "bridge: iTunes\u7528 Ver 1.0.0 | 12.1.0.71 | C:\\Mivola\\ZEQ_Mivola_iTunes.exe\n"
              "bridge: SMTC\u7528 Ver 1.0.0 | Microsoft.ZuneMusic_8wekyb3d8bbwe!Microsoft.ZuneMusic | "
              "C:\\Mivola\\ZEQ_Mivola_SMTC.exe\n");
}

TEST(VersionDialog, WithoutBridgesTheListIsEmptyAndNoRegionStays) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\n");
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowAbout(); });
    HWND dialog = shown.WaitWindow(kVersionTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(ListRows(::GetDlgItem(dialog, 1002)).empty());
    ASSERT_NE(CloseWith(shown, dialog, IDOK), kDialogNotShown);
    // The dialog opened each identity region only for the moment of reading it.
    char name[kRegionNameMax];
    IdentityRegionName(name, "WMP");
    SharedRegion probe;
    EXPECT_EQ(probe.Open(name, kBridgeIdentityRecordSize), RegionCreated);
}

// ---- The driver itself -----------------------------------------------------------------------

// A wait for a window reads titles without sending messages: WM_GETTEXT to a window of this
// process whose thread is busy would hold the wait, past its time-out, until the thread pumps.
TEST(DialogDriver, FindsAWindowByTitleWhileItsThreadIsBusy) {
    unique_handle created(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    unique_handle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HWND window = nullptr;
    DialogThread busy([&] {
        window = ::CreateWindowExW(0, L"STATIC", L"busy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                   nullptr, nullptr, nullptr);
        ::SetEvent(created.get());
        ::WaitForSingleObject(release.get(), 30000);  // not pumping meanwhile
        ::DestroyWindow(window);
        return 0;
    });
    ASSERT_EQ(::WaitForSingleObject(created.get(), 15000), WAIT_OBJECT_0);
    ASSERT_NE(window, nullptr);
    ULONGLONG start = ::GetTickCount64();
    HWND found = busy.WaitWindow(L"busy", 10000);
    HWND other = busy.WaitWindow(L"another", 1000);
    ULONGLONG took = ::GetTickCount64() - start;
    ::SetEvent(release.get());
    EXPECT_EQ(found, window);
    EXPECT_EQ(other, nullptr);
    EXPECT_LT(took, 8000u) << "the waits waited for the busy thread";
    EXPECT_TRUE(busy.Finish());
}

}  // namespace
