// How tests and demos drive the Windows Media Player stand-in besides its scenario: private
// messages to its (hidden) main window, and the lines of its log file.
#pragma once

#include <windows.h>

namespace wmp_sim {

constexpr wchar_t kWindowClass[] = L"WMPlayerApp";

// SendMessage to the main window; each answers 1 once done (0 for a bad argument).
constexpr UINT kSimSetState = WM_APP + 1;     // wParam: play state 0..11 (any value is passed on)
constexpr UINT kSimSetMedia = WM_APP + 2;     // wParam: media index from 0, or (WPARAM)-1 for none
constexpr UINT kSimSetSlow = WM_APP + 3;      // wParam: milliseconds every core call sleeps (0: off)
constexpr UINT kSimSetCore = WM_APP + 4;      // wParam 1: SetCore(core) on every plug-in; 0: SetCore(NULL)
constexpr UINT kSimConfig = WM_APP + 5;       // wParam: plug-in n; posts DisplayPropertyPage (modal)
constexpr UINT kSimCallCount = WM_APP + 6;    // answers how many get_playState calls all cores served
constexpr UINT kSimSetStatus = WM_APP + 7;    // lParam: a UTF-16 text in the stand-in (tests: use the scenario)

// Log lines: "<ms since start> <event>". Events:
//   window <hex handle>                the main window exists
//   load <n> <clsid> ok | failed <hr>  a background plug-in was created (or not) on its thread
//   setcore <n> core|null hr=<hr>      SetCore returned
//   ready                              every plug-in is created (and given its core)
//   config <n> begin / config <n> end  DisplayPropertyPage(main window) runs
//   call <n> <method>                  a core call (only with "calls on"), on the caller's thread
//   call-after-release <n> <method>    a call on a core whose last reference was gone
//   core <n> released                  the last reference to plug-in n's core went
//   release <n> begin / release <n> end ms=<t> refs=<r>   the player's final Release
//   unload <hr>                        CoFreeUnusedLibraries was asked; hr of DllCanUnloadNow-like state
//   exit
}  // namespace wmp_sim
