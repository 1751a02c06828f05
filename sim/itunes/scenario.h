// What the iTunes stand-in plays: tracks, the player's state and a timed script, read from a
// UTF-8 text file (format at the top of itunes_main.cpp).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace itunes_sim {

struct Track {
    long kind = 1;
    std::wstring name, location, url, genre, artist, album;
    long number = 0, duration = 0, size = 0, bitRate = 0;
};

enum class Action { State, Current, Position, Slow, Quit };

struct ScriptStep {
    ULONGLONG atMs = 0;
    Action action = Action::State;
    long long value = 0;
};

struct Scenario {
    std::wstring version = L"1.5.0.0 (stand-in)";
    long long state = 0;  // -1: get_PlayerState fails
    long long current = 0;  // index into tracks, -1 for none
    long position = 0;
    bool clock = false;  // position runs in real time while playing
    DWORD quitDelayMs = 1000;
    bool quitInAdvise = false;  // announce the quit from inside the first Advise
    std::vector<Track> tracks;
    std::vector<ScriptStep> script;  // in time order
};

// A state word (stopped, playing, ff, rewind, fails) or a number; false if neither.
bool ParseState(const std::string& word, long long& state);
bool ParseScenario(const std::string& utf8, Scenario& scenario, std::string& error);
bool LoadScenario(const std::wstring& path, Scenario& scenario, std::string& error);

}  // namespace itunes_sim
