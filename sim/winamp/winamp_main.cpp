// winamp.exe: a stand-in for Winamp as its general-purpose plug-ins see it. A hidden
// top-level main window answers Winamp's WM_USER queries from a scripted playlist; every
// gen_*.dll of the plug-in folder is loaded, given the window and its module handle, and
// initialised; quit is called before the window is destroyed.
//
//   winamp.exe [--scenario FILE] [--plugins DIR] [--log FILE] [--config N]
//
//   --scenario  what to play (below); without it the playlist is empty
//   --plugins   plug-in folder; default "Plugins" beside winamp.exe
//   --log       event log, UTF-8 lines as listed in sim_protocol.h
//   --config N  opens the configuration of plug-in N (from 0, in name order) after start
//
// The program ends on WM_CLOSE to its window or at a scenario's "quit" step; exit code 0,
// or 2 for a bad command line or scenario.
//
// Scenario file, UTF-8, one item a line; "#" starts a comment line:
//   version <text>          answer to the version-text query (default "5.666")
//   answer <wParam> <id> <value>
//                           the query (wParam, id) always answers value (numbers in C
//                           notation; negative allowed), whatever the state
//   entry                   starts a playlist entry; the lines below describe it:
//     title <text>          answer to the playing-title query
//     file <text>           answer to the playing-file-name query
//     length <ms>           track length; -1 (the default) for unknown, e.g. a stream
//     bitrate <kbps>
//     size <w>x<h>          answer to the video-size query (given for audio too)
//     video <text>          video description; an entry without it is audio
//   at <ms> <action>        script step, ms after start: play, pause (toggles), stop,
//                           next, prev (both wrap around), quit
//
// Playback: the player starts stopped on the first entry. While playing the position runs
// in real time; at the end of a track the next entry plays, after the last one the player
// stops. Stopped, the position answers -1 and bit rate, sample rate and video description
// answer 0; title, file name, length and video size always describe the current entry.
// Queries the stand-in does not know answer 1, as Winamp's do.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "event_log.h"
#include "player_model.h"
#include "plugin_host.h"
#include "scenario.h"
#include "sim_protocol.h"
#include "unique_handle.h"
#include "winamp_sdk.h"

using namespace winamp_sim;

namespace {

constexpr UINT_PTR kScriptTimerId = 1;
constexpr UINT kScriptTimerMs = 20;

struct Options {
    std::wstring scenario;
    std::wstring plugins;
    std::wstring log;
    long config = -1;
};

struct App {
    EventLog log;
    std::unique_ptr<PlayerModel> player;
    std::unique_ptr<PluginHost> plugins;
    ULONGLONG start = ::GetTickCount64();
    LRESULT ticks = 0;
    bool stallArmed = false;
    WPARAM stallKey = 0;
};

App* g_app = nullptr;

ULONGLONG Now() { return ::GetTickCount64() - g_app->start; }

void UpdatePlayer(HWND window) {
    if (g_app->player->Update(Now())) ::PostMessageW(window, WM_CLOSE, 0, 0);
}

LRESULT Control(WPARAM action) {
    static constexpr ScriptAction kActions[] = {ScriptAction::Play, ScriptAction::Pause, ScriptAction::Stop,
                                                ScriptAction::Next, ScriptAction::Previous};
    if (action >= sizeof kActions / sizeof kActions[0]) return 0;
    g_app->player->Apply(kActions[action], Now());
    return 1;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case winamp::WM_WA_IPC:
            g_app->log.AddQuery(wParam, lParam);
            if (g_app->stallArmed && QueryKey(wParam, lParam) == g_app->stallKey) {
                g_app->log.Write("stall " + std::to_string(static_cast<unsigned long long>(g_app->stallKey)));
                ::Sleep(INFINITE);
            }
            UpdatePlayer(window);
            return g_app->player->Answer(wParam, lParam, Now());
        case WM_TIMER:
            if (wParam == kScriptTimerId) {
                UpdatePlayer(window);
            } else {
                ++g_app->ticks;
                g_app->log.Write("tick " + std::to_string(static_cast<unsigned long long>(wParam)));
            }
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) >= kConfigCommandBase && g_app->plugins) g_app->plugins->Config(LOWORD(wParam) - kConfigCommandBase);
            return 0;
        case kSimSetAnswer:
            g_app->player->ForceAnswer(wParam & 0xF, static_cast<LPARAM>(wParam >> 4), lParam);
            return 1;
        case kSimClearAnswers:
            g_app->player->ClearForcedAnswers();
            return 1;
        case kSimControl:
            UpdatePlayer(window);
            return Control(wParam);
        case kSimTickCount:
            return g_app->ticks;
        case kSimStallQuery:
            g_app->stallKey = wParam;
            g_app->stallArmed = true;
            return 1;
        case WM_CLOSE:
            ::KillTimer(window, kScriptTimerId);
            if (g_app->plugins) g_app->plugins->QuitAll();
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

std::wstring DefaultPluginFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return L"Plugins\\";
    ::PathRemoveFileSpecW(path);
    ::PathAppendW(path, L"Plugins");
    return std::wstring(path) + L"\\";
}

bool ParseOptions(Options& options) {
    int argc = 0;
    mivola::unique_hlocal argvOwner(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    auto** argv = static_cast<wchar_t**>(argvOwner.get());
    if (!argv) return false;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (i + 1 >= argc) return false;
        const wchar_t* value = argv[++i];
        if (arg == L"--scenario") options.scenario = value;
        else if (arg == L"--plugins") options.plugins = value;
        else if (arg == L"--log") options.log = value;
        else if (arg == L"--config") options.config = std::wcstol(value, nullptr, 10);
        else return false;
    }
    if (options.plugins.empty()) options.plugins = DefaultPluginFolder();
    if (options.plugins.back() != L'\\' && options.plugins.back() != L'/') options.plugins += L'\\';
    return true;
}

std::string HandleText(HWND window) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)));
    return text;
}

int Run() {
    Options options;
    if (!ParseOptions(options)) {
        std::fprintf(stderr, "usage: winamp.exe [--scenario FILE] [--plugins DIR] [--log FILE] [--config N]\n");
        return 2;
    }
    Scenario scenario;
    std::string error;
    if (!options.scenario.empty() && !LoadScenario(options.scenario, scenario, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    App app;
    g_app = &app;
    if (!app.log.Open(options.log)) {
        std::fprintf(stderr, "log file cannot be created\n");
        return 2;
    }
    app.player = std::make_unique<PlayerModel>(std::move(scenario));

    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    if (!::RegisterClassW(&wc)) return 1;
    // Not owned by a unique_hwnd: WM_CLOSE destroys it after the plug-ins' quit.
    HWND window = ::CreateWindowExW(0, kWindowClass, L"Winamp", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 275, 116,
                                    nullptr, nullptr, instance, nullptr);
    if (!window) {
        std::fprintf(stderr, "main window cannot be created (no display?)\n");
        return 1;
    }
    app.log.Write("window " + HandleText(window));
    ::SetTimer(window, kScriptTimerId, kScriptTimerMs, nullptr);
    app.plugins = std::make_unique<PluginHost>(window, MainWindowProc, app.log);
    app.plugins->LoadAll(options.plugins);
    app.log.Write("ready");
    if (options.config >= 0) ::PostMessageW(window, WM_COMMAND, kConfigCommandBase + static_cast<WORD>(options.config), 0);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (::IsWindow(window)) ::DestroyWindow(window);
    app.plugins.reset();
    app.log.Write("exit");
    g_app = nullptr;
    return 0;
}

}  // namespace

int main() { return Run(); }
