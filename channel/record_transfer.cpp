#include "record_transfer.h"

#include <cstring>

namespace mivola {

void PublishRecord(SharedRegion& region, const void* image, size_t size) {
    if (!region.View()) return;
    region.Lock();
    std::memcpy(region.View(), image, size);
    region.Unlock();
}

void WithdrawRecord(SharedRegion& region, size_t size) {
    if (region.View()) {
        region.Lock();
        std::memset(region.View(), 0, size);
        region.Unlock();
    }
    region.Close();
}

bool CopyRecordOut(SharedRegion& region, void* out, size_t size) {
    if (!region.View()) return false;
    region.Lock();
    std::memcpy(out, region.View(), size);
    region.Unlock();
    return true;
}

}  // namespace mivola
