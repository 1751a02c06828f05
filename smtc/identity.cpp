// Compiled with the execution character set CP932: the description is the Shift-JIS text
// the host plug-in's version dialog shows.
#include "identity.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "text_copy.h"

namespace mivola::smtc {

namespace {

constexpr char kDescription[] = "SMTC用 Ver 1.0.0";
static_assert(sizeof kDescription <= sizeof(BridgeIdentityRecord::Description));

// Long enough for any path the system gives a program.
constexpr DWORD kPathMax = 32768;

}  // namespace

void BuildIdentity(const wchar_t* appId, BridgeIdentityRecord& record) {
    std::memset(&record, 0, sizeof record);
    std::vector<wchar_t> path(kPathMax, L'\0');
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), kPathMax);
    if (n >= kPathMax) n = 0;
    CopyText(record.ModulePath, 4096, path.data(), n);
    CopyText(record.Description, kDescription);
    CopyText(record.PlayerVersion, appId);
}

}  // namespace mivola::smtc
