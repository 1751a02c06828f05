// itunes.exe: a stand-in for iTunes as its COM clients see it. It registers iTunes' class as
// a running local server, shows a top-level window of class "iTunes", answers IiTunes and
// the track interfaces from a scenario, and announces its quit to every advised sink.
//
//   itunes.exe [--scenario FILE] [--log FILE] [--no-class] [-Embedding]
//   itunes.exe --register TLB32 TLB64     the registry entries, for this program (exit 0 or 1)
//   itunes.exe --unregister
//   itunes.exe --watch-bridge SECONDS     prints the bridge window's text whenever it changes
//
//   --scenario  what to play (below); without it the player is stopped with no track
//   --log       call log, UTF-8 lines as listed in sim_protocol.h
//   --no-class  shows the window without registering the class (its creation then fails)
//   -Embedding  as COM starts a registered local server; plays the empty scenario
//
// The type library iTunesSim.tlb must lie beside the program. The program ends after its
// quit (message kSimQuit or the script's "quit") and quit delay, or on WM_CLOSE to its window
// without any announcement; exit code 0, or 2 for a bad command line or scenario.
//
// Scenario file, UTF-8, one item a line; "#" starts a comment line:
//   version <text>          answer of get_Version
//   state <s>               stopped, playing, ff, rewind, fails (the call fails), or a number
//   position <seconds>      answer of get_PlayerPosition
//   clock on                the position runs in real time while playing
//   quit-delay <ms>         how long the program lives on after its window closes (default 1000)
//   quit-in-advise          the first Advise announces the quit to the sink it just took, then
//                           sends the bridge its end-of-iTunes message before returning (as a
//                           client's wait that dispatches posted messages would deliver it);
//                           the window stays
//   track                   starts a track; the lines below describe it:
//     kind <n>              0 unknown, 1 file, 2 CD, 3 URL (streams answer IITURLTrack), ...
//     name, location, url, genre, artist, album <text>
//     number, duration, size, bitrate <n>
//   current <n|none>        the current track (default the first, if any)
//   at <ms> <action>        script step, ms after start: state <s>, current <n|none>,
//                           position <seconds>, slow <ms>, quit
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "itunes_objects.h"
#include "itunes_sim.h"
#include "player.h"
#include "registration.h"
#include "scenario.h"
#include "sim_protocol.h"
#include "unique_com.h"

using namespace itunes_sim;

