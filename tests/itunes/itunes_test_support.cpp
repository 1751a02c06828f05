#include "itunes_test_support.h"

#include <tlhelp32.h>


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
    for (int i = 0; i < 5; ++i) {
        HWND standIn = ::FindWindowW(itunes_sim::kWindowClass, nullptr);
        if (!ItunesBridge::Window() && !standIn) break;
        ItunesBridge::EndStray();
        if (standIn && EndProgramOfWindow(standIn, WM_CLOSE)) ForgetDeadServers();
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

bool ReadNowPlaying(NowPlayingRecord& record) { return ReadPlayerNowPlaying("iTunes", record); }

bool ReadIdentity(BridgeIdentityRecord& record) { return ReadPlayerIdentity("iTunes", record); }

}  // namespace mivola::test
