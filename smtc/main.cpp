// ZEQ_Mivola_SMTC.exe: started hidden by the host plug-in with the word "ZEQ_Plugin_SMTC".
#include <windows.h>

#include "smtc_bridge.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return mivola::smtc::RunBridge(instance, commandLine);
}
