// The iTunes bridge on the bridge-program frame: it attaches to iTunes while a window of class
// "iTunes" exists, publishes on every tick, survives iTunes' quitting and ends on the host
// plug-in's end message.
#pragma once

#include <windows.h>

#include "bridge_program.h"

namespace mivola::itunes {

constexpr char kiTunesWindowClass[] = "iTunes";

// Timer periods of the states; searching is also the frame's first period.
constexpr UINT kSearchPeriodMs = kFirstPollPeriodMs;
constexpr UINT kEndingPeriodMs = 10000;

// Window texts of the states.
constexpr char kTextAttached[] = "start";
constexpr char kTextEnding[] = "itunes ending...";
constexpr char kTextSearching[] = "end";

// The program's main routine; commandLine is the part after the program name. Always 0.
int RunBridge(HINSTANCE instance, const char* commandLine);

}  // namespace mivola::itunes
