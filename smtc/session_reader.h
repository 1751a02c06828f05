// Reading the system's media sessions into a now-playing record. All calls are made on the
// thread that called Obtain, which is then in the multithreaded apartment: no call dispatches
// messages or re-enters the caller, and operations are waited for with a bound.
#pragma once

#include <windows.h>

#include <cstdint>

#include "async_wait.h"
#include "media_session_interfaces.h"
#include "now_playing_record.h"
#include "unique_com.h"

namespace mivola::smtc {

// The session a record is built from, with its playback status when that could be read.
struct ChosenSession {
    com_ptr<ISession> session;
    bool statusKnown = false;
    int32_t status = 0;
};

// The manager's current session if it is playing; otherwise the first playing session; otherwise
// the current session; otherwise the first session; otherwise none. A failing GetCurrentSession
// counts as no current session, a failing GetSessions as an empty list.
ChosenSession ChooseSession(IManager* manager);

// Rebuilds record from zero for the chosen session at nowTicks (100 ns since 1601, as FILETIME):
// all zero without a session. The media properties are waited for at most timeoutMs.
void FillRecord(const ChosenSession& chosen, int64_t nowTicks, NowPlayingRecord& record,
                DWORD timeoutMs = kOperationTimeoutMs);

// The system time in 100 ns ticks since 1601, the unit of the timeline's LastUpdatedTime.
int64_t NowTicks();

// The manager, obtained once and kept; owns the thread's apartment while it has entered one.
class SessionReader {
public:
    SessionReader() = default;
    SessionReader(const SessionReader&) = delete;
    SessionReader& operator=(const SessionReader&) = delete;
    ~SessionReader() { Shutdown(); }

    // Loads the runtime, enters the multithreaded apartment and asks the manager's statics for
    // the manager. False (with the reason in LastResult) when the runtime's functions or the
    // class are missing, or the request fails or outlasts timeoutMs.
    bool Obtain(DWORD timeoutMs = kOperationTimeoutMs);
    bool HasManager() const { return static_cast<bool>(manager_); }
    HRESULT LastResult() const { return lastResult_; }
    // One tick's record, rebuilt from zero; all zero without a manager or without a session.
    void Read(int64_t nowTicks, NowPlayingRecord& record, DWORD timeoutMs = kOperationTimeoutMs);
    // Releases the manager and leaves the apartment; on the thread that called Obtain.
    void Shutdown();

private:
    bool apartment_ = false;
    HRESULT lastResult_ = S_OK;
    com_ptr<IManager> manager_;
};

}  // namespace mivola::smtc
