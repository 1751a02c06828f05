#include "event_log.h"

#include <cstdio>

namespace winamp_sim {

void EventLog::AddQuery(WPARAM wParam, LPARAM id) {
    if (!log_.IsOpen()) return;
    char item[48];
    std::snprintf(item, sizeof item, "%s%lld:%llu", queries_.empty() ? "" : ",", static_cast<long long>(id),
                  static_cast<unsigned long long>(wParam));
    queries_ += item;
}

void EventLog::Write(const std::string& event) {
    if (!log_.IsOpen()) return;
    log_.Write(queries_.empty() ? event : event + " q=" + queries_);
    queries_.clear();
}

}  // namespace winamp_sim
