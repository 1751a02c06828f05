#include "interval.h"

namespace mivola {

UINT ReadIntervalSetting(const char* iniPath, const char* section, const char* key) {
    return ClampInterval(::GetPrivateProfileIntA(section, key, kIntervalDefault, iniPath));
}

}  // namespace mivola
