// Starts a bridge program and asks it to end. The bridge ends when this object is destroyed,
// that is when the plug-in is unloaded.
#pragma once

#include <windows.h>

#include <string>

#include "bridge_program_protocol.h"

namespace mivola {

// How long a start waits for a bridge that was asked to end to be gone.
constexpr DWORD kBridgeEndWaitMs = 5000;

class BridgeLauncher {
public:
    explicit BridgeLauncher(const BridgeProgramProtocol& protocol);
    BridgeLauncher(const BridgeLauncher&) = delete;
    BridgeLauncher& operator=(const BridgeLauncher&) = delete;
    ~BridgeLauncher();

    // The program is started with the protocol's command word as its only parameter.
    void Configure(const std::string& programPath);
    // True when the program was started (it is not checked whether one already runs); a path
    // that is no whole full path (IsFullPath) starts nothing. After a Stop that reached a
    // bridge, it first waits up to kBridgeEndWaitMs for that bridge to end: while the old one
    // holds its single-instance mutex, a new one would end at once.
    bool Start() const;
    // Posts the end message to the bridge's message-only window, or broadcasts it when no
    // such window exists.
    void Stop() const;

    UINT PluginEndMessage() const { return pluginEnd_; }

private:
    const BridgeProgramProtocol& protocol_;
    std::string programPath_;
    UINT pluginEnd_;
    mutable bool stopping_ = false;  // a bridge was asked to end and may not be gone yet
};

}  // namespace mivola
