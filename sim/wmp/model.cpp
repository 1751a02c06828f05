#include "model.h"

namespace wmp_sim {

const char* const kNetworkNames[NetCount] = {
    "bandwidth", "maxbandwidth", "bitrate", "encodedframerate", "framerate", "framesskipped", "receivedpackets",
    "receptionquality", "recoveredpackets", "lostpackets", "bufferingcount", "bufferingprogress", "downloadprogress"};

PlayerModel::PlayerModel(PlayerState initial) : s_(std::move(initial)) {
    if (s_.state == 3) playingSince_ = ::GetTickCount64();
}

void PlayerModel::FoldPosition(ULONGLONG now) {
    if (s_.state == 3) positionBase_ += static_cast<double>(now - playingSince_) / 1000.0;
    playingSince_ = now;
}

PlayerState PlayerModel::Snapshot(double* position) const {
    ::AcquireSRWLockShared(&lock_);
    PlayerState copy = s_;
    if (position) {
        *position = positionBase_;
        if (s_.state == 3) *position += static_cast<double>(::GetTickCount64() - playingSince_) / 1000.0;
    }
    ::ReleaseSRWLockShared(&lock_);
    return copy;
}

void PlayerModel::SetState(LONG state) {
    ::AcquireSRWLockExclusive(&lock_);
    FoldPosition(::GetTickCount64());
    if (state == 1) positionBase_ = 0;  // stopped: back to the start
    s_.state = state;
    ::ReleaseSRWLockExclusive(&lock_);
}

void PlayerModel::SetMedia(int index) {
    ::AcquireSRWLockExclusive(&lock_);
    FoldPosition(::GetTickCount64());
    positionBase_ = 0;
    s_.current = index;
    ::ReleaseSRWLockExclusive(&lock_);
}

void PlayerModel::SetStatus(const std::wstring& status) {
    ::AcquireSRWLockExclusive(&lock_);
    s_.status = status;
    s_.hasStatus = true;
    ::ReleaseSRWLockExclusive(&lock_);
}

void PlayerModel::SetSlow(DWORD ms) {
    ::AcquireSRWLockExclusive(&lock_);
    s_.slowMs = ms;
    ::ReleaseSRWLockExclusive(&lock_);
}

DWORD PlayerModel::Slow() const {
    ::AcquireSRWLockShared(&lock_);
    DWORD ms = s_.slowMs;
    ::ReleaseSRWLockShared(&lock_);
    return ms;
}

bool PlayerModel::LogCalls() const { return Flag(&PlayerState::logCalls); }

bool PlayerModel::Flag(bool PlayerState::*flag) const {
    ::AcquireSRWLockShared(&lock_);
    bool on = s_.*flag;
    ::ReleaseSRWLockShared(&lock_);
    return on;
}

}  // namespace wmp_sim
