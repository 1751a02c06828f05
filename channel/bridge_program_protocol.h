// What a bridge program and the host plug-in that starts and stops it agree on: the word the
// program must find in its command line, its single-instance mutex, the class of its
// message-only window and the registered message that ends it. Each bridge program has one
// instance of these names; the host finds the program's window by class and posts the end
// message to it.
#pragma once

namespace mivola {

struct BridgeProgramProtocol {
    const char* commandWord;       // searched case-sensitively anywhere in the command line
    const char* instanceMutex;     // held while a program runs; a second one ends at once
    const char* windowClass;       // of the message-only window, found with FindWindowExA
    const char* pluginEndMessage;  // registered message, wParam and lParam 0: the program ends
};

inline constexpr BridgeProgramProtocol kiTunesBridgeProtocol = {
    "ZEQ_Plugin_iTunes",
    "ZEQ_Plugin_iTunes_CheckExe",
    "ZEQ_Plugin_iTunes",
    "ZEQ_Plugin_iTunesMsg_PluginEnd",
};

inline constexpr BridgeProgramProtocol kSmtcBridgeProtocol = {
    "ZEQ_Plugin_SMTC",
    "ZEQ_Plugin_SMTC_CheckExe",
    "ZEQ_Plugin_SMTC",
    "ZEQ_Plugin_SMTCMsg_PluginEnd",
};

// Posted by the iTunes bridge's event sink to its own window when iTunes announces its quit.
constexpr char kiTunesEndMessage[] = "ZEQ_Plugin_iTunesMsg_iTunesEnd";

}  // namespace mivola
