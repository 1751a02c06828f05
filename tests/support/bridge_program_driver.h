// Runs a bridge program (the iTunes bridge or the media-session bridge) as a separate process
// from a folder of its own, and reaches it the way the host plug-in does: by the class of its
// message-only window and its registered end message. The names are spelled here, not taken
// from the product's headers, so that a test notices when the product's bytes change.
#pragma once

#include <windows.h>

#include <string>

#include "test_support.h"

namespace mivola::test {

struct BridgeProgramNames {
    const wchar_t* program;          // file name of the program
    const wchar_t* otherArchFolder;  // where the other architecture's tests keep their copy
    const wchar_t* commandWord;      // the argument the host plug-in starts it with
    const char* windowClass;
    const char* endMessage;
};

inline constexpr BridgeProgramNames kItunesBridgeNames = {
    L"ZEQ_Mivola_iTunes.exe", L"itunes\\", L"ZEQ_Plugin_iTunes", "ZEQ_Plugin_iTunes",
    "ZEQ_Plugin_iTunesMsg_PluginEnd"};
inline constexpr BridgeProgramNames kSmtcBridgeNames = {
    L"ZEQ_Mivola_SMTC.exe", L"smtc_bridge\\", L"ZEQ_Plugin_SMTC", "ZEQ_Plugin_SMTC",
    "ZEQ_Plugin_SMTCMsg_PluginEnd"};

// The built program of an architecture (copied beside that architecture's tests).
std::wstring BridgeProgramPath(const BridgeProgramNames& names, Arch arch);
// The message-only window of whichever such bridge runs, or null; its text ("<no window>"
// without one).
HWND BridgeWindow(const BridgeProgramNames& names);
std::string BridgeText(const BridgeProgramNames& names);
bool WaitBridgeText(const BridgeProgramNames& names, const std::string& text, DWORD timeoutMs);
// Posts the host plug-in's end message to the running bridge.
bool PostBridgeEnd(const BridgeProgramNames& names);
// Ends a bridge an earlier, failed test left running: the end message first, then by force.
void EndStrayBridge(const BridgeProgramNames& names);

// A copy of the program in a temporary folder, with the given Setting.ini beside it (none when
// empty); killed at destruction if it still runs.
class BridgeProgram {
public:
    BridgeProgram(const BridgeProgramNames& names, const std::string& settings, Arch arch);
    ~BridgeProgram() { child_.Kill(); }
    BridgeProgram(const BridgeProgram&) = delete;
    BridgeProgram& operator=(const BridgeProgram&) = delete;

    // With the command word alone, as the host plug-in starts it, or with the given arguments.
    bool Start() { return Start(names_.commandWord); }
    bool Start(const std::wstring& args) { return child_.Start(ProgramPath(), args); }
    std::wstring ProgramPath() const { return dir_.Path() + names_.program; }
    bool Wait(DWORD timeoutMs) { return child_.Wait(timeoutMs); }
    DWORD ExitCode() const { return child_.ExitCode(); }
    bool Running() const { return child_.Running(); }
    void Kill() { child_.Kill(); }
    DWORD Id() const { return child_.Id(); }
    const BridgeProgramNames& Names() const { return names_; }
    Arch Architecture() const { return arch_; }

private:
    const BridgeProgramNames& names_;
    Arch arch_;
    TempDir dir_;
    Child child_;
};

// One bridge program's driver, with its names fixed, so that a test can reach "the" bridge
// without naming it again: ItunesBridge::Window(), SmtcBridge::PostEnd().
template <const BridgeProgramNames& kNames>
class BridgeProgramOf : public BridgeProgram {
public:
    explicit BridgeProgramOf(const std::string& settings = std::string(), Arch arch = Arch::Same)
        : BridgeProgram(kNames, settings, arch) {}
    using BridgeProgram::Start;

    static std::wstring BuiltProgram(Arch arch) { return BridgeProgramPath(kNames, arch); }
    static HWND Window() { return BridgeWindow(kNames); }
    static std::string Text() { return BridgeText(kNames); }
    static bool WaitText(const std::string& text, DWORD timeoutMs = 10000) {
        return WaitBridgeText(kNames, text, timeoutMs);
    }
    static bool PostEnd() { return PostBridgeEnd(kNames); }
    static void EndStray() { EndStrayBridge(kNames); }
};

using ItunesBridge = BridgeProgramOf<kItunesBridgeNames>;
using SmtcBridge = BridgeProgramOf<kSmtcBridgeNames>;

}  // namespace mivola::test
