#include "log.h"

#include <windows.h>

#include "unique_handle.h"

namespace wmp_sim {

namespace {
mivola::unique_hfile g_file;
SRWLOCK g_lock = SRWLOCK_INIT;
const ULONGLONG g_start = ::GetTickCount64();
}  // namespace

bool OpenLog(const std::wstring& path) {
    if (path.empty()) return true;
    g_file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(g_file);
}

void Log(const std::string& event) {
    std::string line = std::to_string(::GetTickCount64() - g_start) + " " + event + "\n";
    ::AcquireSRWLockExclusive(&g_lock);
    if (g_file) {
        DWORD written = 0;
        ::WriteFile(g_file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    ::ReleaseSRWLockExclusive(&g_lock);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &s[0], n, nullptr, nullptr);
    return s;
}

}  // namespace wmp_sim
