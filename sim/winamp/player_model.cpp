#include "player_model.h"

#include <utility>

#include "winamp_sdk.h"

namespace winamp_sim {

PlayerModel::PlayerModel(Scenario scenario) : scenario_(std::move(scenario)), forced_(scenario_.answers) {}

long long PlayerModel::PositionMs(ULONGLONG nowMs) const {
    if (state_ != State::Playing) return baseMs_;
    return baseMs_ + static_cast<long long>(nowMs - sinceMs_);
}

// A track that has run its length gives way to the next one, which starts at the very
// moment the first ended; after the last entry the player stops.
void PlayerModel::EndTracks(ULONGLONG untilMs) {
    while (state_ == State::Playing && Current() && Current()->lengthMs >= 0 &&
           PositionMs(untilMs) >= Current()->lengthMs) {
        ULONGLONG endedAt = sinceMs_ + static_cast<ULONGLONG>(Current()->lengthMs - baseMs_);
        if (current_ + 1 >= scenario_.entries.size()) {
            state_ = State::Stopped;
            baseMs_ = 0;
            return;
        }
        ++current_;
        baseMs_ = 0;
        sinceMs_ = endedAt;
    }
}

bool PlayerModel::Update(ULONGLONG nowMs) {
    bool quit = false;
    while (nextStep_ < scenario_.script.size() && scenario_.script[nextStep_].atMs <= nowMs) {
        const ScriptStep& step = scenario_.script[nextStep_++];
        EndTracks(step.atMs);
        if (step.action == ScriptAction::Quit) quit = true;
        else Apply(step.action, step.atMs);
    }
    EndTracks(nowMs);
    return quit;
}

void PlayerModel::Select(size_t index, ULONGLONG nowMs) {
    current_ = index;
    baseMs_ = 0;
    sinceMs_ = nowMs;
}

void PlayerModel::Apply(ScriptAction action, ULONGLONG nowMs) {
    size_t count = scenario_.entries.size();
    switch (action) {
        case ScriptAction::Play:  // from pause it resumes, otherwise it starts the entry over
            if (state_ != State::Paused) baseMs_ = 0;
            sinceMs_ = nowMs;
            state_ = count ? State::Playing : State::Stopped;
            break;
        case ScriptAction::Pause:
            if (state_ == State::Playing) {
                baseMs_ = PositionMs(nowMs);
                state_ = State::Paused;
            } else if (state_ == State::Paused) {
                sinceMs_ = nowMs;
                state_ = State::Playing;
            }
            break;
        case ScriptAction::Stop:
            state_ = State::Stopped;
            baseMs_ = 0;
            break;
        case ScriptAction::Next:
            if (count) Select((current_ + 1) % count, nowMs);
            break;
        case ScriptAction::Previous:
            if (count) Select((current_ + count - 1) % count, nowMs);
            break;
        case ScriptAction::Quit:
            break;
    }
}

void PlayerModel::ForceAnswer(WPARAM wParam, LPARAM id, LRESULT answer) {
    for (ForcedAnswer& f : forced_) {
        if (f.wParam == wParam && f.id == id) {
            f.answer = answer;
            return;
        }
    }
    forced_.push_back({wParam, id, answer});
}

LRESULT PlayerModel::Info(WPARAM wParam) const {
    const Entry* entry = Current();
    bool active = entry && state_ != State::Stopped;
    switch (wParam) {
        case winamp::kInfoSampleRateKhz: return active ? 44 : 0;
        case winamp::kInfoBitRateKbps: return active ? entry->bitRateKbps : 0;
        case winamp::kInfoChannels: return active ? 2 : 0;
        case winamp::kInfoVideoSize: return entry ? MAKELONG(entry->width, entry->height) : 0;
        case winamp::kInfoVideoDescription:
            return active && !entry->videoDescription.empty() ? reinterpret_cast<LRESULT>(entry->videoDescription.c_str()) : 0;
        case winamp::kInfoSampleRateHz: return active ? 44100 : 0;
    }
    return winamp::kUnknownQueryAnswer;
}

LRESULT PlayerModel::OutputTime(WPARAM wParam, ULONGLONG nowMs) const {
    const Entry* entry = Current();
    switch (wParam) {
        case winamp::kOutputTimePosition:
            return entry && state_ != State::Stopped ? static_cast<LRESULT>(PositionMs(nowMs)) : -1;
        case winamp::kOutputTimeLengthSeconds:
            return entry && entry->lengthMs >= 0 ? static_cast<LRESULT>(entry->lengthMs / 1000) : -1;
        case winamp::kOutputTimeLengthMs:
            return entry && entry->lengthMs >= 0 ? static_cast<LRESULT>(entry->lengthMs) : -1;
    }
    return -1;
}

LRESULT PlayerModel::Answer(WPARAM wParam, LPARAM id, ULONGLONG nowMs) {
    for (const ForcedAnswer& f : forced_)
        if (f.wParam == wParam && f.id == id) return f.answer;
    const Entry* entry = Current();
    switch (id) {
        case winamp::IPC_GETVERSION: return 0x5666;
        case winamp::IPC_GETVERSIONSTRING: return reinterpret_cast<LRESULT>(scenario_.versionText.c_str());
        case winamp::IPC_ISPLAYING:
            return state_ == State::Playing  ? winamp::kIsPlayingPlaying
                   : state_ == State::Paused ? winamp::kIsPlayingPaused
                                             : winamp::kIsPlayingStopped;
        case winamp::IPC_GETOUTPUTTIME: return OutputTime(wParam, nowMs);
        case winamp::IPC_GETINFO: return Info(wParam);
        case winamp::IPC_GET_PLAYING_FILENAME: return entry ? reinterpret_cast<LRESULT>(entry->file.c_str()) : 0;
        case winamp::IPC_GET_PLAYING_TITLE: return entry ? reinterpret_cast<LRESULT>(entry->title.c_str()) : 0;
    }
    return winamp::kUnknownQueryAnswer;
}

}  // namespace winamp_sim
