#include "smtc_bridge.h"

#include <cstring>
#include <cwchar>

#include "bridge_program.h"
#include "bridge_program_protocol.h"
#include "identity.h"
#include "now_playing_record.h"
#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "session_reader.h"
#include "setting_keys.h"
#include "shared_region.h"
#include "text_copy.h"

namespace mivola::smtc {

namespace {

// Everything the program keeps, touched by its one thread only. Members are built in this
// order before the main routine runs and destroyed in reverse after it returns: the
// now-playing region is closed without being cleared, so a reader keeps the last record, then
// the frame with the single-instance mutex. The session objects are released earlier, by
// RunBridge, on the thread whose apartment they live in.
struct Program {
    Program();

    BridgeProgram frame{kSmtcBridgeProtocol, kKeySmtc};
    SharedRegion nowPlaying;
    SessionReader reader;

    // Whether the identity record is published, and the app id it names.
    bool identityShown = false;
    wchar_t shownAppId[sizeof(BridgeIdentityRecord::PlayerVersion) / sizeof(wchar_t)] = {};
    NowPlayingRecord record;  // this tick's image, rebuilt from zero
};

Program::Program() {
    char name[kRegionNameMax];
    // A region that fails to open has no view; every write checks for one.
    if (NowPlayingRegionName(name, kKeySmtc)) nowPlaying.Open(name, kNowPlayingRecordSize);
}

Program g_program;

// Publishes the identity when it is not yet published or the shown app differs from the one it names.
void UpdateIdentity(const wchar_t* appId) {
    wchar_t shown[sizeof g_program.shownAppId / sizeof(wchar_t)];
    CopyText(shown, appId);
    if (g_program.identityShown && std::wcscmp(shown, g_program.shownAppId) == 0) return;
    BridgeIdentityRecord record;
    BuildIdentity(shown, record);
    g_program.frame.PublishIdentity(record);
    g_program.identityShown = true;
    CopyText(g_program.shownAppId, shown);
}

// Without the runtime's functions or the manager class: zeros, and another try in a minute.
void BecomeUnavailable() {
    std::memset(&g_program.record, 0, sizeof g_program.record);
    PublishRecord(g_program.nowPlaying, &g_program.record, sizeof g_program.record);
    g_program.frame.WithdrawIdentity();
    g_program.identityShown = false;
    g_program.frame.SetText(kTextUnavailable);
    g_program.frame.RestartTimer(kRetryPeriodMs);
}

void PollStep() {
    if (!g_program.reader.HasManager()) {
        if (!g_program.reader.Obtain()) {
            BecomeUnavailable();
            return;
        }
        g_program.frame.SetText(kTextAvailable);
        g_program.frame.RestartTimer(g_program.frame.IntervalMs());
    }
    g_program.reader.Read(NowTicks(), g_program.record);
    PublishRecord(g_program.nowPlaying, &g_program.record, sizeof g_program.record);
    UpdateIdentity(g_program.record.Status);
}

}  // namespace

int RunBridge(HINSTANCE instance, const char* commandLine) {
    BridgeProgramHooks hooks;
    hooks.tick = [](void*) { PollStep(); };
    int exitCode = g_program.frame.Run(instance, commandLine, setting_ini::kSmtcTiming, hooks);
    // The session objects go before the apartment they live in is left, on this thread.
    g_program.reader.Shutdown();
    return exitCode;
}

}  // namespace mivola::smtc
