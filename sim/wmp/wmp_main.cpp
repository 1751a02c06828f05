// wmp.exe: a stand-in for Windows Media Player as its background UI plug-ins see it. It
// enumerates HKLM\SOFTWARE\Microsoft\MediaPlayer\UIPlugins (in the registry view of its own
// bitness) and creates every plug-in whose Capabilities has the background type with
// CoCreateInstance, each on its own single-threaded-apartment thread that pumps messages.
// Each plug-in gets its own IWMPCore (with IWMPMedia, IWMPControls, IWMPNetwork) answering from
// a scripted player. At exit each plug-in thread calls SetCore(NULL), then releases the
// plug-in, as the player does, and asks COM to free unused libraries.
//
//   wmp.exe [--scenario FILE] [--log FILE]
//
// The program ends on WM_CLOSE to its hidden main window (class "WMPlayerApp") or at a
// scenario's "quit" step; exit code 0, or 2 for a bad command line or scenario. The control
// messages and the log lines are listed in sim_protocol.h.
//
// Scenario file, UTF-8, one item a line; "#" starts a comment line:
//   version <text>           get_versionInfo (default "12.0.7601.24546"; "version" alone: empty)
//   status <text>            get_status; "nostatus": a null string
//   state <n>                play state at start (WMPPlayState 0..11, default 0)
//   current <n>              current media index at start (default 0; -1: none)
//   slow <ms>                every core call sleeps that long first (0: off, the default)
//   calls on|off             log every core call ("call <n> <method>")
//   core later               create the plug-ins without SetCore (see "at <ms> core on")
//   network <name> <n>       one IWMPNetwork value: bandwidth, maxbandwidth, bitrate,
//                            encodedframerate, framerate, framesskipped, receivedpackets,
//                            receptionquality, recoveredpackets, lostpackets, bufferingcount,
//                            bufferingprogress, downloadprogress
//   protocol <text>          get_sourceProtocol
//   quirk <answer>           answers seen from other players' cores: playstate-notimpl
//                            (get_playState writes 0xCDCDCDCD and fails with E_NOTIMPL),
//                            iteminfo-null (getItemInfo: S_OK and a null string for every
//                            name), position-sfalse (get_currentPosition: S_FALSE and -1.0),
//                            values-fail (every number and text getter but get_playState
//                            fails, its out value filled with 0xCD bytes), objects-fail
//                            (get_currentMedia, get_controls, get_network likewise)
//   media                    starts a media item; the lines below describe it:
//     name <text> / noname   get_name (noname: a null string)
//     url <text> / nourl     get_sourceURL
//     duration <seconds>     get_duration (a decimal number, nan, inf or -inf)
//     position <seconds>     get_currentPosition answers this while the item is current
//                            (instead of the advancing position; also nan, inf, -inf)
//     width <n> / height <n> get_imageSourceWidth / Height
//     attr <name>=<value>    getItemInfo(name) answers value (names compare without case;
//                            any name, "WM/Genre", "Author", ..., or custom ones; value may be empty)
//     attrrepeat <name>=<count> <text>   the value is text repeated count times (long values)
//                            an attribute not listed answers a null string
//   at <ms> <action>         script step, ms after start: state <n>, media <n>, status <text>,
//                            slow <ms>, core on, core off, config (plug-in 0's property page), quit
//
// The position advances in real time while the play state is 3 (playing); it goes back to 0
// when the media changes or the player stops (state 1).
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "fake_core.h"
#include "log.h"
#include "model.h"
#include "scenario.h"
#include "sim_protocol.h"
#include "unique_com.h"
#include "unique_handle.h"
#include "wmp_plugin_ui.h"

using namespace wmp_sim;

namespace {

constexpr UINT_PTR kScriptTimerId = 1;
constexpr UINT kScriptTimerMs = 20;
// Thread messages to a plug-in thread.
constexpr UINT kThreadSetCore = WM_APP + 100;  // wParam 0/1, lParam: event to set when done (or 0)
constexpr UINT kThreadConfig = WM_APP + 101;

struct Slot {
    int index = 0;
    CLSID clsid{};
    std::wstring clsidText;
    mivola::unique_handle thread;
    DWORD threadId = 0;
    mivola::unique_handle ready;
};

struct App {
    std::unique_ptr<PlayerModel> model;
    Scenario scenario;
    size_t nextStep = 0;
    ULONGLONG start = ::GetTickCount64();
    HWND window = nullptr;
    std::vector<std::unique_ptr<Slot>> slots;
};

App* g_app = nullptr;

std::string Hex(unsigned long long v) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", v);
    return text;
}

