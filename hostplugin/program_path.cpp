#include "program_path.h"

#include "player_folder.h"

namespace mivola {

std::string ModuleFolder(HMODULE module) {
    char path[kPathCapacity];
    const DWORD n = ::GetModuleFileNameA(module, path, kPathCapacity);
    // n == the capacity means the path was cut.
    if (n == 0 || n >= kPathCapacity) return std::string();
    std::string dir(path, n);
    dir.erase(dir.find_last_of('\\') + 1);
    return dir;
}

bool IsFullPath(const std::string& path) {
    if (path.size() < 3 || path.size() >= kPathCapacity) return false;
    const char c = path[0];
    const bool drive = ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':' && path[2] == '\\';
    return drive || (path[0] == '\\' && path[1] == '\\');
}

}  // namespace mivola
