// Compiled with the execution character set CP932: the description is the Shift-JIS text
// the host plug-in's version dialog shows.
#include "identity.h"

#include <cstring>

#include "bridge_program.h"

namespace mivola::smtc {

namespace {

constexpr char kDescription[] = "SMTC用 Ver 1.0.0";
static_assert(sizeof kDescription <= sizeof(BridgeIdentityRecord::Description));

}  // namespace

void BuildIdentity(const wchar_t* appId, BridgeIdentityRecord& record) {
    std::memset(&record, 0, sizeof record);
    BuildBridgeIdentity(kDescription, appId, record);
}

}  // namespace mivola::smtc
