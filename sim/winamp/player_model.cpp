#include "player_model.h"

#include <cstring>
#include <utility>

#include "winamp_sdk.h"

namespace winamp_sim {

LRESULT AnswerText::Hold(const void* bytes, size_t size) {
    if (size > capacity_) {
        block_.reset(::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE));
        capacity_ = block_ ? size : 0;
        if (!block_) return 0;
    }
    std::memcpy(block_.get(), bytes, size);
    return reinterpret_cast<LRESULT>(block_.get());
}

namespace {
LRESULT HoldText(AnswerText& slot, const std::wstring& text) {
    return slot.Hold(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}
LRESULT HoldText(AnswerText& slot, const std::string& text) { return slot.Hold(text.c_str(), text.size() + 1); }
}  // namespace

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

LRESULT PlayerModel::Info(WPARAM wParam) {
    const Entry* entry = Current();
    bool active = entry && state_ != State::Stopped;
    switch (wParam) {
        case winamp::kInfoSampleRateKhz: return active ? 44 : 0;
        case winamp::kInfoBitRateKbps: return active ? entry->bitRateKbps : 0;
        case winamp::kInfoChannels: return active ? 2 : 0;
        case winamp::kInfoVideoSize: return entry ? MAKELONG(entry->width, entry->height) : 0;
        case winamp::kInfoVideoDescription:
            return active && !entry->videoDescription.empty() ? HoldText(videoDescription_, entry->videoDescription) : 0;
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
        case winamp::IPC_GETVERSIONSTRING: return HoldText(version_, scenario_.versionText);
        case winamp::IPC_ISPLAYING:
            return state_ == State::Playing  ? winamp::kIsPlayingPlaying
                   : state_ == State::Paused ? winamp::kIsPlayingPaused
                                             : winamp::kIsPlayingStopped;
        case winamp::IPC_GETOUTPUTTIME: return OutputTime(wParam, nowMs);
        case winamp::IPC_GETINFO: return Info(wParam);
        case winamp::IPC_GET_PLAYING_FILENAME: return entry ? HoldText(file_, entry->file) : 0;
        case winamp::IPC_GET_PLAYING_TITLE: return entry ? HoldText(title_, entry->title) : 0;
    }
    return winamp::kUnknownQueryAnswer;
}

}  // namespace winamp_sim
