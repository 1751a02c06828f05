// The stand-in's log, with the queries a plug-in made listed on the line of the event that
// follows them.
#pragma once

#include <windows.h>

#include <string>

#include "sim_common.h"

namespace winamp_sim {

class EventLog {
public:
    // An empty path keeps the log closed; every write is then dropped.
    bool Open(const std::wstring& path) { return log_.Open(path); }
    // Notes a query; it is listed on the next line.
    void AddQuery(WPARAM wParam, LPARAM id);
    void Write(const std::string& event);

private:
    sim_common::EventLog log_;
    std::string queries_;
};

}  // namespace winamp_sim
