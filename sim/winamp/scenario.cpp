#include "scenario.h"

#include <algorithm>

#include "sim_common.h"

namespace winamp_sim {

namespace {

using sim_common::FromUtf8;
using sim_common::ParseInteger;

// Winamp hands out ANSI texts in the system code page.
std::string Utf8ToAnsi(const std::string& s) {
    std::wstring w = FromUtf8(s);
    if (w.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string a(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), &a[0], n, nullptr, nullptr);
    return a;
}

struct ActionName {
    const char* name;
    ScriptAction action;
};
constexpr ActionName kActions[] = {
    {"play", ScriptAction::Play}, {"pause", ScriptAction::Pause},       {"stop", ScriptAction::Stop},
    {"next", ScriptAction::Next}, {"prev", ScriptAction::Previous}, {"quit", ScriptAction::Quit},
};

bool ParseStep(const std::string& value, ScriptStep& step) {
    size_t space = value.find(' ');
    long long at = 0;
    if (space == std::string::npos || !ParseInteger(value.substr(0, space), at) || at < 0) return false;
    std::string name = value.substr(space + 1);
    for (const ActionName& a : kActions) {
        if (name == a.name) {
            step = {static_cast<ULONGLONG>(at), a.action};
            return true;
        }
    }
    return false;
}

bool ParseAnswer(const std::string& value, ForcedAnswer& answer) {
    long long numbers[3];
    size_t pos = 0;
    for (long long& n : numbers) {
        size_t space = value.find(' ', pos);
        std::string part = value.substr(pos, space == std::string::npos ? std::string::npos : space - pos);
        if (!ParseInteger(part, n)) return false;
        pos = space == std::string::npos ? value.size() : space + 1;
    }
    answer = {static_cast<WPARAM>(numbers[0]), static_cast<LPARAM>(numbers[1]), static_cast<LRESULT>(numbers[2])};
    return pos == value.size();
}

bool ParseSize(const std::string& value, Entry& entry) {
    size_t x = value.find('x');
    long long w = 0, h = 0;
    if (x == std::string::npos || !ParseInteger(value.substr(0, x), w) || !ParseInteger(value.substr(x + 1), h)) return false;
    if (w < 0 || w > 0xFFFF || h < 0 || h > 0xFFFF) return false;
    entry.width = static_cast<WORD>(w);
    entry.height = static_cast<WORD>(h);
    return true;
}

// One line "keyword value"; entry keys apply to the latest entry.
bool ParseLine(const std::string& line, Scenario& scenario) {
    std::string key, value;
    sim_common::SplitWord(line, key, value);
    if (key == "version") {
        scenario.versionText = Utf8ToAnsi(value);
        return true;
    }
    if (key == "entry") {
        scenario.entries.emplace_back();
        return value.empty();
    }
    if (key == "at") {
        ScriptStep step;
        if (!ParseStep(value, step)) return false;
        scenario.script.push_back(step);
        return true;
    }
    if (key == "answer") {
        ForcedAnswer answer;
        if (!ParseAnswer(value, answer)) return false;
        scenario.answers.push_back(answer);
        return true;
    }
    if (scenario.entries.empty()) return false;
    Entry& entry = scenario.entries.back();
    long long n = 0;
    if (key == "title") entry.title = FromUtf8(value);
    else if (key == "file") entry.file = FromUtf8(value);
    else if (key == "video") entry.videoDescription = Utf8ToAnsi(value);
    else if (key == "size") return ParseSize(value, entry);
    else if (key == "length" && ParseInteger(value, n)) entry.lengthMs = n;
    else if (key == "bitrate" && ParseInteger(value, n)) entry.bitRateKbps = static_cast<LRESULT>(n);
    else return false;
    return true;
}

}  // namespace

bool ParseScenario(const std::string& utf8, Scenario& scenario, std::string& error) {
    scenario = Scenario();
    if (!sim_common::ForEachScenarioLine(utf8, sim_common::Indent::Kept, "scenario line ",
                                         [&](int, const std::string& line) { return ParseLine(line, scenario); }, error))
        return false;
    std::stable_sort(scenario.script.begin(), scenario.script.end(),
                     [](const ScriptStep& a, const ScriptStep& b) { return a.atMs < b.atMs; });
    return true;
}

bool LoadScenario(const std::wstring& path, Scenario& scenario, std::string& error) {
    std::string bytes;
    if (!sim_common::ReadWholeFile(path, bytes)) {
        error = "scenario file cannot be opened";
        return false;
    }
    return ParseScenario(bytes, scenario, error);
}

}  // namespace winamp_sim
