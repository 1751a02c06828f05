#include "named_mutex.h"

namespace mivola {

bool NamedMutex::Create(const char* name, bool failIfExists) {
    Close();
    handle_.reset(::CreateMutexA(nullptr, FALSE, name));
    if (!handle_) {
        Close();
        return false;
    }
    if (failIfExists && ::GetLastError() == ERROR_ALREADY_EXISTS) return false;
    return true;
}

BOOL NamedMutex::Close() {
    HANDLE h = handle_.release();
    return h ? ::CloseHandle(h) : 0;
}

DWORD NamedMutex::Lock(DWORD timeoutMs) {
    if (!handle_) return WAIT_FAILED;
    return ::WaitForSingleObject(handle_.get(), timeoutMs);
}

BOOL NamedMutex::Unlock() {
    if (!handle_) return FALSE;
    return ::ReleaseMutex(handle_.get());
}

bool NamedMutex::IsBusy() {
    if (!handle_) return false;
    DWORD r = ::WaitForSingleObject(handle_.get(), 0);
    if (r == WAIT_TIMEOUT) return true;
    ::ReleaseMutex(handle_.get());
    return false;
}

}  // namespace mivola
