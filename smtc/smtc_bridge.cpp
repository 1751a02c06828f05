#include "smtc_bridge.h"

#include <cstring>
#include <cwchar>

#include "bridge_identity_record.h"
#include "identity.h"
#include "interval.h"
#include "named_mutex.h"
#include "now_playing_record.h"
#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "session_reader.h"
#include "shared_region.h"
#include "text_copy.h"

namespace mivola::smtc {

namespace {

// Everything the program keeps, touched by its one thread only. Built before the main routine
// runs and destroyed in reverse after it returns: the now-playing region is closed without
// being cleared, so a reader keeps the last record, then the single-instance mutex is closed.
struct Program {
    Program();

    NamedMutex instanceMutex;
    UINT pluginEnd = ::RegisterWindowMessageA(kPluginEndMessage);
    SharedRegion nowPlaying;
    SharedRegion identity;
    SessionReader reader;

    HWND window = nullptr;
    UINT intervalMs = kIntervalDefault;
    // The app id the identity record names while it is published.
    wchar_t shownAppId[sizeof(BridgeIdentityRecord::PlayerVersion) / sizeof(wchar_t)] = {};
    NowPlayingRecord record;  // this tick's image, rebuilt from zero
};

Program::Program() {
    char name[kRegionNameMax];
    // A region that fails to open has no view; every write checks for one.
    if (NowPlayingRegionName(name, kKeySmtc)) nowPlaying.Open(name, kNowPlayingRecordSize);
}

Program g_program;

void RestartTimer(UINT periodMs) {
    ::KillTimer(g_program.window, kPollTimerId);
    ::SetTimer(g_program.window, kPollTimerId, periodMs, nullptr);
}

void SetText(const char* text) {
    char now[16] = {};
    ::GetWindowTextA(g_program.window, now, sizeof now);
    if (std::strcmp(now, text) != 0) ::SetWindowTextA(g_program.window, text);
}

void WithdrawIdentity() {
    if (g_program.identity.IsOpen()) WithdrawRecord(g_program.identity, kBridgeIdentityRecordSize);
}

// Publishes the identity when it is not yet published or the shown app differs from the one it names.
void UpdateIdentity(const wchar_t* appId) {
    wchar_t shown[sizeof g_program.shownAppId / sizeof(wchar_t)];
    CopyText(shown, appId);
    if (g_program.identity.IsOpen() && std::wcscmp(shown, g_program.shownAppId) == 0) return;
    if (!g_program.identity.IsOpen()) {
        char name[kRegionNameMax];
        if (!IdentityRegionName(name, kKeySmtc)) return;
        g_program.identity.Open(name, kBridgeIdentityRecordSize);
    }
    BridgeIdentityRecord record;
    BuildIdentity(shown, record);
    PublishRecord(g_program.identity, &record, sizeof record);
    CopyText(g_program.shownAppId, shown);
}

// Without the runtime's functions or the manager class: zeros, and another try in a minute.
void BecomeUnavailable() {
    std::memset(&g_program.record, 0, sizeof g_program.record);
    PublishRecord(g_program.nowPlaying, &g_program.record, sizeof g_program.record);
    WithdrawIdentity();
    SetText(kTextUnavailable);
    RestartTimer(kRetryPeriodMs);
}

void PollStep() {
    if (!g_program.reader.HasManager()) {
        if (!g_program.reader.Obtain()) {
            BecomeUnavailable();
            return;
        }
        SetText(kTextAvailable);
        RestartTimer(g_program.intervalMs);
    }
    g_program.reader.Read(NowTicks(), g_program.record);
    PublishRecord(g_program.nowPlaying, &g_program.record, sizeof g_program.record);
    UpdateIdentity(g_program.record.Status);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_program.pluginEnd) {
        ::DestroyWindow(window);
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            g_program.window = window;
            ::SetWindowTextA(window, "");
            RestartTimer(g_program.intervalMs);
            // The first tick comes at once, so the state shows without waiting a whole interval.
            ::PostMessageA(window, WM_TIMER, kPollTimerId, 0);
            break;
        case WM_TIMER:
            PollStep();
            break;
        case WM_CLOSE:
            return 1;  // only the end message or the end of the process ends the bridge
        case WM_DESTROY:
            WithdrawIdentity();
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
    return ReadIntervalSetting(path, "Main", kIntervalKey);
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
    if (window) {
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    // The session objects go before the apartment they live in is left, on this thread.
    g_program.reader.Shutdown();
    // Every way out ends with 0, whatever the quit message carried.
    return 0;
}

}  // namespace mivola::smtc
