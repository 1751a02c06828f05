#include "smtc_test_support.h"

#include <cstdlib>

#include "scenario.h"
#include "smtc_paths.h"

namespace mivola::test {

namespace {

constexpr bool kThis64 = sizeof(void*) == 8;

ULONGLONG FileTimeValue(const FILETIME& ft) {
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace

std::wstring SmtcStandInDll(bool sixtyFourBit) {
    std::wstring path = sixtyFourBit == kThis64 ? std::wstring(MIVOLA_SMTC_SIM_DIR) + L"smtc_sim.dll"
                        : OtherArchDirectory().empty() ? std::wstring()
                                                       : OtherArchDirectory() + L"smtc\\smtc_sim.dll";
    return !path.empty() && FileExists(path) ? path : std::wstring();
}

SmtcStandIn::SmtcStandIn(const std::string& scenario)
    : scenarioPath_(dir_.Path() + L"scenario.txt"), logPath_(dir_.Path() + L"calls.log") {
    dll64_ = SmtcStandInDll(true);
    dll32_ = SmtcStandInDll(false);
    scenarioOk_ = SetScenario(scenario);
    registered_ = (!dll64_.empty() || !dll32_.empty()) && smtc_sim::RegisterStandIn(dll64_, dll32_, scenarioPath_);
}

SmtcStandIn::~SmtcStandIn() { smtc_sim::UnregisterStandIn(); }

bool SmtcStandIn::SetScenario(const std::string& scenario, std::string* error) {
    std::string text = "log " + Narrow(logPath_) + "\n" + scenario;
    smtc_sim::Scenario parsed;
    std::string message;
    if (!smtc_sim::ParseScenario(text, parsed, message)) {
        if (error) *error = message;
        return false;
    }
    std::wstring temp = dir_.Path() + L"scenario.new";
    if (!WriteFileBytes(temp, text)) return false;
    // A write time later than the last one, even within the clock's resolution.
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULONGLONG stamp = FileTimeValue(now);
    if (stamp <= lastWrite_) stamp = lastWrite_ + 10000;
    lastWrite_ = stamp;
    FILETIME ft{static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
    {
        unique_hfile file(::CreateFileW(temp.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !::SetFileTime(file.get(), nullptr, nullptr, &ft)) return false;
    }
    // The stand-in may be reading the old file at this moment; the replacement then waits for it.
    return WaitUntil([&] { return ::MoveFileExW(temp.c_str(), scenarioPath_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE; },
                     2000);
}

std::vector<std::string> SmtcStandIn::LogLines() const {
    std::vector<std::string> lines;
    for (const std::string& line : CompleteLines(ReadFileBytes(logPath_))) {
        size_t space = line.find(' ');
        lines.push_back(space == std::string::npos ? line : line.substr(space + 1));
    }
    return lines;
}

size_t SmtcStandIn::CallCount(const std::string& what, size_t from) const { return CallTimes(what, from).size(); }

std::vector<ULONGLONG> SmtcStandIn::CallTimes(const std::string& what, size_t from) const {
    std::vector<std::string> lines = CompleteLines(ReadFileBytes(logPath_));
    std::vector<ULONGLONG> times;
    for (size_t i = from; i < lines.size(); ++i) {
        size_t space = lines[i].find(' ');
        if (space != std::string::npos && lines[i].compare(space + 1, 5 + what.size(), "call " + what) == 0) {
            times.push_back(std::strtoull(lines[i].c_str(), nullptr, 10));
        }
    }
    return times;
}

long SmtcStandIn::LiveObjectsInLog() const {
    long live = 0;
    for (const std::string& line : LogLines()) {
        if (line.compare(0, 4, "new ") == 0) ++live;
        if (line.compare(0, 5, "free ") == 0) --live;
    }
    return live;
}

}  // namespace mivola::test
