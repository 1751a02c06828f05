// Lists of UTF-16 strings exchanged between the host plug-in and the WMP bridge:
// a 32-bit unit count N, then N units (each string with its NUL, then a final NUL).
// The request lists attribute names; the answer lists name/value pairs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "named_mutex.h"
#include "shared_region.h"

namespace mivola {

// Lists longer than this are treated as corrupt.
constexpr uint32_t kMaxListUnits = 0x01000000;

// Builds a serialised list: Add strings, then Finish appends the final NUL.
class ListBuilder {
public:
    void Add(const wchar_t* s, size_t length);
    void Add(const wchar_t* s);
    // The whole list, final NUL included; N is its size.
    const std::vector<wchar_t>& Finish();
    void Clear() { units_.clear(); }
    // Units added so far (the final NUL not yet counted).
    size_t Size() const { return units_.size(); }

private:
    std::vector<wchar_t> units_;
};

// Walks the strings of a list without ever reading past its N units.
class ListReader {
public:
    ListReader(const wchar_t* units, size_t count) : units_(units), count_(count) {}
    // Next string of the list; false at the end of the N units or when a string has no
    // terminator within them. An empty string is returned like any other.
    bool Next(const wchar_t** s, size_t* length);

private:
    const wchar_t* units_;
    size_t count_;
    size_t pos_ = 0;
};

// Publishes a list under the exchange mutex: closes the writer's own object, opens the
// region anew with 4 + 2N bytes and fills it. The writer keeps `own` open until its next write.
bool WriteList(NamedMutex& exchangeMutex, SharedRegion& own, const char* regionName, const wchar_t* units, uint32_t count);

// Copies a list out under the exchange mutex. False means "no list": the region is absent,
// N is 0 or implausible, the mapping (whole pages) is smaller than 4 + 2N bytes, or the list
// does not end in NUL within its N units. Opens only an existing region; leaves nothing open.
bool ReadList(NamedMutex& exchangeMutex, const char* regionName, std::vector<wchar_t>& out);

// Finds name in an answer list (pairs of name and value), folding ASCII case; the first match
// wins and an empty name ends the list. Returns the value (not necessarily terminated at
// *valueLength) or null.
const wchar_t* LookUpAnswer(const wchar_t* units, size_t count, const wchar_t* name, size_t nameLength,
                            size_t* valueLength);

}  // namespace mivola
