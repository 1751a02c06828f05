#include "attribute_exchange.h"

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
    exchangeMutex.Lock();
    own.Close();
    RegionOpenResult r = own.Open(regionName, size);
    bool ok = r == RegionCreated || r == RegionExisted;
    if (ok) {
        auto* view = static_cast<unsigned char*>(own.View());
        std::memcpy(view, &count, 4);
        std::memcpy(view + 4, units, 2 * static_cast<size_t>(count));
    }
    exchangeMutex.Unlock();
    return ok;
}

bool ReadList(NamedMutex& exchangeMutex, const char* regionName, std::vector<wchar_t>& out) {
    out.clear();
    exchangeMutex.Lock();
    bool ok = false;
    {
        SharedRegion region;
        if (region.Open(regionName, 4) == RegionExisted) {
            uint32_t count;
            std::memcpy(&count, region.View(), 4);
            // Map the whole list before touching it; a mapping smaller than N claims fails here.
            if (count != 0 && count <= kMaxListUnits && region.Open(regionName, 4 + 2 * count) == RegionExisted) {
                const auto* view = static_cast<const unsigned char*>(region.View());
                out.resize(count);
                std::memcpy(out.data(), view + 4, 2 * static_cast<size_t>(count));
                ok = out[count - 1] == L'\0';
            }
        }
        region.Close();
    }
    exchangeMutex.Unlock();
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
