#include "bridge_launcher.h"

#include <shellapi.h>

#include "program_path.h"

namespace mivola {

BridgeLauncher::BridgeLauncher() : pluginEnd_(::RegisterWindowMessageA(kPluginEndMessage)) {}

BridgeLauncher::~BridgeLauncher() {
    programPath_.clear();
    parameters_.clear();
    Stop();
}

void BridgeLauncher::Configure(const std::string& programPath, const std::string& parameters) {
    programPath_ = programPath;
    parameters_ = parameters;
}

namespace {

// Whether a bridge still holds its single-instance mutex.
bool BridgeRunning() {
    HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, kiTunesBridgeMutex);
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
        while (BridgeRunning() && ::GetTickCount64() < end) ::Sleep(10);
    }
    HINSTANCE result = ::ShellExecuteA(nullptr, nullptr, programPath_.c_str(), parameters_.c_str(), nullptr, SW_HIDE);
    return reinterpret_cast<INT_PTR>(result) >= 32;
}

void BridgeLauncher::Stop() const {
    HWND bridge = ::FindWindowExA(HWND_MESSAGE, nullptr, kiTunesBridgeClass, nullptr);
    ::PostMessageA(bridge ? bridge : HWND_BROADCAST, pluginEnd_, 0, 0);
    if (bridge) stopping_ = true;
}

}  // namespace mivola
