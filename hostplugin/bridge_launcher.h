// Starts the iTunes bridge program and asks it to end. The bridge ends when this object is
// destroyed, that is when the plug-in is unloaded.
#pragma once

#include <windows.h>

#include <string>

namespace mivola {

constexpr char kiTunesBridgeClass[] = "ZEQ_Plugin_iTunes";
constexpr char kiTunesBridgeParameter[] = "ZEQ_Plugin_iTunes";
constexpr char kPluginEndMessage[] = "ZEQ_Plugin_iTunesMsg_PluginEnd";
constexpr char kiTunesBridgeMutex[] = "ZEQ_Plugin_iTunes_CheckExe";
// How long a start waits for a bridge that was asked to end to be gone.
constexpr DWORD kBridgeEndWaitMs = 5000;

class BridgeLauncher {
public:
    BridgeLauncher();
    BridgeLauncher(const BridgeLauncher&) = delete;
    BridgeLauncher& operator=(const BridgeLauncher&) = delete;
    ~BridgeLauncher();

    void Configure(const std::string& programPath, const std::string& parameters);
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
    std::string programPath_;
    std::string parameters_;
    UINT pluginEnd_;
    mutable bool stopping_ = false;  // a bridge was asked to end and may not be gone yet
};

}  // namespace mivola
