#include "settings_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "host_plugin.h"
#include "plugin_test_support.h"
#include "player_table.h"

using namespace mivola;
using namespace mivola::test;

namespace {

struct Loaded {
    MainSettings main;
    SettingList list;
    CustomAttributeList attributes;
};

// Loads the settings of a plug-in folder whose Setting.ini holds settingsUtf8.
void Load(const PluginFolder& folder, Loaded& out) { LoadSettings(folder.ModuleDir(), out.main, out.list, out.attributes); }

std::string Name(const Loaded& l, size_t i) { return l.list.Get(i)->name; }
std::wstring Template(const Loaded& l, size_t i) { return l.list.Get(i)->tmpl; }
std::string Key(const Loaded& l, size_t i) { return PlayerTable[l.list.Get(i)->playerRow].key; }

std::string Ini(const PluginFolder& folder, const char* section, const char* key) {
    char value[2048];
    std::string path = Narrow(folder.SettingsFile());
    ::GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, path.c_str());
    return value;
}

std::vector<std::wstring> Names(const CustomAttributeList& list) {
    std::vector<std::wstring> names;
    for (size_t i = 0; i < list.Count(); ++i) names.push_back(list.At(i));
    return names;
}

}  // namespace

TEST(SettingsLoad, MissingFileGivesTheDefaults) {
    PluginFolder folder("");
    ::DeleteFileW(folder.SettingsFile().c_str());
    Loaded l;
    Load(folder, l);
    EXPECT_EQ(l.main.settingCount, 10u);
    EXPECT_EQ(l.main.iTunesCheck, 0u);
    EXPECT_EQ(l.main.iTunesTiming, 1000u);
    EXPECT_EQ(l.main.smtcCheck, 1u) << "the media-session bridge runs unless switched off";
    EXPECT_EQ(l.main.smtcTiming, 1000u);
    ASSERT_EQ(l.list.Count(), 10u);
    EXPECT_EQ(Name(l, 0), Cp932(L"\u8a2d\u5b9a001"));
    EXPECT_EQ(Name(l, 9), Cp932(L"\u8a2d\u5b9a010"));
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(l.list.Get(i)->playerRow, kAutoRow);
        EXPECT_EQ(Template(l, i), L"");
    }
    EXPECT_EQ(l.attributes.Count(), 0u);
}

TEST(SettingsLoad, ShippedFileLoadsAsTheDefaults) {
    PluginFolder folder("");
    ASSERT_TRUE(::CopyFileW((ModuleDirectory() + L"default_Setting.ini").c_str(), folder.SettingsFile().c_str(), FALSE));
    Loaded shipped, missing;
    Load(folder, shipped);
    ::DeleteFileW(folder.SettingsFile().c_str());
    Load(folder, missing);
    EXPECT_EQ(shipped.main.settingCount, missing.main.settingCount);
    EXPECT_EQ(shipped.main.iTunesCheck, missing.main.iTunesCheck);
    EXPECT_EQ(shipped.main.iTunesTiming, missing.main.iTunesTiming);
    EXPECT_EQ(shipped.main.smtcCheck, missing.main.smtcCheck);
    EXPECT_EQ(shipped.main.smtcTiming, missing.main.smtcTiming);
    ASSERT_EQ(shipped.list.Count(), missing.list.Count());
    for (size_t i = 0; i < shipped.list.Count(); ++i) {
        EXPECT_EQ(Name(shipped, i), Name(missing, i));
        EXPECT_EQ(Key(shipped, i), Key(missing, i));
        EXPECT_EQ(Template(shipped, i), Template(missing, i));
    }
}

TEST(SettingsLoad, NumbersAreClamped) {
    struct Case {
        const char* num;
        UINT count;
        const char* timing;
        UINT interval;
    } cases[] = {
        {"0", 1, "5", 10},        {"5000", 1000, "0", 10}, {"-1", 1000, "10000", 9999},
        {"abc", 1, "-1", 9999},   {"7", 7, "250", 250},    {"1000", 1000, "x", 10},
    };
    PluginFolder folder("");
    for (const Case& c : cases) {
        folder.WriteSettings(std::string("[Main]\r\nVersion=2\r\nMivolaNum=") + c.num + "\r\niTunesTiming=" + c.timing +
                             "\r\niTunesCheck=3\r\nSMTCTiming=" + c.timing + "\r\nSMTCCheck=0\r\n");
        Loaded l;
        Load(folder, l);
        EXPECT_EQ(l.main.settingCount, c.count) << c.num;
        EXPECT_EQ(l.list.Count(), c.count) << c.num;
        EXPECT_EQ(l.main.iTunesTiming, c.interval) << c.timing;
        EXPECT_EQ(l.main.iTunesCheck, 3u);
        EXPECT_EQ(l.main.smtcTiming, c.interval) << c.timing;
        EXPECT_EQ(l.main.smtcCheck, 0u);
    }
}

