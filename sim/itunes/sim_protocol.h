// How tests, the benchmark and the demo talk to the iTunes stand-in besides iTunes' own COM
// interface: private messages to its "iTunes" window and the lines of its log file.
#pragma once

#include <windows.h>

namespace itunes_sim {

// Class of the stand-in's top-level window, as iTunes names its main window.
constexpr wchar_t kWindowClass[] = L"iTunes";
// The type library beside the stand-in's program, of the program's own architecture.
constexpr wchar_t kTypeLibraryFile[] = L"iTunesSim.tlb";

// wParam is the player state answered from now on: 0 stopped, 1 playing, 2 fast forward,
// 3 rewind, any other number as it stands, or kStateFails for a failing call. Answers 1.
constexpr UINT kSimSetState = WM_APP + 1;
constexpr WPARAM kStateFails = static_cast<WPARAM>(-1);
// wParam is the index of the current track in the scenario, or kNoTrack. Answers 1, or 0 for
// an index out of range.
constexpr UINT kSimSetCurrent = WM_APP + 2;
constexpr WPARAM kNoTrack = static_cast<WPARAM>(-1);
// wParam is the player position in seconds. Answers 1.
constexpr UINT kSimSetPosition = WM_APP + 3;
// wParam: every call from now on takes this many milliseconds, during which the stand-in
// keeps dispatching messages and incoming calls (as a busy iTunes does). Answers 1.
constexpr UINT kSimSetSlow = WM_APP + 4;
// wParam is a PokeKind: what the stand-in sends to the bridge's window from inside its slow
// calls, while the bridge waits for the answer. Answers 1.
constexpr UINT kSimPoke = WM_APP + 5;
enum PokeKind : WPARAM {
    PokeNone = 0,
    PokeTimer = 1,      // WM_TIMER 5656 inside every slow call
    // Once, inside the next slow get_PlayerState, so the rest of a gather follows:
    PokeiTunesEnd = 2,      // the bridge's end-of-iTunes message
    PokeNoWindowTimer = 3,  // the stand-in's window destroyed, then WM_TIMER 5656
};
// Starts quitting: the quit announcement (event 9) to every advised sink, then the window
// closes and the program ends after its quit delay. Post it; answers 1.
constexpr UINT kSimQuit = WM_APP + 6;
// wParam is a Counter; answers its value (CounterReset zeroes them all and answers 0).
constexpr UINT kSimCounter = WM_APP + 7;
enum Counter : WPARAM {
    CounterCalls = 0,        // calls into the iTunes objects (members and track-kind queries)
    CounterStateCalls = 1,   // get_PlayerState calls: one per gather
    CounterSinks = 2,        // sinks advised and not unadvised
    CounterBusyMicros = 3,   // time spent inside calls, microseconds
    CounterReset = 4,
    CounterGatherMicros = 5,  // from each get_PlayerState's entry to the next get_PlayerPosition's return
};

// Log lines: "<ms since start> <event>". Events:
//   class <hresult>              result of registering the class object (00000001: not asked to)
//   ready                        window shown
//   call <member>                an iTunes member was called (e.g. "call get_PlayerState"), or
//                                the track was asked for its kind's interface
//                                ("call QueryInterface(IITFileOrCDTrack)", "...(IITURLTrack)")
//   advise <count>               a sink was advised; count of sinks now
//   poke <what>                  something was sent to the bridge window from inside a call
//   advise returns               the Advise that carried the scenario's quit-in-advise returns
//   quit                         quitting began
//   fire 9 <sinks> <failures>    the quit announcement went to the sinks
//   window closed
//   exit

}  // namespace itunes_sim
