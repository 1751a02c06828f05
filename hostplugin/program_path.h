// The plug-in's own folder, and the one rule for the programs it starts from there: only by a
// whole full path. A relative name would be resolved against the host's current folder, and
// the installer runs elevated.
#pragma once

#include <windows.h>

#include <string>

namespace mivola {

// The folder of module's file, ending in a backslash; empty when the file's path does not fit
// a path buffer (kPathCapacity bytes) whole.
std::string ModuleFolder(HMODULE module);

// Whether path names a file from a drive's root ("X:\...") or a network share ("\\..."), and
// fits a path buffer.
bool IsFullPath(const std::string& path);

}  // namespace mivola
