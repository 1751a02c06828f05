// One gather: iTunes' state read in a fixed order of calls and turned into a now-playing
// record. Every call goes to the iTunes process and may wait; nothing here keeps state.
#pragma once

#include "itunes_interfaces.h"
#include "now_playing_record.h"

namespace mivola::itunes {

// Fills a zeroed record; with no application it stays all zero (no player).
// Calls: get_PlayerState, then for stopped and playing only get_CurrentTrack, the track's
// get_Name, get_Kind, get_Location or get_URL, get_Genre, get_Artist, get_Album,
// get_TrackNumber, get_Duration, get_Size, get_BitRate, and last get_PlayerPosition.
void FillRecord(IiTunes* app, NowPlayingRecord& record);

}  // namespace mivola::itunes
