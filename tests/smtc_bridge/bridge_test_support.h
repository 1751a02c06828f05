// Runs the media-session bridge program as a separate process and reads what it leaves behind:
// its window text and its two regions.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "bridge_identity_record.h"
#include "now_playing_record.h"
#include "plugin_test_support.h"  // WaitUntil
#include "test_support.h"

namespace mivola::test {

// The bridge program of this build or of the other architecture's (copied beside its tests).
std::wstring SmtcBridgeProgram(Arch arch);

// A copy of the bridge of an architecture in a folder of its own, with the given Setting.ini
// (none when empty).
class SmtcBridge {
public:
    explicit SmtcBridge(const std::string& settings = std::string(), Arch arch = Arch::Same);
    ~SmtcBridge() { child_.Kill(); }
    bool Start(const std::wstring& args = L"ZEQ_Plugin_SMTC") { return child_.Start(ProgramPath(), args); }
    std::wstring ProgramPath() const { return dir_.Path() + L"ZEQ_Mivola_SMTC.exe"; }
    bool Wait(DWORD timeoutMs) { return child_.Wait(timeoutMs); }
    DWORD ExitCode() const { return child_.ExitCode(); }
    bool Running() const { return child_.Running(); }

    // The message-only window of whichever bridge runs, or null; its text.
    static HWND Window();
    static std::string Text();
    static bool WaitText(const std::string& text, DWORD timeoutMs = 10000);
    // Posts the host plug-in's end message.
    static bool PostEnd();
    // Ends a bridge an earlier, failed test left running.
    static void EndStray();

private:
    TempDir dir_;
    Child child_;
};

// Copies a region's record out; false when nobody holds the region.
bool ReadSmtcNowPlaying(NowPlayingRecord& record);
bool ReadSmtcIdentity(BridgeIdentityRecord& record);
bool AllBytesZero(const void* bytes, size_t size);

// Tests run with the bridge of each architecture (a 32-bit one only where it can run), with no
// bridge left running before or after.
class BridgeOfEachArch : public ::testing::TestWithParam<Arch> {
protected:
    void SetUp() override {
        MIVOLA_SKIP_UNLESS_RUNS(GetParam());
        ASSERT_TRUE(FileExists(SmtcBridgeProgram(GetParam()))) << "bridge of that architecture not built";
        SmtcBridge::EndStray();
    }
    void TearDown() override { SmtcBridge::EndStray(); }
    Arch arch() const { return GetParam(); }
};

std::string BridgeArchName(const ::testing::TestParamInfo<Arch>& info);

}  // namespace mivola::test
