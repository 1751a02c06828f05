#include <windows.h>

#include "exports.h"

// On unload the plug-in is released even when the host never called Free.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        mivola::ThePlugin().SetModule(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        if (!mivola::ThePlugin().Released()) mivola::ThePlugin().Free();
    }
    return TRUE;
}