std::string HrText(HRESULT hr) { return "0x" + Hex(static_cast<unsigned long>(hr)); }

DWORD WINAPI PluginThread(void* param) {
    Slot& slot = *static_cast<Slot*>(param);
    const std::string n = std::to_string(slot.index);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's message queue
    mivola::ComApartment apartment(COINIT_APARTMENTTHREADED);  // ends after every reference below
    mivola::com_ptr<IWMPPluginUI> plugin;
    HRESULT hr = ::CoCreateInstance(slot.clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWMPPluginUI), plugin.put_void());
    if (FAILED(hr) || !plugin) {
        Log("load " + n + " " + Utf8(slot.clsidText) + " failed " + HrText(hr));
        ::SetEvent(slot.ready.get());
        return 1;
    }
    Log("load " + n + " " + Utf8(slot.clsidText) + " ok");
    mivola::com_ptr<IWMPCore> core;
    core.attach(NewCore(*g_app->model, slot.index));  // the player's own reference
    auto setCore = [&](bool on) {
        HRESULT r = plugin->SetCore(on ? core.get() : nullptr);
        Log("setcore " + n + (on ? " core" : " null") + " hr=" + HrText(r));
    };
    if (g_app->scenario.coreAtStart) setCore(true);
    ::SetEvent(slot.ready.get());

    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == kThreadSetCore) {
            setCore(msg.wParam != 0);
            if (msg.lParam) ::SetEvent(reinterpret_cast<HANDLE>(msg.lParam));
            continue;
        }
        if (msg.hwnd == nullptr && msg.message == kThreadConfig) {
            Log("config " + n + " begin");
            HRESULT r = plugin->DisplayPropertyPage(g_app->window);
            Log("config " + n + " end hr=" + HrText(r));
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    // As the player does at shutdown: SetCore(NULL), then the final Release.
    setCore(false);
    Log("release " + n + " begin");
    ULONGLONG t0 = ::GetTickCount64();
    ULONG refs = plugin.detach()->Release();  // its count shows whether the plug-in leaked one
    Log("release " + n + " end ms=" + std::to_string(::GetTickCount64() - t0) + " refs=" + std::to_string(refs));
    core.reset();
    ::CoFreeUnusedLibrariesEx(0, 0);
    Log("unload " + n);
    return 0;
}

void ForEachSlotSetCore(bool on, bool wait) {
    std::vector<mivola::unique_handle> events;
    for (auto& slot : g_app->slots) {
        HANDLE done = wait ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr;
        if (done) events.emplace_back(done);
        ::PostThreadMessageW(slot->threadId, kThreadSetCore, on ? 1 : 0, reinterpret_cast<LPARAM>(done));
    }
    for (auto& e : events) ::WaitForSingleObject(e.get(), 30000);
}

bool Config(size_t n) {
    if (n >= g_app->slots.size()) return false;
    return ::PostThreadMessageW(g_app->slots[n]->threadId, kThreadConfig, 0, 0) != FALSE;
}

