#include "event_log.h"

#include <cstdio>

namespace winamp_sim {

bool EventLog::Open(const std::wstring& path) {
    if (path.empty()) return true;
    file_.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
}

void EventLog::AddQuery(WPARAM wParam, LPARAM id) {
    if (!file_) return;
    char item[48];
    std::snprintf(item, sizeof item, "%s%lld:%llu", queries_.empty() ? "" : ",", static_cast<long long>(id),
                  static_cast<unsigned long long>(wParam));
    queries_ += item;
}

void EventLog::Write(const std::string& event) {
    if (!file_) return;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%llu ", static_cast<unsigned long long>(::GetTickCount64() - start_));
    std::string line = stamp + event;
    if (!queries_.empty()) line += " q=" + queries_;
    line += "\n";
    queries_.clear();
    DWORD written = 0;
    ::WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace winamp_sim
