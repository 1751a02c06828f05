#include "interval.h"

#include <climits>
#include <cwchar>
#include <string>

namespace mivola {

UINT ReadIntervalSetting(const char* iniPath, const char* section, const char* key) {
    return ClampInterval(::GetPrivateProfileIntA(section, key, kIntervalDefault, iniPath));
}

namespace {
bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }
}  // namespace

UINT ParseIntervalText(const wchar_t* text, const wchar_t* thousandsSeparator) {
    size_t separatorLength = thousandsSeparator ? std::wcslen(thousandsSeparator) : 0;
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

UINT ReadIntervalField(HWND field) {
    wchar_t separator[8] = L"";
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) == 0) separator[0] = L'\0';
    std::wstring text;
    int length = ::GetWindowTextLengthW(field);
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        int got = ::GetWindowTextW(field, &text[0], length + 1);
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    return ParseIntervalText(text.c_str(), separator);
}

}  // namespace mivola
