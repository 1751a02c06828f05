#include "itunes_test_support.h"

#include <cstring>

#include <tlhelp32.h>

#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"

namespace mivola::test {

namespace {

std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

#ifdef _WIN64
constexpr bool kThis64 = true;
#else
constexpr bool kThis64 = false;
#endif

bool CopyOut(const char* key, bool identity, void* out, size_t size) {
    char name[kRegionNameMax];
    if (identity ? !IdentityRegionName(name, key) : !NowPlayingRegionName(name, key)) return false;
    SharedRegion region;
    if (region.Open(name, static_cast<DWORD>(size)) != RegionExisted) return false;
    return CopyRecordOut(region, out, size);
}

}  // namespace

std::wstring ItunesProgramDir(Arch arch) {
    return arch == Arch::Same ? ModuleDirectory() : OtherArchDirectory() + L"itunes\\";
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (::GetTickCount64() >= end) return false;
        ::Sleep(20);
    }
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
    std::wstring scenarioPath = dir_.Path() + L"scenario.txt";
    if (!WriteFileBytes(scenarioPath, scenario)) return false;
    std::wstring args = L"--scenario " + Quote(scenarioPath) + L" --log " + Quote(dir_.Path() + L"calls.log");
    if (!extraArgs.empty()) args += L" " + extraArgs;
    if (!child_.Start(ItunesProgramDir(arch_) + L"itunes.exe", args)) return false;
    if (WaitEvent("ready", 0, 20000) < 0) return false;
    window_ = ::FindWindowW(itunes_sim::kWindowClass, nullptr);
    return window_ != nullptr;
}

void ItunesStandIn::Close() {
    if (!child_.Running()) return;
    if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
    if (!child_.Wait(10000)) Kill();
}

void ItunesStandIn::Kill() {
    if (!child_.Running()) return;
    child_.Kill();
    ForgetDeadServers();
}

bool ItunesStandIn::Quit() { return window_ && ::PostMessageW(window_, itunes_sim::kSimQuit, 0, 0); }

LRESULT ItunesStandIn::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR answer = 0;
    if (!window_ || !::SendMessageTimeoutW(window_, message, wParam, lParam, SMTO_NORMAL, 10000, &answer)) return -1;
    return static_cast<LRESULT>(answer);
}

std::vector<std::string> ItunesStandIn::LogLines() const {
    std::string bytes = ReadFileBytes(dir_.Path() + L"calls.log");
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos) break;  // a line still being written
        lines.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

std::vector<std::string> ItunesStandIn::Events(size_t from) const {
    std::vector<std::string> lines = LogLines();
    std::vector<std::string> events;
    for (size_t i = from; i < lines.size(); ++i) {
        size_t space = lines[i].find(' ');
        events.push_back(space == std::string::npos ? lines[i] : lines[i].substr(space + 1));
    }
    return events;
}

int ItunesStandIn::WaitEvent(const std::string& event, size_t from, DWORD timeoutMs) const {
    int found = -1;
    WaitFor(
        [&] {
            std::vector<std::string> events = Events(from);
            for (size_t i = 0; i < events.size(); ++i) {
                if (events[i] == event) {
                    found = static_cast<int>(from + i);
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
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
    return WaitFor([&] { return Text() == text; }, timeoutMs);
}

bool ItunesBridge::PostEnd() {
    HWND window = Window();
    return window && ::PostMessageA(window, ::RegisterWindowMessageA("ZEQ_Plugin_iTunesMsg_PluginEnd"), 0, 0);
}

bool ReadNowPlaying(NowPlayingRecord& record) { return CopyOut("iTunes", false, &record, sizeof record); }

bool ReadIdentity(BridgeIdentityRecord& record) { return CopyOut("iTunes", true, &record, sizeof record); }

bool IsAllZero(const void* bytes, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        if (p[i]) return false;
    }
    return true;
}

}  // namespace mivola::test
