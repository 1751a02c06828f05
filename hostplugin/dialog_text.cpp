#include "dialog_text.h"

#include <climits>
#include <cwchar>

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

namespace {
bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }
}  // namespace

UINT ParseUnsignedField(const wchar_t* text, const wchar_t* thousandsSeparator) {
    const size_t separatorLength = thousandsSeparator ? std::wcslen(thousandsSeparator) : 0;
    const wchar_t* p = text;
    while (IsSpace(*p)) ++p;
    unsigned long long value = 0;
    bool anyDigit = false;
    while (*p) {
        if (*p >= L'0' && *p <= L'9') {
            value = value * 10 + static_cast<unsigned>(*p - L'0');
            if (value > UINT_MAX) value = UINT_MAX;
            anyDigit = true;
            ++p;
        } else if (anyDigit && separatorLength && std::wcsncmp(p, thousandsSeparator, separatorLength) == 0) {
            p += separatorLength;
        } else {
            break;
        }
    }
    while (IsSpace(*p)) ++p;
    if (*p || !anyDigit) return 0;
    return static_cast<UINT>(value);
}

UINT ReadUnsignedField(HWND field) {
    wchar_t separator[8] = L"";
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) == 0) separator[0] = L'\0';
    wchar_t text[64] = L"";
    // A longer text is no number this field can hold.
    if (::GetWindowTextLengthW(field) >= 63) return 0;
    ::GetWindowTextW(field, text, 64);
    return ParseUnsignedField(text, separator);
}

}  // namespace mivola
