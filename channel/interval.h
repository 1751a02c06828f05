// Polling intervals: unsigned milliseconds, kept within 10..9999.
#pragma once

#include <windows.h>

namespace mivola {

constexpr UINT kIntervalMin = 10;
constexpr UINT kIntervalMax = 9999;
constexpr UINT kIntervalDefault = 1000;

// Values are unsigned, so a negative number read from a file arrives huge and becomes the maximum.
constexpr UINT ClampInterval(UINT ms) { return ms < kIntervalMin ? kIntervalMin : ms > kIntervalMax ? kIntervalMax : ms; }

// Reads an interval from an INI file (default 1000 when missing) and clamps it.
UINT ReadIntervalSetting(const char* iniPath, const char* section, const char* key);

// An interval field's text as an unsigned number: digits, optionally grouped with the thousands
// separator an up-down control writes ("1,500"), surrounded by spaces or tabs. Anything else,
// and the empty text, reads as 0; numbers beyond UINT_MAX saturate.
UINT ParseIntervalText(const wchar_t* text, const wchar_t* thousandsSeparator);

// An interval edit field's whole text read as above, with the user's thousands separator.
UINT ReadIntervalField(HWND field);

}  // namespace mivola
