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

}  // namespace mivola
