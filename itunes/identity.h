// The iTunes bridge's identity record: its own program path, its description and the version of
// the iTunes it is attached to. The frame publishes it while the bridge is attached.
#pragma once

#include "bridge_identity_record.h"

namespace mivola::itunes {

// Fills a zeroed record for this program and the given player version.
void BuildIdentity(const wchar_t* playerVersion, BridgeIdentityRecord& record);

}  // namespace mivola::itunes
