#include "text_copy.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace mivola {

size_t BoundedLength(const wchar_t* s, size_t capacity) {
    if (!s) return 0;
    size_t n = 0;
    while (n < capacity && s[n]) ++n;
    return n;
}

size_t BoundedLength(const char* s, size_t capacity) {
    if (!s) return 0;
    size_t n = 0;
    while (n < capacity && s[n]) ++n;
    return n;
}

void CopyText(wchar_t* dst, size_t capacity, const wchar_t* src, size_t srcLength) {
    if (capacity == 0) return;
    size_t n = srcLength < capacity - 1 ? srcLength : capacity - 1;
    if (n) std::memcpy(dst, src, n * sizeof(wchar_t));
    std::memset(dst + n, 0, (capacity - n) * sizeof(wchar_t));
}

void CopyText(wchar_t* dst, size_t capacity, const wchar_t* src) {
    CopyText(dst, capacity, src, BoundedLength(src, capacity ? capacity - 1 : 0));
}

void CopyText(char* dst, size_t capacity, const char* src) {
    if (capacity == 0) return;
    size_t n = BoundedLength(src, capacity - 1);
    if (n) std::memcpy(dst, src, n);
    std::memset(dst + n, 0, capacity - n);
}

void AnsiToField(UINT codePage, const char* src, wchar_t* dst, size_t capacity) {
    if (capacity == 0) return;
    CopyText(dst, capacity, nullptr);
    if (!src) return;
    // Fast path: the text fits the field as it stands.
    if (::MultiByteToWideChar(codePage, 0, src, -1, dst, static_cast<int>(capacity)) > 0) return;
    int needed = ::MultiByteToWideChar(codePage, 0, src, -1, nullptr, 0);
    if (needed <= 0) {
        CopyText(dst, capacity, nullptr);
        return;
    }
    std::wstring whole(static_cast<size_t>(needed), L'\0');
    ::MultiByteToWideChar(codePage, 0, src, -1, &whole[0], needed);
    CopyText(dst, capacity, whole.c_str(), static_cast<size_t>(needed - 1));
}

bool JoinText(char* out, size_t capacity, std::initializer_list<const char*> parts) {
    if (capacity == 0) return false;
    size_t used = 0;
    for (const char* part : parts) {
        size_t n = std::strlen(part);
        if (used + n + 1 > capacity) {
            out[0] = '\0';
            return false;
        }
        std::memcpy(out + used, part, n);
        used += n;
    }
    out[used] = '\0';
    return true;
}

}  // namespace mivola
