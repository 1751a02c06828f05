#include "scenario.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "sim_common.h"

namespace wmp_sim {

namespace {

using sim_common::FromUtf8;
using sim_common::ParseInteger;
using sim_common::SplitWord;

// Decimal numbers, and "nan", "inf", "-inf" spelled out (not every C runtime's strtod reads them).
bool ParseDouble(const std::string& s, double& value) {
    if (s.empty()) return false;
    if (s == "nan" || s == "-nan") {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (s == "inf" || s == "-inf") {
        value = s[0] == '-' ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

bool ParseStep(const std::string& value, Step& step) {
    std::string at, rest, action, argument;
    SplitWord(value, at, rest);
    long long ms = 0;
    if (!ParseInteger(at, ms) || ms < 0) return false;
    step.atMs = static_cast<ULONGLONG>(ms);
    SplitWord(rest, action, argument);
    if (action == "state" || action == "media" || action == "slow") {
        if (!ParseInteger(argument, step.number)) return false;
        step.action = action == "state" ? StepAction::State : action == "media" ? StepAction::Media : StepAction::Slow;
        return true;
    }
    if (action == "status") {
        step.action = StepAction::Status;
        step.text = FromUtf8(argument);
        return true;
    }
    if (action == "core" && (argument == "on" || argument == "off")) {
        step.action = argument == "on" ? StepAction::CoreOn : StepAction::CoreOff;
        return true;
    }
    if (action == "config" && argument.empty()) {
        step.action = StepAction::Config;
        return true;
    }
    if (action == "quit" && argument.empty()) {
        step.action = StepAction::Quit;
        return true;
    }
    return false;
}

bool ParseAttribute(const std::string& value, MediaItem& item, bool repeated) {
    size_t eq = value.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    std::wstring name = FromUtf8(value.substr(0, eq));
    std::string rest = value.substr(eq + 1);
    if (!repeated) {
        item.attributes.emplace_back(name, FromUtf8(rest));
        return true;
    }
    // attrrepeat <name>=<count> <text>: the text repeated count times.
    std::string count, text;
    SplitWord(rest, count, text);
    long long n = 0;
    if (!ParseInteger(count, n) || n < 0 || n > 1000000) return false;
    std::wstring unit = FromUtf8(text), whole;
    for (long long i = 0; i < n; ++i) whole += unit;
    item.attributes.emplace_back(name, whole);
    return true;
}

bool ParseLine(const std::string& line, Scenario& scenario) {
    std::string key, value;
    SplitWord(line, key, value);
    PlayerState& s = scenario.initial;
    long long n = 0;
    if (key == "version") s.version = FromUtf8(value);
    else if (key == "status") s.status = FromUtf8(value), s.hasStatus = true;
    else if (key == "nostatus" && value.empty()) s.hasStatus = false;
    else if (key == "state" && ParseInteger(value, n)) s.state = static_cast<LONG>(n);
    else if (key == "current" && ParseInteger(value, n)) s.current = static_cast<int>(n);
    else if (key == "slow" && ParseInteger(value, n) && n >= 0) s.slowMs = static_cast<DWORD>(n);
    else if (key == "calls" && (value == "on" || value == "off")) s.logCalls = value == "on";
    else if (key == "core" && value == "later") scenario.coreAtStart = false;
    else if (key == "protocol") s.protocol = FromUtf8(value);
    else if (key == "quirk" && value == "playstate-notimpl") s.playStateNotImpl = true;
    else if (key == "quirk" && value == "iteminfo-null") s.itemInfoNull = true;
    else if (key == "quirk" && value == "position-sfalse") s.positionFalse = true;
    else if (key == "quirk" && value == "values-fail") s.valuesFail = true;
    else if (key == "quirk" && value == "objects-fail") s.objectsFail = true;
    else if (key == "network") {
        std::string name, number;
        SplitWord(value, name, number);
        if (!ParseInteger(number, n)) return false;
        for (int i = 0; i < NetCount; ++i) {
            if (name == kNetworkNames[i]) {
                s.network[i] = static_cast<LONG>(n);
                return true;
            }
        }
        return false;
    } else if (key == "media" && value.empty()) s.media.emplace_back();
    else if (key == "at") {
        Step step;
        if (!ParseStep(value, step)) return false;
        scenario.script.push_back(step);
    } else {
        if (s.media.empty()) return false;
        MediaItem& item = s.media.back();
        double d = 0;
        if (key == "name") item.name = FromUtf8(value);
        else if (key == "noname" && value.empty()) item.hasName = false;
        else if (key == "url") item.url = FromUtf8(value);
        else if (key == "nourl" && value.empty()) item.hasUrl = false;
        else if (key == "duration" && ParseDouble(value, d)) item.duration = d;
        else if (key == "position" && ParseDouble(value, d)) item.fixedPosition = true, item.position = d;
        else if (key == "width" && ParseInteger(value, n)) item.width = static_cast<LONG>(n);
        else if (key == "height" && ParseInteger(value, n)) item.height = static_cast<LONG>(n);
        else if (key == "attr") return ParseAttribute(value, item, false);
        else if (key == "attrrepeat") return ParseAttribute(value, item, true);
        else return false;
    }
    return true;
}

}  // namespace

bool ParseScenario(const std::string& utf8, Scenario& scenario, std::string& error) {
    scenario = Scenario();
    if (!sim_common::ForEachScenarioLine(utf8, sim_common::Indent::Kept, "scenario line ",
                                         [&](int, const std::string& line) { return ParseLine(line, scenario); }, error))
        return false;
    std::stable_sort(scenario.script.begin(), scenario.script.end(),
                     [](const Step& a, const Step& b) { return a.atMs < b.atMs; });
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

}  // namespace wmp_sim
