// Runs the Winamp stand-in with the bridge in a private plug-in folder, and reads what
// both leave behind: the stand-in's log, the bridge's settings file and its regions.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bridge_identity_record.h"
#include "now_playing_record.h"
#include "stand_in_process.h"

namespace mivola::test {

class StandIn : public StandInProcess {
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
    bool Close() { return StandInProcess::Close(20000); }
    // Makes the player hang inside the query (wParam, id) the next time it is asked, and waits
    // until it does; false when it does not happen.
    bool StallAt(WPARAM wParam, LPARAM id);

    bool ForceAnswer(WPARAM wParam, LPARAM id, LRESULT answer) const;
    bool Control(WPARAM action) const;
    LRESULT TickCount() const;
    // Waits until n more plug-in timer messages have passed through the window.
    bool WaitTicks(LRESULT n) const;

private:
    Arch arch_;
    std::wstring plugins_;
};

// The event part of a log line (after the time stamp) and its query list ("" if none).
std::string EventOf(const std::string& line);
std::string QueriesOf(const std::string& line);

// Copies the bridge's records out of their regions; false when no bridge created them.
bool ReadNowPlaying(NowPlayingRecord& record);
bool ReadIdentity(BridgeIdentityRecord& record);

}  // namespace mivola::test
