// The frame of a bridge program: a windowless program that the host plug-in starts with a
// command word and ends with a registered message. It runs only with that word and only once,
// keeps a message-only window with poll timer 5656 whose ticks go to the program, shows its
// state as the window's text, publishes its identity record while it has a player, and always
// ends with exit code 0. What a tick does is the program's own business.
//
// One BridgeProgram per process, kept as a static object so that it is built before the main
// routine and destroyed after it; the single-instance mutex closes when it is destroyed.
#pragma once

#include <windows.h>

#include "bridge_identity_record.h"
#include "bridge_program_protocol.h"
#include "named_mutex.h"
#include "shared_region.h"

namespace mivola {

constexpr UINT_PTR kPollTimerId = 5656;
// The timer's period from the window's creation until the program changes it.
constexpr UINT kFirstPollPeriodMs = 1000;

// The program's part. Both are called on the program's one thread, also from inside a call
// that dispatches messages while it waits.
struct BridgeProgramHooks {
    void* context = nullptr;
    // Every WM_TIMER of the window.
    void (*tick)(void* context) = nullptr;
    // Every other message, after the end message and before the frame's own handling. True
    // when the program handled it: the window then answers 0 without default processing.
    bool (*message)(void* context, UINT message) = nullptr;
};

class BridgeProgram {
public:
    // Registers the end message. playerKey names the identity region "ZEQ_Plugin_<key>_PIN".
    BridgeProgram(const BridgeProgramProtocol& protocol, const char* playerKey);
    BridgeProgram(const BridgeProgram&) = delete;
    BridgeProgram& operator=(const BridgeProgram&) = delete;

    // The main routine; commandLine is the part after the program name. Without the command
    // word, with another instance running, or without a window it returns at once; otherwise it
    // reads the interval, creates the window and runs the message loop until the window is
    // destroyed. intervalKey is read once from [Main] of "Setting.ini" beside the program
    // (default 1000, clamped to 10..9999). Always 0.
    int Run(HINSTANCE instance, const char* commandLine, const char* intervalKey, const BridgeProgramHooks& hooks);

    HWND Window() const { return window_; }
    UINT IntervalMs() const { return intervalMs_; }
    UINT EndMessage() const { return pluginEnd_; }

    // KillTimer then SetTimer, always with kPollTimerId.
    void RestartTimer(UINT periodMs);
    void SetText(const char* text);
    // Creates or opens the identity region and writes the record; the region stays open.
    void PublishIdentity(const BridgeIdentityRecord& record);
    // Zeroes and closes the identity region when it is open; otherwise nothing.
    void WithdrawIdentity();
    // Sends the program its own end message: when this returns the window is gone (its
    // identity withdrawn, its timer killed) and the message loop ends at its next turn.
    void End();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const BridgeProgramProtocol& protocol_;
    const char* playerKey_;
    NamedMutex instanceMutex_;
    UINT pluginEnd_;
    BridgeProgramHooks hooks_;
    HWND window_ = nullptr;
    SharedRegion identity_;
    UINT intervalMs_;
};

// Fills a zeroed identity record for this program: its own full path, the description bytes
// (code page 932, with their terminator) and the player's version.
void BuildBridgeIdentity(const char* description, const wchar_t* playerVersion, BridgeIdentityRecord& record);

}  // namespace mivola
