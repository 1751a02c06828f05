// A now-playing record with every field set to a distinct value, built field by field,
// so that two builds agree on its bytes only if they agree on the layout.
#pragma once

#include "now_playing_record.h"

namespace mivola::test {

void FillSampleRecord(NowPlayingRecord& r);

}  // namespace mivola::test
