#include "test_support.h"

#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "record_transfer.h"
#include "region_names.h"
#include "shared_region.h"
#include "test_paths.h"

namespace mivola::test {

std::wstring ModuleDirectory() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

std::wstring OtherArchDirectory() {
    std::wstring dir = MIVOLA_OTHER_ARCH_DIR;
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    return dir;
}

std::wstring PeerPath(Arch arch) {
    return (arch == Arch::Same ? ModuleDirectory() : OtherArchDirectory()) + L"mivola_peer.exe";
}

const char kNo32BitReason[] = "this machine cannot execute 32-bit programs";

bool ThirtyTwoBitRuns() {
    if (sizeof(void*) == 4) return true;  // a running 32-bit test program is proof enough
    char value[16];
    DWORD n = ::GetEnvironmentVariableA("MIVOLA_NO_32BIT", value, sizeof value);
    if (n == 0 || n >= sizeof value) return n == 0;
    return value[0] == '\0' || (value[0] == '0' && value[1] == '\0');
}

bool ArchRuns(Arch arch) {
    // A running test program is proof that its own architecture runs.
    if (arch == Arch::Same) return true;
    return ThirtyTwoBitRuns();
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], n);
    return w;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::string UniqueName(const char* base) {
    static std::atomic<unsigned> counter{0};
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s_%lu_%u", base, static_cast<unsigned long>(::GetCurrentProcessId()), ++counter);
    return buf;
}

namespace {

bool Launch(const std::wstring& exe, const std::wstring& args, const std::wstring& workingDir, HANDLE output,
            PROCESS_INFORMATION* pi) {
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty()) cmd += L" " + args;
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = output;
        si.hStdError = output;
    }
    return ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, output ? TRUE : FALSE, 0, nullptr,
                            workingDir.empty() ? nullptr : workingDir.c_str(), &si, pi) != FALSE;
}

}  // namespace

ChildResult RunChild(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs, const std::wstring& workingDir) {
    ChildResult result;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!::CreatePipe(&readRaw, &writeRaw, &sa, 0)) return result;
    unique_handle readEnd(readRaw), writeEnd(writeRaw);
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    PROCESS_INFORMATION pi{};
    if (!Launch(exe, args, workingDir, writeEnd.get(), &pi)) return result;
    result.started = true;
    unique_handle process(pi.hProcess), thread(pi.hThread);
    writeEnd.reset();

    // Drains the pipe while the child runs, so a chatty child never blocks on a full pipe, and
    // stops when the child has ended, not at the end of the output: a process the child started
    // can hold the pipe open much longer (Wine's desktop process, explorer.exe, inherits it when
    // the child is the first program that needs the desktop, and lives as long as this one).
    auto drain = [&] {
        DWORD available = 0;
        char buf[4096];
        while (::PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr) && available) {
            DWORD got = 0;
            if (!::ReadFile(readEnd.get(), buf, available < sizeof buf ? available : sizeof buf, &got, nullptr) || !got)
                return;
            result.output.append(buf, got);
        }
    };
    const ULONGLONG until = ::GetTickCount64() + timeoutMs;
    for (;;) {
        drain();
        if (::WaitForSingleObject(process.get(), 10) == WAIT_OBJECT_0) {
            result.finished = true;
            break;
        }
        if (::GetTickCount64() >= until) {
            ::TerminateProcess(process.get(), 0xDEAD);
            ::WaitForSingleObject(process.get(), 5000);
            break;
        }
    }
    drain();  // what it wrote last
    ::GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

bool Child::Start(const std::wstring& exe, const std::wstring& args, const std::wstring& workingDir) {
    Kill();
    PROCESS_INFORMATION pi{};
    if (!Launch(exe, args, workingDir, nullptr, &pi)) return false;
    ::CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    id_ = pi.dwProcessId;
    return true;
}

