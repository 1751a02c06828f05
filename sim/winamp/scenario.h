// What the stand-in plays: a playlist and a timed script, read from a UTF-8 text file
// (format at the top of winamp_main.cpp).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winamp_sim {

struct Entry {
    std::wstring title;
    std::wstring file;
    long long lengthMs = -1;  // -1: unknown (a stream)
    LRESULT bitRateKbps = 0;
    WORD width = 0;
    WORD height = 0;
    std::string videoDescription;  // ANSI; empty for audio
};

enum class ScriptAction { Play, Pause, Stop, Next, Previous, Quit };

struct ScriptStep {
    ULONGLONG atMs;
    ScriptAction action;
};

struct ForcedAnswer {
    WPARAM wParam;
    LPARAM id;
    LRESULT answer;
};

struct Scenario {
    std::string versionText = "5.666";  // ANSI
    std::vector<Entry> entries;
    std::vector<ScriptStep> script;  // in time order
    std::vector<ForcedAnswer> answers;
};

// Reads the file; false with a message naming the line for anything it does not understand.
bool LoadScenario(const std::wstring& path, Scenario& scenario, std::string& error);
bool ParseScenario(const std::string& utf8, Scenario& scenario, std::string& error);

}  // namespace winamp_sim
