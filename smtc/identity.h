// The bridge's identity record: its own program path, its description, and as the player
// version the source app id of the session being shown (empty without one).
#pragma once

#include "bridge_identity_record.h"

namespace mivola::smtc {

// Fills record from zero for this program and the given app id (null: none), cut to 63 units.
void BuildIdentity(const wchar_t* appId, BridgeIdentityRecord& record);

}  // namespace mivola::smtc
