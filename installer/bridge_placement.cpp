#include "bridge_placement.h"

#include <objbase.h>

#include "install_request.h"
#include "players.h"
#include "unique_handle.h"

namespace mivola::installer {

namespace {

using RegistrationFn = HRESULT(STDAPICALLTYPE*)();

// Calls the bridge's own DllRegisterServer or DllUnregisterServer from the given file.
bool CallRegistration(const std::wstring& path, const char* entry) {
    unique_hmodule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) return false;
    auto fn = reinterpret_cast<RegistrationFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), entry)));
    return fn && SUCCEEDED(fn());
}

class ComApartment {
public:
    ComApartment() : initialized_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialized_) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_;
};

bool InstallWmp(const Request& request) {
    if (!::CopyFileW(request.second.c_str(), request.first.c_str(), FALSE)) return false;
    ComApartment com;
    if (CallRegistration(request.first, "DllRegisterServer")) return true;
    // A half-made registration is taken back with the copy it points to.
    CallRegistration(request.first, "DllUnregisterServer");
    ::DeleteFileW(request.first.c_str());
    return false;
}

bool UninstallWmp(const Request& request) {
    ComApartment com;
    if (!CallRegistration(request.first, "DllUnregisterServer")) return false;
    if (::DeleteFileW(request.first.c_str())) return true;
    // The file stays (the player may hold it): it stays registered too, as the user still sees it.
    CallRegistration(request.first, "DllRegisterServer");
    return false;
}

}  // namespace

bool CarryOut(const Request& request) {
    const bool install = request.operation == kOperationInstall;
    if (request.playerId == kPlayerWmp) return install ? InstallWmp(request) : UninstallWmp(request);
    if (install) return ::CopyFileW(request.second.c_str(), request.first.c_str(), FALSE) != FALSE;
    return ::DeleteFileW(request.first.c_str()) != FALSE;
}

}  // namespace mivola::installer
