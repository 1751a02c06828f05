#include "bridge_program.h"

#include <cstring>
#include <vector>

#include "interval.h"
#include "record_transfer.h"
#include "region_names.h"
#include "setting_keys.h"
#include "text_copy.h"

namespace mivola {

namespace {

// The running program, for the window procedure; there is one per process.
BridgeProgram* g_running = nullptr;

// Long enough for any path the system gives a program.
constexpr DWORD kPathMax = 32768;

UINT ReadInterval(const char* key) {
    char path[MAX_PATH + 16];
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return kIntervalDefault;
    char* slash = std::strrchr(path, '\\');
    if (!slash) return kIntervalDefault;
    std::strcpy(slash + 1, setting_ini::kFileName);
    return ReadIntervalSetting(path, setting_ini::kMain, key);
}

}  // namespace

BridgeProgram::BridgeProgram(const BridgeProgramProtocol& protocol, const char* playerKey)
    : protocol_(protocol),
      playerKey_(playerKey),
      pluginEnd_(::RegisterWindowMessageA(protocol.pluginEndMessage)),
      intervalMs_(kIntervalDefault) {}

int BridgeProgram::Run(HINSTANCE instance, const char* commandLine, const char* intervalKey,
                       const BridgeProgramHooks& hooks) {
    if (!commandLine || !std::strstr(commandLine, protocol_.commandWord)) return 0;
    if (!instanceMutex_.Create(protocol_.instanceMutex, true)) return 0;
    intervalMs_ = ReadInterval(intervalKey);
    hooks_ = hooks;
    g_running = this;

    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = protocol_.windowClass;
    ::RegisterClassA(&wc);
    HWND window = ::CreateWindowExA(0, protocol_.windowClass, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
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

void BridgeProgram::RestartTimer(UINT periodMs) {
    ::KillTimer(window_, kPollTimerId);
    ::SetTimer(window_, kPollTimerId, periodMs, nullptr);
}

void BridgeProgram::SetText(const char* text) { ::SetWindowTextA(window_, text); }

void BridgeProgram::PublishIdentity(const BridgeIdentityRecord& record) {
    char name[kRegionNameMax];
    if (!IdentityRegionName(name, playerKey_)) return;
    identity_.Open(name, kBridgeIdentityRecordSize);
    PublishRecord(identity_, &record, sizeof record);
}

void BridgeProgram::WithdrawIdentity() {
    if (!identity_.IsOpen()) return;
    WithdrawRecord(identity_, kBridgeIdentityRecordSize);
}

void BridgeProgram::End() { ::SendMessageA(window_, pluginEnd_, 0, 0); }

LRESULT CALLBACK BridgeProgram::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    BridgeProgram& program = *g_running;
    if (message == program.pluginEnd_) {
        ::DestroyWindow(window);
        return 0;
    }
    if (program.hooks_.message && program.hooks_.message(program.hooks_.context, message)) return 0;
    switch (message) {
        case WM_CREATE:
            program.window_ = window;
            ::SetWindowTextA(window, "");
            program.RestartTimer(kFirstPollPeriodMs);
            break;
        case WM_TIMER:
            if (program.hooks_.tick) program.hooks_.tick(program.hooks_.context);
            break;
        case WM_CLOSE:
            return 1;  // only the end message or the end of the process ends the program
        case WM_DESTROY:
            program.WithdrawIdentity();
            ::KillTimer(window, kPollTimerId);
            ::PostQuitMessage(0);
            break;
        default:
            break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void BuildBridgeIdentity(const char* description, const wchar_t* playerVersion, BridgeIdentityRecord& record) {
    std::vector<wchar_t> path(kPathMax, L'\0');
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), kPathMax);
    if (n >= kPathMax) n = 0;
    CopyText(record.ModulePath, 4096, path.data(), n);
    CopyText(record.Description, description);
    CopyText(record.PlayerVersion, playerVersion);
}

}  // namespace mivola
