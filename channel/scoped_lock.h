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
    // Takes the mutex only if nobody else holds it, and keeps it. A writer that must not stall
    // locks this way rather than probing first and waiting after: between the two, another
    // process could take the mutex and block the writer for as long as it holds it.
    struct NoWait {};
    MutexLock(NamedMutex& mutex, NoWait) : mutex_(&mutex), result_(mutex.Lock(0)) {}
    MutexLock(SharedRegion& region, NoWait) : MutexLock(region.Mutex(), NoWait{}) {}
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    ~MutexLock() {
        if (Acquired()) mutex_->Unlock();
    }

    DWORD WaitResult() const { return result_; }
    bool Acquired() const { return result_ == WAIT_OBJECT_0 || result_ == WAIT_ABANDONED; }
    // Another thread owned the mutex when a NoWait lock was tried.
    bool Busy() const { return result_ == WAIT_TIMEOUT; }

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
