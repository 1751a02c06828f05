// Runs the iTunes bridge and the iTunes stand-in as separate processes and reads what they
// leave behind: the bridge's window text and regions, the stand-in's call log.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge_identity_record.h"
#include "bridge_program_driver.h"
#include "now_playing_record.h"
#include "registration.h"
#include "sim_protocol.h"
#include "stand_in_process.h"

namespace mivola::test {

// Folder with the bridge, the stand-in and its type library of the given architecture.
std::wstring ItunesProgramDir(Arch arch);

// Ends every bridge and stand-in a failed earlier test may have left running.
void EndStrays();
// A killed server's class stays registered with the prefix's COM service, which then hands
// its dead class object to every client; restarting the service (COM starts it again on
// demand) forgets it.
void ForgetDeadServers();

// Makes the stand-in of the given architecture the machine's iTunes for the object's life.
class ItunesRegistration {
public:
    explicit ItunesRegistration(Arch standInArch);
    bool Ok() const { return registration_.Ok(); }

private:
    itunes_sim::ScopedRegistration registration_;
};

class ItunesStandIn : public StandInProcess {
public:
    explicit ItunesStandIn(Arch arch = Arch::Same) : arch_(arch) {}
    ~ItunesStandIn() { Close(); }
    // Starts with the scenario text and extra arguments; waits for its window.
    bool Start(const std::string& scenario, const std::wstring& extraArgs = std::wstring());
    // Posts the quit; the stand-in announces it, closes its window and ends after its delay.
    bool Quit();
    // Closes the window without an announcement: the class is withdrawn and the program ends.
    // One that does not end is killed.
    void Close();
    // Ends the program at once, as a crash would, and then has COM forget its class.
    void Kill();

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    LRESULT Counter(itunes_sim::Counter counter) const { return Send(itunes_sim::kSimCounter, counter); }

    // Events only (time stamps dropped), from line `from` on.
    std::vector<std::string> Events(size_t from = 0) const;
    // Waits until an event equal to `event` appears at or after line `from`; its index or -1.
    int WaitEvent(const std::string& event, size_t from = 0, DWORD timeoutMs = 10000) const {
        return StandInProcess::WaitEvent(event, from, timeoutMs, Match::Whole);
    }

private:
    Arch arch_;
};

// Copies the bridge's records out; false when their region does not exist.
bool ReadNowPlaying(NowPlayingRecord& record);
bool ReadIdentity(BridgeIdentityRecord& record);

}  // namespace mivola::test
