// Whole-record copies in and out of a region, always under the region's mutex.
#pragma once

#include <cstddef>

#include "shared_region.h"

namespace mivola {

// Lock, copy all of image into the view, Unlock. Does nothing on a closed region.
void PublishRecord(SharedRegion& region, const void* image, size_t size);
// Lock, zero size bytes of the view, Unlock: readers see no player. Nothing on a closed region.
void ZeroRecord(SharedRegion& region, size_t size);
// ZeroRecord, then Close: how a bridge withdraws.
void WithdrawRecord(SharedRegion& region, size_t size);
// Lock, copy size bytes out into a private buffer, Unlock. False on a closed region.
bool CopyRecordOut(SharedRegion& region, void* out, size_t size);

}  // namespace mivola
