// Installing the bridges end to end: the real Mivola.zeqp in its settings dialog, the real
// vennick.exe started from it, fake player folders registered in this prefix's registry. And
// the installer on its own, fed with requests a tampering program could write.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bridge_installation.h"
#include "bridge_launcher.h"
#include "dialog_driver.h"
#include "install_request.h"
#include "installation_support.h"
#include "player_folder.h"
#include "players.h"
#include "program_path.h"

using namespace mivola;
using namespace mivola::test;

namespace {

constexpr wchar_t kSettingsTitle[] = L"設定";
constexpr wchar_t kInstall[] = L"ライブラリのインストール";
constexpr wchar_t kUninstall[] = L"ライブラリのアンインストール";
constexpr wchar_t kNoPlayer[] = L"プレイヤーがみつかりません！";

bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

// Closes the box with its OK button and waits until it is gone.
void Dismiss(const MessageBoxSeen& box) {
    if (!box.window) return;
    Click(box.window, IDOK);
    WaitUntil([&] { return !::IsWindow(box.window); }, 5000);
}

// A plug-in folder with the installer and the bridges, loaded as the host loads it.
struct Installation {
    Installation() : folder("[Main]\nVersion=2\nMivolaNum=1\n") { ready = folder.Ready() && AddInstaller(folder); }
    PluginFolder folder;
    bool ready = false;
};

// ---- Through the settings dialog -------------------------------------------------------------

TEST(InstallThroughDialog, WinampBridgeInstalledAndRemoved) {
    RegisteredPlayers players;
    FakePlayer winamp(kPlayerWinamp);
    ASSERT_TRUE(players.winamp.Set(winamp.Folder()));
    Installation setup;
    ASSERT_TRUE(setup.ready);
    LoadedPlugin plugin(setup.folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = shown.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);

    EXPECT_EQ(ItemText(dialog, 1008), kNoPlayer);
    EXPECT_FALSE(Enabled(dialog, 1008));
    EXPECT_EQ(ItemText(dialog, 1009), std::wstring(kInstall) + L"(&A)");
    EXPECT_TRUE(Enabled(dialog, 1009));

    PostClick(dialog, 1009);
    MessageBoxSeen box = WaitMessageBox(shown, kInstall);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, std::wstring(kInstall) + L"に成功しました");
    EXPECT_TRUE(box.information);
    EXPECT_FALSE(box.warning);
    EXPECT_EQ(box.buttons, 1);
    EXPECT_EQ(::GetWindow(box.window, GW_OWNER), dialog);
    Dismiss(box);
    EXPECT_EQ(ItemText(dialog, 1009), std::wstring(kUninstall) + L"(&A)");
    EXPECT_EQ(ReadFileBytes(winamp.BridgePath()), ReadFileBytes(MivolaFolder(setup.folder) + L"gen_zeq_mivola.dll"));

    PostClick(dialog, 1009);
    box = WaitMessageBox(shown, kUninstall);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, std::wstring(kUninstall) + L"に成功しました");
    EXPECT_TRUE(box.information);
    Dismiss(box);
    EXPECT_EQ(ItemText(dialog, 1009), std::wstring(kInstall) + L"(&A)");
    EXPECT_FALSE(FileExists(winamp.BridgePath()));
    EXPECT_NE(CloseWith(shown, dialog, IDCANCEL), kDialogNotShown);
}

TEST(InstallThroughDialog, FolderNamedWithProgramFilesIsExpandedByBothSides) {
    RegisteredPlayers players;
    wchar_t programFiles[MAX_PATH] = L"";
    ASSERT_GT(::GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH), 0u);
    const std::wstring parent = std::wstring(programFiles) + L"\\";
    FakePlayer winamp(kPlayerWinamp, true, parent);
    ASSERT_EQ(winamp.Folder().compare(0, parent.size(), parent), 0);
    ASSERT_TRUE(players.winamp.Set(L"%ProgramFiles%\\" + winamp.Folder().substr(parent.size())));
    Installation setup;
    ASSERT_TRUE(setup.ready);
    LoadedPlugin plugin(setup.folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = shown.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, 1009), std::wstring(kInstall) + L"(&A)");
    PostClick(dialog, 1009);
    MessageBoxSeen box = WaitMessageBox(shown, kInstall);
    EXPECT_EQ(box.text, std::wstring(kInstall) + L"に成功しました");
    Dismiss(box);
    EXPECT_TRUE(FileExists(winamp.BridgePath()));
    EXPECT_NE(CloseWith(shown, dialog, IDCANCEL), kDialogNotShown);
}

