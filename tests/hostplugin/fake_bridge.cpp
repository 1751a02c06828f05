// Stands in for a bridge program that the host plug-in starts (built once per bridge, with
// FAKE_BRIDGE_KEY "iTunes" or "SMTC"): records how it was started and which end messages reach
// it, in FAKE_BRIDGE_LOG beside its own executable. Like the real program it runs once only
// (mutex "ZEQ_Plugin_<key>_CheckExe"), keeps a message-only window of class "ZEQ_Plugin_<key>"
// and ends on "ZEQ_Plugin_<key>Msg_PluginEnd". Log lines:
//   start <command-line tail> show <wShowWindow>
//   second instance            (another one holds the mutex; this one ends at once)
//   PluginEnd
//   exit
// A test may send it the registered message "mivola_test_bridge_ping"; the reply is 1 plus
// the number of end messages waiting in its queue. It gives up after a minute.
// Started without that word it stands in for any other program the plug-in could start: it
// logs its start and ends at once.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

UINT g_pluginEnd;
UINT g_ping;
std::wstring g_log;

void Log(const std::string& line) {
    HANDLE f = ::CreateFileW(g_log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(f);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_pluginEnd && g_pluginEnd) {
        Log("PluginEnd");
        ::DestroyWindow(window);
        return 0;
    }
    if (message == g_ping && g_ping) {
        MSG pending;
        LRESULT waiting = ::PeekMessageW(&pending, window, g_pluginEnd, g_pluginEnd, PM_NOREMOVE) ? 1 : 0;
        return 1 + waiting;
    }
    if (message == WM_TIMER) {
        ::DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The command line without the program name.
std::string Tail() {
    std::string line = ::GetCommandLineA();
    size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        i = line.find('"', 1);
        i = i == std::string::npos ? line.size() : i + 1;
    } else {
        while (i < line.size() && line[i] != ' ') ++i;
    }
    while (i < line.size() && line[i] == ' ') ++i;
    return line.substr(i);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    std::wstring dir(32768, L'\0');
    dir.resize(::GetModuleFileNameW(nullptr, &dir[0], static_cast<DWORD>(dir.size())));
    g_log = dir.substr(0, dir.find_last_of(L'\\') + 1) + FAKE_BRIDGE_LOG;
    g_pluginEnd = ::RegisterWindowMessageA("ZEQ_Plugin_" FAKE_BRIDGE_KEY "Msg_PluginEnd");
    g_ping = ::RegisterWindowMessageA("mivola_test_bridge_ping");

    STARTUPINFOA si{};
    si.cb = sizeof si;
    ::GetStartupInfoA(&si);
    char show[16];
    std::snprintf(show, sizeof show, "%u", (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : 0xFFFFu);
    if (Tail().find("ZEQ_Plugin_" FAKE_BRIDGE_KEY) == std::string::npos) {
        Log("start " + Tail() + " show " + show);
        return 0;
    }

    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "ZEQ_Plugin_" FAKE_BRIDGE_KEY;
    ::RegisterClassA(&wc);

    HANDLE single = ::CreateMutexA(nullptr, FALSE, "ZEQ_Plugin_" FAKE_BRIDGE_KEY "_CheckExe");
    if (!single || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        Log("start " + Tail() + " show " + show);
        Log("second instance");
        if (single) ::CloseHandle(single);
        return 0;
    }
    HWND window = ::CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!window) {
        ::CloseHandle(single);
        return 1;
    }
    // Logged once the window is there, so that a test that saw the start can end it at once.
    Log("start " + Tail() + " show " + show);
    ::SetTimer(window, 1, 60000, nullptr);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    Log("exit");
    ::CloseHandle(single);
    return 0;
}
