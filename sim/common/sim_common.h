// What every stand-in does alike: reads its scenario file (UTF-8 lines of "key value") and
// writes its log (one UTF-8 line per event, time-stamped in ms since start, written at once so
// that a test can follow it while the stand-in runs).
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "unique_handle.h"

namespace sim_common {

// UTF-8 to wide text; an invalid sequence becomes U+FFFD.
std::wstring FromUtf8(const std::string& utf8);
// The same, but false on an invalid sequence.
bool FromUtf8Strict(const std::string& utf8, std::wstring& out);
std::string ToUtf8(const std::wstring& text);

// A whole decimal, hexadecimal (0x) or octal number; false on anything left over or on overflow.
bool ParseInteger(const std::string& text, long long& value);
// "key rest of the line": the first word and what follows its space.
void SplitWord(const std::string& line, std::string& key, std::string& value);

enum class Indent { Kept, Dropped };
// Calls line(number, text) for each line of a scenario: a leading byte-order mark and the
// line breaks are dropped, and so are empty lines and comments ("#"). With Indent::Dropped,
// leading blanks are dropped first. Stops at the first line that returns false, with error
// "<prefix><number>: <line>".
bool ForEachScenarioLine(const std::string& utf8, Indent indent, const char* errorPrefix,
                         const std::function<bool(int, const std::string&)>& line, std::string& error);
// The bytes of a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

enum class LogMode {
    Fresh,   // the file is made anew
    Append,  // lines are added to what is there: several processes may write one file
};

class EventLog {
public:
    // An empty path keeps the log closed; every write is then dropped. Opening again closes the
    // file open before.
    bool Open(const std::wstring& path, LogMode mode = LogMode::Fresh);
    void Close() { Open(std::wstring()); }
    bool IsOpen() const { return open_; }
    // Any thread may write, also while another opens or closes the log: lines never interleave.
    void Write(const std::string& event);

private:
    mivola::unique_hfile file_;
    std::atomic<bool> open_{false};
    SRWLOCK lock_ = SRWLOCK_INIT;
    ULONGLONG start_ = ::GetTickCount64();
};

}  // namespace sim_common