// The folder is a directory, so the button offers the install; the installer refuses a folder
// without the player program, and the user is told so.
TEST(InstallThroughDialog, FailureIsReportedAndChangesNothing) {
    RegisteredPlayers players;
    FakePlayer winamp(kPlayerWinamp, false);
    ASSERT_TRUE(players.winamp.Set(winamp.Folder()));
    Installation setup;
    ASSERT_TRUE(setup.ready);
    const std::string before = Listing(winamp.Folder());
    LoadedPlugin plugin(setup.folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = shown.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, 1009), std::wstring(kInstall) + L"(&A)");
    PostClick(dialog, 1009);
    MessageBoxSeen box = WaitMessageBox(shown, kInstall);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, std::wstring(kInstall) + L"に失敗しました");
    EXPECT_TRUE(box.warning);
    EXPECT_FALSE(box.information);
    Dismiss(box);
    EXPECT_EQ(ItemText(dialog, 1009), std::wstring(kInstall) + L"(&A)") << "the state stays";
    EXPECT_EQ(Listing(winamp.Folder()), before);
    EXPECT_NE(CloseWith(shown, dialog, IDCANCEL), kDialogNotShown);
}

TEST(InstallThroughDialog, MissingInstallerFailsTheUninstall) {
    RegisteredPlayers players;
    FakePlayer winamp(kPlayerWinamp);
    ASSERT_TRUE(players.winamp.Set(winamp.Folder()));
    ASSERT_TRUE(WriteFileBytes(winamp.BridgePath(), "bridge"));
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=1\n");
    ASSERT_TRUE(folder.Ready());
    LoadedPlugin plugin(folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = shown.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, 1009), std::wstring(kUninstall) + L"(&A)");
    PostClick(dialog, 1009);
    // The shell may tell of the missing program first, in a window of its own.
    std::vector<std::wstring> shellWindows;
    MessageBoxSeen box = WaitMessageBox(shown, kUninstall, dialog, &shellWindows);
    ASSERT_NE(box.window, nullptr);
    EXPECT_LE(shellWindows.size(), 1u);
    EXPECT_EQ(box.text, std::wstring(kUninstall) + L"に失敗しました");
    EXPECT_TRUE(box.warning);
    Dismiss(box);
    EXPECT_EQ(ItemText(dialog, 1009), std::wstring(kUninstall) + L"(&A)");
    EXPECT_TRUE(FileExists(winamp.BridgePath()));
    EXPECT_NE(CloseWith(shown, dialog, IDCANCEL), kDialogNotShown);
}

TEST(InstallThroughDialog, WmpBridgeRegisteredAfterInstallAndGoneAfterUninstall) {
    if (!WmpBridgeBuilt()) GTEST_SKIP() << "the Windows Media Player bridge is not built in this tree";
    RegisteredPlayers players;
    RegistryKeyGuard classKey(HKEY_CLASSES_ROOT, kWmpClassKey);
    RegistryKeyGuard uiPluginKey(HKEY_LOCAL_MACHINE, kWmpUiPluginKey);
    ASSERT_FALSE(classKey.Existed());
    FakePlayer wmp(kPlayerWmp);
    // Registered through "Player.Path" only.
    ASSERT_TRUE(players.wmpPlayerPath.Set(wmp.Program()));
    Installation setup;
    ASSERT_TRUE(setup.ready);
    LoadedPlugin plugin(setup.folder.Dll());
    ASSERT_TRUE(plugin.Ready());
    DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
    HWND dialog = shown.WaitWindow(kSettingsTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ItemText(dialog, 1008), std::wstring(kInstall) + L"(&M)");
    EXPECT_TRUE(Enabled(dialog, 1008));

    PostClick(dialog, 1008);
    MessageBoxSeen box = WaitMessageBox(shown, kInstall);
    EXPECT_EQ(box.text, std::wstring(kInstall) + L"に成功しました");
    Dismiss(box);
    EXPECT_EQ(ItemText(dialog, 1008), std::wstring(kUninstall) + L"(&M)");
    EXPECT_TRUE(FileExists(wmp.BridgePath()));
    const std::wstring server = RegistryText(HKEY_CLASSES_ROOT, std::wstring(kWmpClassKey) + L"\\InprocServer32", nullptr);
    EXPECT_EQ(::CompareStringOrdinal(server.c_str(), -1, wmp.BridgePath().c_str(), -1, TRUE), CSTR_EQUAL)
        << Narrow(server);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kWmpUiPluginKey));

    PostClick(dialog, 1008);
    box = WaitMessageBox(shown, kUninstall);
    EXPECT_EQ(box.text, std::wstring(kUninstall) + L"に成功しました");
    Dismiss(box);
    EXPECT_EQ(ItemText(dialog, 1008), std::wstring(kInstall) + L"(&M)");
    EXPECT_FALSE(FileExists(wmp.BridgePath()));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kWmpClassKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kWmpUiPluginKey));
    EXPECT_NE(CloseWith(shown, dialog, IDCANCEL), kDialogNotShown);
}

