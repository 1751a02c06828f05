// Compiled with the execution character set CP932: the description is the Shift-JIS text
// the host plug-in's version dialog shows.
#include "identity.h"

#include <cstring>
#include <vector>

#include "record_transfer.h"
#include "region_names.h"
#include "text_copy.h"

namespace mivola::itunes {

namespace {

constexpr char kDescription[] = "iTunes用 Ver 1.0.0";
static_assert(sizeof kDescription <= sizeof(BridgeIdentityRecord::Description));

// Long enough for any path the system gives a program.
constexpr DWORD kPathMax = 32768;

}  // namespace

void BuildIdentity(const wchar_t* playerVersion, BridgeIdentityRecord& record) {
    std::vector<wchar_t> path(kPathMax, L'\0');
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), kPathMax);
    if (n >= kPathMax) n = 0;
    CopyText(record.ModulePath, 4096, path.data(), n);
    CopyText(record.Description, kDescription);
    CopyText(record.PlayerVersion, playerVersion);
}

void PublishIdentity(SharedRegion& identity, const wchar_t* playerVersion) {
    BridgeIdentityRecord record;
    std::memset(&record, 0, sizeof record);
    BuildIdentity(playerVersion, record);
    char name[kRegionNameMax];
    if (!IdentityRegionName(name, "iTunes")) return;
    identity.Open(name, kBridgeIdentityRecordSize);
    PublishRecord(identity, &record, sizeof record);
}

void WithdrawIdentity(SharedRegion& identity) {
    if (!identity.IsOpen()) return;
    WithdrawRecord(identity, kBridgeIdentityRecordSize);
}

}  // namespace mivola::itunes
