#include "scenario.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "sim_common.h"

namespace smtc_sim {

namespace {

const struct {
    const char* name;
    Call call;
} kCallNames[] = {
    {"request", CallRequest},       {"current-session", CallCurrent}, {"sessions", CallSessions},
    {"app", CallApp},               {"media", CallMedia},             {"timeline", CallTimeline},
    {"playback-info", CallPlaybackInfo}, {"title", CallTitle},        {"subtitle", CallSubtitle},
    {"album-artist", CallAlbumArtist},   {"artist", CallArtist},      {"album", CallAlbum},
    {"track", CallTrack},           {"genres", CallGenres},           {"track-count", CallTrackCount},
    {"playback-type", CallPlaybackType}, {"thumbnail", CallThumbnail}, {"start", CallStart},
    {"end", CallEnd},               {"min-seek", CallMinSeek},        {"max-seek", CallMaxSeek},
    {"position", CallPosition},     {"last-updated", CallLastUpdated}, {"status", CallStatus},
    {"rate", CallRate},
};

// Scenario texts must be valid UTF-8.
constexpr auto Wide = sim_common::FromUtf8Strict;
constexpr auto Integer = sim_common::ParseInteger;

bool Int32(const std::string& text, int32_t& value) {
    long long v = 0;
    if (!Integer(text, v) || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool Result(const std::string& text, HRESULT& hr) {
    static const struct {
        const char* name;
        HRESULT hr;
    } kNames[] = {{"ok", S_OK},
                  {"fail", E_FAIL},
                  {"disconnected", RPC_E_DISCONNECTED},
                  {"notimpl", E_NOTIMPL},
                  {"abort", E_ABORT},
                  {"denied", E_ACCESSDENIED}};
    for (const auto& n : kNames) {
        if (text == n.name) {
            hr = n.hr;
            return true;
        }
    }
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || !end || *end != '\0' || v > 0xFFFFFFFFull) return false;
    hr = static_cast<HRESULT>(static_cast<uint32_t>(v));
    return true;
}

// "<ms>" (signed) or "<n>t" (raw 100 ns units).
bool Duration(const std::string& text, int64_t& ticks) {
    long long v = 0;
    if (!text.empty() && text.back() == 't') {
        if (!Integer(text.substr(0, text.size() - 1), v)) return false;
        ticks = v;
        return true;
    }
    if (!Integer(text, v) || v > INT64_MAX / 10000 || v < INT64_MIN / 10000) return false;
    ticks = v * 10000;
    return true;
}

// "0", "now", "+<ms>"/"-<ms>" from the phase's moment, or "<n>t" as an absolute date.
bool LastUpdated(const std::string& text, int64_t nowTicks, int64_t& ticks) {
    if (text == "0") {
        ticks = 0;
        return true;
    }
    if (text == "now") {
        ticks = nowTicks;
        return true;
    }
    if (!text.empty() && text.back() == 't') return Duration(text, ticks);
    if (text.empty() || (text[0] != '+' && text[0] != '-')) return false;
    int64_t offset = 0;
    if (!Duration(text, offset)) return false;
    ticks = nowTicks + offset;
    return true;
}

bool Status(const std::string& text, int32_t& status) {
    static const char* const kWords[] = {"closed", "opened", "changing", "stopped", "playing", "paused"};
    for (int i = 0; i < 6; ++i) {
        if (text == kWords[i]) {
            status = i;
            return true;
        }
    }
    return Int32(text, status);
}

// "now", "never", "late <ms>", "error <hresult>", or "late <ms> error <hresult>".
bool ParseCompletion(const std::string& text, Completion& completion) {
    std::istringstream words(text);
    std::string word;
    Completion c;
    bool any = false;
    while (words >> word) {
        any = true;
        if (word == "now") {
            c.kind = Completion::Now;
        } else if (word == "never") {
            c.kind = Completion::Never;
        } else if (word == "late") {
            long long ms = 0;
            if (!(words >> word) || !Integer(word, ms) || ms < 0 || ms > 0x7FFFFFFF) return false;
            c.kind = Completion::Late;
            c.delayMs = static_cast<DWORD>(ms);
        } else if (word == "error") {
            if (!(words >> word) || !Result(word, c.error) || SUCCEEDED(c.error)) return false;
        } else {
            return false;
        }
    }
    if (!any) return false;
    completion = c;
    return true;
}

bool CallByName(const std::string& name, Call& call) {
    for (const auto& n : kCallNames) {
        if (name == n.name) {
            call = n.call;
            return true;
        }
    }
    return false;
}

std::wstring* TextField(Session& s, const std::string& key) {
    if (key == "app") return &s.app;
    if (key == "title") return &s.title;
    if (key == "subtitle") return &s.subtitle;
    if (key == "album-artist") return &s.albumArtist;
    if (key == "artist") return &s.artist;
    if (key == "album") return &s.album;
    return nullptr;
}

int64_t* TimeField(Session& s, const std::string& key) {
    if (key == "start") return &s.start;
    if (key == "end") return &s.end;
    if (key == "min-seek") return &s.minSeek;
    if (key == "max-seek") return &s.maxSeek;
    if (key == "position") return &s.position;
    return nullptr;
}

// One line of a phase; `selected` is the key of the session the phase's lines describe.
bool ApplyLine(const std::string& line, State& state, std::string& selected, int64_t nowTicks) {
    size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);

    // The manager's lines.
    if (key == "log") return Wide(value, state.logPath);
    if (key == "request-op") return ParseCompletion(value, state.request);
    if (key == "session") {
        if (value.empty()) return false;
        if (!state.Find(value)) {
            Session s;
            s.key = value;
            s.serial = state.nextSerial++;
            s.lastUpdated = nowTicks;
            if (!Wide(value, s.app)) return false;
            state.sessions.push_back(std::move(s));
        }
        selected = value;
        return true;
    }
    if (key == "remove") {
        auto it = std::find_if(state.sessions.begin(), state.sessions.end(),
                               [&](const Session& s) { return s.key == value; });
        if (it == state.sessions.end()) return false;
        state.sessions.erase(it);
        if (state.current == value) state.current.clear();
        if (selected == value) selected.clear();
        return true;
    }
    if (key == "current") {
        if (value == "none") {
            state.current.clear();
            return true;
        }
        if (!state.Find(value)) return false;
        state.current = value;
        return true;
    }
    if (key == "fail") {
        std::istringstream words(value);
        std::string name, code;
        words >> name >> code;
        Call call;
        HRESULT hr = E_FAIL;
        if (!CallByName(name, call) || (!code.empty() && !Result(code, hr))) return false;
        if (call <= CallSessions) {
            state.fail[call] = hr;
            return true;
        }
        Session* s = state.Find(selected);
        if (!s) return false;
        s->fail[call] = hr;
        return true;
    }

    // The selected session's lines.
    Session* s = state.Find(selected);
    if (!s) return false;
    if (std::wstring* text = TextField(*s, key)) return Wide(value, *text);
    if (int64_t* time = TimeField(*s, key)) return Duration(value, *time);
    if (key == "repeat") {
        // repeat <field> <count> <text>
        std::istringstream words(value);
        std::string field;
        long long count = 0;
        std::string countText;
        if (!(words >> field >> countText) || !Integer(countText, count) || count < 0 || count > 1000000) return false;
        std::string rest;
        std::getline(words, rest);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        std::wstring unit;
        if (!Wide(rest, unit)) return false;
        std::wstring text;
        for (long long i = 0; i < count; ++i) text += unit;
        if (field == "genre") {
            s->genres.push_back(text);
            return true;
        }
        std::wstring* target = TextField(*s, field);
        if (!target) return false;
        *target = text;
        return true;
    }
    if (key == "status") return Status(value, s->status);
    if (key == "genre") {
        std::wstring text;
        if (!Wide(value, text)) return false;
        s->genres.push_back(text);
        return true;
    }
    if (key == "genres") {
        s->genres.clear();
        return value.empty();
    }
    if (key == "track") return Int32(value, s->track);
    if (key == "track-count") return Int32(value, s->trackCount);
    if (key == "playback-type") {
        s->hasPlaybackType = value != "none";
        return !s->hasPlaybackType || Int32(value, s->playbackType);
    }
    if (key == "rate") {
        s->hasRate = value != "none";
        if (!s->hasRate) return true;
        char* end = nullptr;
        s->rate = std::strtod(value.c_str(), &end);
        return !value.empty() && end && *end == '\0';
    }
    if (key == "last-updated") return LastUpdated(value, nowTicks, s->lastUpdated);
    if (key == "media-op") return ParseCompletion(value, s->media);
    if (key == "vanish") {
        if (value.empty() || value == "on") {
            s->vanished = true;
        } else if (value == "off") {
            s->vanished = false;
        } else {
            return false;
        }
        return true;
    }
    return false;
}

}  // namespace

Session* State::Find(const std::string& key) {
    if (key.empty()) return nullptr;
    for (Session& s : sessions) {
        if (s.key == key) return &s;
    }
    return nullptr;
}

const Session* State::FindSerial(uint64_t serial) const {
    for (const Session& s : sessions) {
        if (s.serial == serial) return &s;
    }
    return nullptr;
}

bool ApplyPhase(const Phase& phase, State& state, int64_t nowTicks, std::string& error) {
    std::string selected;
    for (const Line& line : phase.lines) {
        if (!ApplyLine(line.text, state, selected, nowTicks)) {
            error = "line " + std::to_string(line.number) + ": " + line.text;
            return false;
        }
    }
    return true;
}

bool ParseScenario(const std::string& utf8, Scenario& scenario, std::string& error) {
    Scenario parsed;
    parsed.phases.emplace_back();
    auto readLine = [&](int number, const std::string& line) {
        if (line.compare(0, 3, "at ") == 0) {
            long long ms = 0;
            if (!Integer(line.substr(3), ms) || ms < 0) return false;
            Phase phase;
            phase.atMs = static_cast<ULONGLONG>(ms);
            parsed.phases.push_back(phase);
        } else {
            parsed.phases.back().lines.push_back(Line{number, line});
        }
        return true;
    };
    if (!sim_common::ForEachScenarioLine(utf8, sim_common::Indent::Dropped, "line ", readLine, error)) return false;
    std::stable_sort(parsed.phases.begin() + 1, parsed.phases.end(),
                     [](const Phase& a, const Phase& b) { return a.atMs < b.atMs; });
    // Every phase tried in order on a scratch state.
    State scratch;
    for (const Phase& phase : parsed.phases) {
        if (!ApplyPhase(phase, scratch, 0, error)) return false;
    }
    scenario = std::move(parsed);
    return true;
}

bool LoadScenarioFile(const std::wstring& path, Scenario& scenario, std::string& error) {
    std::string bytes;
    if (!sim_common::ReadWholeFile(path, bytes)) {
        error = "cannot open the scenario";
        return false;
    }
    return ParseScenario(bytes, scenario, error);
}

}  // namespace smtc_sim
