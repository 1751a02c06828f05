// Saving settings when the disk or the folder will not take them: the settings in memory stay
// as edited, and the file is either replaced whole or left exactly as it was, never cut short.
// The full-disk cases run in a test of their own (fault_disk_full) under a file-size limit
// (MIVOLA_FILE_SIZE_LIMIT): a write past it fails the way a full disk makes it fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin_test_support.h"
#include "setting_list.h"
#include "hostplugin/settings_file.h"
#include "module_settings_file.h"
#include "template_engine.h"
#include "unique_handle.h"

using namespace mivola;
using namespace mivola::test;

namespace {

size_t FileSizeLimit() {
    const char* limit = std::getenv("MIVOLA_FILE_SIZE_LIMIT");
    return limit ? std::strtoul(limit, nullptr, 10) : 0;
}

#define SKIP_UNLESS_FILE_SIZE_LIMIT()                                                          \
    do {                                                                                       \
        if (FileSizeLimit() == 0) GTEST_SKIP() << "runs under a file-size limit (fault_disk_full)"; \
    } while (0)

// An existing file with an old-layout section at its end, which a save must keep.
std::string InitialSettings(size_t settings) {
    std::string ini = "[Main]\r\nVersion=2\r\nMivolaNum=" + std::to_string(settings) + "\r\niTunesTiming=500\r\n";
    for (size_t i = 0; i < settings; ++i) {
        char section[32];
        std::snprintf(section, sizeof section, "Mivola%03u", static_cast<unsigned>(i));
        ini += std::string("[") + section + "]\r\nSettingName=s" + std::to_string(i) +
               "\r\nTargetPlayer=Winamp\r\nFormat=\"%title\"\r\n";
    }
    return ini + "[WMP_Basic000]\r\nSettingName=old\r\nFormat=\"%artist\"\r\n";
}

// Loads the folder's settings and edits every one: long templates, new names.
void LoadAndEdit(const std::string& dir, MainSettings& main, SettingList& list, CustomAttributeList& attributes,
                 size_t templateLength) {
    LoadSettings(dir, main, list, attributes);
    for (size_t i = 0; i < list.Count(); ++i) {
        Setting& s = *list.Get(i);
        std::snprintf(s.name, sizeof s.name, "edited %u", static_cast<unsigned>(i));
        std::wstring t = L"%title " + std::wstring(templateLength, static_cast<wchar_t>(L'a' + i % 26));
        std::wcsncpy(s.tmpl, t.c_str(), kTemplateCapacity - 1);
    }
}

void ExpectEdited(const SettingList& list, size_t templateLength) {
    for (size_t i = 0; i < list.Count(); ++i) {
        EXPECT_EQ(std::string(list.Get(i)->name), "edited " + std::to_string(i));
        EXPECT_EQ(std::wcslen(list.Get(i)->tmpl), 7 + templateLength);
    }
}

class SettingsSave : public ::testing::Test {
protected:
    TempDir dir;
    std::string moduleDir = dir.PathA();
    std::wstring file = dir.Path() + L"Mivola\\Setting.ini";
    void SetUp() override { ASSERT_TRUE(::CreateDirectoryW((dir.Path() + L"Mivola").c_str(), nullptr)); }
    bool NoCopyLeft() const { return !FileExists(file + L".tmp"); }
};

TEST_F(SettingsSave, AFileHeldByAnotherProgramIsLeftAsItWasAndMemoryKeepsTheEdits) {
    const std::string before = InitialSettings(3);
    ASSERT_TRUE(WriteFileBytes(file, before));
    MainSettings main;
    SettingList list;
    CustomAttributeList attributes;
    LoadAndEdit(moduleDir, main, list, attributes, 40);
    {
        // Another program has the file open and lets others only read it.
        unique_hfile held(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        SaveSettings(moduleDir, list, attributes);
        main.iTunesTiming = 1234;
        SaveMainSettings(moduleDir, main);
    }
    EXPECT_EQ(ReadFileBytes(file), before);
    EXPECT_TRUE(NoCopyLeft());
    ExpectEdited(list, 40);

    // Once the file is free, the same edits save and load back.
    SaveSettings(moduleDir, list, attributes);
    SaveMainSettings(moduleDir, main);
    MainSettings loadedMain;
    SettingList loaded;
    CustomAttributeList loadedAttributes;
    LoadSettings(moduleDir, loadedMain, loaded, loadedAttributes);
    ExpectEdited(loaded, 40);
    EXPECT_EQ(loadedMain.iTunesTiming, 1234u);
    EXPECT_NE(ReadFileBytes(file).find("[WMP_Basic000]\r\nSettingName=old"), std::string::npos);
    EXPECT_TRUE(NoCopyLeft());
}

TEST_F(SettingsSave, AFileNamedLikeTheFolderTakesNothingAndBreaksNothing) {
    ASSERT_TRUE(::RemoveDirectoryW((dir.Path() + L"Mivola").c_str()));
    ASSERT_TRUE(WriteFileBytes(dir.Path() + L"Mivola", "not a folder"));
    MainSettings main;
    SettingList list;
    CustomAttributeList attributes;
    LoadAndEdit(moduleDir, main, list, attributes, 10);
    ASSERT_EQ(list.Count(), 10u);  // no file: the defaults
    SaveSettings(moduleDir, list, attributes);
    SaveMainSettings(moduleDir, main);
    EXPECT_EQ(ReadFileBytes(dir.Path() + L"Mivola"), "not a folder");
    ExpectEdited(list, 10);
}

TEST_F(SettingsSave, ValuesThatReadersTrimOrUnquoteAreStillSaved) {
    // Readers drop blanks (the full-width space and Ctrl-Z among them) and one pair of quotes
    // around a value: a save must not take that for a file cut short.
    const char* names[] = {" a ", "\x81\x40\x96\xbc\x81\x40", "\"q\"", "'s'", "\x1a", "", "x\t"};
    const wchar_t* templates[] = {L" %title ", L"\"%title\"", L"'", L"\u3000\u540d\u3000", L"\x1a", L"", L"%%"};
    MainSettings main;
    SettingList list;
    CustomAttributeList attributes;
    for (size_t i = 0; i < 7; ++i) {
        Setting& s = list.Append();
        std::snprintf(s.name, sizeof s.name, "%s", names[i]);
        std::wcsncpy(s.tmpl, templates[i], kTemplateCapacity - 1);
    }
    SaveSettings(moduleDir, list, attributes);
    main.iTunesTiming = 77;
    SaveMainSettings(moduleDir, main);
    ASSERT_TRUE(FileExists(file));
    EXPECT_TRUE(NoCopyLeft());
    EXPECT_FALSE(FileExists(file + L".chk"));
    MainSettings loadedMain;
    SettingList loaded;
    CustomAttributeList loadedAttributes;
    LoadSettings(moduleDir, loadedMain, loaded, loadedAttributes);
    EXPECT_EQ(loadedMain.iTunesTiming, 77u);
    ASSERT_GE(loaded.Count(), 7u);
    for (size_t i = 0; i < 7; ++i) EXPECT_STREQ(loaded.Get(i)->tmpl, templates[i]) << i;  // quoted: kept whole
}

TEST_F(SettingsSave, DiskFullLeavesTheFileWholeAndMemoryAsEdited) {
    SKIP_UNLESS_FILE_SIZE_LIMIT();
    // A small file that a save would grow past what the disk takes.
    const std::string before = InitialSettings(24);
    ASSERT_LT(before.size(), FileSizeLimit() / 2);
    ASSERT_TRUE(WriteFileBytes(file, before));
    MainSettings main;
    SettingList list;
    CustomAttributeList attributes;
    const size_t templateLength = 1000;  // 24 of them do not fit
    ASSERT_GT(24 * templateLength, FileSizeLimit());
    LoadAndEdit(moduleDir, main, list, attributes, templateLength);
    SaveSettings(moduleDir, list, attributes);
    EXPECT_TRUE(ReadFileBytes(file) == before) << "the settings file was changed by a save that could not complete";
    EXPECT_TRUE(NoCopyLeft());
    ExpectEdited(list, templateLength);

    // What the profile function itself leaves when the disk fills during its rewrite.
    const std::wstring raw = dir.Path() + L"raw.ini";
    ASSERT_TRUE(WriteFileBytes(raw, before));
    BOOL reported = TRUE;
    for (size_t i = 0; i < list.Count(); ++i) {
        std::string value(templateLength, 'x');
        char section[32];
        std::snprintf(section, sizeof section, "Mivola%03u", static_cast<unsigned>(i));
        reported &= ::WritePrivateProfileStringA(section, "Format", value.c_str(),
                                                  Narrow(raw).c_str());
    }
    const std::string left = ReadFileBytes(raw);
    std::printf("WritePrivateProfileStringA on a full disk: reported %s, left %u bytes (limit %u), %s\n",
                reported ? "success" : "failure", static_cast<unsigned>(left.size()),
                static_cast<unsigned>(FileSizeLimit()),
                left.find("[WMP_Basic000]") == std::string::npos ? "the file's last section lost" : "the file whole");
}

TEST_F(SettingsSave, DiskFullDuringAMainSaveLeavesTheFileWhole) {
    SKIP_UNLESS_FILE_SIZE_LIMIT();
    // A file just under what the disk takes; the new [Main] values make it longer.
    std::string before = "[Main]\r\nVersion=2\r\nMivolaNum=1\r\n[Mivola000]\r\nFormat=\"";
    before += std::string(FileSizeLimit() - before.size() - 8, 'p') + "\"\r\n";
    ASSERT_TRUE(WriteFileBytes(file, before));
    MainSettings main;
    SettingList list;
    CustomAttributeList attributes;
    LoadSettings(moduleDir, main, list, attributes);
    main.iTunesCheck = 1;
    main.iTunesTiming = 9999;
    SaveMainSettings(moduleDir, main);
    EXPECT_TRUE(ReadFileBytes(file) == before);
    EXPECT_TRUE(NoCopyLeft());
    EXPECT_EQ(main.iTunesTiming, 9999u);
}

// The Winamp bridge's file is its module's path + ".ini"; here the module is this program.
class WinampSave : public ::testing::Test {
protected:
    HMODULE module = ::GetModuleHandleW(nullptr);
    std::string path;
    void SetUp() override {
        char p[kModuleSettingsPathCapacity];
        ASSERT_TRUE(ModuleSettingsPath(module, p));
        path = p;
    }
    void TearDown() override {
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
        ::DeleteFileA(path.c_str());
    }
    std::wstring File() const { return Widen(path); }
};

TEST_F(WinampSave, AFileHeldByAnotherProgramIsLeftAsItWas) {
    const std::string before = "[Other]\r\nKey=1\r\n[Main]\r\nTiming=100\r\n";
    ASSERT_TRUE(WriteFileBytes(File(), before));
    {
        unique_hfile held(::CreateFileW(File().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(WriteModuleInterval(module, 2000));
    }
    EXPECT_EQ(ReadFileBytes(File()), before);
    EXPECT_EQ(ReadModuleInterval(module), 100u);
    EXPECT_TRUE(WriteModuleInterval(module, 2000));
    EXPECT_EQ(ReadModuleInterval(module), 2000u);
    EXPECT_EQ(ReadFileBytes(File()), "[Other]\r\nKey=1\r\n[Main]\r\nTiming=2000\r\n");
}

TEST_F(WinampSave, DiskFullLeavesTheFileWhole) {
    SKIP_UNLESS_FILE_SIZE_LIMIT();
    // A file a few bytes short of what the disk takes, without the interval yet.
    std::string before = "[Other]\r\nKey=";
    before += std::string(FileSizeLimit() - before.size() - 6, 'k') + "\r\n";
    ASSERT_TRUE(WriteFileBytes(File(), before));
    EXPECT_FALSE(WriteModuleInterval(module, 2000));  // "[Main]" and "Timing=2000" do not fit
    EXPECT_TRUE(ReadFileBytes(File()) == before);
    EXPECT_EQ(ReadModuleInterval(module), 1000u);
    EXPECT_FALSE(FileExists(File() + L".tmp"));
}

}  // namespace
