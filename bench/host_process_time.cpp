#include "host_process_time.h"

#include <windows.h>

#include <cstdlib>

#include "unique_handle.h"

namespace mivola::bench {

namespace {

std::string ReadSmallFile(const std::wstring& path) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    char buffer[4096];
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::string();
    return std::string(buffer, got);
}

}  // namespace

std::wstring HostStatPath(const std::string& folderToken, const char* programName) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return std::wstring();
    std::wstring result;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        std::wstring dir = std::wstring(L"Z:\\proc\\") + found.cFileName + L"\\";
        std::string cmdline = ReadSmallFile(dir + L"cmdline");
        if (cmdline.find(folderToken) != std::string::npos && cmdline.find(programName) != std::string::npos) {
            result = dir + L"stat";
            break;
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return result;
}

long long HostCpuTicks(const std::wstring& statPath) {
    std::string stat = ReadSmallFile(statPath);
    size_t at = stat.rfind(')');
    if (at == std::string::npos) return -1;
    at += 2;
    long long total = 0;
    for (int field = 3; field <= 15 && at < stat.size(); ++field) {
        size_t end = stat.find(' ', at);
        if (end == std::string::npos) end = stat.size();
        if (field >= 14) total += std::atoll(stat.substr(at, end - at).c_str());
        at = end + 1;
    }
    return total;
}

}  // namespace mivola::bench
