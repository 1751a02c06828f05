#include "interval_dialog.h"

#include <commctrl.h>

#include "interval.h"
#include "module_settings_file.h"

namespace mivola {

namespace {

// Keeps the dialog inside the work area, centred over its owner when the owner can be seen.
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

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* context = reinterpret_cast<const IntervalDialog*>(lParam);
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            if (context->centreOverOwner) Centre(dialog);
            ::SendDlgItemMessageW(dialog, kIntervalSpinId, UDM_SETRANGE, 0, MAKELPARAM(kIntervalMax, kIntervalMin));
            ::SendDlgItemMessageW(dialog, kIntervalFieldId, EM_LIMITTEXT, 4, 0);
            ::SetDlgItemInt(dialog, kIntervalFieldId, context->current, FALSE);
            return context->systemFocus ? TRUE : FALSE;
        }
        case WM_COMMAND: {
            const auto* context = reinterpret_cast<const IntervalDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
            if (!context) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK: {
                    UINT value = ClampInterval(ReadIntervalField(::GetDlgItem(dialog, kIntervalFieldId)));
                    context->apply(context->target, value);
                    WriteModuleInterval(context->module, value);
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

}  // namespace

INT_PTR ShowIntervalDialog(const IntervalDialog& dialog, HWND owner) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);
    return ::DialogBoxParamW(dialog.module, MAKEINTRESOURCEW(kIntervalDialogId), owner, DialogProc,
                             reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace mivola
