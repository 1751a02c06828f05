// A stand-in program driven by a test: started in a folder of its own with its scenario
// written there, its log ("<ms> <event>" lines) read back while it runs, messages sent to its
// window. Each player's driver builds on this.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace mivola::test {

// The event of a log line: what follows the time stamp.
std::string EventText(const std::string& line);

class StandInProcess {
public:
    enum class Match { Prefix, Whole };

    // sendTimeoutMs bounds every Send.
    explicit StandInProcess(DWORD sendTimeoutMs = 10000) : sendTimeoutMs_(sendTimeoutMs) {}
    StandInProcess(const StandInProcess&) = delete;
    StandInProcess& operator=(const StandInProcess&) = delete;

    const std::wstring& Folder() const { return dir_.Path(); }

    // Writes the scenario into the folder and starts exe with "--scenario F --log F" and the
    // extra arguments.
    bool Launch(const std::wstring& exe, const std::string& scenario, const std::wstring& extraArgs = std::wstring(),
                const std::wstring& workingDir = std::wstring());
    // Takes the window the stand-in logged ("window <hex>"); false when there is none.
    bool WindowFromLog();
    void SetWindow(HWND window) { window_ = window; }
    HWND Window() const { return window_; }

    // Posts WM_CLOSE and waits for the program to end with exit code 0.
    bool Close(DWORD timeoutMs);
    // Ends the program at once, as a crash would.
    void Kill() { child_.Kill(); }
    bool Running() const { return child_.Running(); }
    bool WaitExit(DWORD timeoutMs) { return child_.Wait(timeoutMs); }
    DWORD ExitCode() const { return child_.ExitCode(); }
    DWORD ProcessId() const { return child_.Id(); }

    // A message to the window, given up on after the send time-out; false when it does not answer.
    bool Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) const;
    bool Post(UINT message, WPARAM wParam, LPARAM lParam) const;
    // The answer to a message that reads one of the stand-in's counters; -1 when none comes.
    LRESULT Count(UINT message) const;
    // Waits until that counter has grown by n.
    bool WaitCountGrows(UINT message, LRESULT n, DWORD timeoutMs) const;

    std::vector<std::string> LogLines() const;
    // Index of the first line from `from` whose event starts with (or is) `event`; -1 if none yet.
    int FindEvent(const std::string& event, size_t from = 0, Match match = Match::Prefix) const;
    // The same, waiting while the program runs.
    int WaitEvent(const std::string& event, size_t from = 0, DWORD timeoutMs = 20000,
                  Match match = Match::Prefix) const;

private:
    TempDir dir_;
    Child child_;
    HWND window_ = nullptr;
    DWORD sendTimeoutMs_;
};

}  // namespace mivola::test