bool Child::Wait(DWORD timeoutMs) {
    return process_ && ::WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD Child::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

bool Child::Running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

void Child::Kill() {
    if (Running()) {
        ::TerminateProcess(process_.get(), 0xDEAD);
        ::WaitForSingleObject(process_.get(), 10000);
    }
}

bool Peer::Start(Arch arch, const std::string& command, const std::wstring& extraArgs) {
    std::string readyName = UniqueName("mivola_test_ready"), quitName = UniqueName("mivola_test_quit");
    ready_.reset(::CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
    quit_.reset(::CreateEventA(nullptr, TRUE, FALSE, quitName.c_str()));
    std::wstring args = Widen(command) + L" " + Widen(readyName) + L" " + Widen(quitName);
    if (!extraArgs.empty()) args += L" " + extraArgs;
    if (!child_.Start(PeerPath(arch), args)) return false;
    HANDLE waits[2] = {ready_.get(), child_.Process()};
    return ::WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
}

void Peer::Release() {
    if (quit_) ::SetEvent(quit_.get());
}

TempDir::TempDir() : TempDir(std::wstring()) {}

TempDir::TempDir(const std::wstring& parent) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring base = parent.empty() ? std::wstring(temp) : parent;
    // Process ids come round again under Wine; a folder an earlier run could not remove (a
    // module still loaded) would hand this test its stale files, so take the next free name.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        path_ = base + Widen(UniqueName("mivola_test")) + L"\\";
        if (::CreateDirectoryW(path_.c_str(), nullptr) || ::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

namespace {
void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = dir + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full + L"\\");
            } else {
                ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(full.c_str());
            }
        } while (::FindNextFileW(find, &fd));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(dir.c_str());
}
}  // namespace

TempDir::~TempDir() { RemoveTree(path_); }

std::string TempDir::PathA() const {
    int n = ::WideCharToMultiByte(CP_ACP, 0, path_.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) ::WideCharToMultiByte(CP_ACP, 0, path_.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    unique_hfile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    DWORD written = 0;
    return ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
    unique_hfile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!f) return bytes;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
    return bytes;
}

std::vector<std::string> CompleteLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t pos = 0, end;
    while ((end = bytes.find('\n', pos)) != std::string::npos) {
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

bool EndProgramOfWindow(HWND window, UINT message) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    ::PostMessageW(window, message, 0, 0);
    if (!process || ::WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0) return false;
    ::TerminateProcess(process.get(), 1);
    ::WaitForSingleObject(process.get(), 5000);
    return true;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs) {
    const ULONGLONG until = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (::GetTickCount64() >= until) return false;
        ::Sleep(pollMs);
    }
}

std::vector<WatchRound> ParseWatchRounds(const std::string& output) {
    std::vector<WatchRound> rounds;
    for (std::string line : CompleteLines(output + "\n")) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("round ", 0) == 0) rounds.emplace_back();
        if (rounds.empty() || line.rfind("text ", 0) != 0) continue;
        size_t n = std::stoul(line.substr(5));
        if (n >= 5) continue;
        size_t colon = line.find(": ");
        rounds.back().text[n] = colon == std::string::npos ? "untouched" : line.substr(colon + 2);
    }
    return rounds;
}

bool AllZero(const void* bytes, size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i)
        if (p[i]) return false;
    return true;
}

bool ReadPublishedRegion(const char* name, void* out, size_t size) {
    SharedRegion region;
    if (region.Open(name, static_cast<DWORD>(size)) != RegionExisted) return false;
    return CopyRecordOut(region, out, size);
}

bool ReadPlayerNowPlaying(const char* key, NowPlayingRecord& record) {
    char name[kRegionNameMax];
    return NowPlayingRegionName(name, key) && ReadPublishedRegion(name, &record, sizeof record);
}

bool ReadPlayerIdentity(const char* key, BridgeIdentityRecord& record) {
    char name[kRegionNameMax];
    return IdentityRegionName(name, key) && ReadPublishedRegion(name, &record, sizeof record);
}

std::string ReadModuleTiming(const std::wstring& modulePath) {
    wchar_t value[64];
    ::GetPrivateProfileStringW(L"Main", L"Timing", L"<none>", value, 64, (modulePath + L".ini").c_str());
    return Narrow(value);
}

std::wstring FromCp932(const char* bytes, size_t capacity) {
    int length = 0;
    while (static_cast<size_t>(length) < capacity && bytes[length]) ++length;
    if (length == 0) return std::wstring();
    int n = ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
    if (n <= 0) return L"<invalid CP932>";
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(932, 0, bytes, length, &text[0], n);
    return text;
}

std::string Cp932(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = ::WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace mivola::test
