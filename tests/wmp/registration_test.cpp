// Registration through Wine's own regsvr32, in this test tree's Wine prefix, in the registry
// view of the bridge's architecture. Whatever a test registers is deleted again at its end.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "peer_arch.h"
#include "unique_handle.h"
#include "wmp_ids.h"
#include "wmp_stand_in.h"

using namespace mivola::test;

namespace {

const std::wstring kClsidKey = std::wstring(L"CLSID\\") + mivola::wmp::kClsidText;
const std::wstring kPluginKey = std::wstring(L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\") + mivola::wmp::kClsidText;

REGSAM ViewOf(Arch arch) {
    if (arch == Arch::Same) return 0;
    return sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

class Registration : public WithPeer {
protected:
    TempDir dir;
    std::wstring dll;
    void SetUp() override {
        WithPeer::SetUp();
        if (IsSkipped()) return;
        dll = dir.Path() + L"ZEQ_Mivola_WMP.dll";
        ASSERT_TRUE(::CopyFileW((WmpProgramDirectory(arch()) + L"ZEQ_Mivola_WMP.dll").c_str(), dll.c_str(), FALSE));
    }
    void TearDown() override {
        if (!dll.empty()) RunRegsvr32(arch(), dll, true);
        DeleteTree(HKEY_CLASSES_ROOT, kClsidKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kPluginKey);
    }
    void DeleteTree(HKEY hive, const std::wstring& path) {
        mivola::unique_hkey parent;
        size_t slash = path.rfind(L'\\');
        if (::RegOpenKeyExW(hive, path.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | ViewOf(arch()), parent.put()) !=
            ERROR_SUCCESS)
            return;
        ::RegDeleteTreeW(parent.get(), path.substr(slash + 1).c_str());
        ::RegDeleteKeyExW(parent.get(), path.substr(slash + 1).c_str(), ViewOf(arch()), 0);
    }
    bool Exists(HKEY hive, const std::wstring& path) {
        mivola::unique_hkey k;
        return ::RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ | ViewOf(arch()), k.put()) == ERROR_SUCCESS;
    }
    bool Create(HKEY hive, const std::wstring& path) {
        mivola::unique_hkey k;
        return ::RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ViewOf(arch()), nullptr, k.put(),
                                 nullptr) == ERROR_SUCCESS;
    }
    // Type and bytes of a value; type 0xFFFF when absent.
    DWORD Value(HKEY hive, const std::wstring& path, const wchar_t* name, std::wstring* text, DWORD* number = nullptr) {
        mivola::unique_hkey k;
        if (::RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ | ViewOf(arch()), k.put()) != ERROR_SUCCESS) return 0xFFFF;
        BYTE data[4096] = {};
        DWORD type = 0, size = sizeof data - 2;
        LSTATUS s = ::RegQueryValueExW(k.get(), name, nullptr, &type, data, &size);
        if (s != ERROR_SUCCESS) return 0xFFFF;
        if (text) *text = reinterpret_cast<const wchar_t*>(data);
        if (number && size == 4) std::memcpy(number, data, 4);
        return type;
    }
};

TEST_P(Registration, Regsvr32WritesTheEntriesAndRemovesThemAgain) {
    ASSERT_EQ(RunRegsvr32(arch(), dll, false), 0u);
    std::wstring text;
    DWORD number = 0;
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, kClsidKey, nullptr, &text), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text, L"Mivola_WMP Class");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, kClsidKey + L"\\InprocServer32", nullptr, &text), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(_wcsicmp(text.c_str(), dll.c_str()), 0) << Narrow(text);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, kClsidKey + L"\\InprocServer32", L"ThreadingModel", &text), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text, L"Apartment");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kPluginKey, L"FriendlyName", &text), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text, L"res://Mivola_WMP.dll/RT_STRING/#102");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kPluginKey, L"Description", &text), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text, L"res://Mivola_WMP.dll/RT_STRING/#103");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kPluginKey, L"Capabilities", nullptr, &number), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(number, 0xE0000001u);

    ASSERT_EQ(RunRegsvr32(arch(), dll, true), 0u);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClsidKey));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kPluginKey));
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MediaPlayer"));
}

TEST_P(Registration, OldKeysAreReplacedWholeAndUnregisterTakesEverythingBelow) {
    ASSERT_TRUE(Create(HKEY_CLASSES_ROOT, kClsidKey + L"\\Stale\\Deeper"));
    ASSERT_TRUE(Create(HKEY_LOCAL_MACHINE, kPluginKey + L"\\Stale"));
    ASSERT_TRUE(Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\{00000000-1111-2222-3333-444444444444}"));
    ASSERT_EQ(RunRegsvr32(arch(), dll, false), 0u);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClsidKey + L"\\Stale"));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kPluginKey + L"\\Stale"));
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, kClsidKey + L"\\InprocServer32"));
    ASSERT_TRUE(Create(HKEY_CLASSES_ROOT, kClsidKey + L"\\AddedLater"));
    ASSERT_EQ(RunRegsvr32(arch(), dll, true), 0u);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClsidKey));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kPluginKey));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\{00000000-1111-2222-3333-444444444444}"))
        << "a neighbour is left alone";
    DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\{00000000-1111-2222-3333-444444444444}");
}

TEST_P(Registration, APathWithASingleQuoteIsWrittenAsItIs) {
    std::wstring folder = dir.Path() + L"it's here\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring quoted = folder + L"ZEQ_Mivola_WMP.dll";
    ASSERT_TRUE(::CopyFileW(dll.c_str(), quoted.c_str(), FALSE));
    ASSERT_EQ(RunRegsvr32(arch(), quoted, false), 0u);
    std::wstring text;
    Value(HKEY_CLASSES_ROOT, kClsidKey + L"\\InprocServer32", nullptr, &text);
    EXPECT_EQ(_wcsicmp(text.c_str(), quoted.c_str()), 0) << Narrow(text);
    EXPECT_EQ(RunRegsvr32(arch(), quoted, true), 0u);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClsidKey));
}

MIVOLA_BOTH_ARCHES(Registration);

}  // namespace