void RunScript(HWND window) {
    ULONGLONG now = ::GetTickCount64() - g_app->start;
    auto& script = g_app->scenario.script;
    while (g_app->nextStep < script.size() && script[g_app->nextStep].atMs <= now) {
        const Step& step = script[g_app->nextStep++];
        switch (step.action) {
            case StepAction::State: g_app->model->SetState(static_cast<LONG>(step.number)); break;
            case StepAction::Media: g_app->model->SetMedia(static_cast<int>(step.number)); break;
            case StepAction::Status: g_app->model->SetStatus(step.text); break;
            case StepAction::Slow: g_app->model->SetSlow(static_cast<DWORD>(step.number)); break;
            case StepAction::CoreOn: ForEachSlotSetCore(true, false); break;
            case StepAction::CoreOff: ForEachSlotSetCore(false, false); break;
            case StepAction::Config: Config(0); break;
            case StepAction::Quit: ::PostMessageW(window, WM_CLOSE, 0, 0); break;
        }
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kScriptTimerId) RunScript(window);
            return 0;
        case kSimSetState:
            g_app->model->SetState(static_cast<LONG>(wParam));
            return 1;
        case kSimSetMedia:
            g_app->model->SetMedia(static_cast<int>(static_cast<INT_PTR>(wParam)));
            return 1;
        case kSimSetSlow:
            g_app->model->SetSlow(static_cast<DWORD>(wParam));
            return 1;
        case kSimSetCore:
            ForEachSlotSetCore(wParam != 0, true);
            return 1;
        case kSimConfig:
            return Config(wParam) ? 1 : 0;
        case kSimCallCount:
            return static_cast<LRESULT>(g_app->model->playStateCalls.load());
        case WM_CLOSE:
            ::KillTimer(window, kScriptTimerId);
            for (auto& slot : g_app->slots) ::PostThreadMessageW(slot->threadId, WM_QUIT, 0, 0);
            for (auto& slot : g_app->slots) ::WaitForSingleObject(slot->thread.get(), INFINITE);
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Background plug-ins listed below UIPlugins, in the order the registry gives them.
void FindPlugins(std::vector<std::unique_ptr<Slot>>& slots) {
    mivola::unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUiPluginsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[128];
        DWORD length = 128;
        if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DWORD capabilities = 0, size = sizeof capabilities, type = 0;
        if (::RegGetValueW(key.get(), name, L"Capabilities", RRF_RT_REG_DWORD, &type, &capabilities, &size) != ERROR_SUCCESS)
            continue;
        if ((capabilities & PLUGIN_TYPE_MASK) != PLUGIN_TYPE_BACKGROUND) continue;
        auto slot = std::make_unique<Slot>();
        if (FAILED(::CLSIDFromString(name, &slot->clsid))) continue;
        slot->clsidText = name;
        slot->index = static_cast<int>(slots.size());
        slots.push_back(std::move(slot));
    }
}

int Run() {
    int argc = 0;
    mivola::unique_hlocal argvOwner(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    auto** argv = static_cast<wchar_t**>(argvOwner.get());
    std::wstring scenarioPath, logPath;
    for (int i = 1; argv && i < argc; ++i) {
        std::wstring arg = argv[i];
        if (i + 1 >= argc) return 2;
        if (arg == L"--scenario") scenarioPath = argv[++i];
        else if (arg == L"--log") logPath = argv[++i];
        else {
            std::fprintf(stderr, "usage: wmp.exe [--scenario FILE] [--log FILE]\n");
            return 2;
        }
    }
    App app;
    g_app = &app;
    std::string error;
    if (!scenarioPath.empty() && !LoadScenario(scenarioPath, app.scenario, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!OpenLog(logPath)) {
        std::fprintf(stderr, "log file cannot be created\n");
        return 2;
    }
    app.model = std::make_unique<PlayerModel>(app.scenario.initial);

    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    if (!::RegisterClassW(&wc)) return 1;
    app.window = ::CreateWindowExW(0, kWindowClass, L"Windows Media Player", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
    if (!app.window) {
        std::fprintf(stderr, "main window cannot be created (no display?)\n");
        return 1;
    }
    Log("window " + Hex(reinterpret_cast<ULONG_PTR>(app.window)));

    FindPlugins(app.slots);
    for (auto& slot : app.slots) {
        slot->ready.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        slot->thread.reset(::CreateThread(nullptr, 0, PluginThread, slot.get(), 0, &slot->threadId));
    }
    for (auto& slot : app.slots)
        if (slot->thread) {
            HANDLE both[2] = {slot->ready.get(), slot->thread.get()};
            ::WaitForMultipleObjects(2, both, FALSE, 30000);
        }
    Log("ready");
    ::SetTimer(app.window, kScriptTimerId, kScriptTimerMs, nullptr);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    Log("exit");
    g_app = nullptr;
    return 0;
}

}  // namespace

int main() { return Run(); }
