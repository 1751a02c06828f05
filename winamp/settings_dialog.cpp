#include "settings_dialog.h"

#include <commctrl.h>

#include <climits>
#include <cwchar>
#include <string>

#include "interval.h"
#include "resource.h"
#include "settings_file.h"

namespace mivola::winamp_bridge {

namespace {

struct DialogContext {
    HMODULE module;
    UINT* intervalMs;
};

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring FieldText(HWND field) {
    int length = ::GetWindowTextLengthW(field);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = ::GetWindowTextW(field, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

UINT ReadField(HWND dialog) {
    wchar_t separator[8] = L"";
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) == 0) separator[0] = L'\0';
    return ParseIntervalText(FieldText(::GetDlgItem(dialog, IDC_INTERVAL)).c_str(), separator);
}

void OnInit(HWND dialog, const DialogContext& context) {
    ::SendDlgItemMessageW(dialog, IDC_INTERVAL_SPIN, UDM_SETRANGE, 0, MAKELPARAM(kIntervalMax, kIntervalMin));
    ::SendDlgItemMessageW(dialog, IDC_INTERVAL, EM_LIMITTEXT, 4, 0);
    ::SetDlgItemInt(dialog, IDC_INTERVAL, *context.intervalMs, FALSE);
}

void OnOk(HWND dialog, const DialogContext& context) {
    *context.intervalMs = ClampInterval(ReadField(dialog));
    WriteInterval(context.module, *context.intervalMs);
    ::EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* context = reinterpret_cast<DialogContext*>(lParam);
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            OnInit(dialog, *context);
            return FALSE;
        }
        case WM_COMMAND: {
            auto* context = reinterpret_cast<DialogContext*>(::GetWindowLongPtrW(dialog, DWLP_USER));
            if (!context) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK:
                    OnOk(dialog, *context);
                    return TRUE;
                case IDCANCEL:
                    ::EndDialog(dialog, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
        }
    }
    return FALSE;
}

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

void ShowSettingsDialog(HMODULE module, HWND owner, UINT* intervalMs) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);
    DialogContext context{module, intervalMs};
    ::DialogBoxParamW(module, MAKEINTRESOURCEW(IDD_SETTINGS), owner, DialogProc, reinterpret_cast<LPARAM>(&context));
}

}  // namespace mivola::winamp_bridge
