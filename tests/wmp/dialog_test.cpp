// The timing dialog (resource 104) that the stand-in opens through DisplayPropertyPage, driven
// with real window messages under the virtual display.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "interval_dialog_checks.h"
#include "sim_protocol.h"
#include "wmp_stand_in.h"

using namespace mivola::test;

namespace {

constexpr wchar_t kTitle[] = L"ZEQ用プラグイン設定";

HWND OpenDialog(const WmpStandIn& s) {
    size_t from = s.LogLines().size();
    if (!s.Send(wmp_sim::kSimConfig, 0, 0) || s.WaitEvent("config 0 begin", from) < 0) return nullptr;
    return WaitProcessDialog(s.ProcessId(), kTitle, IDOK);
}

// Index of the log's last "config 0 begin": the dialog open now.
size_t LastOpening(const WmpStandIn& s) {
    std::vector<std::string> lines = s.LogLines();
    for (size_t i = lines.size(); i-- > 0;) {
        if (EventText(lines[i]) == "config 0 begin") return i;
    }
    return 0;
}

// Clicks a button and waits for DisplayPropertyPage to return.
bool Click(const WmpStandIn& s, HWND dialog, int id) {
    const size_t from = LastOpening(s);
    SendTo(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    // The window goes before DisplayPropertyPage returns and the stand-in logs it: wait for both.
    return WaitUntil([&] { return !::IsWindow(dialog); }, 10000) &&
           s.WaitEvent("config 0 end hr=0x0", from, 10000, StandInProcess::Match::Whole) >= 0;
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
    ExpectIntervalDialog(dialog, L"250");
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
