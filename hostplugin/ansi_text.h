// ANSI texts in the thread's code page (setting names, INI values, templates on disk).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace mivola {

// Length of the longest prefix of the NUL-terminated text, at most maxBytes, that stops before the NUL and
// never ends between the two bytes of a double-byte character of codePage.
size_t AnsiPrefixLength(UINT codePage, const char* text, size_t maxBytes);

// The wide text in codePage (unrepresentable characters become the default character);
// false when the conversion fails.
bool WideToAnsi(UINT codePage, const wchar_t* text, std::string& out);

}  // namespace mivola
