// The registry-script registrar on its own, against a private key below HKEY_CURRENT_USER.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "registrar.h"
#include "test_support.h"
#include "unique_handle.h"

using namespace mivola::test;
using mivola::RegistrarRoots;
using mivola::RunModuleRegistration;
using mivola::RunRegistryScript;
using mivola::SubstituteQuoted;

namespace {

class Registrar : public ::testing::Test {
protected:
    std::wstring base = L"Software\\MivolaRegistrarTest_" + Widen(UniqueName("r"));
    mivola::unique_hkey rootKey;
    HKEY root = nullptr;
    RegistrarRoots roots;
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, base.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    rootKey.put(), nullptr),
                  ERROR_SUCCESS);
        root = rootKey.get();
        roots.classesRoot = roots.localMachine = roots.currentUser = root;
    }
    void TearDown() override {
        rootKey.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, base.c_str());
    }
    bool Exists(const wchar_t* path) {
        mivola::unique_hkey k;
        return ::RegOpenKeyExW(root, path, 0, KEY_READ, k.put()) == ERROR_SUCCESS;
    }
    std::wstring String(const wchar_t* path, const wchar_t* name) {
        wchar_t value[512] = L"<none>";
        DWORD size = sizeof value;
        if (::RegGetValueW(root, path, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return L"<none>";
        return value;
    }
    DWORD Type(const wchar_t* path, const wchar_t* name) {
        DWORD type = 0;
        if (::RegGetValueW(root, path, name, RRF_RT_ANY, &type, nullptr, nullptr) != ERROR_SUCCESS) return 0xFFFF;
        return type;
    }
    DWORD Number(const wchar_t* path, const wchar_t* name) {
        DWORD value = 0, size = sizeof value;
        ::RegGetValueW(root, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
        return value;
    }
};

const wchar_t kScript[] =
    L"HKCR\n{\n  NoRemove CLSID\n  {\n    ForceRemove {11111111-2222-3333-4444-555555555555} = s 'A ''quoted'' class'\n"
    L"    {\n      InprocServer32 = s '%MODULE%'\n      {\n        val ThreadingModel = s 'Apartment'\n      }\n    }\n  }\n}\n"
    L"HKLM\n{\n  NoRemove Parent\n  {\n    ForceRemove Child\n    {\n      val Text = s 'res://x/#1'\n"
    L"      val Hex = d '0xE0000001'\n      val Dec = d '3758096385'\n    }\n  }\n}\n";

TEST_F(Registrar, RegistersKeysValuesAndTypes) {
    std::wstring script = SubstituteQuoted(kScript, L"MODULE", L"C:\\it's\\m.dll");
    ASSERT_EQ(RunRegistryScript(script, true, roots), S_OK);
    const wchar_t* clsid = L"CLSID\\{11111111-2222-3333-4444-555555555555}";
    EXPECT_EQ(String(clsid, nullptr), L"A 'quoted' class");
    EXPECT_EQ(String((std::wstring(clsid) + L"\\InprocServer32").c_str(), nullptr), L"C:\\it's\\m.dll");
    EXPECT_EQ(String((std::wstring(clsid) + L"\\InprocServer32").c_str(), L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(String(L"Parent\\Child", L"Text"), L"res://x/#1");
    EXPECT_EQ(Type(L"Parent\\Child", L"Hex"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Number(L"Parent\\Child", L"Hex"), 0xE0000001u);
    EXPECT_EQ(Number(L"Parent\\Child", L"Dec"), 0xE0000001u);
}

TEST_F(Registrar, ForceRemoveReplacesOldKeysWhole) {
    mivola::unique_hkey k;
    ASSERT_EQ(::RegCreateKeyExW(root, L"Parent\\Child\\Stale\\Deeper", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(),
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetKeyValueW(root, L"Parent\\Child", L"Old", REG_SZ, L"x", 4), ERROR_SUCCESS);
    ASSERT_EQ(::RegSetKeyValueW(root, L"Parent", L"Keep", REG_SZ, L"y", 4), ERROR_SUCCESS);
    ASSERT_EQ(RunRegistryScript(SubstituteQuoted(kScript, L"MODULE", L"m"), true, roots), S_OK);
    EXPECT_FALSE(Exists(L"Parent\\Child\\Stale"));
    EXPECT_EQ(Type(L"Parent\\Child", L"Old"), 0xFFFFu);
    EXPECT_EQ(String(L"Parent", L"Keep"), L"y") << "a NoRemove key keeps what it had";
}

TEST_F(Registrar, UnregisterDeletesTheKeysWholeAndNothingAbove) {
    ASSERT_EQ(RunRegistryScript(SubstituteQuoted(kScript, L"MODULE", L"m"), true, roots), S_OK);
    mivola::unique_hkey k;
    ASSERT_EQ(::RegCreateKeyExW(root, L"Parent\\Child\\Extra", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RunRegistryScript(SubstituteQuoted(kScript, L"MODULE", L"m"), false, roots), S_OK);
    EXPECT_FALSE(Exists(L"CLSID\\{11111111-2222-3333-4444-555555555555}"));
    EXPECT_FALSE(Exists(L"Parent\\Child"));
    EXPECT_TRUE(Exists(L"CLSID"));
    EXPECT_TRUE(Exists(L"Parent"));
    // Unregistering what is not there is no failure.
    EXPECT_EQ(RunRegistryScript(SubstituteQuoted(kScript, L"MODULE", L"m"), false, roots), S_OK);
}

// A key that cannot be deleted must not keep the other one registered: every key is tried and
// the first failure is the result. Here every call below the HKCR root fails.
TEST_F(Registrar, UnregisterTriesEveryKeyAndReturnsTheFirstFailure) {
    const std::wstring script = SubstituteQuoted(kScript, L"MODULE", L"m");
    ASSERT_EQ(RunRegistryScript(script, true, roots), S_OK);
    RegistrarRoots broken = roots;
    broken.classesRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x0BADF00C));
    EXPECT_EQ(RunRegistryScript(script, false, broken), HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(Exists(L"CLSID\\{11111111-2222-3333-4444-555555555555}"));
    EXPECT_FALSE(Exists(L"Parent\\Child")) << "the second key is deleted all the same";
    EXPECT_TRUE(Exists(L"Parent"));

    // The same when the failing root comes second.
    ASSERT_EQ(RunRegistryScript(script, true, roots), S_OK);
    broken = roots;
    broken.localMachine = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x0BADF00C));
    EXPECT_EQ(RunRegistryScript(script, false, broken), HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(Exists(L"CLSID\\{11111111-2222-3333-4444-555555555555}"));
    EXPECT_TRUE(Exists(L"Parent\\Child"));
}

// The bridge's own script, read from the built bridge loaded as data: the path given stands for
// %MODULE%, and unregistration tries both {CLSID} keys.
TEST_F(Registrar, BridgeScriptReadAsDataFromTheBridge) {
    mivola::unique_hmodule bridge(::LoadLibraryExW((ModuleDirectory() + L"ZEQ_Mivola_WMP.dll").c_str(), nullptr,
                                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(bridge);
    const wchar_t* clsid = L"CLSID\\{320FB78B-87F1-4714-AF6C-8481D1F34670}";
    const wchar_t* plugin = L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\{320FB78B-87F1-4714-AF6C-8481D1F34670}";
    ASSERT_EQ(RunModuleRegistration(bridge.get(), L"C:\\it's\\ZEQ_Mivola_WMP.dll", true, roots), S_OK);
    EXPECT_EQ(String((std::wstring(clsid) + L"\\InprocServer32").c_str(), nullptr), L"C:\\it's\\ZEQ_Mivola_WMP.dll");
    EXPECT_EQ(Number(plugin, L"Capabilities"), 0xE0000001u);

    RegistrarRoots broken = roots;
    broken.classesRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x0BADF00C));
    EXPECT_EQ(RunModuleRegistration(bridge.get(), L"m", false, broken), HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(Exists(clsid));
    EXPECT_FALSE(Exists(plugin));
    EXPECT_TRUE(Exists(L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins"));

    // A module without a script (this test program) registers nothing.
    EXPECT_EQ(RunModuleRegistration(::GetModuleHandleW(nullptr), L"m", true, roots),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST_F(Registrar, SyntaxErrorsChangeNothing) {
    const wchar_t* bad[] = {
        L"HKCR\n{\n  Key = s 'unterminated\n}\n",
        L"HKXX\n{\n}\n",
        L"HKCR\n{\n  Key = x 'what'\n}\n",
        L"HKCR\n{\n  Key = d '12z'\n}\n",
        L"HKCR\n{\n  Key = d '4294967296'\n}\n",
        L"HKCR\n{\n  val TopLevel = s 'no key'\n}\n",
        L"HKCR\n{\n  Good\n  {\n  }\n  Missing\n  {\n",
    };
    for (const wchar_t* script : bad) {
        EXPECT_EQ(RunRegistryScript(script, true, roots), E_INVALIDARG) << Narrow(script);
        EXPECT_FALSE(Exists(L"Key"));
        EXPECT_FALSE(Exists(L"Good"));
    }
}

TEST(RegistrarSubstitution, DoublesQuotesAndLeavesOtherTokens) {
    EXPECT_EQ(SubstituteQuoted(L"a '%MODULE%' b %OTHER% %MODULE%", L"MODULE", L"x'y"), L"a 'x''y' b %OTHER% x''y");
    EXPECT_EQ(SubstituteQuoted(L"100%", L"MODULE", L"z"), L"100%");
}

}  // namespace
