// The property page: a modal dialog (resource 104) that edits the polling interval.
#pragma once

#include <windows.h>

namespace mivola::wmp {

// Shows the dialog owned by `owner`, editing *intervalMs. OK stores the clamped value in
// *intervalMs at once (the worker reads it before every wait) and writes it to the settings
// file; Cancel changes nothing.
INT_PTR ShowTimingDialog(HMODULE module, HWND owner, volatile UINT* intervalMs);

// The edit's text as an unsigned number: digits, optionally grouped with the thousands
// separator the up-down control writes ("1,500"), surrounded by spaces; anything else is 0.
UINT ParseIntervalText(const wchar_t* text, const wchar_t* thousandsSeparator);

}  // namespace mivola::wmp
