// The stand-in's runtime objects and the state they answer from, shared by the module's entry
// points (smtc_sim.cpp) and the object implementations (sim_objects.cpp).
#pragma once

#include <windows.h>
// After windows.h.
#include <activation.h>

#include <string>

#include "media_session_interfaces.h"
#include "scenario.h"

namespace smtc_sim {

// ---- The runtime's string functions, from combase.dll (loaded once) ----
bool LoadStringFunctions();
HRESULT MakeString(const std::wstring& text, HSTRING* out);
void FreeString(HSTRING s);
// The text of a borrowed string (empty for null).
std::wstring StringText(HSTRING s);

// ---- The live state ----
// Brings the state up to date: the scenario file found again (registry value or environment),
// re-read when it changed, and the timed phases due applied. `force` checks the file at once
// instead of at most every kRecheckMs.
void Refresh(bool force);
constexpr ULONGLONG kRecheckMs = 20;

// Takes the module's lock for reading or changing the state.
class StateLock {
public:
    StateLock();
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
    State& state();
};

// ---- The call log ----
bool LogOn();
void LogLine(const std::string& line);
std::string HexResult(HRESULT hr);

// Objects alive now (all kinds), for tests that check a client released everything.
LONG LiveObjects();

// The activation factory for the manager class (one new reference).
IActivationFactory* NewFactory();

}  // namespace smtc_sim
