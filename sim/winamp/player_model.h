// The stand-in's playback: current entry, play/pause/stop, a position that runs in real
// time while playing, and the answers to Winamp's queries drawn from that state.
#pragma once

#include <windows.h>

#include <vector>

#include "scenario.h"
#include "unique_handle.h"

namespace winamp_sim {

// A copy of one kind of answer text, kept at the top of the address space: in a 64-bit
// player that is above 4 GB, so a plug-in that cuts an answer to 32 bits misses the text.
// Like Winamp's own, the text is good only until the next answer of its kind.
class AnswerText {
public:
    // Copies size bytes and returns their address; 0 when no memory can be had.
    LRESULT Hold(const void* bytes, size_t size);

private:
    struct BlockTraits {
        using type = void*;
        static void* invalid() { return nullptr; }
        static void close(void* p) { ::VirtualFree(p, 0, MEM_RELEASE); }
    };
    mivola::unique_resource<BlockTraits> block_;
    size_t capacity_ = 0;
};

class PlayerModel {
public:
    explicit PlayerModel(Scenario scenario);

    // Carries out the script steps and track ends due by nowMs (ms since start).
    // True when a "quit" step came due.
    bool Update(ULONGLONG nowMs);
    void Apply(ScriptAction action, ULONGLONG nowMs);
    // The answer to one query; a text stays put until the next answer of its kind.
    LRESULT Answer(WPARAM wParam, LPARAM id, ULONGLONG nowMs);
    void ForceAnswer(WPARAM wParam, LPARAM id, LRESULT answer);
    void ClearForcedAnswers() { forced_.clear(); }

private:
    enum class State { Stopped, Playing, Paused };

    const Entry* Current() const { return current_ < scenario_.entries.size() ? &scenario_.entries[current_] : nullptr; }
    long long PositionMs(ULONGLONG nowMs) const;
    void EndTracks(ULONGLONG untilMs);
    void Select(size_t index, ULONGLONG nowMs);
    LRESULT Info(WPARAM wParam);
    LRESULT OutputTime(WPARAM wParam, ULONGLONG nowMs) const;

    Scenario scenario_;
    std::vector<ForcedAnswer> forced_;
    AnswerText title_, file_, version_, videoDescription_;
    size_t nextStep_ = 0;
    size_t current_ = 0;
    State state_ = State::Stopped;
    long long baseMs_ = 0;     // position when playing last (re)started or paused
    ULONGLONG sinceMs_ = 0;    // when playing last (re)started
};

}  // namespace winamp_sim
