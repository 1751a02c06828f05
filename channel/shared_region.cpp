#include "shared_region.h"

#include "text_copy.h"

namespace mivola {

bool ComposeObjectName(char* out, size_t capacity, const char* name, const char* suffix) {
    return JoinText(out, capacity, {"Talvimora_", name, suffix});
}

RegionOpenResult SharedRegion::Open(const char* name, DWORD size) {
    Close();
    char objectName[kRegionNameCapacity];
    if (!ComposeObjectName(objectName, sizeof objectName, name, "_FileMap")) return RegionNoMapping;
    mapping_.reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, objectName));
    if (!mapping_) return RegionNoMapping;
    RegionOpenResult result = ::GetLastError() == ERROR_ALREADY_EXISTS ? RegionExisted : RegionCreated;
    view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, size));
    if (!view_) {
        Close();
        return RegionNoView;
    }
    if (!ComposeObjectName(objectName, sizeof objectName, name, "_Mutex") || !mutex_.Create(objectName, false)) {
        Close();
        return RegionNoMutex;
    }
    return result;
}

void SharedRegion::Close() {
    view_.reset();
    mapping_.reset();
    mutex_.Close();
}

}  // namespace mivola
