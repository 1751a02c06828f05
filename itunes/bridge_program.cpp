#include "bridge_program.h"

#include <cstring>
#include <memory>
#include <new>

#include "gathering.h"
#include "identity.h"
#include "interval.h"
#include "itunes_connection.h"
#include "named_mutex.h"
#include "now_playing_record.h"
#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"

namespace mivola::itunes {

namespace {

// Everything the program keeps, touched by its one thread only. Members are built in this
// order before the main routine runs and destroyed in reverse after it returns: the
// connection is released first, then the now-playing region closed (not cleared, so a
// reader keeps the last record), then the single-instance mutex closed.
struct Program {
    Program();

    NamedMutex instanceMutex;
    UINT iTunesEnd = ::RegisterWindowMessageA(kiTunesEndMessage);
    UINT pluginEnd = ::RegisterWindowMessageA(kPluginEndMessage);
    SharedRegion nowPlaying;
    std::unique_ptr<ITunesConnection> connection;

    HWND window = nullptr;
    SharedRegion identity;
    UINT intervalMs = kIntervalDefault;
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
    if (NowPlayingRegionName(name, "iTunes")) nowPlaying.Open(name, kNowPlayingRecordSize);
}

Program g_program;

void RestartTimer(UINT periodMs) {
    ::KillTimer(g_program.window, kPollTimerId);
    ::SetTimer(g_program.window, kPollTimerId, periodMs, nullptr);
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
    RestartTimer(kEndingPeriodMs);
    ::SetWindowTextA(g_program.window, kTextEnding);
    WithdrawIdentity(g_program.identity);
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
        connected = g_program.connection->Connect(g_program.window, g_program.iTunesEnd, g_program.playerVersion);
        g_program.connecting = false;
    }
    if (!connected) {
        ::SendMessageA(g_program.window, g_program.pluginEnd, 0, 0);
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
            ::SetWindowTextA(g_program.window, kTextAttached);
            RestartTimer(g_program.intervalMs);
            PublishIdentity(g_program.identity, g_program.playerVersion);
        }
        // A tick that arrives inside a running gather leaves the gather to it.
        if (!g_program.gathering) Gather();
    } else {
        if (g_program.connection) ReleaseConnection();
        if (g_program.attachChanged) {
            g_program.attachChanged = false;
            ::SetWindowTextA(g_program.window, kTextSearching);
            RestartTimer(kSearchPeriodMs);
            WithdrawIdentity(g_program.identity);
        }
        ZeroNowPlaying();
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_program.pluginEnd) {
        ::DestroyWindow(window);
        return 0;
    }
    if (message == g_program.iTunesEnd) {
        OniTunesEnd();
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            g_program.window = window;
            ::SetWindowTextA(window, "");
            RestartTimer(kSearchPeriodMs);
            break;
        case WM_TIMER:
            PollStep();
            break;
        case WM_CLOSE:
            return 1;  // only the end message or the end of the process ends the bridge
        case WM_DESTROY:
            WithdrawIdentity(g_program.identity);
            ::KillTimer(window, kPollTimerId);
            ::PostQuitMessage(0);
            break;
        default:
            break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

UINT ReadInterval() {
    char path[MAX_PATH + 16];
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return kIntervalDefault;
    char* slash = std::strrchr(path, '\\');
    if (!slash) return kIntervalDefault;
    std::strcpy(slash + 1, "Setting.ini");
    return ReadIntervalSetting(path, "Main", "iTunesTiming");
}

}  // namespace

int RunBridge(HINSTANCE instance, const char* commandLine) {
    if (!commandLine || !std::strstr(commandLine, kCommandWord)) return 0;
    if (!g_program.instanceMutex.Create(kInstanceMutex, true)) return 0;
    g_program.intervalMs = ReadInterval();

    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kBridgeWindowClass;
    ::RegisterClassA(&wc);
    HWND window = ::CreateWindowExA(0, kBridgeWindowClass, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!window) return 0;

    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    // Every way out ends with 0, whatever the quit message carried.
    return 0;
}

}  // namespace mivola::itunes
