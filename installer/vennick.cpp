// vennick: places or removes a player bridge on behalf of the host plug-in, with the rights
// the host plug-in lacks. Its one argument is the size of the request in the shared region
// "ZEQ_Mivola_Vennick"; when the request is accepted and every step succeeds it writes 2 over
// the request's first byte. A refused request changes nothing, in the region or elsewhere.
//
// Exit codes: 0 done, 1 refused, 2 accepted but a step failed.
#include <windows.h>

#include <cstring>
#include <vector>

#include "bridge_placement.h"
#include "install_request.h"
#include "request_check.h"
#include "shared_region.h"
#include "unique_handle.h"

using namespace mivola;
using namespace mivola::installer;

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitFailed = 2;

std::wstring InstallerDirectory() {
    wchar_t path[kPathCapacity];
    DWORD n = ::GetModuleFileNameW(nullptr, path, kPathCapacity);
    if (n == 0 || n >= kPathCapacity) return std::wstring();
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    uint32_t size = 0;
    if (argc != 2 || !ParseRequestSize(argv[1], size)) return kExitRefused;

    // Only a request the host plug-in made: the region must exist already.
    char name[kRegionNameCapacity];
    if (!ComposeObjectName(name, sizeof name, kInstallRequestRegion, "_FileMap")) return kExitRefused;
    unique_handle mapping(::OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name));
    if (!mapping) return kExitRefused;
    unique_view view(::MapViewOfFile(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size));
    if (!view) return kExitRefused;

    // Checked and used from one private copy, so a later change in the region cannot slip past.
    std::vector<unsigned char> bytes(size);
    std::memcpy(bytes.data(), view.get(), size);
    Request request;
    if (!ParseRequest(bytes.data(), size, request) || !PathsAreExpected(request, InstallerDirectory()))
        return kExitRefused;

    if (!CarryOut(request)) return kExitFailed;
    static_cast<unsigned char*>(view.get())[0] = kInstallSucceeded;
    ::FlushViewOfFile(view.get(), 1);
    return kExitDone;
}
