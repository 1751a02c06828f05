// The host plug-in's "Mivola\Setting.ini": any bytes, overlong lines, missing sections and
// keys, numbers at and past every edge, mutations of a valid file. Properties: the number of
// settings is 1..1000 and exactly that many load, the interval is 10..9999, every name and
// template is terminated inside its field and no name ends in half a double-byte character;
// clean files load exactly the values they hold and survive a save and a load unchanged.
// The loaded names and templates are then placed against a guard page and walked again.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "fuzz_support.h"
#include "player_table.h"
#include "plugin_info.h"
#include "setting_list.h"
#include "settings_file.h"
#include "template_engine.h"
#include "test_support.h"
#include "text_copy.h"

using namespace mivola;
using namespace mivola::fuzz;

namespace {

// More folders than the system keeps profile files cached, so every load reads the disk.
constexpr int kFolders = 16;
test::TempDir* g_root;
GuardedBuffer* g_name;
GuardedBuffer* g_template;

std::string Folder(uint64_t i) { return g_root->PathA() + "m" + std::to_string(i % kFolders) + "\\"; }

bool SetUp() {
    static test::TempDir root;
    static GuardedBuffer name(kSettingNameCapacity), tmpl(kTemplateCapacity * 2);
    g_root = &root, g_name = &name, g_template = &tmpl;
    for (int i = 0; i < kFolders; ++i) {
        ::CreateDirectoryA(Folder(i).c_str(), nullptr);
        ::CreateDirectoryA((Folder(i) + "Mivola").c_str(), nullptr);
    }
    ::CreateDirectoryA((root.PathA() + "save").c_str(), nullptr);
    return name.Ready() && tmpl.Ready();
}

// Values whose load is fixed: (text, settings, interval).
struct KnownNumber {
    const char* text;
    UINT settings;
    UINT interval;
};
constexpr KnownNumber kKnown[] = {
    {"0", 1, 10},       {"1", 1, 10},       {"5", 5, 10},          {"9", 9, 10},    {"10", 10, 10},
    {"999", 999, 999},  {"1000", 1000, 1000}, {"1001", 1000, 1001}, {"5000", 1000, 5000},
    {"9999", 1000, 9999}, {"10000", 1000, 9999}, {"-1", 1000, 9999}, {"-2147483648", 1000, 9999},
    {"2147483647", 1000, 9999}, {"abc", 1, 10}, {"12abc", 12, 12}, {"\"50\"", 50, 50},
};

std::vector<IniSection> Shape(bool current, int settings) {
    std::vector<IniSection> shape;
    shape.push_back({"Main", {{"MivolaNum", {"1", "3", "10", "0"}, true},
                              {"iTunesCheck", {"0", "1"}},
                              {"iTunesTiming", {"10", "1000", "5", "10000"}},
                              {"SMTCCheck", {"0", "1"}},
                              {"SMTCTiming", {"10", "1000", "5", "10000"}},
                              {"Version", {"2", "1", "0", "3"}}}});
    for (int i = 0; i < settings; ++i) {
        char section[32];
        std::snprintf(section, sizeof section, current ? "Mivola%03d" : "WMP_Basic%03d", i);
        shape.push_back({section, {{"SettingName", {"name", "\x90\xdd\x92\xe8", ""}},
                                   {"TargetPlayer", {"WMP", "winamp", "ITUNES", "Auto", "smtc", "Foo", ""}},
                                   {"Format", {"\"  %title - %artist  \"", "%{WM/Genre}%%", "\"", "%", "\"a\"b\""}}}});
    }
    return shape;
}

void CheckLoaded(const MainSettings& main, const SettingList& list) {
    Expect(main.settingCount >= 1 && main.settingCount <= 1000, "the number of settings is 1..1000");
    Expect(list.Count() == main.settingCount, "exactly that many settings load");
    Expect(main.iTunesTiming >= 10 && main.iTunesTiming <= 9999, "the interval is 10..9999");
    Expect(main.smtcTiming >= 10 && main.smtcTiming <= 9999, "the media-session interval is 10..9999");
    for (size_t i = 0; i < list.Count(); ++i) {
        const Setting& s = *list.Get(i);
        Expect(s.playerRow < kPlayerCount, "a setting targets a row of the player table");
        size_t nameLength = BoundedLength(s.name, kSettingNameCapacity);
        Expect(nameLength < kSettingNameCapacity, "a name is terminated inside its field");
        Expect(AnsiPrefixLength(CP_THREAD_ACP, s.name, kSettingNameCapacity - 1) == nameLength,
               "a name does not end in half a double-byte character");
        Expect(BoundedLength(s.tmpl, kTemplateCapacity) < kTemplateCapacity, "a template is terminated inside its field");
        // What the host and the engine do with them, from a guard page.
        const auto* name = static_cast<const char*>(g_name->Place(s.name, kSettingNameCapacity));
        Expect(BoundedLength(name, kSettingNameCapacity) == nameLength, "a placed name reads the same");
        const auto* tmpl = static_cast<const wchar_t*>(g_template->Place(s.tmpl, sizeof s.tmpl));
        CustomAttributeList names;
        CollectCustomAttributes(tmpl, names);
        Expect(EstimateTemplateSize(tmpl) >= 1, "a loaded template has an estimate");
    }
}

// A clean file with known values: loads them exactly, and a save loads back the same.
void CleanFile(Random& rng, uint64_t index) {
    Count("file clean");
    const KnownNumber& num = kKnown[rng.Below(sizeof kKnown / sizeof kKnown[0])];
    const KnownNumber& timing = kKnown[rng.Below(sizeof kKnown / sizeof kKnown[0])];
    const bool bigCount = num.settings > 20;
    std::string ini = "[Main]\r\nVersion=2\r\nMivolaNum=" + std::string(bigCount ? "3" : num.text) +
                      "\r\niTunesTiming=" + timing.text + "\r\nSMTCTiming=" + timing.text + "\r\n";
    const UINT settings = bigCount ? 3 : num.settings;
    const char* keys[] = {"Auto", "WMP", "Winamp", "iTunes", "wmp", "ITUNES", "Foo", "", "SMTC", "Smtc"};
    const size_t rows[] = {0, 1, 2, 3, 1, 3, 0, 0, 4, 4};
    struct Want {
        std::string name;
        size_t row;
        std::wstring tmpl;
    };
    std::vector<Want> want;
    for (UINT i = 0; i < settings; ++i) {
        Want w;
        w.name = "name " + std::to_string(rng.Below(1000));
        uint32_t k = rng.Below(sizeof rows / sizeof rows[0]);
        w.row = rows[k];
        std::string format = "  %title " + std::to_string(rng.Next() % 100000) + " %{x}  ";
        w.tmpl.assign(format.begin(), format.end());
        char section[32];
        std::snprintf(section, sizeof section, "Mivola%03u", i);
        ini += std::string("[") + section + "]\r\nSettingName=" + w.name + "\r\nTargetPlayer=" + keys[k] +
               "\r\nFormat=\"" + format + "\"\r\n";
        want.push_back(w);
    }
    const std::string dir = Folder(index);
    WriteWholeFile(SettingsFilePath(dir), ini);
    MainSettings main;
    SettingList list;
    CustomAttributeList attributes;
    LoadSettings(dir, main, list, attributes);
    CheckLoaded(main, list);
    if (!bigCount) Expect(main.settingCount == num.settings, "a clean MivolaNum loads as clamped");
    Expect(main.iTunesTiming == timing.interval, "a clean iTunesTiming loads as clamped");
    Expect(main.smtcTiming == timing.interval, "a clean SMTCTiming loads as clamped");
    const size_t n = std::min(list.Count(), want.size());
    for (size_t i = 0; i < n; ++i) {
        Expect(want[i].name == list.Get(i)->name, "a clean name loads as written");
        Expect(want[i].row == list.Get(i)->playerRow, "a clean target player loads as written");
        Expect(want[i].tmpl == list.Get(i)->tmpl, "a quoted template loads with its spaces");
    }

    // Saved into an empty folder and loaded again, nothing changes.
    const std::string saveDir = g_root->PathA() + "save\\";
    ::DeleteFileA(SettingsFilePath(saveDir).c_str());
    SaveSettings(saveDir, list, attributes);
    MainSettings again;
    SettingList reloaded;
    CustomAttributeList reattributes;
    LoadSettings(saveDir, again, reloaded, reattributes);
    // Without "MivolaNum" in the saved file, 10 settings load; the saved ones come first.
    Expect(reloaded.Count() >= list.Count() || list.Count() > 10, "a save keeps every setting");
    for (size_t i = 0; i < std::min(list.Count(), reloaded.Count()); ++i) {
        Expect(std::strcmp(list.Get(i)->name, reloaded.Get(i)->name) == 0, "a saved name loads back");
        Expect(list.Get(i)->playerRow == reloaded.Get(i)->playerRow, "a saved target player loads back");
        Expect(std::wcscmp(list.Get(i)->tmpl, reloaded.Get(i)->tmpl) == 0, "a saved template loads back");
    }
    Expect(attributes.Count() == reattributes.Count(), "a save and a load collect the same names");
}

void One(Random& rng) {
    const uint64_t index = CurrentInput();
    if (rng.OneIn(6)) return CleanFile(rng, index);
    std::string bytes;
    const bool current = !rng.OneIn(4);
    const int sections = static_cast<int>(rng.Below(12));
    switch (rng.Below(3)) {
        case 0:
            Count("file random bytes");
            rng.Bytes(bytes, rng.EdgeSize(4096));
            if (rng.OneIn(2)) bytes = "[Main]\r\nMivolaNum=" + std::to_string(rng.Below(12)) + "\r\n" + bytes;
            break;
        case 1:
            Count("file shaped");
            bytes = RandomIni(rng, Shape(current, sections));
            break;
        default: {
            Count("file mutated");
            Random donorRng(rng.Next());
            bytes = RandomIni(donorRng, Shape(current, sections));
            Mutate(rng, bytes, 64 * 1024, 1000, RandomIni(donorRng, Shape(current, 3)));
        }
    }
    const std::string dir = Folder(index);
    if (rng.OneIn(20)) ::DeleteFileA(SettingsFilePath(dir).c_str());  // no file at all
    else WriteWholeFile(SettingsFilePath(dir), bytes);

    MainSettings main;
    SettingList list;
    CustomAttributeList attributes;
    LoadSettings(dir, main, list, attributes);
    CheckLoaded(main, list);
    Count(main.settingCount == 1000 ? "loaded 1000 settings" : "loaded fewer settings");

    // Whatever loaded can be saved: the save is never refused, and the targets and templates
    // load back as they were (names too, unless quotes or blanks enclose them: names are stored
    // unquoted, and a reader drops both; the full-width space counts as a blank).
    if (list.Count() <= 12 && rng.OneIn(4)) {
        Count("loaded settings saved");
        const std::string saveDir = g_root->PathA() + "save\\";
        ::DeleteFileA(SettingsFilePath(saveDir).c_str());
        SaveSettings(saveDir, list, attributes);
        Expect(::GetFileAttributesA(SettingsFilePath(saveDir).c_str()) != INVALID_FILE_ATTRIBUTES,
               "a save of loaded settings is written");
        MainSettings again;
        SettingList reloaded;
        CustomAttributeList reattributes;
        LoadSettings(saveDir, again, reloaded, reattributes);
        for (size_t i = 0; i < std::min(list.Count(), reloaded.Count()); ++i) {
            const std::string name = list.Get(i)->name;
            constexpr char kDropped[] = "\"' \t\v\f\x1a";  // what a reader may drop around a value
            const bool enclosed = !name.empty() && (std::strchr(kDropped, name.front()) || std::strchr(kDropped, name.back()) ||
                                                    name.rfind("\x81\x40", 0) == 0 ||
                                                    (name.size() >= 2 && name.compare(name.size() - 2, 2, "\x81\x40") == 0));
            if (!enclosed)
                Expect(std::strcmp(list.Get(i)->name, reloaded.Get(i)->name) == 0, "a saved name loads back");
            Expect(list.Get(i)->playerRow == reloaded.Get(i)->playerRow, "a saved target player loads back");
            Expect(std::wcscmp(list.Get(i)->tmpl, reloaded.Get(i)->tmpl) == 0, "a saved template loads back");
        }
    }
}

}  // namespace

extern const Fuzzer kFuzzer = {"host_settings", SetUp, One};
