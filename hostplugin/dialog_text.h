// Texts read from and written to dialog controls.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace mivola {

// A code page text of at most maxBytes bytes (it need not be terminated within them) as UTF-16.
std::wstring FromCodePage(UINT codePage, const char* text, size_t maxBytes);

// An edit field holding an unsigned number: digits, grouped or not with the locale's thousands
// separator (an up-down control writes "1,000"), with spaces around them. Anything else, and
// the empty text, reads as 0; numbers beyond UINT_MAX saturate.
UINT ParseUnsignedField(const wchar_t* text, const wchar_t* thousandsSeparator);

// The field's text read as ParseUnsignedField does, with the user's thousands separator.
UINT ReadUnsignedField(HWND field);

}  // namespace mivola
