// How tests and demos talk to the Winamp stand-in besides Winamp's own queries: private
// window messages, the configuration command and the lines of its log file.
#pragma once

#include <windows.h>

namespace winamp_sim {

// Class of the main window, as Winamp names it.
constexpr wchar_t kWindowClass[] = L"Winamp v1.x";

// WM_COMMAND with this id + n opens the configuration of the n-th loaded plug-in (from 0);
// post it, the dialog is modal.
constexpr WORD kConfigCommandBase = 40000;

// Makes the window answer `lParam` to the query (wParam, id) given as QueryKey in wParam,
// whatever the player's state; answers 1.
constexpr UINT kSimSetAnswer = WM_APP + 1;
// Drops every answer set with kSimSetAnswer; answers 1.
constexpr UINT kSimClearAnswers = WM_APP + 2;
// wParam is a PlayerAction; answers 1, or 0 for an unknown action.
constexpr UINT kSimControl = WM_APP + 3;
// Answers how many timer messages of plug-ins the window procedure has received.
constexpr UINT kSimTickCount = WM_APP + 4;
// The next time the query given as QueryKey in wParam arrives, the window logs "stall" and
// never answers: the player hangs in the middle of a plug-in's tick, until it is killed.
constexpr UINT kSimStallQuery = WM_APP + 5;

enum PlayerAction : WPARAM { ActionPlay = 0, ActionPause = 1, ActionStop = 2, ActionNext = 3, ActionPrevious = 4 };

constexpr WPARAM QueryKey(WPARAM wParam, LPARAM id) { return (static_cast<WPARAM>(id) << 4) | (wParam & 0xF); }

// Log lines: "<ms since start> <event>[ q=<id>:<wParam>,...]", where q lists the Winamp
// queries the window answered since the previous line, in order. Events:
//   window <hex handle>              the main window exists
//   load <file> ok|rejected          a plug-in module was examined
//   init <n> <file> ret=<r> proc=replaced|unchanged
//   settimer <id> <ms> / killtimer <id>   timer calls of plug-ins on the main window
//   tick <id>                        a plug-in's timer message reached the window procedure
//   ready                            every plug-in is initialised
//   stall <key>                      the window hangs inside the query (kSimStallQuery)
//   config <n> begin / config <n> end
//   quit <n> proc=original|replaced  after the plug-in's quit, before the window goes
//   exit
}  // namespace winamp_sim