// ---- A plug-in folder longer than MAX_PATH ----------------------------------------------------

// Nested folders under a temporary one, until the path (trailing backslash included) holds at
// least `length` characters. Removed with the temporary folder.
class DeepFolder {
public:
    explicit DeepFolder(size_t length) : path_(root_.Path()) {
        for (wchar_t c = L'a'; path_.size() < length && c <= L'z'; ++c) {
            path_ += std::wstring(std::min<size_t>(120, length - path_.size() + 1), c) + L"\\";
            if (!::CreateDirectoryW(path_.c_str(), nullptr)) return;
        }
    }
    const std::wstring& Path() const { return path_; }

private:
    TempDir root_;
    std::wstring path_;
};

// The current folder made to hold the plug-in's files under their relative names: stand-ins
// for "Mivola\vennick.exe" and "Mivola\ZEQ_Mivola_iTunes.exe" that only log being started (in
// "Mivola\bridge.log"), and "Mivola\Setting.ini" with the given bytes. Whatever the plug-in
// takes by a relative name lands here.
class DecoyCurrentFolder {
public:
    explicit DecoyCurrentFolder(const std::string& settings = std::string()) {
        wchar_t previous[4096];
        DWORD n = ::GetCurrentDirectoryW(4096, previous);
        previous_.assign(previous, n < 4096 ? n : 0);
        const std::wstring mivola = dir_.Path() + L"Mivola\\";
        const std::wstring stand_in = BuildFile(Arch::Same, L"hostplugin\\fake_itunes_bridge.exe");
        ready_ = ::CreateDirectoryW(mivola.c_str(), nullptr) &&
                 ::CopyFileW(stand_in.c_str(), (mivola + L"vennick.exe").c_str(), FALSE) &&
                 ::CopyFileW(stand_in.c_str(), (mivola + L"ZEQ_Mivola_iTunes.exe").c_str(), FALSE) &&
                 (settings.empty() || WriteFileBytes(mivola + L"Setting.ini", settings)) &&
                 ::SetCurrentDirectoryW(dir_.Path().c_str());
    }
    ~DecoyCurrentFolder() {
        if (!previous_.empty()) ::SetCurrentDirectoryW(previous_.c_str());
        // A decoy bridge that was started keeps running until asked to end.
        if (HWND bridge = FindBridgeWindow()) ::PostMessageW(bridge, ::RegisterWindowMessageA("ZEQ_Plugin_iTunesMsg_PluginEnd"), 0, 0);
        WaitUntil([] { return FindBridgeWindow() == nullptr; }, 5000);
    }
    bool Ready() const { return ready_; }
    std::string Log() const { return ReadFileBytes(dir_.Path() + L"Mivola\\bridge.log"); }
    std::string Settings() const { return ReadFileBytes(dir_.Path() + L"Mivola\\Setting.ini"); }

private:
    TempDir dir_;
    std::wstring previous_;
    bool ready_ = false;
};

