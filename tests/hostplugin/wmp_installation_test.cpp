// The installer registering the Windows Media Player bridge: the entries regsvr32 makes, byte
// for byte, in this architecture's registry view, without loading the bridge as code, so that
// a bridge running in a player is not disturbed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "install_request.h"
#include "installation_support.h"
#include "players.h"
#include "wmp_stand_in.h"

using namespace mivola;
using namespace mivola::test;

namespace {

constexpr wchar_t kUiPlugins[] = L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins";
constexpr wchar_t kNeighbour[] = L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\{00000000-1111-2222-3333-444444444444}";

// The registry view the other architecture's programs see.
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// Every key below root\path with its values (name, type, data bytes), sorted by name, as text;
// empty when the key does not exist.
void ExportKey(HKEY root, const std::wstring& path, REGSAM view, std::string& out) {
    unique_hkey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return;
    out += "[" + Narrow(path) + "]\n";
    std::vector<std::string> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512, type = 0, size = 0;
        if (::RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::vector<BYTE> data(size + 1);
        nameLength = 512;
        ::RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, data.data(), &size);
        std::string line = "\"" + Narrow(std::wstring(name, nameLength)) + "\" type " + std::to_string(type) + ":";
        for (DWORD b = 0; b < size; ++b) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", data[b]);
            line += hex;
        }
        values.push_back(line + "\n");
    }
    std::sort(values.begin(), values.end());
    for (const std::string& v : values) out += v;
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512;
        if (::RegEnumKeyExW(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name, nameLength);
    }
    std::sort(children.begin(), children.end());
    for (const std::wstring& child : children) ExportKey(root, path + L"\\" + child, view, out);
}

std::string ExportRegistration(REGSAM view = 0) {
    std::string out;
    ExportKey(HKEY_CLASSES_ROOT, kWmpClassKey, view, out);
    ExportKey(HKEY_LOCAL_MACHINE, kWmpUiPluginKey, view, out);
    return out;
}

bool CreateKey(HKEY root, const std::wstring& path) {
    unique_hkey key;
    return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) ==
           ERROR_SUCCESS;
}

// Leftovers of an older registration, which both routes must replace whole.
bool PlantStaleKeys() {
    return CreateKey(HKEY_CLASSES_ROOT, std::wstring(kWmpClassKey) + L"\\Stale\\Deeper") &&
           CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kWmpUiPluginKey) + L"\\Stale") &&
           ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kWmpUiPluginKey, L"Old", REG_SZ, L"x", 4) == ERROR_SUCCESS;
}

// A top-level window that collects the player's plug-in broadcast.
class BroadcastListener {
public:
    BroadcastListener()
        : message_(::RegisterWindowMessageW(L"WMPlayer_PluginAddRemove")),
          window_(::CreateWindowExW(0, L"STATIC", L"wmp broadcast listener", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    nullptr, nullptr)) {}
    ~BroadcastListener() {
        if (window_) ::DestroyWindow(window_);
    }
    bool Ready() const { return window_ != nullptr && message_ != 0; }
    // How many arrived since the last call (waiting a moment for late ones).
    int Take() {
        int n = 0;
        const ULONGLONG until = ::GetTickCount64() + 500;
        do {
            MSG msg;
            while (::PeekMessageW(&msg, window_, message_, message_, PM_REMOVE)) ++n;
            ::Sleep(10);
        } while (n == 0 && ::GetTickCount64() < until);
        return n;
    }

private:
    UINT message_;
    HWND window_;
};

class WmpInstaller : public ::testing::Test {
protected:
    void SetUp() override {
        if (!WmpBridgeBuilt()) GTEST_SKIP() << "the Windows Media Player bridge is not built in this tree";
        ASSERT_FALSE(classKey_.Existed());
        ASSERT_FALSE(uiPluginKey_.Existed());
        ASSERT_TRUE(folder_.Ready() && AddInstaller(folder_));
        ASSERT_TRUE(players_.wmpDirectory.Set(wmp_.Folder()));
    }

    std::string Source() const { return Narrow(MivolaFolder(folder_) + L"ZEQ_Mivola_WMP.dll"); }
    InstallerRun Run(uint8_t operation) {
        std::string bytes = RequestBytes(operation, kPlayerWmp, Narrow(wmp_.BridgePath()),
                                         operation == kOperationInstall ? Source() : std::string());
        return RunVennick(MivolaFolder(folder_) + L"vennick.exe", bytes, std::to_wstring(bytes.size()));
    }

