#include "poller.h"
#include "scoped_lock.h"

#include <cstdint>
#include <cstring>

#include "play_state.h"
#include "record_transfer.h"
#include "text_copy.h"
#include "winamp_sdk.h"

namespace mivola::winamp_bridge {

namespace {

struct StatusMapping {
    LRESULT answer;
    uint16_t playState;
};

// Winamp's playing status to the record's play-state codes; anything else stays undefined.
constexpr StatusMapping kStatusMap[] = {
    {winamp::kIsPlayingStopped, PlayStateStopped},
    {winamp::kIsPlayingPlaying, PlayStatePlaying},
    {winamp::kIsPlayingPaused, PlayStatePaused},
};

// Video descriptions are addresses; answers up to this are not.
constexpr ULONG_PTR kVideoDescriptionFloor = 0x10000;

LRESULT Ask(HWND player, WPARAM wParam, LPARAM query) { return ::SendMessageA(player, winamp::WM_WA_IPC, wParam, query); }

uint16_t MapStatus(LRESULT answer) {
    for (const StatusMapping& m : kStatusMap)
        if (m.answer == answer) return m.playState;
    return PlayStateUndefined;
}

// Values wider than the record's 32-bit fields saturate instead of wrapping.
int32_t ToField(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

template <size_t N>
void CopyAnswerText(wchar_t (&field)[N], LRESULT answer) {
    if (IsTextAddress(answer)) CopyText(field, reinterpret_cast<const wchar_t*>(answer));
}

// Milliseconds to whole seconds; -1 means the player does not know.
void StoreSeconds(int32_t& field, LRESULT answerMs) {
    if (answerMs != -1) field = ToField(static_cast<int64_t>(answerMs) / 1000);
}

}  // namespace

void FillRecord(HWND player, NowPlayingRecord& record) {
    record.Magic = kRecordMagic;
    record.Version = kVersionWinamp;
    record.PlayState = MapStatus(Ask(player, 0, winamp::IPC_ISPLAYING));
    CopyAnswerText(record.Title, Ask(player, 0, winamp::IPC_GET_PLAYING_TITLE));
    CopyAnswerText(record.Path, Ask(player, 0, winamp::IPC_GET_PLAYING_FILENAME));
    LRESULT size = Ask(player, winamp::kInfoVideoSize, winamp::IPC_GETINFO);
    LRESULT description = Ask(player, winamp::kInfoVideoDescription, winamp::IPC_GETINFO);
    if (static_cast<ULONG_PTR>(description) > kVideoDescriptionFloor) {
        record.Width = LOWORD(size);
        record.Height = HIWORD(size);
    }
    StoreSeconds(record.Length, Ask(player, winamp::kOutputTimeLengthMs, winamp::IPC_GETOUTPUTTIME));
    StoreSeconds(record.Position, Ask(player, winamp::kOutputTimePosition, winamp::IPC_GETOUTPUTTIME));
    record.BitRate = ToField(static_cast<int64_t>(Ask(player, winamp::kInfoBitRateKbps, winamp::IPC_GETINFO)) * 1000);
}

void PublishTick(SharedRegion& region, HWND player) {
    if (!region.IsOpen()) return;
    // Skipped while the host copies the record, so that Winamp's window thread never waits;
    // otherwise held across the player's answers, so that a reader never sees half a tick.
    MutexLock lock(region, MutexLock::NoWait{});
    if (lock.Busy()) return;
    NowPlayingRecord record;
    std::memset(&record, 0, sizeof record);
    FillRecord(player, record);
    // The mutex is already ours; taking it again for the copy is allowed to its owner.
    PublishRecord(region, &record, sizeof record);
}

}  // namespace mivola::winamp_bridge
