// The media-session bridge on the bridge-program frame. Its thread is in the multithreaded
// apartment once the runtime is there. Every tick publishes the shown session; while the
// manager cannot be reached it publishes zeros, says "unavailable" and tries again once a minute.
#pragma once

#include <windows.h>

namespace mivola::smtc {

// How often an unreachable manager is asked for again.
constexpr UINT kRetryPeriodMs = 60000;

// Window texts of the states.
constexpr char kTextAvailable[] = "start";
constexpr char kTextUnavailable[] = "unavailable";

// The program's main routine; commandLine is the part after the program name. Always 0.
int RunBridge(HINSTANCE instance, const char* commandLine);

}  // namespace mivola::smtc
