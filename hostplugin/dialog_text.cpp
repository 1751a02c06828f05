#include "dialog_text.h"

#include "text_copy.h"

namespace mivola {

std::wstring FromCodePage(UINT codePage, const char* text, size_t maxBytes) {
    size_t length = BoundedLength(text, maxBytes);
    if (length == 0) return std::wstring();
    int units = ::MultiByteToWideChar(codePage, 0, text, static_cast<int>(length), nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(codePage, 0, text, static_cast<int>(length), &wide[0], units);
    return wide;
}

}  // namespace mivola
