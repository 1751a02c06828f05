// The modal dialog in which the user sets the polling interval.
#pragma once

#include <windows.h>

namespace mivola::winamp_bridge {

// Shows dialog 104 of `module` owned by `owner`. On OK the field's value, clamped, becomes
// *intervalMs and is saved to the settings file; Cancel changes nothing.
void ShowSettingsDialog(HMODULE module, HWND owner, UINT* intervalMs);

// The field's text as an interval entry: digits, optionally grouped with the locale's
// thousands separator (the spinner writes "1,000") and surrounded by spaces. Anything
// else, and the empty text, reads as 0; numbers beyond UINT_MAX saturate.
UINT ParseIntervalText(const wchar_t* text, const wchar_t* thousandsSeparator);

}  // namespace mivola::winamp_bridge