// A plug-in in a folder of more than MAX_PATH characters never falls back on the host's
// current folder: it reads no settings there, saves none there and starts no program from
// there. Under Wine the private-profile functions and program starts take no path of MAX_PATH
// or more, so the plug-in's own settings stay unread and its programs do not start: the
// install ends as a failed start does.
TEST(LongPluginFolder, NothingIsTakenFromTheHostsCurrentFolder) {
    ASSERT_TRUE(WaitUntil([] { return FindBridgeWindow() == nullptr; })) << "a stand-in bridge is still running";
    RegisteredPlayers players;
    FakePlayer winamp(kPlayerWinamp);
    ASSERT_TRUE(players.winamp.Set(winamp.Folder()));
    DeepFolder deep(300);
    PluginFolder folder("[Main]\nVersion=2\nMivolaNum=2\n[Mivola001]\nSettingName=Deep\n", Arch::Same, false,
                        false, deep.Path());
    ASSERT_TRUE(folder.Ready() && AddInstaller(folder));
    ASSERT_GE(folder.ModuleDir().size(), 300u);
    const std::string decoySettings =
        "[Main]\r\nVersion=2\r\nMivolaNum=2\r\niTunesCheck=1\r\n[Mivola001]\r\nSettingName=Decoy\r\n";
    DecoyCurrentFolder decoy(decoySettings);
    ASSERT_TRUE(decoy.Ready());
    {
        LoadedPlugin plugin(folder.Dll());
        ASSERT_TRUE(plugin.Ready());
        EXPECT_NE(plugin.SettingName(2), "Decoy") << "settings read from the current folder";

        DialogThread shown([&] { return plugin.ShowSetting(0, 0); });
        HWND dialog = shown.WaitWindow(kSettingsTitle);
        ASSERT_NE(dialog, nullptr);
        PostClick(dialog, 1009);
        MessageBoxSeen box = WaitMessageBox(shown, kInstall, dialog);
        ASSERT_NE(box.window, nullptr);
        EXPECT_EQ(box.text, std::wstring(kInstall) + L"に失敗しました");
        Dismiss(box);
        EXPECT_EQ(ItemText(dialog, 1009), std::wstring(kInstall) + L"(&A)");
        // With the iTunes bridge switched on, OK saves and starts the bridge.
        if (SendTo(::GetDlgItem(dialog, 1010), BM_GETCHECK) != BST_CHECKED) Click(dialog, 1010);
        EXPECT_NE(CloseWith(shown, dialog, IDOK), kDialogNotShown);
    }
    EXPECT_FALSE(FileExists(winamp.BridgePath()));
    EXPECT_FALSE(WaitUntil([&] { return !decoy.Log().empty(); }, 2000))
        << "a program was started from the current folder: " << decoy.Log();
    EXPECT_EQ(decoy.Settings(), decoySettings) << "settings saved into the current folder";
}

// Without its whole folder the plug-in starts nothing: a relative name would be resolved
// against the host's current folder, and the installer runs elevated.
TEST(LongPluginFolder, NoProgramStartsFromARelativeName) {
    RegisteredPlayers players;
    FakePlayer winamp(kPlayerWinamp);
    ASSERT_TRUE(players.winamp.Set(winamp.Folder()));
    DecoyCurrentFolder decoy;
    ASSERT_TRUE(decoy.Ready());
    // Both names lead to the decoy in the current folder.
    EXPECT_EQ(InstallLibrary("", kPlayerWinamp), kInstallFailed);
    EXPECT_EQ(UninstallLibrary(".\\", kPlayerWinamp), kInstallFailed);
    BridgeLauncher launcher(kiTunesBridgeProtocol);
    launcher.Configure("Mivola\\ZEQ_Mivola_iTunes.exe");
    EXPECT_FALSE(launcher.Start());
    EXPECT_FALSE(WaitUntil([&] { return !decoy.Log().empty(); }, 2000)) << decoy.Log();
    EXPECT_FALSE(FileExists(winamp.BridgePath()));
}

// The plug-in DLL copied into folder (trailing backslash) under a name that makes its path
// `length` characters long; empty when the name would not fit a folder entry.
std::wstring CopyPluginAs(const std::wstring& folder, size_t length) {
    if (length < folder.size() + 6 || length - folder.size() > 255) return std::wstring();
    const std::wstring dll = folder + std::wstring(length - folder.size() - 5, L'p') + L".zeqp";
    return ::CopyFileW(BuildFile(Arch::Same, L"..\\hostplugin\\Mivola.zeqp").c_str(), dll.c_str(), FALSE) ? dll
                                                                                                       : std::wstring();
}

