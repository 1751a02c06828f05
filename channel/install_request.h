// The request the host plug-in hands to the installer program in the shared region
// "ZEQ_Mivola_Vennick": a 12-byte header, then the two paths, each with its NUL. The region is
// exactly as long as the request, and the installer is told that length on its command line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player_folder.h"

namespace mivola {

constexpr char kInstallRequestRegion[] = "ZEQ_Mivola_Vennick";

constexpr uint8_t kOperationInstall = 0;
constexpr uint8_t kOperationUninstall = 1;
// Written over the operation by the installer when every step succeeded.
constexpr uint8_t kInstallSucceeded = 2;

struct InstallRequestHeader {
    uint8_t operation;
    uint8_t playerId;
    uint16_t reserved;          // 0
    uint32_t secondPathOffset;  // 13 + length of the first path
    uint32_t firstPathOffset;   // 12
};

static_assert(offsetof(InstallRequestHeader, operation) == 0);
static_assert(offsetof(InstallRequestHeader, playerId) == 1);
static_assert(offsetof(InstallRequestHeader, reserved) == 2);
static_assert(offsetof(InstallRequestHeader, secondPathOffset) == 4);
static_assert(offsetof(InstallRequestHeader, firstPathOffset) == 8);
static_assert(sizeof(InstallRequestHeader) == 12);

// Both paths empty; the longest: two paths of kPathCapacity - 1 bytes.
constexpr uint32_t kInstallRequestMinSize = sizeof(InstallRequestHeader) + 2;
constexpr uint32_t kInstallRequestMaxSize = sizeof(InstallRequestHeader) + 2 * kPathCapacity;
static_assert(kInstallRequestMinSize == 14);
static_assert(kInstallRequestMaxSize == 4108);

}  // namespace mivola
