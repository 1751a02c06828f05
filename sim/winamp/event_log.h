// The stand-in's log: one UTF-8 line per event, written at once so another process can
// follow it while the stand-in runs.
#pragma once

#include <windows.h>

#include <string>

#include "unique_handle.h"

namespace winamp_sim {

class EventLog {
public:
    // An empty path keeps the log closed; every write is then dropped.
    bool Open(const std::wstring& path);
    // Notes a query; it is listed on the next line.
    void AddQuery(WPARAM wParam, LPARAM id);
    void Write(const std::string& event);

private:
    mivola::unique_hfile file_;
    std::string queries_;
    ULONGLONG start_ = ::GetTickCount64();
};

}  // namespace winamp_sim
