// Texts read from and written to dialog controls.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace mivola {

// A code page text of at most maxBytes bytes (it need not be terminated within them) as UTF-16.
std::wstring FromCodePage(UINT codePage, const char* text, size_t maxBytes);

}  // namespace mivola
