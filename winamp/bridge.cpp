// Compiled with the execution character set CP932: the narrow texts below are the
// Shift-JIS bytes Winamp and the host plug-in expect.
#include "bridge.h"

#include <cstring>

#include "bridge_identity_record.h"
#include "interval.h"
#include "interval_dialog.h"
#include "module_settings_file.h"
#include "now_playing_record.h"
#include "players.h"
#include "poller.h"
#include "record_transfer.h"
#include "region_names.h"
#include "resource.h"
#include "shared_region.h"
#include "text_copy.h"

namespace mivola::winamp_bridge {

namespace {

constexpr char kPluginDescription[] = "ZEQ メディア情報取得プラグイン for Winamp Ver.1.0.0";
constexpr char kIdentityDescription[] = "Winamp用 Ver 1.0.0";
static_assert(sizeof kIdentityDescription <= sizeof(BridgeIdentityRecord::Description));

// Version texts are read no further than this; the field keeps far fewer units anyway.
constexpr size_t kVersionTextMax = 256;

struct ModuleState {
    UINT intervalMs = kIntervalDefault;
    SharedRegion nowPlaying;
    SharedRegion identity;
    HWND player = nullptr;  // the subclassed main window, null while not initialised
    // Kept after quit: a procedure installed over ours may still pass messages down to it.
    WNDPROC previous = nullptr;
};

ModuleState g_state;

winamp::GeneralPurposePlugin g_header = {winamp::kGppHeaderVersion, kPluginDescription, Init, Config, Quit, nullptr, nullptr};

// This module, whatever the player stored in the header.
HMODULE OwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&g_header), &module);
    return module;
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kUpdateTimerId) PublishTick(g_state.nowPlaying, window);
    return ::CallWindowProcA(g_state.previous, window, message, wParam, lParam);
}

void PublishIdentity(HMODULE module, HWND player) {
    BridgeIdentityRecord record;
    std::memset(&record, 0, sizeof record);
    ::GetModuleFileNameW(module, record.ModulePath, 4096);
    record.ModulePath[4095] = L'\0';
    CopyText(record.Description, kIdentityDescription);
    LRESULT version = ::SendMessageA(player, winamp::WM_WA_IPC, 0, winamp::IPC_GETVERSIONSTRING);
    if (IsTextAddress(version)) {
        char text[kVersionTextMax];
        CopyText(text, reinterpret_cast<const char*>(version));
        AnsiToField(CP_ACP, text, record.PlayerVersion, 64);
    }
    char name[kRegionNameMax];
    if (!IdentityRegionName(name, kKeyWinamp) || g_state.identity.Open(name, kBridgeIdentityRecordSize) > RegionExisted)
        return;
    PublishRecord(g_state.identity, &record, sizeof record);
}

void StartTimer() { ::SetTimer(g_state.player, kUpdateTimerId, g_state.intervalMs, nullptr); }

void StoreInterval(void*, UINT intervalMs) { g_state.intervalMs = intervalMs; }

}  // namespace

int Init() {
    HMODULE module = OwnModule();
    HWND player = g_header.hwndParent;
    g_state.intervalMs = ReadModuleInterval(module);
    char name[kRegionNameMax];
    if (NowPlayingRegionName(name, kKeyWinamp)) g_state.nowPlaying.Open(name, kNowPlayingRecordSize);
    PublishIdentity(module, player);
    if (!player || !::IsWindow(player)) return winamp::kInitSuccess;
    auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(player, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    if (!previous) return winamp::kInitSuccess;
    g_state.previous = previous;
    g_state.player = player;
    StartTimer();
    return winamp::kInitSuccess;
}

void Config() {
    // Opens where its template puts it, without a default focus.
    IntervalDialog dialog{OwnModule(), g_state.intervalMs, StoreInterval, nullptr, false, false};
    ShowIntervalDialog(dialog, g_header.hwndParent);
    if (!g_state.player) return;
    ::KillTimer(g_state.player, kUpdateTimerId);
    StartTimer();
}

void Quit() {
    if (g_state.player) {
        ::KillTimer(g_state.player, kUpdateTimerId);
        ::SetWindowLongPtrA(g_state.player, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_state.previous));
        g_state.player = nullptr;
    }
    WithdrawRecord(g_state.nowPlaying, kNowPlayingRecordSize);
    WithdrawRecord(g_state.identity, kBridgeIdentityRecordSize);
}

}  // namespace mivola::winamp_bridge

extern "C" winamp::GeneralPurposePlugin* winampGetGeneralPurposePlugin() { return &mivola::winamp_bridge::g_header; }
