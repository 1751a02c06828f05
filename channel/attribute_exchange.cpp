#include "attribute_exchange.h"
#include "scoped_lock.h"

#include <cstring>
#include <cwchar>

#include "ascii_case.h"

namespace mivola {

void ListBuilder::Add(const wchar_t* s, size_t length) {
    units_.insert(units_.end(), s, s + length);
    units_.push_back(L'\0');
}

void ListBuilder::Add(const wchar_t* s) { Add(s, std::wcslen(s)); }

const std::vector<wchar_t>& ListBuilder::Finish() {
    units_.push_back(L'\0');
    return units_;
}

bool ListReader::Next(const wchar_t** s, size_t* length) {
    if (pos_ >= count_) return false;
    size_t end = pos_;
    while (end < count_ && units_[end]) ++end;
    if (end == count_) {
        pos_ = count_;
        return false;
    }
    *s = units_ + pos_;
    *length = end - pos_;
    pos_ = end + 1;
    return true;
}

bool WriteList(NamedMutex& exchangeMutex, SharedRegion& own, const char* regionName, const wchar_t* units, uint32_t count) {
    if (count == 0 || count > kMaxListUnits) return false;
    const DWORD size = 4 + 2 * count;
    MutexLock lock(exchangeMutex);
    own.Close();
    RegionOpenResult r = own.Open(regionName, size);
    bool ok = r == RegionCreated || r == RegionExisted;
    if (ok) {
        auto* view = static_cast<unsigned char*>(own.View());
        std::memcpy(view, &count, 4);
        std::memcpy(view + 4, units, 2 * static_cast<size_t>(count));
    }
    return ok;
}

// The reader does without SharedRegion::Open: it wants only a region that a writer already
// holds, and opening the mapping alone creates nothing when the writer is absent; the region's
// embedded mutex, unused by the exchange, is neither created nor opened. One view of the whole
// mapping serves both the count and the list; its size (whole pages) bounds N.
namespace {

// Copies the list out of the mapping `mappingName`, if it exists and holds a well-formed list.
// Everything it opens is closed again when it returns.
bool CopyListOut(const char* mappingName, std::vector<wchar_t>& out) {
    unique_handle mapping(::OpenFileMappingA(FILE_MAP_READ, FALSE, mappingName));
    if (!mapping) return false;
    unique_view view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return false;
    MEMORY_BASIC_INFORMATION info{};
    size_t mapped = ::VirtualQuery(view.get(), &info, sizeof info) ? info.RegionSize : 0;
    const auto* bytes = static_cast<const unsigned char*>(view.get());
    uint32_t count = 0;
    if (mapped >= 4) std::memcpy(&count, bytes, 4);
    // A count the mapping cannot hold is corrupt; so are 0 and implausible ones.
    if (count == 0 || count > kMaxListUnits || 4 + 2 * static_cast<size_t>(count) > mapped) return false;
    out.resize(count);
    std::memcpy(out.data(), bytes + 4, 2 * static_cast<size_t>(count));
    return out[count - 1] == L'\0';
}

}  // namespace

bool ReadList(NamedMutex& exchangeMutex, const char* regionName, std::vector<wchar_t>& out) {
    out.clear();
    char mappingName[kRegionNameCapacity];
    if (!ComposeObjectName(mappingName, sizeof mappingName, regionName, "_FileMap")) return false;
    // The region is closed again before the mutex goes, so the next writer finds no one holding it.
    bool ok;
    {
        MutexLock lock(exchangeMutex);
        ok = CopyListOut(mappingName, out);
    }
    if (!ok) out.clear();
    return ok;
}

const wchar_t* LookUpAnswer(const wchar_t* units, size_t count, const wchar_t* name, size_t nameLength,
                            size_t* valueLength) {
    ListReader reader(units, count);
    const wchar_t *key, *value;
    size_t keyLength, length;
    while (reader.Next(&key, &keyLength) && keyLength != 0) {
        if (!reader.Next(&value, &length)) break;
        if (EqualsIgnoreAsciiCase(key, keyLength, name, nameLength)) {
            if (valueLength) *valueLength = length;
            return value;
        }
    }
    return nullptr;
}

}  // namespace mivola
