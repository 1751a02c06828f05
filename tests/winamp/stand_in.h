// Runs the Winamp stand-in with the bridge in a private plug-in folder, and reads what
// both leave behind: the stand-in's log, the bridge's settings file and its regions.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bridge_identity_record.h"
#include "now_playing_record.h"
#include "test_support.h"

namespace mivola::test {

class StandIn {
public:
    // arch picks the pair of stand-in and bridge (always of one architecture).
    explicit StandIn(Arch arch = Arch::Same);
    ~StandIn();

    // The settings file beside the bridge, written before Start (UTF-8 bytes as given).
    void WriteSettings(const std::string& ini);
    std::string ReadTiming() const;  // "Main"/"Timing", or "<none>"
    std::wstring BridgePath() const { return plugins_ + L"gen_zeq_mivola.dll"; }

    // Starts with the scenario text and waits until every plug-in is initialised.
    bool Start(const std::string& scenario);
    // WM_CLOSE, then waits for the process to end.
    bool Close();
    // Ends the process at once, as a crash would: nothing of the plug-in's quit runs.
    void Kill() { child_.Kill(); }
    // Makes the player hang inside the query (wParam, id) the next time it is asked, and waits
    // until it does; false when it does not happen.
    bool StallAt(WPARAM wParam, LPARAM id);

    HWND Window() const { return window_; }
    DWORD ProcessId() const { return child_.Id(); }
    // A message to the stand-in's window with a generous time-out; false when it does not answer.
    bool Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) const;
    bool Post(UINT message, WPARAM wParam, LPARAM lParam) const;
    bool ForceAnswer(WPARAM wParam, LPARAM id, LRESULT answer) const;
    bool Control(WPARAM action) const;
    LRESULT TickCount() const;
    // Waits until n more plug-in timer messages have passed through the window.
    bool WaitTicks(LRESULT n) const;

    std::vector<std::string> LogLines() const;
    // Index of the first line from `from` whose event starts with `prefix`; -1 if none yet.
    int FindEvent(const std::string& prefix, size_t from = 0) const;
    int WaitEvent(const std::string& prefix, size_t from = 0, DWORD timeoutMs = 20000) const;

private:
    Arch arch_;
    TempDir dir_;
    std::wstring plugins_;
    Child child_;
    HWND window_ = nullptr;
};

// The event part of a log line (after the time stamp) and its query list ("" if none).
std::string EventOf(const std::string& line);
std::string QueriesOf(const std::string& line);

// Copies the bridge's records out of their regions; false when no bridge created them.
bool ReadNowPlaying(NowPlayingRecord& record);
bool ReadIdentity(BridgeIdentityRecord& record);

// Text of a CP932 field, and the CP932 bytes of a text.
std::wstring FromCp932(const char* bytes, size_t capacity);
std::string ToCp932(const std::wstring& text);

}  // namespace mivola::test
