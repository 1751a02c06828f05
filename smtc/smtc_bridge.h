// ZEQ_Mivola_SMTC: the bridge program for the system's media sessions. One thread, which is in
// the multithreaded apartment once the runtime is there, with a message-only window and poll
// timer 5656. It publishes the shown session on every tick; while the manager cannot be reached
// it publishes zeros, says "unavailable" and tries again once a minute.
#pragma once

#include <windows.h>

namespace mivola::smtc {

constexpr char kBridgeWindowClass[] = "ZEQ_Plugin_SMTC";
constexpr char kCommandWord[] = "ZEQ_Plugin_SMTC";
constexpr char kInstanceMutex[] = "ZEQ_Plugin_SMTC_CheckExe";
constexpr char kPluginEndMessage[] = "ZEQ_Plugin_SMTCMsg_PluginEnd";
constexpr char kIntervalKey[] = "SMTCTiming";

constexpr UINT_PTR kPollTimerId = 5656;
// How often an unreachable manager is asked for again.
constexpr UINT kRetryPeriodMs = 60000;

// Window texts of the states.
constexpr char kTextAvailable[] = "start";
constexpr char kTextUnavailable[] = "unavailable";

// The program's main routine; commandLine is the part after the program name. Always 0.
int RunBridge(HINSTANCE instance, const char* commandLine);

}  // namespace mivola::smtc
