#include "itunes_test_support.h"

#include <cstring>

#include <tlhelp32.h>

#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"

namespace mivola::test {

namespace {

#ifdef _WIN64
constexpr bool kThis64 = true;
#else
constexpr bool kThis64 = false;
#endif

}  // namespace

std::wstring ItunesProgramDir(Arch arch) {
    return arch == Arch::Same ? ModuleDirectory() : OtherArchDirectory() + L"itunes\\";
}

void ForgetDeadServers() {
    unique_handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"rpcss.exe") != 0) continue;
        unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (!process) continue;
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 5000);
    }
}

void EndStrays() {
    const UINT pluginEnd = ::RegisterWindowMessageA("ZEQ_Plugin_iTunesMsg_PluginEnd");
    for (int i = 0; i < 5; ++i) {
        HWND bridge = ::FindWindowExA(HWND_MESSAGE, nullptr, "ZEQ_Plugin_iTunes", nullptr);
        HWND standIn = ::FindWindowW(itunes_sim::kWindowClass, nullptr);
        if (!bridge && !standIn) break;
        for (HWND window : {bridge, standIn}) {
            if (!window) continue;
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
            ::PostMessageA(window, window == bridge ? pluginEnd : WM_CLOSE, 0, 0);
            if (process && ::WaitForSingleObject(process.get(), 5000) != WAIT_OBJECT_0) {
                ::TerminateProcess(process.get(), 1);
                ::WaitForSingleObject(process.get(), 5000);
                if (window == standIn) ForgetDeadServers();
            }
        }
    }
}

namespace {

// The type library built for one architecture; without the other tree, this one's serves both.
std::wstring TypeLibrary(bool for64) {
    std::wstring other = ItunesProgramDir(Arch::Other) + itunes_sim::kTypeLibraryFile;
    if (for64 != kThis64 && FileExists(other)) return other;
    return ItunesProgramDir(Arch::Same) + itunes_sim::kTypeLibraryFile;
}

}  // namespace

ItunesRegistration::ItunesRegistration(Arch standInArch)
    : registration_(ItunesProgramDir(standInArch) + L"itunes.exe", TypeLibrary(false), TypeLibrary(true)) {}

bool ItunesStandIn::Start(const std::string& scenario, const std::wstring& extraArgs) {
    if (!Launch(ItunesProgramDir(arch_) + L"itunes.exe", scenario, extraArgs) || WaitEvent("ready", 0, 20000) < 0)
        return false;
    SetWindow(::FindWindowW(itunes_sim::kWindowClass, nullptr));
    return Window() != nullptr;
}

void ItunesStandIn::Close() {
    if (!Running()) return;
    Post(WM_CLOSE, 0, 0);
    if (!WaitExit(10000)) Kill();
}

void ItunesStandIn::Kill() {
    if (!Running()) return;
    StandInProcess::Kill();
    ForgetDeadServers();
}

bool ItunesStandIn::Quit() { return Post(itunes_sim::kSimQuit, 0, 0); }

LRESULT ItunesStandIn::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    // No give-up on a "hung" window: a slow call keeps the stand-in busy on purpose.
    DWORD_PTR answer = 0;
    if (!Window() || !::SendMessageTimeoutW(Window(), message, wParam, lParam, SMTO_NORMAL, 10000, &answer)) return -1;
    return static_cast<LRESULT>(answer);
}

std::vector<std::string> ItunesStandIn::Events(size_t from) const {
    std::vector<std::string> lines = LogLines();
    std::vector<std::string> events;
    for (size_t i = from; i < lines.size(); ++i) events.push_back(EventText(lines[i]));
    return events;
}

ItunesBridge::ItunesBridge(const std::string& settings) {
    ::CopyFileW((ItunesProgramDir(Arch::Same) + L"ZEQ_Mivola_iTunes.exe").c_str(), ProgramPath().c_str(), FALSE);
    if (!settings.empty()) WriteFileBytes(dir_.Path() + L"Setting.ini", settings);
}

bool ItunesBridge::Start(const std::wstring& args) { return child_.Start(ProgramPath(), args); }

HWND ItunesBridge::Window() { return ::FindWindowExA(HWND_MESSAGE, nullptr, "ZEQ_Plugin_iTunes", nullptr); }

std::string ItunesBridge::Text() {
    HWND window = Window();
    if (!window) return "<no window>";
    char text[64] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

bool ItunesBridge::WaitText(const std::string& text, DWORD timeoutMs) {
    return WaitUntil([&] { return Text() == text; }, timeoutMs);
}

bool ItunesBridge::PostEnd() {
    HWND window = Window();
    return window && ::PostMessageA(window, ::RegisterWindowMessageA("ZEQ_Plugin_iTunesMsg_PluginEnd"), 0, 0);
}

bool ReadNowPlaying(NowPlayingRecord& record) { return ReadPlayerNowPlaying("iTunes", record); }

bool ReadIdentity(BridgeIdentityRecord& record) { return ReadPlayerIdentity("iTunes", record); }

}  // namespace mivola::test
