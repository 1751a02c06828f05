// A named, paging-file-backed block of shared memory with its guarding mutex.
// Whoever opens a name first creates the block; it lives while any process holds it.
#pragma once

#include <windows.h>

#include "named_mutex.h"
#include "unique_handle.h"

namespace mivola {

enum RegionOpenResult : int {
    RegionCreated = 0,    // the mapping did not exist and was created by this call
    RegionExisted = 1,    // another party holds the mapping; it was opened
    RegionNoMapping = 2,  // CreateFileMappingA failed
    RegionNoView = 3,     // MapViewOfFile failed (e.g. existing mapping smaller than asked)
    RegionNoMutex = 4,    // the region's mutex could not be created
};

// Room for a composed object name, terminator included; callers pass short names.
constexpr size_t kRegionNameCapacity = 10240;

class SharedRegion {
public:
    SharedRegion() = default;
    SharedRegion(const SharedRegion&) = delete;
    SharedRegion& operator=(const SharedRegion&) = delete;
    ~SharedRegion() { Close(); }

    // Releases whatever was held, then creates or opens "Talvimora_<name>_FileMap"
    // with `size` bytes and its mutex "Talvimora_<name>_Mutex". Failure leaves it closed.
    RegionOpenResult Open(const char* name, DWORD size);
    void Close();

    // The region's mutex; hold it with a MutexLock (scoped_lock.h).
    NamedMutex& Mutex() { return mutex_; }
    DWORD Lock() { return mutex_.Lock(); }
    BOOL Unlock() { return mutex_.Unlock(); }
    bool IsBusy() { return mutex_.IsBusy(); }

    void* View() const { return view_.get(); }
    bool IsOpen() const { return view_.get() != nullptr; }

private:
    unique_handle mapping_;
    unique_view view_;
    NamedMutex mutex_;
};

// Builds "Talvimora_" + name + suffix into out; false (and an empty out) if it does not fit.
bool ComposeObjectName(char* out, size_t capacity, const char* name, const char* suffix);

}  // namespace mivola
