#include "stand_in_process.h"

namespace mivola::test {

std::string EventText(const std::string& line) {
    size_t space = line.find(' ');
    return space == std::string::npos ? std::string() : line.substr(space + 1);
}

bool StandInProcess::Launch(const std::wstring& exe, const std::string& scenario, const std::wstring& extraArgs,
                            const std::wstring& workingDir) {
    std::wstring scenarioPath = dir_.Path() + L"scenario.txt";
    if (!WriteFileBytes(scenarioPath, scenario)) return false;
    std::wstring args = L"--scenario \"" + scenarioPath + L"\" --log \"" + dir_.Path() + L"log.txt\"";
    if (!extraArgs.empty()) args += L" " + extraArgs;
    return child_.Start(exe, args, workingDir);
}

bool StandInProcess::WindowFromLog() {
    int line = FindEvent("window ");
    if (line < 0) return false;
    std::string hex = EventText(LogLines()[static_cast<size_t>(line)]).substr(7);
    window_ = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::stoull(hex, nullptr, 16)));
    return ::IsWindow(window_) != FALSE;
}

bool StandInProcess::Close(DWORD timeoutMs) {
    Post(WM_CLOSE, 0, 0);
    return child_.Wait(timeoutMs) && child_.ExitCode() == 0;
}

bool StandInProcess::Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const {
    DWORD_PTR answer = 0;
    if (!window_ || !::SendMessageTimeoutW(window_, message, wParam, lParam, SMTO_ABORTIFHUNG, sendTimeoutMs_, &answer))
        return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

bool StandInProcess::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
    return window_ && ::PostMessageW(window_, message, wParam, lParam) != FALSE;
}

LRESULT StandInProcess::Count(UINT message) const {
    LRESULT n = -1;
    return Send(message, 0, 0, &n) ? n : -1;
}

bool StandInProcess::WaitCountGrows(UINT message, LRESULT n, DWORD timeoutMs) const {
    LRESULT start = Count(message);
    return start >= 0 && WaitUntil([&] { return Count(message) >= start + n; }, timeoutMs, 5);
}

std::vector<std::string> StandInProcess::LogLines() const { return CompleteLines(ReadFileBytes(dir_.Path() + L"log.txt")); }

int StandInProcess::FindEvent(const std::string& event, size_t from, Match match) const {
    std::vector<std::string> lines = LogLines();
    for (size_t i = from; i < lines.size(); ++i) {
        std::string text = EventText(lines[i]);
        if (match == Match::Whole ? text == event : text.compare(0, event.size(), event) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int StandInProcess::WaitEvent(const std::string& event, size_t from, DWORD timeoutMs, Match match) const {
    int found = -1;
    // Once the program has ended its log is whole: one more look settles it.
    WaitUntil([&] { return (found = FindEvent(event, from, match)) >= 0 || !child_.Running(); }, timeoutMs);
    return found >= 0 ? found : FindEvent(event, from, match);
}

}  // namespace mivola::test
