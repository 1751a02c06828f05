#include "ansi_text.h"

namespace mivola {

size_t AnsiPrefixLength(UINT codePage, const char* text, size_t maxBytes) {
    size_t i = 0;
    // Walk from the start: only there is it known which bytes are lead bytes.
    // A lead byte without its trail byte (cut by an earlier truncation) is dropped.
    while (i < maxBytes && text[i]) {
        size_t width = 1;
        if (::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[i]))) {
            if (!text[i + 1]) break;
            width = 2;
        }
        if (i + width > maxBytes) break;
        i += width;
    }
    return i;
}

bool WideToAnsi(UINT codePage, const wchar_t* text, std::string& out) {
    out.clear();
    int needed = ::WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return false;
    out.resize(static_cast<size_t>(needed));
    if (::WideCharToMultiByte(codePage, 0, text, -1, &out[0], needed, nullptr, nullptr) != needed) {
        out.clear();
        return false;
    }
    out.resize(static_cast<size_t>(needed - 1));
    return true;
}

}  // namespace mivola
