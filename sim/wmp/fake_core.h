// The IWMPCore a plug-in gets from the stand-in, with the IWMPMedia, IWMPControls and
// IWMPNetwork reachable from it (mingw-w64's wmp.h). Every object answers from the shared
// PlayerModel; calls may come from any thread (reference counts are atomic).
#pragma once

#include <windows.h>
#include <wmp.h>

#include "model.h"

namespace wmp_sim {

// A new core for plug-in `index` with one reference. Its memory is never freed: a call after
// its last Release is logged as "call-after-release" instead of crashing the stand-in.
IWMPCore* NewCore(PlayerModel& model, int index);

}  // namespace wmp_sim
