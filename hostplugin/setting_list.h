// The numbered settings: name, target player and template of each.
#pragma once

#include <cstddef>
#include <deque>

namespace mivola {

constexpr size_t kSettingNameCapacity = 256;  // 255 bytes and the NUL
constexpr size_t kTemplateCapacity = 1024;    // UTF-16 units, NUL included

struct Setting {
    size_t playerRow = 0;                      // row of PlayerTable
    char name[kSettingNameCapacity] = {};      // ANSI
    wchar_t tmpl[kTemplateCapacity] = {};
};

// Setting number n (1-based, as the host counts) is index n - 1. Records keep their
// address while others are appended.
class SettingList {
public:
    Setting& Append() { return settings_.emplace_back(); }
    // Null when index is out of range.
    Setting* Get(size_t index) { return index < settings_.size() ? &settings_[index] : nullptr; }
    const Setting* Get(size_t index) const { return index < settings_.size() ? &settings_[index] : nullptr; }
    size_t Count() const { return settings_.size(); }
    void Clear() { settings_.clear(); }

private:
    std::deque<Setting> settings_;
};

}  // namespace mivola
