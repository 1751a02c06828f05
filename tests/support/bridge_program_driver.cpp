#include "bridge_program_driver.h"

namespace mivola::test {

std::wstring BridgeProgramPath(const BridgeProgramNames& names, Arch arch) {
    return (arch == Arch::Same ? ModuleDirectory() : OtherArchDirectory() + names.otherArchFolder) + names.program;
}

HWND BridgeWindow(const BridgeProgramNames& names) {
    return ::FindWindowExA(HWND_MESSAGE, nullptr, names.windowClass, nullptr);
}

std::string BridgeText(const BridgeProgramNames& names) {
    HWND window = BridgeWindow(names);
    if (!window) return "<no window>";
    char text[64] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

bool WaitBridgeText(const BridgeProgramNames& names, const std::string& text, DWORD timeoutMs) {
    return WaitUntil([&] { return BridgeText(names) == text; }, timeoutMs);
}

bool PostBridgeEnd(const BridgeProgramNames& names) {
    HWND window = BridgeWindow(names);
    return window && ::PostMessageA(window, ::RegisterWindowMessageA(names.endMessage), 0, 0);
}

void EndStrayBridge(const BridgeProgramNames& names) {
    if (HWND window = BridgeWindow(names)) EndProgramOfWindow(window, ::RegisterWindowMessageA(names.endMessage));
}

BridgeProgram::BridgeProgram(const BridgeProgramNames& names, const std::string& settings, Arch arch)
    : names_(names), arch_(arch) {
    ::CopyFileW(BridgeProgramPath(names, arch).c_str(), ProgramPath().c_str(), FALSE);
    if (!settings.empty()) WriteFileBytes(dir_.Path() + L"Setting.ini", settings);
}

}  // namespace mivola::test
