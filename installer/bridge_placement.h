// The installer's job once a request is accepted: the bridge file copied into the player's
// folder or removed, and for Windows Media Player its COM registration made or undone.
#pragma once

#include "request_check.h"

namespace mivola::installer {

// True only when every step succeeded. A failed install leaves no copy behind; a failed
// removal leaves the bridge registered and in place when it can.
bool CarryOut(const Request& request);

}  // namespace mivola::installer
