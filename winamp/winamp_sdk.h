// Winamp's general-purpose plug-in interface as its SDK publishes it: the header record a
// plug-in hands to the player, and the WM_USER queries the player's main window answers.
#pragma once

#include <windows.h>

#include <cstddef>

namespace winamp {

constexpr int kGppHeaderVersion = 0x10;  // GPPHDR_VER: description is an ANSI text

// init, config and quit are __cdecl (the default on both architectures).
struct GeneralPurposePlugin {
    int version;
    const char* description;
    int (*init)();
    void (*config)();
    void (*quit)();
    HWND hwndParent;         // set by Winamp before init
    HINSTANCE hDllInstance;  // set by Winamp before init
};

#if defined(_WIN64)
static_assert(offsetof(GeneralPurposePlugin, description) == 8);
static_assert(offsetof(GeneralPurposePlugin, init) == 16);
static_assert(offsetof(GeneralPurposePlugin, config) == 24);
static_assert(offsetof(GeneralPurposePlugin, quit) == 32);
static_assert(offsetof(GeneralPurposePlugin, hwndParent) == 40);
static_assert(offsetof(GeneralPurposePlugin, hDllInstance) == 48);
static_assert(sizeof(GeneralPurposePlugin) == 56);
#else
static_assert(offsetof(GeneralPurposePlugin, description) == 4);
static_assert(offsetof(GeneralPurposePlugin, init) == 8);
static_assert(offsetof(GeneralPurposePlugin, config) == 12);
static_assert(offsetof(GeneralPurposePlugin, quit) == 16);
static_assert(offsetof(GeneralPurposePlugin, hwndParent) == 20);
static_assert(offsetof(GeneralPurposePlugin, hDllInstance) == 24);
static_assert(sizeof(GeneralPurposePlugin) == 28);
#endif
static_assert(offsetof(GeneralPurposePlugin, version) == 0);

constexpr int kInitSuccess = 0;

// The single export, undecorated and __cdecl.
using GetGeneralPurposePluginFunction = GeneralPurposePlugin* (*)();
constexpr const char kGetGeneralPurposePluginName[] = "winampGetGeneralPurposePlugin";

// Queries: SendMessage(main window, WM_WA_IPC, wParam, id). A query the running version
// does not know answers 1.
constexpr UINT WM_WA_IPC = WM_USER;
constexpr LPARAM IPC_GETVERSION = 0;
constexpr LPARAM IPC_GETVERSIONSTRING = 1;  // address of an ANSI text
constexpr LPARAM IPC_ISPLAYING = 104;       // 1 playing, 3 paused, 0 stopped
constexpr LPARAM IPC_GETOUTPUTTIME = 105;   // wParam 0 position ms, 1 length s, 2 length ms; -1 unknown
constexpr LPARAM IPC_GETINFO = 126;         // wParam selects, below
constexpr LPARAM IPC_GET_PLAYING_FILENAME = 3031;  // address of a UTF-16 text
constexpr LPARAM IPC_GET_PLAYING_TITLE = 3034;     // address of a UTF-16 text

constexpr WPARAM kOutputTimePosition = 0;
constexpr WPARAM kOutputTimeLengthSeconds = 1;
constexpr WPARAM kOutputTimeLengthMs = 2;

constexpr WPARAM kInfoSampleRateKhz = 0;
constexpr WPARAM kInfoBitRateKbps = 1;
constexpr WPARAM kInfoChannels = 2;
constexpr WPARAM kInfoVideoSize = 3;         // low word width, high word height
constexpr WPARAM kInfoVideoDescription = 4;  // address of a description for video, else small
constexpr WPARAM kInfoSampleRateHz = 5;

constexpr LRESULT kIsPlayingStopped = 0;
constexpr LRESULT kIsPlayingPlaying = 1;
constexpr LRESULT kIsPlayingPaused = 3;

constexpr LRESULT kUnknownQueryAnswer = 1;

}  // namespace winamp
