#include "bridge_placement.h"

#include "install_request.h"
#include "players.h"
#include "registrar.h"

namespace mivola::installer {

namespace {

// The bridge's registration is made from its own registry script read as data, with the
// registrar the bridge uses itself: no code of the file just copied runs elevated, and a
// bridge running in the player keeps its identity record, which loading the copy as code would
// publish over and then zero.
bool Register(const std::wstring& path) { return SUCCEEDED(RegisterModuleFile(path, true)); }
bool Unregister(const std::wstring& path) { return SUCCEEDED(RegisterModuleFile(path, false)); }

bool InstallWmp(const Request& request) {
    if (!::CopyFileW(request.second.c_str(), request.first.c_str(), FALSE)) return false;
    if (Register(request.first)) return true;
    // A half-made registration is taken back with the copy it points to.
    Unregister(request.first);
    ::DeleteFileW(request.first.c_str());
    return false;
}

bool UninstallWmp(const Request& request) {
    const bool unregistered = Unregister(request.first);
    if (unregistered && ::DeleteFileW(request.first.c_str())) return true;
    // The file stays (the player may hold it): it stays registered too, as the user still sees it.
    Register(request.first);
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
