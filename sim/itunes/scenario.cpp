#include "scenario.h"

#include <algorithm>
#include <sstream>

#include "sim_common.h"

namespace itunes_sim {

namespace {


// The current-track word: an index or "none".
bool Current(const std::string& text, long long& value) {
    if (text == "none") {
        value = -1;
        return true;
    }
    return sim_common::ParseInteger(text, value);
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
    return sim_common::ParseInteger(word, state);
}

bool ParseScenario(const std::string& utf8, Scenario& scenario, std::string& error) {
    Track* track = nullptr;
    auto parseLine = [&](int, const std::string& line) {
        std::string key, value;
        sim_common::SplitWord(line, key, value);
        long long number = 0;
        bool ok = true;
        if (key == "version") {
            scenario.version = sim_common::FromUtf8(value);
        } else if (key == "state") {
            ok = ParseState(value, scenario.state);
        } else if (key == "current") {
            ok = Current(value, scenario.current);
        } else if (key == "position") {
            ok = sim_common::ParseInteger(value, number);
            scenario.position = static_cast<long>(number);
        } else if (key == "clock") {
            scenario.clock = value == "on";
        } else if (key == "quit-delay") {
            ok = sim_common::ParseInteger(value, number) && number >= 0;
            scenario.quitDelayMs = static_cast<DWORD>(number);
        } else if (key == "quit-in-advise") {
            scenario.quitInAdvise = true;
        } else if (key == "track") {
            scenario.tracks.emplace_back();
            track = &scenario.tracks.back();
        } else if (track && (key == "name" || key == "location" || key == "url" || key == "genre" || key == "artist" ||
                             key == "album")) {
            std::wstring text = sim_common::FromUtf8(value);
            if (key == "name") track->name = text;
            if (key == "location") track->location = text;
            if (key == "url") track->url = text;
            if (key == "genre") track->genre = text;
            if (key == "artist") track->artist = text;
            if (key == "album") track->album = text;
        } else if (track && (key == "kind" || key == "number" || key == "duration" || key == "size" || key == "bitrate")) {
            ok = sim_common::ParseInteger(value, number);
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
            ok = sim_common::ParseInteger(ms, at) && at >= 0;
            step.atMs = static_cast<ULONGLONG>(at);
            if (action == "state") {
                step.action = Action::State;
                ok = ok && ParseState(argument, step.value);
            } else if (action == "current") {
                step.action = Action::Current;
                ok = ok && Current(argument, step.value);
            } else if (action == "position") {
                step.action = Action::Position;
                ok = ok && sim_common::ParseInteger(argument, step.value);
            } else if (action == "slow") {
                step.action = Action::Slow;
                ok = ok && sim_common::ParseInteger(argument, step.value) && step.value >= 0;
            } else if (action == "quit") {
                step.action = Action::Quit;
            } else {
                ok = false;
            }
            if (ok) scenario.script.push_back(step);
        } else {
            ok = false;
        }
        return ok;
    };
    if (!sim_common::ForEachScenarioLine(utf8, sim_common::Indent::Dropped, "line ", parseLine, error)) return false;
    if (scenario.current >= static_cast<long long>(scenario.tracks.size())) scenario.current = -1;
    std::stable_sort(scenario.script.begin(), scenario.script.end(),
                     [](const ScriptStep& a, const ScriptStep& b) { return a.atMs < b.atMs; });
    return true;
}

bool LoadScenario(const std::wstring& path, Scenario& scenario, std::string& error) {
    std::string bytes;
    if (!sim_common::ReadWholeFile(path, bytes)) {
        error = "cannot open the scenario";
        return false;
    }
    return ParseScenario(bytes, scenario, error);
}

}  // namespace itunes_sim
