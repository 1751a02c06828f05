// Dialog 102: the plug-in-wide settings, the bridge installations and the two bridge programs.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "bridge_installation.h"
#include "dialog_text.h"
#include "dialogs.h"
#include "host_plugin.h"
#include "interval.h"
#include "players.h"
#include "resource.h"

namespace mivola {

namespace {

struct LibraryEntry {
    uint32_t playerId;
    int buttonId;
};
constexpr LibraryEntry kLibraries[] = {{kPlayerWmp, IDC_WMP_LIBRARY}, {kPlayerWinamp, IDC_WINAMP_LIBRARY}};
constexpr size_t kLibraryCount = sizeof kLibraries / sizeof kLibraries[0];

struct Context {
    HostPlugin* plugin;
    // Found when the dialog opens, then changed only by the outcome of a click.
    LibraryState states[kLibraryCount];
};

void OnInit(HWND dialog, Context& context) {
    const MainSettings& main = context.plugin->Main();
    ::SendDlgItemMessageW(dialog, IDC_SETTING_COUNT_SPIN, UDM_SETRANGE32, 1, 999);
    ::SetDlgItemInt(dialog, IDC_SETTING_COUNT, main.settingCount, FALSE);
    ::SendDlgItemMessageW(dialog, IDC_SETTING_COUNT, EM_LIMITTEXT, 3, 0);
    for (size_t i = 0; i < kLibraryCount; ++i) {
        context.states[i] = LibraryStateOf(kLibraries[i].playerId);
        SetLibraryButton(dialog, kLibraries[i].playerId, context.states[i]);
    }
    ::CheckDlgButton(dialog, IDC_ITUNES_CHECK, main.iTunesCheck ? BST_CHECKED : BST_UNCHECKED);
    ::SendDlgItemMessageW(dialog, IDC_TIMING_SPIN, UDM_SETRANGE32, kIntervalMin, kIntervalMax);
    ::SendDlgItemMessageW(dialog, IDC_TIMING, EM_LIMITTEXT, 4, 0);
    ::SetDlgItemInt(dialog, IDC_TIMING, main.iTunesTiming, FALSE);
    ::CheckDlgButton(dialog, IDC_SMTC_CHECK, main.smtcCheck ? BST_CHECKED : BST_UNCHECKED);
    ::SendDlgItemMessageW(dialog, IDC_SMTC_TIMING_SPIN, UDM_SETRANGE32, kIntervalMin, kIntervalMax);
    ::SendDlgItemMessageW(dialog, IDC_SMTC_TIMING, EM_LIMITTEXT, 4, 0);
    ::SetDlgItemInt(dialog, IDC_SMTC_TIMING, main.smtcTiming, FALSE);
}

void OnOk(HWND dialog, Context& context) {
    MainSettings& main = context.plugin->Main();
    // Stored as typed; loading clamps it.
    wchar_t count[5] = L"";
    ::GetDlgItemTextW(dialog, IDC_SETTING_COUNT, count, 5);
    main.settingCount = static_cast<UINT>(_wtoi(count));
    main.iTunesCheck = ::IsDlgButtonChecked(dialog, IDC_ITUNES_CHECK) == BST_CHECKED ? 1 : 0;
    main.iTunesTiming = ClampInterval(ReadUnsignedField(::GetDlgItem(dialog, IDC_TIMING)));
    main.smtcCheck = ::IsDlgButtonChecked(dialog, IDC_SMTC_CHECK) == BST_CHECKED ? 1 : 0;
    main.smtcTiming = ClampInterval(ReadUnsignedField(::GetDlgItem(dialog, IDC_SMTC_TIMING)));
    context.plugin->SaveMainSettings();
    ::EndDialog(dialog, 0);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        OnInit(dialog, *reinterpret_cast<Context*>(lParam));
        return 0;
    }
    auto* context = reinterpret_cast<Context*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!context) return 0;
    if (message == WM_CLOSE) {
        ::EndDialog(dialog, 0);
        return 0;
    }
    if (message != WM_COMMAND) return 0;
    const int id = LOWORD(wParam);
    if (id == IDOK) {
        OnOk(dialog, *context);
    } else if (id == IDCANCEL) {
        ::EndDialog(dialog, 0);
    } else if (HIWORD(wParam) == BN_CLICKED) {
        for (size_t i = 0; i < kLibraryCount; ++i) {
            if (kLibraries[i].buttonId != id) continue;
            context->states[i] =
                ClickLibraryButton(dialog, context->plugin->ModuleDir(), kLibraries[i].playerId, context->states[i]);
        }
    }
    return 0;
}

}  // namespace

INT_PTR RunPluginSettingsDialog(HostPlugin& plugin, HWND parent) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);
    Context context{&plugin, {PlayerNotFound, PlayerNotFound}};
    return ::DialogBoxParamW(plugin.Module(), MAKEINTRESOURCEW(IDD_PLUGIN_SETTINGS), parent, DialogProc,
                             reinterpret_cast<LPARAM>(&context));
}

}  // namespace mivola