TEST(SettingsLoad, TargetPlayerMatchesKeysIgnoringCase) {
    PluginFolder folder(
        "[Main]\nVersion=2\nMivolaNum=9\n"
        "[Mivola000]\nTargetPlayer=wmp\n[Mivola001]\nTargetPlayer=WINAMP\n[Mivola002]\nTargetPlayer=iTunes\n"
        "[Mivola003]\nTargetPlayer=Foo\n[Mivola004]\nTargetPlayer=\n[Mivola005]\nTargetPlayer=auto\n"
        "[Mivola006]\nTargetPlayer=SMTC\n[Mivola007]\nTargetPlayer=smtc\n[Mivola008]\nTargetPlayer=SMTC2\n");
    Loaded l;
    Load(folder, l);
    ASSERT_EQ(l.list.Count(), 9u);
    EXPECT_EQ(Key(l, 0), "WMP");
    EXPECT_EQ(Key(l, 1), "Winamp");
    EXPECT_EQ(Key(l, 2), "iTunes");
    EXPECT_EQ(Key(l, 3), "Auto");
    EXPECT_EQ(Key(l, 4), "Auto");
    EXPECT_EQ(Key(l, 5), "Auto");
    EXPECT_EQ(Key(l, 6), "SMTC");
    EXPECT_EQ(Key(l, 7), "SMTC");
    EXPECT_EQ(Key(l, 8), "Auto") << "the whole key, not a prefix";
    EXPECT_EQ(l.list.Get(6)->playerRow, 4u) << "the row after iTunes";
}

TEST(SettingsLoad, QuotedFormatKeepsItsSpaces) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=2\n[Mivola000]\nFormat=\"  %title - \"\n[Mivola001]\nFormat=  bare  \n");
    Loaded l;
    Load(folder, l);
    EXPECT_EQ(Template(l, 0), L"  %title - ");
    EXPECT_EQ(Template(l, 1), L"bare");
}

TEST(SettingsLoad, CustomAttributesComeFromWmpAndAutoSettingsOnly) {
    PluginFolder folder(
        "[Main]\nVersion=2\nMivolaNum=5\n"
        "[Mivola000]\nTargetPlayer=Winamp\nFormat=%{A}\n[Mivola001]\nTargetPlayer=WMP\nFormat=%{B}%{a}\n"
        "[Mivola002]\nFormat=%{C}%{b}\n[Mivola003]\nTargetPlayer=iTunes\nFormat=%{D}\n[Mivola004]\nTargetPlayer=wmp\n"
        "Format=%{A}\n");
    Loaded l;
    Load(folder, l);
    EXPECT_EQ(Names(l.attributes), (std::vector<std::wstring>{L"B", L"a", L"C"}));
}

TEST(SettingsLoad, OverlongValuesAreCutOnCharacterBoundaries) {
    std::string longName, longFormat;
    for (int i = 0; i < 150; ++i) longName += "\u540d";      // 300 bytes in code page 932
    for (int i = 0; i < 2100; ++i) longFormat += "\u66f2";   // 4200 bytes
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=2\n[Mivola000]\nSettingName=" + longName + "\nFormat=" + longFormat +
                        "\n[Mivola001]\nSettingName=a" + longName + "\nFormat=a" + longFormat + "\n");
    Loaded l;
    Load(folder, l);
    for (size_t i = 0; i < 2; ++i) {
        std::string name = Name(l, i);
        EXPECT_LE(name.size(), 255u);
        EXPECT_GE(name.size(), 253u);
        EXPECT_EQ(AnsiPrefixLength(932, name.c_str(), name.size()), name.size()) << "ends inside a character";
        std::wstring tmpl = Template(l, i);
        EXPECT_EQ(tmpl.size(), 1023u);
        EXPECT_EQ(tmpl.back(), L'\u66f2');
    }
}

TEST(SettingsLoad, OldLayoutReadsWmpBasicSectionsAsAuto) {
    PluginFolder folder(
        "[Main]\nMivolaNum=2\n"
        "[WMP_Basic000]\nSettingName=\u65e7\u3044\nTargetPlayer=Winamp\nFormat=\"%title\"\n"
        "[Mivola000]\nSettingName=new\nFormat=ignored\n");
    Loaded l;
    Load(folder, l);
    ASSERT_EQ(l.list.Count(), 2u);
    EXPECT_EQ(Name(l, 0), Cp932(L"\u65e7\u3044"));
    EXPECT_EQ(Key(l, 0), "Auto");
    EXPECT_EQ(Template(l, 0), L"%title");
    EXPECT_EQ(Name(l, 1), Cp932(L"\u8a2d\u5b9a002"));

    folder.WriteSettings("[Main]\nVersion=abc\n[WMP_Basic000]\nFormat=old\n[Mivola000]\nFormat=new\n");
    Load(folder, l);
    EXPECT_EQ(Template(l, 0), L"old") << "a non-numeric Version means the old layout";
}

