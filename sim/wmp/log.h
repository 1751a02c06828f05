// The stand-in's log: one UTF-8 line per event, written at once (from any thread) so another
// process can follow it while the stand-in runs.
#pragma once

#include <string>

namespace wmp_sim {

bool OpenLog(const std::wstring& path);  // an empty path keeps the log closed
void Log(const std::string& event);
std::string Utf8(const std::wstring& text);

}  // namespace wmp_sim
