#include "bridge_test_support.h"

#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"

namespace mivola::test {

namespace {

constexpr char kWindowClass[] = "ZEQ_Plugin_SMTC";
constexpr char kEndMessage[] = "ZEQ_Plugin_SMTCMsg_PluginEnd";

bool CopyOut(bool identity, void* out, size_t size) {
    char name[kRegionNameMax];
    if (!(identity ? IdentityRegionName(name, kKeySmtc) : NowPlayingRegionName(name, kKeySmtc))) return false;
    SharedRegion region;
    // Only a region the bridge holds counts; one made here is discarded again at once.
    if (region.Open(name, static_cast<DWORD>(size)) != RegionExisted) return false;
    return CopyRecordOut(region, out, size);
}

}  // namespace

std::wstring SmtcBridgeProgram(Arch arch) {
    return (arch == Arch::Same ? ModuleDirectory() : OtherArchDirectory() + L"smtc_bridge\\") + L"ZEQ_Mivola_SMTC.exe";
}

SmtcBridge::SmtcBridge(const std::string& settings, Arch arch) {
    ::CopyFileW(SmtcBridgeProgram(arch).c_str(), ProgramPath().c_str(), FALSE);
    if (!settings.empty()) WriteFileBytes(dir_.Path() + L"Setting.ini", settings);
}

HWND SmtcBridge::Window() { return ::FindWindowExA(HWND_MESSAGE, nullptr, kWindowClass, nullptr); }

std::string SmtcBridge::Text() {
    HWND window = Window();
    if (!window) return "<no window>";
    char text[64] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

bool SmtcBridge::WaitText(const std::string& text, DWORD timeoutMs) {
    return WaitUntil([&] { return Text() == text; }, timeoutMs);
}

bool SmtcBridge::PostEnd() {
    HWND window = Window();
    return window && ::PostMessageA(window, ::RegisterWindowMessageA(kEndMessage), 0, 0);
}

void SmtcBridge::EndStray() {
    HWND window = Window();
    if (!window) return;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    PostEnd();
    if (process && ::WaitForSingleObject(process.get(), 5000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 5000);
    }
}

bool ReadSmtcNowPlaying(NowPlayingRecord& record) { return CopyOut(false, &record, sizeof record); }

bool ReadSmtcIdentity(BridgeIdentityRecord& record) { return CopyOut(true, &record, sizeof record); }

std::string BridgeArchName(const ::testing::TestParamInfo<Arch>& info) {
    return info.param == Arch::Same ? "SameArchBridge" : "OtherArchBridge";
}

bool AllBytesZero(const void* bytes, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        if (p[i]) return false;
    }
    return true;
}

}  // namespace mivola::test
