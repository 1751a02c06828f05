// Module-wide state of ZEQ_Mivola_WMP: the instance handle, the module lock count of
// DllCanUnloadNow and the identity record published from load to unload.
#pragma once

#include <windows.h>

namespace mivola::wmp {

HMODULE ModuleInstance();
void LockModule();
void UnlockModule();
// Fills PlayerVersion (at most 63 units, empty for null) and publishes the whole record again.
void PublishPlayerVersion(const wchar_t* version);

}  // namespace mivola::wmp
