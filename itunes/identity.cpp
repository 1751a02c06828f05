// Compiled with the execution character set CP932: the description is the Shift-JIS text
// the host plug-in's version dialog shows.
#include "identity.h"

#include "bridge_program.h"

namespace mivola::itunes {

namespace {

constexpr char kDescription[] = "iTunes用 Ver 1.0.0";
static_assert(sizeof kDescription <= sizeof(BridgeIdentityRecord::Description));

}  // namespace

void BuildIdentity(const wchar_t* playerVersion, BridgeIdentityRecord& record) {
    BuildBridgeIdentity(kDescription, playerVersion, record);
}

}  // namespace mivola::itunes
