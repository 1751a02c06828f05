#include "request_check.h"

#include <cstring>
#include <vector>

#include "install_request.h"
#include "player_folder.h"
#include "players.h"

namespace mivola::installer {

namespace {

bool Decode(const char* text, size_t length, std::wstring& out) {
    out.clear();
    if (length == 0) return true;
    int units = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), nullptr, 0);
    if (units <= 0) return false;
    out.assign(static_cast<size_t>(units), L'\0');
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), &out[0], units) == units;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// A full path with nothing to resolve: no "." or ".." parts, no forward slashes, no doubled
// separators. What the registry names must already be in this form to be trusted.
bool IsCanonical(const std::wstring& path) {
    if (path.size() < 3 || path.find(L'/') != std::wstring::npos) return false;
    wchar_t full[kPathCapacity];
    DWORD n = ::GetFullPathNameW(path.c_str(), kPathCapacity, full, nullptr);
    return n > 0 && n < kPathCapacity && SamePath(std::wstring(full, n), path);
}

bool IsFile(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDirectory(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A real folder: a junction or link could lead an elevated write anywhere.
bool IsPlainDirectory(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return IsDirectory(path) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

}  // namespace

bool ParseRequestSize(const wchar_t* argument, uint32_t& size) {
    if (!argument || argument[0] < L'1' || argument[0] > L'9') return false;
    uint32_t value = 0;
    for (const wchar_t* p = argument; *p; ++p) {
        if (*p < L'0' || *p > L'9' || p - argument >= 4) return false;
        value = value * 10 + static_cast<uint32_t>(*p - L'0');
    }
    if (value < kInstallRequestMinSize || value > kInstallRequestMaxSize) return false;
    size = value;
    return true;
}

bool ParseRequest(const unsigned char* bytes, uint32_t size, Request& request) {
    if (size < kInstallRequestMinSize || size > kInstallRequestMaxSize) return false;
    InstallRequestHeader header;
    std::memcpy(&header, bytes, sizeof header);
    if (header.operation != kOperationInstall && header.operation != kOperationUninstall) return false;
    if (header.playerId != kPlayerWmp && header.playerId != kPlayerWinamp) return false;
    if (header.reserved != 0 || header.firstPathOffset != sizeof header) return false;
    const char* text = reinterpret_cast<const char*>(bytes);
    const void* firstEnd = std::memchr(text + sizeof header, '\0', size - sizeof header);
    if (!firstEnd) return false;
    const size_t l1 = static_cast<size_t>(static_cast<const char*>(firstEnd) - text) - sizeof header;
    if (header.secondPathOffset != sizeof header + l1 + 1 || header.secondPathOffset >= size) return false;
    // The second path ends exactly at the last byte: its only NUL is there.
    const size_t l2 = size - 1 - header.secondPathOffset;
    if (std::memchr(text + header.secondPathOffset, '\0', l2 + 1) != text + size - 1) return false;
    if (l1 >= kPathCapacity || l2 >= kPathCapacity) return false;
    request.operation = header.operation;
    request.playerId = header.playerId;
    return Decode(text + sizeof header, l1, request.first) && Decode(text + header.secondPathOffset, l2, request.second);
}

bool PathsAreExpected(const Request& request, const std::wstring& installerDir) {
    const InstallablePlayer* player = FindInstallablePlayer(request.playerId);
    if (!player) return false;
    char folderA[kPathCapacity];
    char bridgeA[kPathCapacity];
    if (!FindPlayerFolder(request.playerId, folderA, kPathCapacity) ||
        !BridgePathIn(folderA, *player, bridgeA, kPathCapacity))
        return false;
    std::wstring folder, bridge, program, file, subfolder;
    if (!Decode(folderA, std::strlen(folderA), folder) || !Decode(bridgeA, std::strlen(bridgeA), bridge) ||
        !Decode(player->program, std::strlen(player->program), program) ||
        !Decode(player->bridgeFile, std::strlen(player->bridgeFile), file) ||
        !Decode(player->subfolder, std::strlen(player->subfolder), subfolder))
        return false;
    // A rewritten per-user value must not aim the installer at a folder that is no player's.
    if (!IsCanonical(bridge) || !IsPlainDirectory(folder) || !IsFile(folder + program)) return false;
    if (!subfolder.empty() && !IsPlainDirectory(folder + subfolder)) return false;
    if (!SamePath(request.first, bridge)) return false;
    if (request.operation == kOperationUninstall) return request.second.empty();
    const std::wstring source = installerDir + file;
    return IsCanonical(source) && SamePath(request.second, source) && IsFile(source);
}

}  // namespace mivola::installer
