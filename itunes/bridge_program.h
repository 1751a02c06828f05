// The bridge program: one thread with a message-only window and poll timer 5656. It
// attaches to iTunes while a window of class "iTunes" exists, publishes on every tick,
// survives iTunes' quitting and ends on the host plug-in's end message.
#pragma once

#include <windows.h>

namespace mivola::itunes {

constexpr char kBridgeWindowClass[] = "ZEQ_Plugin_iTunes";
constexpr char kCommandWord[] = "ZEQ_Plugin_iTunes";
constexpr char kInstanceMutex[] = "ZEQ_Plugin_iTunes_CheckExe";
constexpr char kPluginEndMessage[] = "ZEQ_Plugin_iTunesMsg_PluginEnd";
constexpr char kiTunesEndMessage[] = "ZEQ_Plugin_iTunesMsg_iTunesEnd";
constexpr char kiTunesWindowClass[] = "iTunes";

constexpr UINT_PTR kPollTimerId = 5656;
constexpr UINT kSearchPeriodMs = 1000;
constexpr UINT kEndingPeriodMs = 10000;

// Window texts of the states.
constexpr char kTextAttached[] = "start";
constexpr char kTextEnding[] = "itunes ending...";
constexpr char kTextSearching[] = "end";

// The program's main routine; commandLine is the part after the program name. Always 0.
int RunBridge(HINSTANCE instance, const char* commandLine);

}  // namespace mivola::itunes