TEST(SettingsSave, FirstSaveMigratesTheOldLayout) {
    PluginFolder folder(
        "[Main]\nMivolaNum=2\n"
        "[WMP_Basic000]\nSettingName=\u65e7\u3044\nTargetPlayer=Winamp\nFormat=\" %title \"\n"
        "[WMP_Basic001]\nFormat=%{Foo}\n");
    Loaded l;
    Load(folder, l);
    SaveSettings(folder.ModuleDir(), l.list, l.attributes);

    EXPECT_EQ(Ini(folder, "Main", "Version"), "2");
    EXPECT_EQ(Ini(folder, "Main", "MivolaNum"), "2") << "the existing value stays";
    EXPECT_EQ(Ini(folder, "Mivola000", "TargetPlayer"), "Auto");
    EXPECT_EQ(Ini(folder, "Mivola000", "SettingName"), Cp932(L"\u65e7\u3044"));
    EXPECT_EQ(Ini(folder, "Mivola001", "TargetPlayer"), "Auto");
    EXPECT_EQ(Ini(folder, "WMP_Basic000", "TargetPlayer"), "Winamp") << "old sections stay untouched";
    EXPECT_NE(ReadFileBytes(folder.SettingsFile()).find("Format=\" %title \""), std::string::npos);
    EXPECT_EQ(Names(l.attributes), (std::vector<std::wstring>{L"Foo"}));

    Loaded again;
    Load(folder, again);
    EXPECT_EQ(again.main.version, 2);
    EXPECT_EQ(Template(again, 0), L" %title ");
    EXPECT_EQ(Name(again, 0), Cp932(L"\u65e7\u3044"));
}

TEST(SettingsSave, JapaneseNamesAndTemplatesRoundTripThroughCodePage932) {
    PluginFolder folder("");
    ::DeleteFileW(folder.SettingsFile().c_str());
    ::RemoveDirectoryW((Widen(folder.ModuleDir()) + L"Mivola").c_str());
    Loaded l;
    Load(folder, l);
    Setting& s = *l.list.Get(2);
    std::strcpy(s.name, Cp932(L"\u66f2\u540d\u3068\u6b4c\u624b\u2015\u8868\u793a").c_str());  // 表 ends in 0x5C
    s.playerRow = FindPlayerRow("iTunes");
    std::wcscpy(s.tmpl, L"  \u66f2: %title \u2015 %artist\uff01 \"\u8868\" ");
    SaveSettings(folder.ModuleDir(), l.list, l.attributes);
    EXPECT_NE(ReadFileBytes(folder.SettingsFile()).find(Cp932(L"\u66f2: %title \u2015 %artist")), std::string::npos)
        << "stored as code page 932";

    Loaded again;
    Load(folder, again);
    ASSERT_EQ(again.list.Count(), 10u) << "no MivolaNum written: still the default count";
    EXPECT_EQ(Name(again, 2), s.name);
    EXPECT_EQ(Key(again, 2), "iTunes");
    EXPECT_EQ(Template(again, 2), s.tmpl);
    EXPECT_EQ(Name(again, 0), Cp932(L"\u8a2d\u5b9a001"));
}

TEST(SettingsSave, AFullLengthJapaneseTemplateLoadsBackWhole) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\n");
    Loaded l;
    Load(folder, l);
    const std::wstring full = L" " + std::wstring(1021, L'\u66f2') + L" ";  // 2046 bytes in code page 932
    std::wcscpy(l.list.Get(0)->tmpl, full.c_str());
    SaveSettings(folder.ModuleDir(), l.list, l.attributes);
    Loaded again;
    Load(folder, again);
    EXPECT_TRUE(Template(again, 0) == full) << Template(again, 0).size() << " of " << full.size() << " units";
}

TEST(SettingsSave, UnrepresentableCharactersBecomeTheDefaultCharacter) {
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\n");
    Loaded l;
    Load(folder, l);
    std::wcscpy(l.list.Get(0)->tmpl, L"a\U0001F3B5b");
    SaveSettings(folder.ModuleDir(), l.list, l.attributes);
    Load(folder, l);
    std::wstring tmpl = Template(l, 0);
    ASSERT_GE(tmpl.size(), 3u);
    EXPECT_EQ(tmpl.front(), L'a');
    EXPECT_EQ(tmpl.back(), L'b');
    EXPECT_EQ(tmpl.find_first_of(L"\xD83C\xDFB5"), std::wstring::npos);
}