namespace {

constexpr UINT_PTR kScriptTimerId = 1;
constexpr UINT kScriptTimerMs = 20;
constexpr UINT kBeginQuit = WM_APP + 50;

struct App {
    Player* player = nullptr;
    IUnknown* application = nullptr;
    bool quitting = false;
    ULONGLONG quitAt = 0;
};

App g_app;

void BeginQuit() {
    if (g_app.quitting) return;
    g_app.quitting = true;
    g_app.player->Log("quit");
    size_t sinks = 0;
    size_t failures = AnnounceQuit(g_app.application, &sinks);
    g_app.player->Log("fire 9 " + std::to_string(sinks) + " " + std::to_string(failures));
    if (g_app.player->Window()) ::DestroyWindow(g_app.player->Window());
    g_app.quitAt = ::GetTickCount64() + g_app.player->GetScenario().quitDelayMs;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Player& player = *g_app.player;
    switch (message) {
        // Read as 32-bit numbers: a 32-bit sender's -1 arrives zero-extended in a 64-bit stand-in.
        case kSimSetState:
            player.SetState(static_cast<int32_t>(wParam));
            return 1;
        case kSimSetCurrent:
            return player.SetCurrent(static_cast<int32_t>(wParam)) ? 1 : 0;
        case kSimSetPosition:
            player.SetPosition(static_cast<long>(wParam));
            return 1;
        case kSimSetSlow:
            player.SetSlow(static_cast<DWORD>(wParam));
            return 1;
        case kSimPoke:
            player.SetPoke(static_cast<PokeKind>(wParam));
            return 1;
        case kSimQuit:
            // Announcing means calling out; never from inside another program's sent message.
            ::PostMessageW(window, kBeginQuit, 0, 0);
            return 1;
        case kBeginQuit:
            BeginQuit();
            return 0;
        case kSimCounter:
            return player.CounterValue(static_cast<Counter>(wParam));
        case WM_TIMER:
            if (wParam == kScriptTimerId && player.Advance(::GetTickCount64())) ::PostMessageW(window, kBeginQuit, 0, 0);
            return 0;
        case WM_CLOSE:
            g_app.quitting = true;
            g_app.quitAt = ::GetTickCount64();
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            player.Log("window closed");
            player.SetWindow(nullptr);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

std::wstring ProgramDirectory() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, n);
}

int WatchBridge(long seconds) {
    std::string last = "<unset>";
    ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    while (::GetTickCount64() < end) {
        HWND bridge = ::FindWindowExA(HWND_MESSAGE, nullptr, "ZEQ_Plugin_iTunes", nullptr);
        std::string now = "none";
        if (bridge) {
            char text[64] = {};
            ::GetWindowTextA(bridge, text, sizeof text);
            now = "\"" + std::string(text) + "\"";
        }
        if (now != last) {
            std::printf("bridge window: %s\n", now.c_str());
            std::fflush(stdout);
            last = now;
        }
        ::Sleep(100);
    }
    return 0;
}

int Run(const Scenario& scenario, const std::wstring& logPath, bool registerClass) {
    mivola::ComApartment apartment(COINIT_APARTMENTTHREADED);
    Player player(scenario);
    g_app.player = &player;
    if (!player.OpenLog(logPath)) {
        std::fprintf(stderr, "itunes: cannot write the log\n");
        return 2;
    }
    if (FAILED(LoadTypeLibrary(ProgramDirectory() + kTypeLibraryFile))) {
        std::fprintf(stderr, "itunes: cannot load %ls\n", kTypeLibraryFile);
        return 2;
    }
    g_app.application = CreateApplication(player);
    IClassFactory* factory = CreateFactory(g_app.application);
    DWORD cookie = 0;
    HRESULT registered = S_FALSE;
    // The class is running before the window shows, so no client that sees the window
    // makes COM start a second copy.
    if (registerClass && factory) {
        registered = ::CoRegisterClassObject(CLSID_iTunesApp, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    }

    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowExW(0, kWindowClass, L"iTunes", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320, 120,
                                    nullptr, nullptr, wc.hInstance, nullptr);
    int code = 0;
    if (!window) {
        std::fprintf(stderr, "itunes: no window (is there an X display?)\n");
        code = 2;
    } else {
        player.SetWindow(window);
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        ::SetTimer(window, kScriptTimerId, kScriptTimerMs, nullptr);
        char result[16];
        std::snprintf(result, sizeof result, "%08lX", static_cast<unsigned long>(registered));
        player.Log(std::string("class ") + result);
        player.Log("ready");
        for (;;) {
            if (g_app.quitting) {
                ULONGLONG now = ::GetTickCount64();
                if (now >= g_app.quitAt) break;
                PumpFor(static_cast<DWORD>(g_app.quitAt - now));
                continue;
            }
            MSG msg;
            if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (cookie) ::CoRevokeClassObject(cookie);
    if (factory) factory->Release();
    DropSinks(g_app.application);
    if (g_app.application) g_app.application->Release();
    g_app.application = nullptr;
    ReleaseTypeLibrary();
    player.Log("exit");
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring scenarioPath, logPath;
    bool registerClass = true;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--register" && i + 2 < argc) {
            return RegisterStandIn(ProgramPath(), argv[i + 1], argv[i + 2]) ? 0 : 1;
        } else if (arg == L"--unregister") {
            UnregisterStandIn();
            return 0;
        } else if (arg == L"--watch-bridge" && i + 1 < argc) {
            return WatchBridge(std::wcstol(argv[i + 1], nullptr, 10));
        } else if (arg == L"--scenario" && i + 1 < argc) {
            scenarioPath = argv[++i];
        } else if (arg == L"--log" && i + 1 < argc) {
            logPath = argv[++i];
        } else if (arg == L"--no-class") {
            registerClass = false;
        } else if (arg == L"-Embedding" || arg == L"/Embedding") {
            // Started by COM: the empty scenario.
        } else {
            std::fprintf(stderr, "itunes: unknown argument %ls\n", arg.c_str());
            return 2;
        }
    }
    Scenario scenario;
    if (!scenarioPath.empty()) {
        std::string error;
        if (!LoadScenario(scenarioPath, scenario, error)) {
            std::fprintf(stderr, "itunes: scenario: %s\n", error.c_str());
            return 2;
        }
    }
    return Run(scenario, logPath, registerClass);
}
