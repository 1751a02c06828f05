// Owner of one named Win32 mutex, shared by name between processes.
#pragma once

#include <windows.h>

#include "unique_handle.h"

namespace mivola {

class NamedMutex {
public:
    NamedMutex() = default;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex() { Close(); }

    // Creates or opens the mutex `name`. With failIfExists set, a mutex that already
    // existed yields false; the handle is kept all the same and released by Close.
    bool Create(const char* name, bool failIfExists);
    // Result of CloseHandle, or 0 when nothing was held.
    BOOL Close();
    // Waits without time-out, or for timeoutMs (0: only takes a free mutex). An abandoned mutex
    // counts as acquired; WAIT_TIMEOUT means another thread owns it.
    DWORD Lock(DWORD timeoutMs = INFINITE);
    BOOL Unlock();
    // True when another thread owns the mutex; never waits and never keeps ownership.
    bool IsBusy();

    HANDLE Handle() const { return handle_.get(); }

private:
    unique_handle handle_;
};

}  // namespace mivola