TEST(SettingsSave, MainSettingsCreateTheFolderAndWriteOnlyMain) {
    PluginFolder folder("");
    ::DeleteFileW(folder.SettingsFile().c_str());
    ASSERT_TRUE(::RemoveDirectoryW((Widen(folder.ModuleDir()) + L"Mivola").c_str()));
    MainSettings main;
    main.settingCount = 25;
    main.iTunesCheck = 1;
    main.iTunesTiming = 40;
    SaveMainSettings(folder.ModuleDir(), main);
    EXPECT_EQ(Ini(folder, "Main", "Version"), "2");
    EXPECT_EQ(Ini(folder, "Main", "MivolaNum"), "25");
    EXPECT_EQ(Ini(folder, "Main", "iTunesCheck"), "1");
    EXPECT_EQ(Ini(folder, "Main", "iTunesTiming"), "40");
    EXPECT_EQ(Ini(folder, "Main", "SMTCCheck"), "1");
    EXPECT_EQ(Ini(folder, "Main", "SMTCTiming"), "1000");
    EXPECT_EQ(Ini(folder, "Mivola000", "SettingName"), "<none>");
    Loaded l;
    Load(folder, l);
    EXPECT_EQ(l.list.Count(), 25u);
    EXPECT_EQ(l.main.iTunesTiming, 40u);

    main.smtcCheck = 0;
    main.smtcTiming = 9999;
    SaveMainSettings(folder.ModuleDir(), main);
    EXPECT_EQ(Ini(folder, "Main", "SMTCCheck"), "0");
    EXPECT_EQ(Ini(folder, "Main", "SMTCTiming"), "9999");
    Load(folder, l);
    EXPECT_EQ(l.main.smtcCheck, 0u);
    EXPECT_EQ(l.main.smtcTiming, 9999u);
    EXPECT_EQ(l.main.iTunesCheck, 1u);
}

// A file saved before the media-session bridge existed: every value loads as it did, a save of
// the unchanged settings gives the same bytes, and Init and Free leave the file alone.
TEST(SettingsLoad, AFileOfTheEarlierReleaseLoadsAsBefore) {
    const std::string earlier =
        "[Main]\r\nVersion=2\r\nMivolaNum=4\r\niTunesCheck=0\r\niTunesTiming=250\r\n"
        "[Mivola000]\r\nSettingName=\u66f2\u540d\r\nTargetPlayer=Auto\r\nFormat=\" %title - %artist \"\r\n"
        "[Mivola001]\r\nSettingName=WMP\r\nTargetPlayer=WMP\r\nFormat=\"%{WM/Year}\"\r\n"
        "[Mivola002]\r\nSettingName=\u8a2d\u5b9a003\r\nTargetPlayer=Winamp\r\nFormat=\"%pos/%len\"\r\n"
        "[Mivola003]\r\nSettingName=iTunes\r\nTargetPlayer=iTunes\r\nFormat=\"\"\r\n";
    PluginFolder folder(earlier);
    const std::string bytes = ReadFileBytes(folder.SettingsFile());
    Loaded l;
    Load(folder, l);
    EXPECT_EQ(l.main.settingCount, 4u);
    EXPECT_EQ(l.main.iTunesCheck, 0u);
    EXPECT_EQ(l.main.iTunesTiming, 250u);
    EXPECT_EQ(l.main.version, 2);
    ASSERT_EQ(l.list.Count(), 4u);
    const char* keys[] = {"Auto", "WMP", "Winamp", "iTunes"};
    const wchar_t* templates[] = {L" %title - %artist ", L"%{WM/Year}", L"%pos/%len", L""};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Key(l, i), keys[i]);
        EXPECT_EQ(Template(l, i), templates[i]);
    }
    EXPECT_EQ(Name(l, 0), Cp932(L"\u66f2\u540d"));
    EXPECT_EQ(Names(l.attributes), (std::vector<std::wstring>{L"WM/Year"}));
    EXPECT_EQ(ReadFileBytes(folder.SettingsFile()), bytes) << "loading writes nothing";
    {
        HostPlugin plugin;
        plugin.InitIn(folder.ModuleDir());
        EXPECT_EQ(plugin.Main().smtcCheck, 1u);
        plugin.Free();
    }
    EXPECT_EQ(ReadFileBytes(folder.SettingsFile()), bytes) << "Init and Free write nothing";

    SaveSettings(folder.ModuleDir(), l.list, l.attributes);
    EXPECT_EQ(ReadFileBytes(folder.SettingsFile()), bytes) << "the unchanged settings save to the same bytes";
}
