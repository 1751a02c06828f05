// Runs the Windows Media Player stand-in with a private copy of the bridge registered in this
// test tree's Wine prefix, and reads what both leave behind: the stand-in's log, the bridge's
// settings file and its regions. The registration is undone at destruction, also when a test
// fails half-way.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bridge_identity_record.h"
#include "now_playing_record.h"
#include "stand_in_process.h"

namespace mivola::test {

// regsvr32 of the prefix for a DLL of the given architecture, run from this test program.
std::wstring Regsvr32Path(Arch arch);
// Runs regsvr32 /s [/u] on path; returns its exit code (or 0xFFFFFFFF when it did not finish).
DWORD RunRegsvr32(Arch arch, const std::wstring& path, bool unregister);
// Folder of the stand-in and the bridge of the given architecture (both beside each other, in
// the WMP tests' folder of that build tree).
std::wstring WmpProgramDirectory(Arch arch);

class WmpStandIn : public StandInProcess {
public:
    explicit WmpStandIn(Arch arch = Arch::Same);
    ~WmpStandIn();

    void WriteSettings(const std::string& ini);
    std::string ReadTiming() const;  // "Main"/"Timing", or "<none>"
    std::wstring BridgePath() const { return Folder() + L"ZEQ_Mivola_WMP.dll"; }

    // Registers the private bridge, starts the stand-in with the scenario and waits for "ready".
    bool Start(const std::string& scenario);
    // WM_CLOSE, then waits for the process to end with exit code 0.
    bool Close(DWORD timeoutMs = 60000) { return StandInProcess::Close(timeoutMs); }

    long CallCount() const;
    // Waits until n ticks have started after the call (so that at least n - 1 ran whole after it).
    bool WaitTicks(long n, DWORD timeoutMs = 20000) const;

private:
    Arch arch_;
    bool registered_ = false;
};

// The time stamp of a log line.
long long WmpTimeOf(const std::string& line);

// The bridge's records, copied out of their regions; false when no bridge created them.
bool ReadWmpNowPlaying(NowPlayingRecord& record);
bool ReadWmpIdentity(BridgeIdentityRecord& record);

}  // namespace mivola::test
