// The identity record each bridge publishes: which module runs, its version, and
// the version of the player it is attached to. All zero means no bridge.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mivola {

constexpr uint32_t kBridgeIdentityRecordSize = 8384;

struct BridgeIdentityRecord {
    wchar_t ModulePath[4096];
    char Description[64];  // code page 932
    wchar_t PlayerVersion[64];
};

static_assert(offsetof(BridgeIdentityRecord, ModulePath) == 0);
static_assert(offsetof(BridgeIdentityRecord, Description) == 8192);
static_assert(offsetof(BridgeIdentityRecord, PlayerVersion) == 8256);
static_assert(sizeof(BridgeIdentityRecord) == kBridgeIdentityRecordSize);

}  // namespace mivola
