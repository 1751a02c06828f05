#include "ini_file_update.h"

#include <windows.h>

#include <vector>

namespace mivola {

namespace {

// Every section with its "key=value" lines, as the profile functions read the file now.
bool Contents(const char* path, std::string& out) {
    out.clear();
    std::vector<char> names(4096);
    DWORD n;
    // Both functions return size - 2 when the buffer was too small.
    while ((n = ::GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), path)) ==
           names.size() - 2)
        names.resize(names.size() * 2);
    std::vector<char> lines(16384);
    for (const char* name = names.data(); *name; name += std::char_traits<char>::length(name) + 1) {
        DWORD m;
        while ((m = ::GetPrivateProfileSectionA(name, lines.data(), static_cast<DWORD>(lines.size()), path)) ==
               lines.size() - 2)
            lines.resize(lines.size() * 2);
        out.append("[").append(name).append("]").push_back('\0');
        out.append(lines.data(), m).push_back('\0');
    }
    out.append(names.data(), n);
    return true;
}

// Drops the system's cached image of a profile file, so the next read parses the disk.
void ForgetCached(const char* path) { ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, path); }

}  // namespace

IniFileUpdate::IniFileUpdate(const std::string& path) : path_(path), copy_(path + ".tmp") {
    ForgetCached(copy_.c_str());
    ::DeleteFileA(copy_.c_str());  // one left by an interrupted save
    if (::GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ok_ = ::CopyFileA(path_.c_str(), copy_.c_str(), FALSE) != FALSE;
        // A read-only file stays read-only, but its copy must take the writes.
        if (ok_) ::SetFileAttributesA(copy_.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

IniFileUpdate::~IniFileUpdate() {
    if (committed_) return;
    ForgetCached(copy_.c_str());
    ::DeleteFileA(copy_.c_str());
}

bool IniFileUpdate::Write(const char* section, const char* key, const char* value) {
    if (ok_ && !::WritePrivateProfileStringA(section, key, value, copy_.c_str())) ok_ = false;
    return ok_;
}

bool IniFileUpdate::Commit() {
    if (!ok_ || committed_) return false;
    // What was meant to be written (the cached image), against what the disk holds.
    std::string meant, written;
    Contents(copy_.c_str(), meant);
    ForgetCached(copy_.c_str());
    Contents(copy_.c_str(), written);
    ForgetCached(copy_.c_str());
    if (meant != written) return false;
    if (!::MoveFileExA(copy_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
    committed_ = true;
    ForgetCached(path_.c_str());
    return true;
}

}  // namespace mivola