    // Declared first: put back last, after anything below has unregistered itself.
    RegisteredPlayers players_;
    RegistryKeyGuard classKey_{HKEY_CLASSES_ROOT, kWmpClassKey};
    RegistryKeyGuard uiPluginKey_{HKEY_LOCAL_MACHINE, kWmpUiPluginKey};
    RegistryKeyGuard otherClassKey_{HKEY_CLASSES_ROOT, kWmpClassKey, kOtherView};
    RegistryKeyGuard otherUiPluginKey_{HKEY_LOCAL_MACHINE, kWmpUiPluginKey, kOtherView};
    PluginFolder folder_{"[Main]\nVersion=2\nMivolaNum=1\n"};
    FakePlayer wmp_{kPlayerWmp};
};

TEST_F(WmpInstaller, RegistersExactlyAsRegsvr32DoesAndUnregistersAsWholly) {
    const bool otherViewHadIt = otherClassKey_.Existed() || otherUiPluginKey_.Existed();
    BroadcastListener listener;
    ASSERT_TRUE(listener.Ready());
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kNeighbour));
    const std::wstring dll = wmp_.BridgePath();

    // The reference: regsvr32 of this architecture on the bridge at its place.
    ASSERT_TRUE(PlantStaleKeys());
    ASSERT_TRUE(::CopyFileW(Widen(Source()).c_str(), dll.c_str(), FALSE));
    ASSERT_EQ(RunRegsvr32(Arch::Same, dll, false), 0u);
    const std::string byRegsvr32 = ExportRegistration();
    ASSERT_NE(byRegsvr32.find("InprocServer32"), std::string::npos) << byRegsvr32;
    EXPECT_EQ(byRegsvr32.find("Stale"), std::string::npos) << byRegsvr32;
    ASSERT_EQ(RunRegsvr32(Arch::Same, dll, true), 0u);
    ASSERT_EQ(ExportRegistration(), "");
    ASSERT_TRUE(::DeleteFileW(dll.c_str()));
    listener.Take();

    ASSERT_TRUE(PlantStaleKeys());
    InstallerRun run = Run(kOperationInstall);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.verdict, kInstallSucceeded);
    EXPECT_EQ(ExportRegistration(), byRegsvr32);
    EXPECT_GE(listener.Take(), 1) << "the player is told that its plug-ins changed";
    if (!otherViewHadIt) {
        EXPECT_EQ(ExportRegistration(kOtherView), "") << "the other architecture's view is left alone";
    }

    run = Run(kOperationUninstall);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.verdict, kInstallSucceeded);
    EXPECT_FALSE(FileExists(dll));
    EXPECT_EQ(ExportRegistration(), "");
    EXPECT_GE(listener.Take(), 1);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUiPlugins));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kNeighbour)) << "another plug-in is left alone";
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kNeighbour);
}

// The player's own bridge keeps its identity record (module path, player version) whatever the
// installer does with the copy in the player's folder.
TEST_F(WmpInstaller, LeavesARunningBridgesIdentityAlone) {
    WmpStandIn player;
    ASSERT_TRUE(player.Start("version 12.0.7601.24546 Stand-in\nstate 3\n"));
    BridgeIdentityRecord before{};
    ASSERT_TRUE(WaitUntil([&] { return ReadWmpIdentity(before) && before.PlayerVersion[0] != L'\0'; }));
    auto unchanged = [&] {
        BridgeIdentityRecord now{};
        return ReadWmpIdentity(now) && std::memcmp(&now, &before, sizeof now) == 0;
    };

    InstallerRun run = Run(kOperationInstall);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.verdict, kInstallSucceeded);
    EXPECT_TRUE(unchanged()) << "after the install";
    const std::string installed = ExportRegistration();

    // A read-only bridge cannot be deleted: the removal fails and leaves it registered.
    const std::wstring dll = wmp_.BridgePath();
    ASSERT_TRUE(::SetFileAttributesW(dll.c_str(), FILE_ATTRIBUTE_READONLY));
    run = Run(kOperationUninstall);
    ::SetFileAttributesW(dll.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.verdict, kOperationUninstall);
    EXPECT_TRUE(FileExists(dll));
    EXPECT_EQ(ExportRegistration(), installed);
    EXPECT_TRUE(unchanged()) << "after the failed uninstall";
    EXPECT_TRUE(player.Running());
}

}  // namespace
