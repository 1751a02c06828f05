// Comparisons that fold ASCII letters only, as names and tags are matched.
#pragma once

#include <cstddef>

namespace mivola {

constexpr wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

inline bool EqualsIgnoreAsciiCase(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    if (aLength != bLength) return false;
    for (size_t i = 0; i < aLength; ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

// Whether text (length textLength) begins with prefix (NUL-terminated), folding ASCII case.
inline bool StartsWithIgnoreAsciiCase(const wchar_t* text, size_t textLength, const wchar_t* prefix, size_t* prefixLength) {
    size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= textLength || FoldAscii(text[i]) != FoldAscii(prefix[i])) return false;
    if (prefixLength) *prefixLength = i;
    return true;
}

}  // namespace mivola
