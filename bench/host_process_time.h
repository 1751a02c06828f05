// The processor time of another program under Wine. Each Windows program is a host process
// whose time is in the host's /proc (Z: maps the host's root); Wine answers GetProcessTimes for
// other processes with zeros.
#pragma once

#include <string>

namespace mivola::bench {

// The host's stat file of the running program whose command line holds both the folder token
// and the program name; empty when none runs.
std::wstring HostStatPath(const std::string& folderToken, const char* programName);
// User plus system time in clock ticks (fields 14 and 15 of stat); -1 when unreadable.
long long HostCpuTicks(const std::wstring& statPath);
constexpr double kHostTicksPerSecond = 100.0;  // the host kernel's USER_HZ

}  // namespace mivola::bench
