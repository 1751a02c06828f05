// One poll of Windows Media Player: the core's answers turned into a now-playing record, and
// the host's custom attribute request answered for the current media item.
#pragma once

#include <windows.h>
#include <wmp.h>

#include "attribute_answer.h"
#include "named_mutex.h"
#include "now_playing_record.h"
#include "shared_region.h"

namespace mivola::wmp {

// Where a poll answers the host's custom attribute request.
struct AttributeExchange {
    NamedMutex& requestMutex;
    NamedMutex& answerMutex;
    SharedRegion& answerRegion;  // opened on the first answer and kept open
    ExchangeNames names;
};

// Fills a zeroed record from the core, asking in the player's fixed order: play state; in the
// states stopped, paused, playing and ready the current item's name, source, genre, author,
// album, track number, picture size, duration and file size, then the request through
// `exchange` (skipped when null); position; status; network statistics and protocol. A call
// that fails leaves its field zero or empty, and its out value is neither taken nor freed.
void GatherRecord(IWMPCore* core, NowPlayingRecord& record, AttributeExchange* exchange);

}  // namespace mivola::wmp
