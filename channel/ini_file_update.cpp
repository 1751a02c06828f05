#include "ini_file_update.h"

#include <windows.h>

#include <vector>

#include "unique_handle.h"

namespace mivola {

namespace {

// Stands for "no such key": no value read from a file can hold these bytes.
constexpr char kMissing[] = "\x01\x02missing\x02\x01";

std::string Folded(const std::string& section, const std::string& key) {
    std::string id = section + '\n' + key;
    for (char& c : id)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return id;
}

// GetPrivateProfileStringA into a buffer that grows until the whole result fits. With a null
// key the result is the section's key names, each ended by NUL.
std::string Read(const char* section, const char* key, const char* path) {
    std::vector<char> buffer(1024);
    for (;;) {
        DWORD n = ::GetPrivateProfileStringA(section, key, key ? kMissing : "", buffer.data(),
                                             static_cast<DWORD>(buffer.size()), path);
        // A full buffer reports size - 1 (one string) or size - 2 (a list).
        if (n + 2 < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> items;
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find('\0', at);
        if (end == std::string::npos) end = list.size();
        if (end > at) items.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return items;
}

std::string SectionNames(const char* path) {
    std::vector<char> buffer(4096);
    DWORD n;
    while ((n = ::GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), path)) + 2 >=
           buffer.size())
        buffer.resize(buffer.size() * 2);
    return std::string(buffer.data(), n);
}

// Drops the system's cached image of a profile file, so the next read parses the disk.
void ForgetCached(const char* path) { ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, path); }

// A name given back as it is stored: printable ASCII, and no "?" (which also stands in for a
// character the code page cannot give).
bool IsPlainText(const std::string& name) {
    for (char c : name)
        if (c < 0x20 || c > 0x7E || c == '?') return false;
    return true;
}

std::string FileBytes(const std::string& path) {
    unique_hfile f(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char chunk[4096];
    DWORD n = 0;
    while (f && ::ReadFile(f.get(), chunk, sizeof chunk, &n, nullptr) && n) bytes.append(chunk, n);
    return bytes;
}

bool EndsWithLineEnd(const std::string& bytes) { return !bytes.empty() && bytes.back() == '\n'; }

// A text file, as opposed to one holding control characters, which a rewrite may not keep.
bool IsTextFile(const std::string& bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

void Remove(const std::string& path) {
    ForgetCached(path.c_str());
    ::DeleteFileA(path.c_str());
}

}  // namespace

IniFileUpdate::IniFileUpdate(const std::string& path) : path_(path), copy_(path + ".tmp"), probe_(path + ".chk") {
    Remove(copy_);  // left by an interrupted save
    Remove(probe_);
    if (::GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    // The functions end every line they write; only a file that did not (or one that is not
    // text at all) may end otherwise.
    const std::string bytes = FileBytes(path_);
    mustEndLine_ = EndsWithLineEnd(bytes) && IsTextFile(bytes);
    ok_ = ::CopyFileA(path_.c_str(), copy_.c_str(), FALSE) != FALSE;
    // A read-only file stays read-only (the replacement fails), but its copy must take the writes.
    if (ok_) ::SetFileAttributesA(copy_.c_str(), FILE_ATTRIBUTE_NORMAL);
    // Every key the file holds now must still be there afterwards. Only names of plain text are
    // followed, and values are not compared: rewriting a file can change bytes that are no
    // valid text in its code page.
    for (const std::string& section : Split(SectionNames(path_.c_str())))
        if (IsPlainText(section))
            for (const std::string& key : Split(Read(section.c_str(), nullptr, path_.c_str())))
                if (IsPlainText(key)) kept_[Folded(section, key)] = {section, key, std::string()};
}

IniFileUpdate::~IniFileUpdate() {
    Remove(probe_);
    if (!committed_) Remove(copy_);
}

bool IniFileUpdate::Write(const char* section, const char* key, const char* value) {
    if (ok_ && (!::WritePrivateProfileStringA(section, key, value, copy_.c_str()) ||
                !::WritePrivateProfileStringA(section, key, value, probe_.c_str())))
        ok_ = false;
    if (ok_) {
        const std::string id = Folded(section, key);
        kept_.erase(id);
        written_[id] = {section, key, std::string()};
    }
    return ok_;
}

bool IniFileUpdate::Commit() {
    if (!ok_ || committed_) return false;
    ForgetCached(copy_.c_str());
    ForgetCached(probe_.c_str());
    // A copy cut short has lost its last keys, or ends inside a line.
    if (mustEndLine_ && !EndsWithLineEnd(FileBytes(copy_))) return false;
    for (const auto& [id, e] : kept_)
        if (Read(e.section.c_str(), e.key.c_str(), copy_.c_str()) == kMissing) return false;
    for (const auto& [id, e] : written_) {
        const std::string got = Read(e.section.c_str(), e.key.c_str(), copy_.c_str());
        if (got == kMissing || got != Read(e.section.c_str(), e.key.c_str(), probe_.c_str())) return false;
    }
    ForgetCached(copy_.c_str());
    if (!::MoveFileExA(copy_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
    committed_ = true;
    ForgetCached(path_.c_str());
    return true;
}

}  // namespace mivola
