// Mivola.zeqp starting and stopping the real bridge: Init starts it, Free keeps it, the
// settings dialog ends it and starts a new one, unloading ends it.
#include <gtest/gtest.h>

#include "dialog_driver.h"
#include "itunes_fixture.h"

using namespace mivola;
using namespace mivola::test;

namespace {

DWORD BridgeProcess() {
    HWND window = ItunesBridge::Window();
    DWORD pid = 0;
    if (window) ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

// With iTunes running, so that the bridge is attached and takes its time to end.
class HostPluginBridge : public WithStandIn {
protected:
    void SetUp() override {
        WithStandIn::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ::CreateDirectoryW((dir.Path() + L"Mivola").c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(dir.Path() + L"Mivola\\Setting.ini", "[Main]\r\nVersion=2\r\nMivolaNum=1\r\niTunesCheck=1\r\n"));
        ASSERT_TRUE(::CopyFileW((ModuleDirectory() + L"..\\..\\hostplugin\\Mivola.zeqp").c_str(),
                                (dir.Path() + L"Mivola.zeqp").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW((ItunesProgramDir(Arch::Same) + L"ZEQ_Mivola_iTunes.exe").c_str(),
                                (dir.Path() + L"Mivola\\ZEQ_Mivola_iTunes.exe").c_str(), FALSE));
    }
    TempDir dir;
};

TEST_P(HostPluginBridge, SettingsDialogRestartsTheBridgeAndUnloadingEndsIt) {
    ItunesStandIn iTunes(arch());
    ASSERT_TRUE(iTunes.Start("state playing\ntrack\n name Song\n"));
    LoadedPlugin plugin(dir.Path() + L"Mivola.zeqp");
    ASSERT_TRUE(plugin.Ready());
    ASSERT_TRUE(ItunesBridge::WaitText("start"));
    DWORD previous = BridgeProcess();

    // A busy iTunes keeps the old bridge in its gather for seconds, so the end message waits and
    // the old bridge still holds its single-instance mutex: a new one started into it would end
    // at once, and no bridge would run.
    ASSERT_EQ(iTunes.Send(itunes_sim::kSimSetSlow, 200), 1);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(ClickThrough([&] { return plugin.ShowSetting(0, 0); }, L"設定", {IDCANCEL}), 1) << "round " << round;
        ASSERT_TRUE(WaitUntil([&] { return BridgeProcess() != 0 && BridgeProcess() != previous; }, 8000)) << "round " << round;
        EXPECT_TRUE(ItunesBridge::WaitText("start", 10000)) << "round " << round << ": the new bridge attaches";
        previous = BridgeProcess();
    }

    plugin.Free();
    ::Sleep(1500);
    EXPECT_EQ(BridgeProcess(), previous) << "Free keeps the bridge";
    plugin.Unload();
    EXPECT_TRUE(WaitUntil([] { return ItunesBridge::Window() == nullptr; }, 8000)) << "unloading ends it";
}

INSTANTIATE_TEST_SUITE_P(Plugin, HostPluginBridge, ::testing::Values(Arch::Same), StandInArchName);

}  // namespace
