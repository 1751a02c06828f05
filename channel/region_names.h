// Names of the shared objects, composed from a player key.
#pragma once

#include <cstddef>

namespace mivola {

constexpr size_t kRegionNameMax = 64;

constexpr const char kRequestRegion[] = "ZEQ_Plugin_WMP_Org_Info_ZEQ";
constexpr const char kAnswerRegion[] = "ZEQ_Plugin_WMP_Org_Info_WMP";
constexpr const char kRequestMutex[] = "ZEQ_Plugin_WMP_Org_Info_ZEQ_Mutex";
constexpr const char kAnswerMutex[] = "ZEQ_Plugin_WMP_Org_Info_WMP_Mutex";

// "ZEQ_Plugin_" + key + suffix into out (kRegionNameMax bytes); false if it does not fit.
bool PluginObjectName(char (&out)[kRegionNameMax], const char* key, const char* suffix);
// "ZEQ_Plugin_<key>_Info": the now-playing region.
bool NowPlayingRegionName(char (&out)[kRegionNameMax], const char* key);
// "ZEQ_Plugin_<key>_PIN": the identity region.
bool IdentityRegionName(char (&out)[kRegionNameMax], const char* key);

}  // namespace mivola
