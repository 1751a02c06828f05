#include "log.h"

#include "sim_common.h"

namespace wmp_sim {

namespace {
sim_common::EventLog g_log;
}  // namespace

bool OpenLog(const std::wstring& path) { return g_log.Open(path); }

void Log(const std::string& event) { g_log.Write(event); }

std::string Utf8(const std::wstring& text) { return sim_common::ToUtf8(text); }

}  // namespace wmp_sim
