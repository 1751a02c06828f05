#include "itunes_bridge.h"

#include <cstring>
#include <memory>
#include <new>

#include "bridge_program_protocol.h"
#include "gathering.h"
#include "identity.h"
#include "itunes_connection.h"
#include "now_playing_record.h"
#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "setting_keys.h"
#include "shared_region.h"

namespace mivola::itunes {

namespace {

// Everything the program keeps, touched by its one thread only. Members are built in this
// order before the main routine runs and destroyed in reverse after it returns: the
// connection is released first, then the now-playing region closed (not cleared, so a
// reader keeps the last record), then the frame with the single-instance mutex.
struct Program {
    Program();

    UINT iTunesEnd = ::RegisterWindowMessageA(kiTunesEndMessage);
    BridgeProgram frame{kiTunesBridgeProtocol, kKeyiTunes};
    SharedRegion nowPlaying;
    std::unique_ptr<ITunesConnection> connection;

    HWND lastiTunes = nullptr;
    bool attachChanged = false;
    // A call into iTunes dispatches messages while it waits. While a connect or a gather runs,
    // a nested message never pulls the connection away: its detach waits for the call to end.
    bool gathering = false;
    bool connecting = false;
    bool releasePending = false;
    bool iTunesEndPending = false;
    wchar_t playerVersion[kPlayerVersionCapacity] = {};
};

Program::Program() {
    char name[kRegionNameMax];
    // A region that fails to open has no view; every write checks for one.
    if (NowPlayingRegionName(name, kKeyiTunes)) nowPlaying.Open(name, kNowPlayingRecordSize);
}

Program g_program;

void PublishIdentity() {
    BridgeIdentityRecord record;
    std::memset(&record, 0, sizeof record);
    BuildIdentity(g_program.playerVersion, record);
    g_program.frame.PublishIdentity(record);
}

bool InsideCallToiTunes() { return g_program.gathering || g_program.connecting; }

void ReleaseConnection() {
    if (InsideCallToiTunes()) {
        g_program.releasePending = true;
        return;
    }
    g_program.connection.reset();
}

void ZeroNowPlaying() {
    SharedRegion& region = g_program.nowPlaying;
    if (!region.View()) return;
    region.Lock();
    std::memset(region.View(), 0, kNowPlayingRecordSize);
    region.Unlock();
}

void OniTunesEnd() {
    if (InsideCallToiTunes()) {
        g_program.iTunesEndPending = true;
        return;
    }
    ReleaseConnection();
    g_program.frame.RestartTimer(kEndingPeriodMs);
    g_program.frame.SetText(kTextEnding);
    g_program.frame.WithdrawIdentity();
    g_program.attachChanged = true;
}

// Carries out what arrived during the call that just ended. True when the connection is gone.
bool DetachPending() {
    bool detached = g_program.releasePending || g_program.iTunesEndPending;
    if (g_program.releasePending) {
        g_program.releasePending = false;
        g_program.connection.reset();
    }
    if (g_program.iTunesEndPending) {
        g_program.iTunesEndPending = false;
        OniTunesEnd();
    }
    return detached;
}

// Makes the connection; false when the poll step ends here: connecting failed (the window is
// then already gone), or iTunes' end arrived meanwhile (the bridge is then paused, detached).
bool Connect() {
    g_program.connection.reset();
    g_program.connection.reset(new (std::nothrow) ITunesConnection());
    bool connected = false;
    if (g_program.connection) {
        g_program.connecting = true;
        connected = g_program.connection->Connect(g_program.frame.Window(), g_program.iTunesEnd, g_program.playerVersion);
        g_program.connecting = false;
    }
    if (!connected) {
        g_program.frame.End();
        return false;
    }
    return !DetachPending();
}

void Gather() {
    NowPlayingRecord record;
    std::memset(&record, 0, sizeof record);
    g_program.gathering = true;
    FillRecord(g_program.connection ? g_program.connection->App() : nullptr, record);
    g_program.gathering = false;
    // A nested tick that found iTunes gone has already published the empty record; this one
    // would bring iTunes back until the next tick. The end-of-iTunes message instead detaches
    // after the gather, which keeps its record.
    if (!g_program.releasePending) PublishRecord(g_program.nowPlaying, &record, sizeof record);
    DetachPending();
}

void PollStep() {
    // A tick that arrives while the connection is being made has nothing to work with yet.
    if (g_program.connecting) return;
    HWND found = ::FindWindowA(kiTunesWindowClass, nullptr);
    if (found != g_program.lastiTunes) {
        g_program.lastiTunes = found;
        g_program.attachChanged = true;
    }
    if (found) {
        if (!g_program.connection && !Connect()) return;
        if (g_program.attachChanged) {
            g_program.attachChanged = false;
            g_program.frame.SetText(kTextAttached);
            g_program.frame.RestartTimer(g_program.frame.IntervalMs());
            PublishIdentity();
        }
        // A tick that arrives inside a running gather leaves the gather to it.
        if (!g_program.gathering) Gather();
    } else {
        if (g_program.connection) ReleaseConnection();
        if (g_program.attachChanged) {
            g_program.attachChanged = false;
            g_program.frame.SetText(kTextSearching);
            g_program.frame.RestartTimer(kSearchPeriodMs);
            g_program.frame.WithdrawIdentity();
        }
        ZeroNowPlaying();
    }
}

bool OnMessage(UINT message) {
    if (message != g_program.iTunesEnd) return false;
    OniTunesEnd();
    return true;
}

}  // namespace

int RunBridge(HINSTANCE instance, const char* commandLine) {
    BridgeProgramHooks hooks;
    hooks.tick = [](void*) { PollStep(); };
    hooks.message = [](void*, UINT message) { return OnMessage(message); };
    return g_program.frame.Run(instance, commandLine, setting_ini::kiTunesTiming, hooks);
}

}  // namespace mivola::itunes
