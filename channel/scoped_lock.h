// Scoped locks: a named mutex (or a shared region's mutex) and a critical section are held from
// the lock's construction to the end of its scope, so that no return path keeps one.
#pragma once

#include <windows.h>

#include "named_mutex.h"
#include "shared_region.h"

namespace mivola {

// Waits for the mutex without time-out. An abandoned mutex counts as acquired; a failed wait
// (no mutex) leaves nothing to release, and the caller goes on as before the lock existed.
class [[nodiscard]] MutexLock {
public:
    explicit MutexLock(NamedMutex& mutex) : mutex_(&mutex), result_(mutex.Lock()) {}
    explicit MutexLock(SharedRegion& region) : MutexLock(region.Mutex()) {}
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    ~MutexLock() {
        if (Acquired()) mutex_->Unlock();
    }

    DWORD WaitResult() const { return result_; }
    bool Acquired() const { return result_ == WAIT_OBJECT_0 || result_ == WAIT_ABANDONED; }

private:
    NamedMutex* mutex_;
    DWORD result_;
};

class [[nodiscard]] CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& section) : section_(&section) {
        ::EnterCriticalSection(section_);
    }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;
    ~CriticalSectionLock() { ::LeaveCriticalSection(section_); }

private:
    CRITICAL_SECTION* section_;
};

}  // namespace mivola
