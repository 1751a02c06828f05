#include "sim_common.h"

#include <cerrno>
#include <cstdlib>

namespace sim_common {

namespace {
bool Widen(const std::string& utf8, DWORD flags, std::wstring& out) {
    out.clear();
    if (utf8.empty()) return true;
    int n = ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return false;
    out.resize(static_cast<size_t>(n));
    ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return true;
}
}  // namespace

std::wstring FromUtf8(const std::string& utf8) {
    std::wstring out;
    Widen(utf8, 0, out);
    return out;
}

bool FromUtf8Strict(const std::string& utf8, std::wstring& out) { return Widen(utf8, MB_ERR_INVALID_CHARS, out); }

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool ParseInteger(const std::string& text, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0';
}

void SplitWord(const std::string& line, std::string& key, std::string& value) {
    size_t space = line.find(' ');
    key = line.substr(0, space);
    value = space == std::string::npos ? std::string() : line.substr(space + 1);
}

bool ForEachScenarioLine(const std::string& utf8, Indent indent, const char* errorPrefix,
                         const std::function<bool(int, const std::string&)>& line, std::string& error) {
    size_t pos = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int number = 1; pos < utf8.size(); ++number) {
        size_t end = utf8.find('\n', pos);
        if (end == std::string::npos) end = utf8.size();
        std::string text = utf8.substr(pos, end - pos);
        pos = end + 1;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (indent == Indent::Dropped) text.erase(0, text.find_first_not_of(" \t"));
        if (text.empty() || text[0] == '#') continue;
        if (!line(number, text)) {
            error = errorPrefix + std::to_string(number) + ": " + text;
            return false;
        }
    }
    return true;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    mivola::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return true;
}

bool EventLog::Open(const std::wstring& path, LogMode mode) {
    mivola::unique_hfile file;
    if (!path.empty()) {
        file.reset(::CreateFileW(path.c_str(), mode == LogMode::Append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 mode == LogMode::Append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    const bool ok = path.empty() || file;
    ::AcquireSRWLockExclusive(&lock_);
    file_ = std::move(file);
    open_ = static_cast<bool>(file_);
    ::ReleaseSRWLockExclusive(&lock_);
    return ok;
}

void EventLog::Write(const std::string& event) {
    if (!open_) return;
    std::string line = std::to_string(::GetTickCount64() - start_) + " " + event + "\n";
    ::AcquireSRWLockExclusive(&lock_);
    DWORD written = 0;
    if (file_) ::WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::ReleaseSRWLockExclusive(&lock_);
}

}  // namespace sim_common
