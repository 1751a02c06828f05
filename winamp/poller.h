// One poll of Winamp: the queries of a timer tick turned into a now-playing record.
#pragma once

#include <windows.h>

#include "now_playing_record.h"
#include "shared_region.h"

namespace mivola::winamp_bridge {

// Fills a zeroed record from the player's answers, asking in the fixed order:
// status, title, file name, video size, video description, length, position, bit rate.
void FillRecord(HWND player, NowPlayingRecord& record);

// One tick: skipped while another process holds the region; otherwise the record is
// built and copied into the view under the lock. Does nothing on a closed region.
void PublishTick(SharedRegion& region, HWND player);

// Whether an answer can be an address of the player's memory rather than a small
// number such as the 1 of a query the player does not know.
constexpr bool IsTextAddress(LRESULT answer) { return static_cast<ULONG_PTR>(answer) > 0xFFFF; }

}  // namespace mivola::winamp_bridge