// The folder a module is loaded from is read whole up to the last path that fits a path
// buffer, terminator included, and not at all beyond: a cut path would name another folder.
TEST(LongPluginFolder, OwnFolderIsReadWholeOrNotAtAll) {
    DeepFolder shallow(150);
    DeepFolder deep(kPathCapacity - 200);
    const struct {
        const std::wstring& folder;
        size_t length;
    } cases[] = {{shallow.Path(), 300}, {deep.Path(), kPathCapacity - 1}, {deep.Path(), kPathCapacity}};
    for (const auto& c : cases) {
        std::wstring dll = CopyPluginAs(c.folder, c.length);
        ASSERT_FALSE(dll.empty()) << c.length;
        unique_hmodule module(::LoadLibraryW(dll.c_str()));
        ASSERT_TRUE(module) << c.length;
        const std::string folder(c.folder.begin(), c.folder.end());  // ASCII only
        EXPECT_EQ(ModuleFolder(module.get()), c.length < kPathCapacity ? folder : std::string()) << c.length;
    }
}

// A program is started only by a full path that fits a path buffer.
TEST(LongPluginFolder, FullPathsAreThoseFromARootThatFit) {
    EXPECT_TRUE(IsFullPath("C:\\Mivola\\vennick.exe"));
    EXPECT_TRUE(IsFullPath("z:\\vennick.exe"));
    EXPECT_TRUE(IsFullPath("\\\\server\\share\\Mivola\\vennick.exe"));
    EXPECT_FALSE(IsFullPath(""));
    EXPECT_FALSE(IsFullPath("Mivola\\vennick.exe"));
    EXPECT_FALSE(IsFullPath(".\\Mivola\\vennick.exe"));
    EXPECT_FALSE(IsFullPath("\\Mivola\\vennick.exe")) << "the root of whatever drive is current";
    EXPECT_FALSE(IsFullPath("C:Mivola\\vennick.exe")) << "the current folder of drive C";
    const std::string longest = "C:\\" + std::string(kPathCapacity - 4, 'a');
    EXPECT_TRUE(IsFullPath(longest));
    EXPECT_FALSE(IsFullPath(longest + "a")) << "no room for the terminator";
}

// ---- The installer on its own ----------------------------------------------------------------

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(setup_.ready);
        ASSERT_TRUE(players_.winamp.Set(winamp_.Folder()));
        ASSERT_TRUE(players_.wmpDirectory.Set(wmp_.Folder()));
        ::CreateDirectoryW((other_.Path() + L"Plugins").c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(other_.Path() + L"winamp.exe", "MZ"));
        ASSERT_TRUE(WriteFileBytes(other_.Path() + L"gen_zeq_mivola.dll", "not the shipped bridge"));
        ASSERT_TRUE(WriteFileBytes(other_.Path() + L"ZEQ_Mivola_WMP.dll", "not the shipped bridge"));
    }

    std::wstring Vennick() const { return MivolaFolder(setup_.folder) + L"vennick.exe"; }
    std::string Source(const wchar_t* file) const { return Narrow(MivolaFolder(setup_.folder) + file); }
    std::string WinampTarget() const { return Narrow(winamp_.BridgePath()); }
    std::string WmpTarget() const { return Narrow(wmp_.BridgePath()); }
    std::string Other(const wchar_t* relative) const { return Narrow(other_.Path() + relative); }
    std::string Snapshot() const {
        return Listing(winamp_.Folder()) + "|" + Listing(wmp_.Folder()) + "|" + Listing(other_.Path()) + "|" +
               Listing(MivolaFolder(setup_.folder));
    }
    static std::wstring SizeOf(const std::string& bytes) { return std::to_wstring(bytes.size()); }

    // The request is refused: exit code 1, byte 0 as written, no file and no registration changed.
    void ExpectRefused(const std::string& bytes, const std::wstring& args, DWORD regionSize = 0) {
        RegistryKeyGuard classKey(HKEY_CLASSES_ROOT, kWmpClassKey);
        const std::string before = Snapshot();
        InstallerRun run = RunVennick(Vennick(), bytes, args, regionSize);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_EQ(run.verdict, static_cast<unsigned char>(bytes.empty() ? 0 : bytes[0]));
        EXPECT_EQ(Snapshot(), before);
        EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, kWmpClassKey), classKey.Existed());
    }

    RegisteredPlayers players_;
    Installation setup_;
    FakePlayer winamp_{kPlayerWinamp};
    FakePlayer wmp_{kPlayerWmp};
    TempDir other_;
};

