// Loading and driving general-purpose plug-ins as Winamp does: every gen_*.dll of the
// plug-in folder, header filled in, init at start, config on request, quit before the
// main window goes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "event_log.h"
#include "unique_handle.h"
#include "winamp_sdk.h"

namespace winamp_sim {

class PluginHost {
public:
    PluginHost(HWND window, WNDPROC ownProcedure, EventLog& log) : window_(window), ownProcedure_(ownProcedure), log_(log) {}
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loads and initialises the plug-ins of `folder` (trailing backslash) in name order.
    void LoadAll(const std::wstring& folder);
    void Config(size_t index);
    // Calls every quit, in load order; the modules stay loaded until destruction.
    void QuitAll();
    size_t Count() const { return plugins_.size(); }

private:
    struct Plugin {
        std::string file;  // UTF-8, for the log
        mivola::unique_hmodule module;
        winamp::GeneralPurposePlugin* header = nullptr;
    };

    bool ProcedureIsOwn() const;
    void Load(const std::wstring& folder, const std::wstring& name);

    HWND window_;
    WNDPROC ownProcedure_;
    EventLog& log_;
    std::vector<Plugin> plugins_;
    bool quitDone_ = false;
};

}  // namespace winamp_sim
