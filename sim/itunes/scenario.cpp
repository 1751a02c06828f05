#include "scenario.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "unique_handle.h"

namespace itunes_sim {

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

bool Number(const std::string& text, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 0);
    return end && *end == '\0';
}

// The current-track word: an index or "none".
bool Current(const std::string& text, long long& value) {
    if (text == "none") {
        value = -1;
        return true;
    }
    return Number(text, value);
}

}  // namespace

bool ParseState(const std::string& word, long long& state) {
    static const struct {
        const char* word;
        long long state;
    } kWords[] = {{"stopped", 0}, {"playing", 1}, {"ff", 2}, {"rewind", 3}, {"fails", -1}};
    for (const auto& w : kWords) {
        if (word == w.word) {
            state = w.state;
            return true;
        }
    }
    return Number(word, state);
}

bool ParseScenario(const std::string& utf8, Scenario& scenario, std::string& error) {
    std::istringstream in(utf8);
    std::string line;
    int lineNumber = 0;
    Track* track = nullptr;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        line.erase(0, start);
        size_t space = line.find(' ');
        std::string key = line.substr(0, space);
        std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
        long long number = 0;
        bool ok = true;
        if (key == "version") {
            scenario.version = Wide(value);
        } else if (key == "state") {
            ok = ParseState(value, scenario.state);
        } else if (key == "current") {
            ok = Current(value, scenario.current);
        } else if (key == "position") {
            ok = Number(value, number);
            scenario.position = static_cast<long>(number);
        } else if (key == "clock") {
            scenario.clock = value == "on";
        } else if (key == "quit-delay") {
            ok = Number(value, number) && number >= 0;
            scenario.quitDelayMs = static_cast<DWORD>(number);
        } else if (key == "quit-in-advise") {
            scenario.quitInAdvise = true;
        } else if (key == "track") {
            scenario.tracks.emplace_back();
            track = &scenario.tracks.back();
        } else if (track && (key == "name" || key == "location" || key == "url" || key == "genre" || key == "artist" ||
                             key == "album")) {
            std::wstring text = Wide(value);
            if (key == "name") track->name = text;
            if (key == "location") track->location = text;
            if (key == "url") track->url = text;
            if (key == "genre") track->genre = text;
            if (key == "artist") track->artist = text;
            if (key == "album") track->album = text;
        } else if (track && (key == "kind" || key == "number" || key == "duration" || key == "size" || key == "bitrate")) {
            ok = Number(value, number);
            long v = static_cast<long>(number);
            if (key == "kind") track->kind = v;
            if (key == "number") track->number = v;
            if (key == "duration") track->duration = v;
            if (key == "size") track->size = v;
            if (key == "bitrate") track->bitRate = v;
        } else if (key == "at") {
            std::istringstream words(value);
            std::string ms, action, argument;
            words >> ms >> action >> argument;
            ScriptStep step;
            long long at = 0;
            ok = Number(ms, at) && at >= 0;
            step.atMs = static_cast<ULONGLONG>(at);
            if (action == "state") {
                step.action = Action::State;
                ok = ok && ParseState(argument, step.value);
            } else if (action == "current") {
                step.action = Action::Current;
                ok = ok && Current(argument, step.value);
            } else if (action == "position") {
                step.action = Action::Position;
                ok = ok && Number(argument, step.value);
            } else if (action == "slow") {
                step.action = Action::Slow;
                ok = ok && Number(argument, step.value) && step.value >= 0;
            } else if (action == "quit") {
                step.action = Action::Quit;
            } else {
                ok = false;
            }
            if (ok) scenario.script.push_back(step);
        } else {
            ok = false;
        }
        if (!ok) {
            error = "line " + std::to_string(lineNumber) + ": " + line;
            return false;
        }
    }
    if (scenario.current >= static_cast<long long>(scenario.tracks.size())) scenario.current = -1;
    std::stable_sort(scenario.script.begin(), scenario.script.end(),
                     [](const ScriptStep& a, const ScriptStep& b) { return a.atMs < b.atMs; });
    return true;
}

bool LoadScenario(const std::wstring& path, Scenario& scenario, std::string& error) {
    mivola::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = "cannot open the scenario";
        return false;
    }
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return ParseScenario(bytes, scenario, error);
}

}  // namespace itunes_sim
