#include "bridge_launcher.h"

#include <shellapi.h>

#include "program_path.h"

namespace mivola {

BridgeLauncher::BridgeLauncher(const BridgeProgramProtocol& protocol)
    : protocol_(protocol), pluginEnd_(::RegisterWindowMessageA(protocol.pluginEndMessage)) {}

BridgeLauncher::~BridgeLauncher() {
    programPath_.clear();
    Stop();
}

void BridgeLauncher::Configure(const std::string& programPath) { programPath_ = programPath; }

namespace {

// Whether a bridge still holds its single-instance mutex.
bool BridgeRunning(const char* instanceMutex) {
    HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, instanceMutex);
    if (!mutex) return false;
    ::CloseHandle(mutex);
    return true;
}

}  // namespace

bool BridgeLauncher::Start() const {
    if (!IsFullPath(programPath_)) return false;
    if (stopping_) {
        stopping_ = false;
        ULONGLONG end = ::GetTickCount64() + kBridgeEndWaitMs;
        while (BridgeRunning(protocol_.instanceMutex) && ::GetTickCount64() < end) ::Sleep(10);
    }
    HINSTANCE result = ::ShellExecuteA(nullptr, nullptr, programPath_.c_str(), protocol_.commandWord, nullptr, SW_HIDE);
    return reinterpret_cast<INT_PTR>(result) >= 32;
}

void BridgeLauncher::Stop() const {
    HWND bridge = ::FindWindowExA(HWND_MESSAGE, nullptr, protocol_.windowClass, nullptr);
    ::PostMessageA(bridge ? bridge : HWND_BROADCAST, pluginEnd_, 0, 0);
    if (bridge) stopping_ = true;
}

}  // namespace mivola
