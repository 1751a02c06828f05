// The bridge's settings file: the module's own full path with ".ini" appended, [Main] Timing.
#pragma once

#include <windows.h>

namespace mivola::wmp {

// Interval from the file, clamped to 10..9999; 1000 when the key or the file is missing.
UINT ReadTiming(HMODULE module);
// Writes the interval as decimal text; false when the path or the write fails.
bool WriteTiming(HMODULE module, UINT intervalMs);

}  // namespace mivola::wmp
