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
// The share of one core, in percent, that ticks of processor time are over a wall-clock span in
// milliseconds; -1 when either reading failed or the span is empty.
inline double CoreSharePercent(long long cpu0, long long cpu1, unsigned long long wallMs) {
    if (cpu0 < 0 || cpu1 < 0 || wallMs == 0) return -1;
    return 100.0 * static_cast<double>(cpu1 - cpu0) / kHostTicksPerSecond * 1000.0 / static_cast<double>(wallMs);
}

}  // namespace mivola::bench
