#include "region_names.h"

#include "text_copy.h"

namespace mivola {

bool PluginObjectName(char (&out)[kRegionNameMax], const char* key, const char* suffix) {
    return JoinText(out, kRegionNameMax, {"ZEQ_Plugin_", key, suffix});
}

bool NowPlayingRegionName(char (&out)[kRegionNameMax], const char* key) { return PluginObjectName(out, key, "_Info"); }

bool IdentityRegionName(char (&out)[kRegionNameMax], const char* key) { return PluginObjectName(out, key, "_PIN"); }

}  // namespace mivola
