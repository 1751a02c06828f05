// The eight functions the ZEQ host calls, exported undecorated through Mivola.def.
#include <windows.h>

#include <cstring>

#include "exports.h"

namespace mivola {

HostPlugin& ThePlugin() {
    static HostPlugin plugin;
    return plugin;
}

}  // namespace mivola

using mivola::ThePlugin;

extern "C" {

int WINAPI Init() { return ThePlugin().Init(); }

void WINAPI Free() { ThePlugin().Free(); }

// Pointer-sized results: the host gets the buffer's address back whole.
INT_PTR WINAPI GetInfo(char* buffer) {
    if (buffer) std::memcpy(buffer, &mivola::kPluginInfo, sizeof mivola::kPluginInfo);
    return reinterpret_cast<INT_PTR>(buffer);
}

INT_PTR WINAPI GetFuncInfo(int funcIndex, char* buffer) {
    if (funcIndex != mivola::kTextFunction) return funcIndex;
    // A null buffer comes back as null: returning the index 1 would hand the host a bogus address.
    ThePlugin().CopyFuncInfo(funcIndex, buffer);
    return reinterpret_cast<INT_PTR>(buffer);
}

int WINAPI GetFuncSettingName(int funcIndex, int settingIndex, char* buffer, int bufferSize) {
    return ThePlugin().GetFuncSettingName(funcIndex, settingIndex, buffer, bufferSize);
}

int WINAPI GetText(int funcIndex, int settingIndex, int, wchar_t* buffer, int bufferLength, int) {
    return ThePlugin().GetText(funcIndex, settingIndex, buffer, bufferLength);
}

int WINAPI ShowSetting(int funcIndex, int settingIndex, HWND parent) {
    return ThePlugin().ShowSetting(funcIndex, settingIndex, parent);
}

int WINAPI ShowAbout(HWND parent) { return ThePlugin().ShowAbout(parent); }

}  // extern "C"
