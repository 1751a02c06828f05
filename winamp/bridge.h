// The plug-in's lifecycle on Winamp's main-window thread: init publishes the identity,
// subclasses the main window and starts the update timer; each tick publishes the
// now-playing record; config shows the interval dialog; quit undoes init.
#pragma once

#include "winamp_sdk.h"

namespace mivola::winamp_bridge {

constexpr UINT_PTR kUpdateTimerId = 5656;

int Init();
void Config();
void Quit();

}  // namespace mivola::winamp_bridge

extern "C" winamp::GeneralPurposePlugin* winampGetGeneralPurposePlugin();
