// Init, quit and the settings file as the player drives them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shared_region.h"
#include "stand_in.h"

using namespace mivola;
using namespace mivola::test;

namespace {

bool AllZero(const void* p, size_t size) {
    auto* bytes = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < size; ++i)
        if (bytes[i]) return false;
    return true;
}

TEST(WinampLifecycle, InitPublishesIdentityAndQuitUndoesEverything) {
    StandIn s;
    ASSERT_TRUE(s.Start("version 5.9.2 テスト版\nentry\ntitle t\nlength 60000\nat 0 play\n"));
    std::vector<std::string> lines = s.LogLines();
    int init = s.FindEvent("init 0 gen_zeq_mivola.dll");
    int timer = s.FindEvent("settimer 5656");
    ASSERT_GE(init, 0);
    ASSERT_GE(timer, 0);
    EXPECT_EQ(EventOf(lines[static_cast<size_t>(init)]), "init 0 gen_zeq_mivola.dll ret=0 proc=replaced");
    EXPECT_EQ(EventOf(lines[static_cast<size_t>(timer)]), "settimer 5656 1000") << "default interval";
    EXPECT_LT(timer, init);
    EXPECT_EQ(QueriesOf(lines[static_cast<size_t>(timer)]), "1:0") << "only the version is asked at init";

    BridgeIdentityRecord id;
    ASSERT_TRUE(ReadIdentity(id));
    EXPECT_EQ(::CompareStringOrdinal(id.ModulePath, -1, s.BridgePath().c_str(), -1, TRUE), CSTR_EQUAL)
        << Narrow(id.ModulePath);
    EXPECT_EQ(std::string(id.Description), Cp932(L"Winamp用 Ver 1.0.0"));
    EXPECT_TRUE(AllZero(id.Description + std::strlen(id.Description), sizeof id.Description - std::strlen(id.Description)));
    EXPECT_EQ(std::wstring(id.PlayerVersion), L"5.9.2 テスト版");

    // Held here, as the host plug-in would, so the regions outlive the player.
    SharedRegion nowPlaying, identity;
    ASSERT_EQ(nowPlaying.Open("ZEQ_Plugin_Winamp_Info", kNowPlayingRecordSize), RegionExisted);
    ASSERT_EQ(identity.Open("ZEQ_Plugin_Winamp_PIN", kBridgeIdentityRecordSize), RegionExisted);
    ASSERT_TRUE(s.WaitTicks(1));
    NowPlayingRecord r;
    ASSERT_TRUE(ReadNowPlaying(r));
    ASSERT_EQ(r.Magic, 0x4D494E46u);

    ASSERT_TRUE(s.Close());
    int kill = s.FindEvent("killtimer 5656");
    int quit = s.FindEvent("quit 0");
    ASSERT_GE(kill, 0);
    ASSERT_GE(quit, 0);
    EXPECT_LT(kill, quit);
    EXPECT_EQ(EventOf(s.LogLines()[static_cast<size_t>(quit)]), "quit 0 proc=original");
    EXPECT_TRUE(AllZero(nowPlaying.View(), kNowPlayingRecordSize));
    EXPECT_TRUE(AllZero(identity.View(), kBridgeIdentityRecordSize));
}

struct VersionCase {
    std::string scenario;
    std::wstring want;
};

class PlayerVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(PlayerVersion, FillsTheFieldWithinItsCapacity) {
    StandIn s;
    ASSERT_TRUE(s.Start(GetParam().scenario));
    BridgeIdentityRecord id;
    ASSERT_TRUE(ReadIdentity(id));
    EXPECT_EQ(std::wstring(id.PlayerVersion), GetParam().want);
    size_t used = std::wstring(id.PlayerVersion).size();
    EXPECT_TRUE(AllZero(id.PlayerVersion + used, sizeof id.PlayerVersion - used * sizeof(wchar_t)));
    EXPECT_NE(id.ModulePath[0], L'\0') << "listed even without a version";
    EXPECT_TRUE(s.Close());
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PlayerVersion,
    ::testing::Values(VersionCase{"", L"5.666"},
                      // 94 single-byte and 70 double-byte characters: cut to 63 units.
                      VersionCase{"version 5.9.2 " + Repeat("x", 94) + "\n",
                                  L"5.9.2 " + std::wstring(57, L'x')},
                      VersionCase{"version " + Repeat("ア", 70) + "\n", std::wstring(63, L'ア')},
                      VersionCase{"answer 0 1 0\n", L""},  // no text
                      VersionCase{"answer 0 1 1\n", L""}   // the player does not know the query
                      ));

struct IntervalCase {
    const char* ini;  // null: no settings file
    const char* timer;
};

class IntervalSetting : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(IntervalSetting, IsClampedWhenRead) {
    StandIn s;
    if (GetParam().ini) s.WriteSettings(std::string("[Main]\r\nTiming=") + GetParam().ini + "\r\n");
    ASSERT_TRUE(s.Start(""));
    int timer = s.FindEvent("settimer 5656");
    ASSERT_GE(timer, 0);
    EXPECT_EQ(EventOf(s.LogLines()[static_cast<size_t>(timer)]), std::string("settimer 5656 ") + GetParam().timer);
    EXPECT_TRUE(s.Close());
}

INSTANTIATE_TEST_SUITE_P(Values, IntervalSetting,
                         ::testing::Values(IntervalCase{nullptr, "1000"}, IntervalCase{"5", "10"},
                                           IntervalCase{"20000", "9999"}, IntervalCase{"-1", "9999"},
                                           IntervalCase{"250", "250"}, IntervalCase{"abc", "10"}));

}  // namespace