TEST_F(Installer, DoesExactlyTheJobAskedAndReportsIt) {
    std::string install = RequestBytes(kOperationInstall, kPlayerWinamp, WinampTarget(), Source(L"gen_zeq_mivola.dll"));
    InstallerRun run = RunVennick(Vennick(), install, SizeOf(install));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.verdict, kInstallSucceeded);
    EXPECT_EQ(ReadFileBytes(winamp_.BridgePath()), ReadFileBytes(Widen(Source(L"gen_zeq_mivola.dll"))));

    // Case is ignored, as the file system ignores it.
    std::string target = WinampTarget();
    ::CharUpperBuffA(&target[0], static_cast<DWORD>(target.size()));
    std::string uninstall = RequestBytes(kOperationUninstall, kPlayerWinamp, target, "");
    run = RunVennick(Vennick(), uninstall, SizeOf(uninstall));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.verdict, kInstallSucceeded);
    EXPECT_FALSE(FileExists(winamp_.BridgePath()));

    // Nothing to remove: the job fails and says nothing.
    run = RunVennick(Vennick(), uninstall, SizeOf(uninstall));
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.verdict, kOperationUninstall);
}

TEST_F(Installer, RefusesPathsItDidNotComputeItself) {
    const std::string source = Source(L"gen_zeq_mivola.dll");
    struct Case {
        const char* what;
        std::string first;
        std::string second;
        uint8_t operation;
    };
    const Case cases[] = {
        {"wrong file name", Narrow(winamp_.Folder()) + "Plugins\\gen_other.dll", source, kOperationInstall},
        {"bridge beside the player, not in Plugins", Narrow(winamp_.Folder()) + "gen_zeq_mivola.dll", source,
         kOperationInstall},
        {"'..' in the destination", Narrow(winamp_.Folder()) + "Plugins\\..\\Plugins\\gen_zeq_mivola.dll", source,
         kOperationInstall},
        {"destination in another folder", Other(L"Plugins\\gen_zeq_mivola.dll"), source, kOperationInstall},
        {"source from another folder", WinampTarget(), Other(L"gen_zeq_mivola.dll"), kOperationInstall},
        {"'..' in the source", WinampTarget(), Narrow(MivolaFolder(setup_.folder)) + "..\\Mivola\\gen_zeq_mivola.dll",
         kOperationInstall},
        {"the other player's bridge as source", WinampTarget(), Source(L"ZEQ_Mivola_WMP.dll"), kOperationInstall},
        {"install without a source", WinampTarget(), "", kOperationInstall},
        {"uninstall with a source", WinampTarget(), source, kOperationUninstall},
        {"uninstall in another folder", Other(L"Plugins\\gen_zeq_mivola.dll"), "", kOperationUninstall},
        {"relative destination", "Plugins\\gen_zeq_mivola.dll", source, kOperationInstall},
    };
    ASSERT_TRUE(WriteFileBytes(Widen(Other(L"Plugins\\gen_zeq_mivola.dll")), "someone else's"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = RequestBytes(c.operation, kPlayerWinamp, c.first, c.second);
        ExpectRefused(bytes, SizeOf(bytes));
    }
}

TEST_F(Installer, RefusesInconsistentBytes) {
    const std::string good = RequestBytes(kOperationUninstall, kPlayerWinamp, WinampTarget(), "");
    ASSERT_TRUE(WriteFileBytes(winamp_.BridgePath(), "installed"));
    auto with = [&](size_t offset, const std::string& patch) {
        std::string bytes = good;
        bytes.replace(offset, patch.size(), patch);
        return bytes;
    };
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    const uint32_t size = static_cast<uint32_t>(good.size());
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"player id 3", with(1, "\x03")},
        {"player id 4 (iTunes)", with(1, "\x04")},
        {"operation 5", with(0, "\x05")},
        {"operation 2 (a verdict, not a job)", with(0, "\x02")},
        {"reserved bytes set", with(2, "\x01")},
        {"second offset beyond the region", with(4, u32(size + 10))},
        {"second offset inside the first path", with(4, u32(20))},
        {"first offset not 12", with(8, u32(13))},
        {"first offset beyond the region", with(8, u32(size + 100))},
        {"missing terminator of the second path", with(size - 1, "x")},
        {"no terminator of the first path", std::string(good.data(), 12) + std::string(size - 12, 'a')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectRefused(c.bytes, SizeOf(c.bytes));
    }
    EXPECT_EQ(ReadFileBytes(winamp_.BridgePath()), "installed");
}

