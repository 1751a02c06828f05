// Dialog 104: the plug-in's name and version, and one row per bridge running now.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "bridge_identity_record.h"
#include "dialog_text.h"
#include "dialogs.h"
#include "host_plugin.h"
#include "player_table.h"
#include "plugin_info.h"
#include "record_transfer.h"
#include "region_names.h"
#include "resource.h"
#include "shared_region.h"
#include "text_copy.h"

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

// The identity record a bridge publishes under key, or all zero when none does.
void ReadIdentity(const char* key, BridgeIdentityRecord& record) {
    std::memset(&record, 0, sizeof record);
    char name[kRegionNameMax];
    if (!IdentityRegionName(name, key)) return;
    SharedRegion region;
    if (region.Open(name, kBridgeIdentityRecordSize) == RegionExisted) CopyRecordOut(region, &record, sizeof record);
    region.Close();
}

void AddBridge(HWND list, const BridgeIdentityRecord& record) {
    // A field that lacks its terminator is read to its end, never beyond.
    std::wstring description = FromCodePage(kHostCodePage, record.Description, sizeof record.Description);
    std::wstring version(record.PlayerVersion, BoundedLength(record.PlayerVersion, 64));
    std::wstring path(record.ModulePath, BoundedLength(record.ModulePath, 4096));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = &description[0];
    int at = static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (at < 0) return;
    item.iItem = at;
    item.iSubItem = 1;
    item.pszText = &version[0];
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 2;
    item.pszText = &path[0];
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
}

void OnInit(HWND dialog) {
    std::wstring name = FromCodePage(kHostCodePage, kPluginInfo.Name, sizeof kPluginInfo.Name);
    std::wstring version = L"Ver. " + FromCodePage(kHostCodePage, kPluginInfo.Version, sizeof kPluginInfo.Version);
    ::SetDlgItemTextW(dialog, IDC_PLUGIN_NAME, name.c_str());
    ::SetDlgItemTextW(dialog, IDC_PLUGIN_VERSION, version.c_str());

    HWND list = ::GetDlgItem(dialog, IDC_BRIDGE_LIST);
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddColumn(list, 0, L"名前", 120);
    AddColumn(list, 1, L"ﾌﾟﾚｲﾔｰﾊﾞｰｼﾞｮﾝ", 70);
    AddColumn(list, 2, L"ファイル名", 260);
    BridgeIdentityRecord record;
    for (size_t row = 0; row < kPlayerCount; ++row) {
        ReadIdentity(PlayerTable[row].key, record);
        if (record.ModulePath[0] != L'\0') AddBridge(list, record);
    }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit(dialog);
            return 0;
        case WM_CLOSE:
            ::EndDialog(dialog, 0);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) ::EndDialog(dialog, 0);
            return 0;
    }
    return 0;
}

}  // namespace

INT_PTR RunVersionDialog(HostPlugin& plugin, HWND parent) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    return ::DialogBoxParamW(plugin.Module(), MAKEINTRESOURCEW(IDD_VERSION), parent, DialogProc, 0);
}

}  // namespace mivola
