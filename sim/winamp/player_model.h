// The stand-in's playback: current entry, play/pause/stop, a position that runs in real
// time while playing, and the answers to Winamp's queries drawn from that state.
#pragma once

#include <windows.h>

#include <vector>

#include "scenario.h"

namespace winamp_sim {

class PlayerModel {
public:
    explicit PlayerModel(Scenario scenario);

    // Carries out the script steps and track ends due by nowMs (ms since start).
    // True when a "quit" step came due.
    bool Update(ULONGLONG nowMs);
    void Apply(ScriptAction action, ULONGLONG nowMs);
    // The answer to one query; texts are owned by the model and stay put while it lives.
    LRESULT Answer(WPARAM wParam, LPARAM id, ULONGLONG nowMs);
    void ForceAnswer(WPARAM wParam, LPARAM id, LRESULT answer);
    void ClearForcedAnswers() { forced_.clear(); }

private:
    enum class State { Stopped, Playing, Paused };

    const Entry* Current() const { return current_ < scenario_.entries.size() ? &scenario_.entries[current_] : nullptr; }
    long long PositionMs(ULONGLONG nowMs) const;
    void EndTracks(ULONGLONG untilMs);
    void Select(size_t index, ULONGLONG nowMs);
    LRESULT Info(WPARAM wParam) const;
    LRESULT OutputTime(WPARAM wParam, ULONGLONG nowMs) const;

    Scenario scenario_;
    std::vector<ForcedAnswer> forced_;
    size_t nextStep_ = 0;
    size_t current_ = 0;
    State state_ = State::Stopped;
    long long baseMs_ = 0;     // position when playing last (re)started or paused
    ULONGLONG sinceMs_ = 0;    // when playing last (re)started
};

}  // namespace winamp_sim
