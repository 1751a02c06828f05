// The bridge's identity record: its own program path, its description and the version of
// the iTunes it is attached to. Open exactly while attached.
#pragma once

#include <windows.h>

#include "bridge_identity_record.h"
#include "shared_region.h"

namespace mivola::itunes {

// Fills a zeroed record for this program and the given player version.
void BuildIdentity(const wchar_t* playerVersion, BridgeIdentityRecord& record);
// Creates or opens "ZEQ_Plugin_iTunes_PIN" and writes the record; the region stays open.
void PublishIdentity(SharedRegion& identity, const wchar_t* playerVersion);
// Zeroes and closes the region when it is open; otherwise nothing.
void WithdrawIdentity(SharedRegion& identity);

}  // namespace mivola::itunes