TEST_F(Installer, RefusesAnythingButOneExactSizeArgument) {
    const std::string good = RequestBytes(kOperationUninstall, kPlayerWinamp, WinampTarget(), "");
    ASSERT_TRUE(WriteFileBytes(winamp_.BridgePath(), "installed"));
    const std::wstring n = SizeOf(good);
    const std::wstring larger = std::to_wstring(good.size() + 1), smaller = std::to_wstring(good.size() - 1);
    const struct {
        const char* what;
        std::wstring args;
        DWORD regionSize;
    } cases[] = {
        {"no argument", L"", 0},
        {"two arguments", n + L" " + n, 0},
        {"size with junk", n + L"x", 0},
        {"size with a sign", L"+" + n, 0},
        {"size with a leading zero", L"0" + n, 0},
        {"size in hex", L"0x" + std::to_wstring(good.size()), 0},
        {"size one larger than the request", larger, 0},
        {"size one smaller than the request", smaller, 0},
        {"size larger than the region", larger, static_cast<DWORD>(good.size())},
        {"below the smallest request", L"13", 0},
        {"above the largest request", L"4109", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectRefused(good, c.args, c.regionSize);
    }
    // Without the region there is no request at all.
    InstallerRun run = RunVennick(Vennick(), good, n, 0, false);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(ReadFileBytes(winamp_.BridgePath()), "installed");
}

// A per-user registry value is easy to rewrite: the folder it names must hold the player.
TEST_F(Installer, RefusesAFolderWithoutThePlayerProgram) {
    ASSERT_TRUE(::DeleteFileW(winamp_.Program().c_str()));
    std::string install = RequestBytes(kOperationInstall, kPlayerWinamp, WinampTarget(), Source(L"gen_zeq_mivola.dll"));
    ExpectRefused(install, SizeOf(install));
    ASSERT_TRUE(WriteFileBytes(winamp_.BridgePath(), "installed"));
    std::string uninstall = RequestBytes(kOperationUninstall, kPlayerWinamp, WinampTarget(), "");
    ExpectRefused(uninstall, SizeOf(uninstall));

    ASSERT_TRUE(::DeleteFileW(wmp_.Program().c_str()));
    std::string wmp = RequestBytes(kOperationInstall, kPlayerWmp, WmpTarget(), Source(L"ZEQ_Mivola_WMP.dll"));
    ExpectRefused(wmp, SizeOf(wmp));
}

TEST_F(Installer, RefusedWmpRequestsRegisterNothing) {
    if (!WmpBridgeBuilt()) GTEST_SKIP() << "the Windows Media Player bridge is not built in this tree";
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kWmpClassKey));
    std::string fromElsewhere = RequestBytes(kOperationInstall, kPlayerWmp, WmpTarget(), Other(L"ZEQ_Mivola_WMP.dll"));
    ExpectRefused(fromElsewhere, SizeOf(fromElsewhere));
    std::string intoElsewhere =
        RequestBytes(kOperationInstall, kPlayerWmp, Other(L"ZEQ_Mivola_WMP.dll"), Source(L"ZEQ_Mivola_WMP.dll"));
    ExpectRefused(intoElsewhere, SizeOf(intoElsewhere));
    std::string wrongPlayer = RequestBytes(kOperationInstall, kPlayerWinamp, WmpTarget(), Source(L"ZEQ_Mivola_WMP.dll"));
    ExpectRefused(wrongPlayer, SizeOf(wrongPlayer));
}

}  // namespace
