// ZEQ_Mivola_iTunes.exe: started hidden by the host plug-in with the word "ZEQ_Plugin_iTunes".
#include <windows.h>

#include "itunes_bridge.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return mivola::itunes::RunBridge(instance, commandLine);
}
