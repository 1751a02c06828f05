#include "timing_dialog.h"

#include <commctrl.h>

#include <climits>
#include <cwchar>

#include "interval.h"
#include "resource.h"
#include "settings_file.h"

namespace mivola::wmp {

namespace {

struct DialogContext {
    HMODULE module;
    volatile UINT* intervalMs;
};

// Centres the dialog over its owner, or over the work area when the owner is hidden or
// minimised, and keeps it inside the work area.
void Centre(HWND dialog) {
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT area = work;
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &area);
    RECT r;
    ::GetWindowRect(dialog, &r);
    LONG w = r.right - r.left, h = r.bottom - r.top;
    LONG x = area.left + ((area.right - area.left) - w) / 2;
    LONG y = area.top + ((area.bottom - area.top) - h) / 2;
    if (x + w > work.right) x = work.right - w;
    if (y + h > work.bottom) y = work.bottom - h;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT ReadField(HWND dialog) {
    wchar_t text[64] = L"";
    ::GetDlgItemTextW(dialog, IDC_INTERVAL, text, 64);
    wchar_t separator[8] = L"";
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) == 0) separator[0] = L'\0';
    return ParseIntervalText(text, separator);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* context = reinterpret_cast<DialogContext*>(lParam);
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            Centre(dialog);
            ::SendDlgItemMessageW(dialog, IDC_INTERVAL_SPIN, UDM_SETRANGE, 0, MAKELPARAM(kIntervalMax, kIntervalMin));
            ::SendDlgItemMessageW(dialog, IDC_INTERVAL, EM_LIMITTEXT, 4, 0);
            ::SetDlgItemInt(dialog, IDC_INTERVAL, *context->intervalMs, FALSE);
            return TRUE;  // the system sets the default focus
        }
        case WM_COMMAND: {
            auto* context = reinterpret_cast<DialogContext*>(::GetWindowLongPtrW(dialog, DWLP_USER));
            if (!context) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK: {
                    UINT value = ClampInterval(ReadField(dialog));
                    *context->intervalMs = value;  // the worker uses it from its next wait on
                    WriteTiming(context->module, value);
                    ::EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    ::EndDialog(dialog, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
        }
    }
    return FALSE;
}

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

INT_PTR ShowTimingDialog(HMODULE module, HWND owner, volatile UINT* intervalMs) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);
    DialogContext context{module, intervalMs};
    return ::DialogBoxParamW(module, MAKEINTRESOURCEW(IDD_TIMING), owner, DialogProc, reinterpret_cast<LPARAM>(&context));
}

}  // namespace mivola::wmp
