// The interval dialog, driven with window messages as a user's clicks would send them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "interval_dialog_checks.h"
#include "sim_protocol.h"
#include "stand_in.h"

using namespace mivola::test;

namespace {

constexpr wchar_t kTitle[] = L"ZEQ用プラグイン設定";

// Asks the player to open the bridge's configuration and returns the dialog once it is up.
HWND OpenDialog(const StandIn& s) {
    if (!s.Post(WM_COMMAND, winamp_sim::kConfigCommandBase, 0) || s.WaitEvent("config 0 begin") < 0) return nullptr;
    return WaitProcessDialog(s.ProcessId(), kTitle, IDOK);
}

// The log lines of one configuration: timer restarted after the dialog closed.
void ExpectTimerRestartedWith(const StandIn& s, const std::string& interval) {
    int begin = s.FindEvent("config 0 begin");
    int end = s.WaitEvent("config 0 end");
    ASSERT_GE(begin, 0);
    ASSERT_GE(end, 0);
    int kill = s.FindEvent("killtimer 5656", static_cast<size_t>(begin));
    int set = s.FindEvent("settimer 5656", static_cast<size_t>(begin));
    ASSERT_GE(kill, 0);
    ASSERT_GE(set, 0);
    EXPECT_LT(kill, set);
    EXPECT_LT(set, end);
    EXPECT_EQ(EventOf(s.LogLines()[static_cast<size_t>(set)]), "settimer 5656 " + interval);
}

TEST(WinampDialog, ShowsClampedIntervalTextsAndLimits) {
    StandIn s;
    s.WriteSettings("[Main]\r\nTiming=20000\r\n");
    ASSERT_TRUE(s.Start(""));
    HWND dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    ExpectIntervalDialog(dialog, L"9999");
    EXPECT_EQ(::GetParent(dialog), s.Window()) << "owned by the main window";
    SendTo(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    ExpectTimerRestartedWith(s, "9999");
    EXPECT_TRUE(s.Close());
}

struct OkCase {
    const wchar_t* typed;
    const char* saved;
};

class DialogOk : public ::testing::TestWithParam<OkCase> {};

TEST_P(DialogOk, SavesTheClampedFieldAndRestartsTheTimer) {
    StandIn s;
    s.WriteSettings("[Main]\r\nTiming=200\r\n");
    ASSERT_TRUE(s.Start(""));
    HWND dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    SendTo(::GetDlgItem(dialog, 1000), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(GetParam().typed));
    SendTo(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ExpectTimerRestartedWith(s, GetParam().saved);
    EXPECT_EQ(s.ReadTiming(), GetParam().saved);
    EXPECT_TRUE(s.Close());
}

INSTANTIATE_TEST_SUITE_P(Fields, DialogOk,
                         ::testing::Values(OkCase{L"", "10"}, OkCase{L"50", "50"}, OkCase{L"5", "10"},
                                           OkCase{L"12345", "9999"}, OkCase{L"4x", "10"},
                                           OkCase{L"1,500", "1500"}));

// The spinner writes its value with a thousands separator; that value is what gets saved.
TEST(WinampDialog, SpinnerValueAboveThousandIsSavedAsShown) {
    StandIn s;
    ASSERT_TRUE(s.Start(""));
    HWND dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    SendTo(::GetDlgItem(dialog, 1001), UDM_SETPOS32, 0, 2500);
    std::wstring shown = TextOf(::GetDlgItem(dialog, 1000));
    EXPECT_TRUE(shown == L"2,500" || shown == L"2500") << Narrow(shown);
    SendTo(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ExpectTimerRestartedWith(s, "2500");
    EXPECT_EQ(s.ReadTiming(), "2500");
    EXPECT_TRUE(s.Close());
}

class DialogCancel : public ::testing::TestWithParam<bool> {};

TEST_P(DialogCancel, SavesNothingButRestartsTheTimer) {
    StandIn s;
    s.WriteSettings("[Main]\r\nTiming=200\r\n");
    ASSERT_TRUE(s.Start(""));
    HWND dialog = OpenDialog(s);
    ASSERT_NE(dialog, nullptr);
    SendTo(::GetDlgItem(dialog, 1000), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"50"));
    if (GetParam()) SendTo(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    else SendTo(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectTimerRestartedWith(s, "200");
    EXPECT_EQ(s.ReadTiming(), "200");
    EXPECT_TRUE(s.Close());
}

INSTANTIATE_TEST_SUITE_P(Ways, DialogCancel, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "CancelButton" : "CloseCommand");
                         });

}  // namespace
