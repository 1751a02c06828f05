// The stand-in's COM objects: the application (IiTunes with its connection point for
// _IiTunesEvents), the tracks, and the class factory that hands out the application.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "player.h"
#include "unique_com.h"

namespace itunes_sim {

// Loads the type library beside the program; the objects answer IDispatch from it.
HRESULT LoadTypeLibrary(const std::wstring& path);
void ReleaseTypeLibrary();

// The one application object: created once, handed out by the class factory.
IUnknown* CreateApplication(Player& player);
// Sends the quit announcement (event 9) to every advised sink; answers how many calls failed.
size_t AnnounceQuit(IUnknown* application, size_t* sinks);
// Forgets every sink (their references go back to the clients).
void DropSinks(IUnknown* application);
IClassFactory* CreateFactory(IUnknown* application);

}  // namespace itunes_sim
