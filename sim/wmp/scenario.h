// What the stand-in plays: the initial player state and a timed script, read from a UTF-8
// text file (format at the top of wmp_main.cpp).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "model.h"

namespace wmp_sim {

enum class StepAction { State, Media, Status, Slow, CoreOn, CoreOff, Config, Quit };

struct Step {
    ULONGLONG atMs;
    StepAction action;
    long long number = 0;
    std::wstring text;
};

struct Scenario {
    PlayerState initial;
    bool coreAtStart = true;
    std::vector<Step> script;  // in time order
};

bool LoadScenario(const std::wstring& path, Scenario& scenario, std::string& error);
bool ParseScenario(const std::string& utf8, Scenario& scenario, std::string& error);

}  // namespace wmp_sim
