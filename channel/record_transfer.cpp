#include "record_transfer.h"
#include "scoped_lock.h"

#include <cstring>

namespace mivola {

void PublishRecord(SharedRegion& region, const void* image, size_t size) {
    if (!region.View()) return;
    MutexLock lock(region);
    std::memcpy(region.View(), image, size);
}

void ZeroRecord(SharedRegion& region, size_t size) {
    if (!region.View()) return;
    MutexLock lock(region);
    std::memset(region.View(), 0, size);
}

void WithdrawRecord(SharedRegion& region, size_t size) {
    ZeroRecord(region, size);
    region.Close();
}

bool CopyRecordOut(SharedRegion& region, void* out, size_t size) {
    if (!region.View()) return false;
    MutexLock lock(region);
    std::memcpy(out, region.View(), size);
    return true;
}

}  // namespace mivola
