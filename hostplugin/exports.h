// The plug-in's one instance, shared by the exports and the DLL entry point.
#pragma once

#include "host_plugin.h"

namespace mivola {

HostPlugin& ThePlugin();

}  // namespace mivola
