// Finding the players' folders from the registry, and the library states built on it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "bridge_installation.h"
#include "installation_support.h"
#include "player_folder.h"
#include "players.h"

using namespace mivola;
using namespace mivola::test;

namespace {

std::string Folder(uint32_t playerId) {
    char buffer[kPathCapacity];
    if (!FindPlayerFolder(playerId, buffer, sizeof buffer)) return "<not found>";
    return buffer;
}

std::string Ansi(const std::wstring& w) {
    int n = ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    s.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
    return s;
}

TEST(PlayerFolder, NothingRegisteredFindsNoPlayer) {
    RegisteredPlayers players;
    EXPECT_EQ(Folder(kPlayerWmp), "<not found>");
    EXPECT_EQ(Folder(kPlayerWinamp), "<not found>");
    EXPECT_EQ(Folder(kPlayeriTunes), "<not found>");
    EXPECT_EQ(LibraryStateOf(kPlayerWmp), PlayerNotFound);
    EXPECT_EQ(LibraryStateOf(kPlayerWinamp), PlayerNotFound);
}

TEST(PlayerFolder, InstallationDirectoryComesBeforePlayerPath) {
    RegisteredPlayers players;
    ASSERT_TRUE(players.wmpDirectory.Set(L"C:\\Players\\WMP"));
    ASSERT_TRUE(players.wmpPlayerPath.Set(L"C:\\Elsewhere\\wmplayer.exe"));
    EXPECT_EQ(Folder(kPlayerWmp), "C:\\Players\\WMP\\");
    ASSERT_TRUE(players.wmpDirectory.Set(L"C:\\Players\\WMP\\"));
    EXPECT_EQ(Folder(kPlayerWmp), "C:\\Players\\WMP\\") << "a backslash already there is not doubled";
}

TEST(PlayerFolder, PlayerPathAloneGivesTheProgramsFolder) {
    RegisteredPlayers players;
    ASSERT_TRUE(players.wmpPlayerPath.Set(L"C:\\Program Files\\Windows Media Player\\wmplayer.exe"));
    EXPECT_EQ(Folder(kPlayerWmp), "C:\\Program Files\\Windows Media Player\\");
}

TEST(PlayerFolder, EnvironmentReferencesAreExpanded) {
    RegisteredPlayers players;
    char programFiles[1024] = "";
    ASSERT_GT(::GetEnvironmentVariableA("ProgramFiles", programFiles, sizeof programFiles), 0u);
    ASSERT_TRUE(players.winamp.Set(L"%ProgramFiles%\\Winamp"));
    EXPECT_EQ(Folder(kPlayerWinamp), std::string(programFiles) + "\\Winamp\\");
    // An unset name contributes nothing; a sign without a partner stays.
    ASSERT_TRUE(players.winamp.Set(L"C:\\%MIVOLA_NOT_SET_ANYWHERE%Win%amp"));
    EXPECT_EQ(Folder(kPlayerWinamp), "C:\\Win%amp\\");
}

TEST(PlayerFolder, ExpansionIsCutToTheBuffer) {
    char out[8];
    ExpandReferences("C:\\abcdefghij", out, sizeof out);
    EXPECT_EQ(std::string(out), "C:\\abcd") << "7 bytes and the terminator";
}

// In code page 932 the second byte of some characters is 0x5C, the backslash.
TEST(PlayerFolder, ATrailByteIsNotTakenForABackslash) {
    if (::GetACP() != 932) GTEST_SKIP() << "needs code page 932";
    RegisteredPlayers players;
    ASSERT_TRUE(players.winamp.Set(L"C:\\ソ"));
    EXPECT_EQ(Folder(kPlayerWinamp), Ansi(L"C:\\ソ\\"));
}

TEST(LibraryState, FollowsTheFolderAndTheBridgeFile) {
    RegisteredPlayers players;
    FakePlayer winamp(kPlayerWinamp);
    ASSERT_TRUE(players.winamp.Set(winamp.Folder() + L"missing"));
    EXPECT_EQ(LibraryStateOf(kPlayerWinamp), PlayerNotFound) << "a folder that does not exist";
    ASSERT_TRUE(players.winamp.Set(winamp.Program()));
    EXPECT_EQ(LibraryStateOf(kPlayerWinamp), PlayerNotFound) << "a file is no folder";
    ASSERT_TRUE(players.winamp.Set(winamp.Folder()));
    EXPECT_EQ(LibraryStateOf(kPlayerWinamp), LibraryNotInstalled);
    ASSERT_TRUE(WriteFileBytes(winamp.BridgePath(), "bridge"));
    EXPECT_EQ(LibraryStateOf(kPlayerWinamp), LibraryInstalled);

    FakePlayer wmp(kPlayerWmp);
    ASSERT_TRUE(players.wmpPlayerPath.Set(wmp.Program()));
    EXPECT_EQ(LibraryStateOf(kPlayerWmp), LibraryNotInstalled);
    ASSERT_TRUE(WriteFileBytes(wmp.BridgePath(), "bridge"));
    EXPECT_EQ(LibraryStateOf(kPlayerWmp), LibraryInstalled);
}

}  // namespace
