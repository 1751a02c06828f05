// Dialog 103: one setting's name, target player and template, with the tags its target offers.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "ansi_text.h"
#include "dialog_text.h"
#include "dialogs.h"
#include "host_plugin.h"
#include "player_table.h"
#include "plugin_info.h"
#include "resource.h"
#include "template_engine.h"

namespace mivola {

namespace {

void AddColumn(HWND list, int index, const wchar_t* header, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(header);
    column.iSubItem = index;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

// One row per tag that the player supplies, in table order.
void FillTags(HWND list, uint32_t playerId) {
    int row = 0;
    for (size_t i = 0; i < TagTableCount; ++i) {
        const TagEntry& tag = TagTable[i];
        if ((tag.mask & playerId) == 0) continue;
        std::wstring name = std::wstring(L"%") + tag.name;
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = &name[0];
        int at = static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) continue;
        std::wstring description = FromCodePage(kHostCodePage, tag.description, std::strlen(tag.description));
        item.iItem = at;
        item.iSubItem = 1;
        item.pszText = &description[0];
        ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
        ++row;
    }
}

size_t SelectedRow(HWND dialog) {
    LRESULT item = ::SendDlgItemMessageW(dialog, IDC_TARGET, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) return kPlayerCount;
    return static_cast<size_t>(::SendDlgItemMessageW(dialog, IDC_TARGET, CB_GETITEMDATA, static_cast<WPARAM>(item), 0));
}

void OnInit(HWND dialog, HostPlugin& plugin, int settingNumber) {
    const Setting* setting = settingNumber >= 1 ? plugin.Settings().Get(static_cast<size_t>(settingNumber) - 1) : nullptr;
    // The host asks only for settings that exist; for any other there is nothing to edit.
    if (!setting) {
        ::EndDialog(dialog, 0);
        return;
    }
    ::SetDlgItemInt(dialog, IDC_SETTING_INDEX, static_cast<UINT>(settingNumber - 1), FALSE);
    ::SendDlgItemMessageW(dialog, IDC_SETTING_NAME, EM_LIMITTEXT, kSettingNameCapacity, 0);
    ::SetDlgItemTextA(dialog, IDC_SETTING_NAME, setting->name);
    ::SendDlgItemMessageW(dialog, IDC_FORMAT, EM_LIMITTEXT, kTemplateCapacity, 0);
    ::SetDlgItemTextW(dialog, IDC_FORMAT, setting->tmpl);

    HWND combo = ::GetDlgItem(dialog, IDC_TARGET);
    for (size_t row = 0; row < kPlayerCount; ++row) {
        std::wstring name = FromCodePage(kHostCodePage, PlayerTable[row].displayName, 64);
        LRESULT item = ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (item < 0) continue;
        ::SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(row));
        if (row == setting->playerRow) ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    }

    HWND list = ::GetDlgItem(dialog, IDC_TAG_LIST);
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddColumn(list, 0, L"項目", 90);
    AddColumn(list, 1, L"説明", 190);
    FillTags(list, PlayerTable[setting->playerRow].id);
}

void OnTargetChanged(HWND dialog) {
    size_t row = SelectedRow(dialog);
    if (row >= kPlayerCount) return;
    HWND list = ::GetDlgItem(dialog, IDC_TAG_LIST);
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    FillTags(list, PlayerTable[row].id);
}

// Puts the selected tag into the template in place of its selection, undoably.
void OnTagDoubleClick(HWND dialog) {
    HWND list = ::GetDlgItem(dialog, IDC_TAG_LIST);
    LRESULT item = ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (item < 0) return;
    wchar_t text[1024] = L"";
    LVITEMW lv{};
    lv.iSubItem = 0;
    lv.pszText = text;
    lv.cchTextMax = 1024;
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
    HWND format = ::GetDlgItem(dialog, IDC_FORMAT);
    ::SendMessageW(format, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    ::SetFocus(format);
}

void OnOk(HWND dialog, HostPlugin& plugin) {
    char index[5] = "";
    ::GetDlgItemTextA(dialog, IDC_SETTING_INDEX, index, sizeof index);
    Setting* setting = plugin.Settings().Get(static_cast<size_t>(std::atoi(index)));
    if (setting) {
        char name[kSettingNameCapacity] = "";
        ::GetDlgItemTextA(dialog, IDC_SETTING_NAME, name, sizeof name);
        // Never keep half of a double-byte character at the cut.
        name[AnsiPrefixLength(CP_THREAD_ACP, name, kSettingNameCapacity - 1)] = '\0';
        std::memcpy(setting->name, name, sizeof name);
        size_t row = SelectedRow(dialog);
        if (row < kPlayerCount) setting->playerRow = row;
        wchar_t tmpl[kTemplateCapacity] = L"";
        ::GetDlgItemTextW(dialog, IDC_FORMAT, tmpl, kTemplateCapacity);
        std::memcpy(setting->tmpl, tmpl, sizeof tmpl);
        plugin.SaveSettings();
    }
    ::EndDialog(dialog, 0);
}

struct Context {
    HostPlugin* plugin;
    int settingNumber;
};

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto* context = reinterpret_cast<Context*>(lParam);
        OnInit(dialog, *context->plugin, context->settingNumber);
        return 0;
    }
    auto* context = reinterpret_cast<Context*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!context) return 0;
    switch (message) {
        case WM_CLOSE:
            ::EndDialog(dialog, 0);
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_TAG_LIST && header->code == static_cast<UINT>(NM_DBLCLK)) OnTagDoubleClick(dialog);
            break;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) OnOk(dialog, *context->plugin);
            else if (LOWORD(wParam) == IDCANCEL) ::EndDialog(dialog, 0);
            else if (LOWORD(wParam) == IDC_TARGET && HIWORD(wParam) == CBN_SELCHANGE) OnTargetChanged(dialog);
            break;
    }
    return 0;
}

}  // namespace

INT_PTR RunFormatSettingDialog(HostPlugin& plugin, int settingNumber, HWND parent) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    Context context{&plugin, settingNumber};
    return ::DialogBoxParamW(plugin.Module(), MAKEINTRESOURCEW(IDD_FORMAT_SETTING), parent, DialogProc,
                             reinterpret_cast<LPARAM>(&context));
}

}  // namespace mivola
