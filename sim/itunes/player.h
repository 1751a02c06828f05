// The stand-in's player: the state its COM objects answer from, the scenario's tracks, the
// call counters and log, and the slow-call switch. One thread touches it.
#pragma once

#include <windows.h>

#include <string>

#include "scenario.h"
#include "sim_protocol.h"
#include "sim_common.h"

namespace itunes_sim {

class Player {
public:
    explicit Player(Scenario scenario) : scenario_(std::move(scenario)) {}

    bool OpenLog(const std::wstring& path);
    void Log(const std::string& event) { log_.Write(event); }

    // Called on entry to every iTunes member: counts and logs it, then, while calls are slow,
    // keeps the thread dispatching for the slow time (and pokes the bridge when asked to).
    void Enter(const char* member);
    // Called on return from every member.
    void Leave(const char* member);

    const Scenario& GetScenario() const { return scenario_; }
    long long State() const { return state_; }
    void SetState(long long state) { state_ = state; }
    // The current track, or null.
    const Track* Current() const;
    bool SetCurrent(long long index);
    long Position() const;
    void SetPosition(long seconds);
    void SetSlow(DWORD ms) { slowMs_ = ms; }
    void SetPoke(PokeKind poke) { poke_ = poke; }
    // True once, for the first Advise, when the scenario asks for the quit inside it.
    bool TakeQuitInAdvise();
    // Sends the bridge window its end-of-iTunes message and waits for it to be handled.
    void SendBridgeiTunesEnd();
    // Runs the clock and the script; true when the script says quit.
    bool Advance(ULONGLONG nowMs);

    LONG_PTR CounterValue(Counter counter);
    void SetSinkCount(size_t n) { sinks_ = n; }

    void SetWindow(HWND window) { window_ = window; }
    HWND Window() const { return window_; }

private:
    void Poke(const char* member);

    Scenario scenario_;
    long long state_ = scenario_.state;
    long long current_ = scenario_.current;
    long position_ = scenario_.position;
    ULONGLONG clockMs_ = 0;
    ULONGLONG lastAdvance_ = 0;
    size_t nextStep_ = 0;
    DWORD slowMs_ = 0;
    PokeKind poke_ = PokeNone;
    bool quitInAdvise_ = scenario_.quitInAdvise;
    HWND window_ = nullptr;

    sim_common::EventLog log_;
    ULONGLONG start_ = ::GetTickCount64();
    LARGE_INTEGER frequency_{};
    LARGE_INTEGER callStart_{};
    LARGE_INTEGER gatherStart_{};
    LONG_PTR calls_ = 0, stateCalls_ = 0, busyMicros_ = 0, gatherMicros_ = 0;
    size_t sinks_ = 0;
    int depth_ = 0;
};

// Keeps the thread dispatching messages and incoming calls for ms milliseconds.
void PumpFor(DWORD ms);

}  // namespace itunes_sim
