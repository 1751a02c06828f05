#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bridge_identity_record.h"
#include "interval.h"
#include "play_state.h"
#include "region_names.h"
#include "test_support.h"
#include "text_copy.h"

using namespace mivola;

TEST(TextCopy, CutsToCapacityMinusOneAndZeroesTheRest) {
    wchar_t field[8];
    std::memset(field, 0xFF, sizeof field);
    CopyText(field, L"abc");
    EXPECT_STREQ(field, L"abc");
    for (int i = 3; i < 8; ++i) EXPECT_EQ(field[i], 0) << i;

    std::wstring exact(7, L'x'), longer(8, L'y');
    CopyText(field, exact.c_str());
    EXPECT_EQ(std::wstring(field), exact);
    CopyText(field, longer.c_str());
    EXPECT_EQ(std::wstring(field), std::wstring(7, L'y'));
    EXPECT_EQ(field[7], 0);

    CopyText(field, nullptr);
    for (wchar_t c : field) EXPECT_EQ(c, 0);
}

TEST(TextCopy, TitleOf1023UnitsArrivesWholeAnd1024IsCut) {
    static wchar_t title[1024];
    std::wstring t1023(1023, L'\u3042'), t1024(1024, L'\u3044');
    CopyText(title, t1023.c_str());
    EXPECT_EQ(std::wstring(title), t1023);
    CopyText(title, t1024.c_str());
    EXPECT_EQ(std::wstring(title), t1024.substr(0, 1023));
}

TEST(TextCopy, BoundedLengthNeverPassesCapacity) {
    wchar_t unterminated[4] = {L'a', L'b', L'c', L'd'};
    EXPECT_EQ(BoundedLength(unterminated, 4), 4u);
    EXPECT_EQ(BoundedLength(L"ab", 4), 2u);
    EXPECT_EQ(BoundedLength(static_cast<const wchar_t*>(nullptr), 4), 0u);
    char narrow[3] = {'x', 'y', 'z'};
    EXPECT_EQ(BoundedLength(narrow, 3), 3u);
}

TEST(TextCopy, AnsiVersionTextLongerThanTheFieldIsCutNotLost) {
    BridgeIdentityRecord rec{};
    std::string version(100, 'v');
    AnsiToField(932, version.c_str(), rec.PlayerVersion, 64);
    EXPECT_EQ(std::wstring(rec.PlayerVersion), std::wstring(63, L'v'));
    // Shift-JIS: "バージョン5" is 11 bytes and 6 units.
    AnsiToField(932, "\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93" "5", rec.PlayerVersion, 64);
    EXPECT_STREQ(rec.PlayerVersion, L"\u30d0\u30fc\u30b8\u30e7\u30f35");
    for (int i = 6; i < 64; ++i) EXPECT_EQ(rec.PlayerVersion[i], 0);
    AnsiToField(932, nullptr, rec.PlayerVersion, 64);
    EXPECT_EQ(rec.PlayerVersion[0], 0);
}

TEST(TextCopy, JoinTextRefusesWhatDoesNotFit) {
    char out[8];
    EXPECT_TRUE(JoinText(out, sizeof out, {"ab", "cd", "efg"}));
    EXPECT_STREQ(out, "abcdefg");
    EXPECT_FALSE(JoinText(out, sizeof out, {"abcd", "efgh"}));
    EXPECT_STREQ(out, "");
}

TEST(RegionNames, ComposedFromThePlayerKey) {
    char name[kRegionNameMax];
    ASSERT_TRUE(NowPlayingRegionName(name, "Winamp"));
    EXPECT_STREQ(name, "ZEQ_Plugin_Winamp_Info");
    ASSERT_TRUE(IdentityRegionName(name, "iTunes"));
    EXPECT_STREQ(name, "ZEQ_Plugin_iTunes_PIN");
    ASSERT_TRUE(PluginObjectName(name, "WMP", "_Org_Info_ZEQ"));
    EXPECT_STREQ(name, kRequestRegion);
    EXPECT_FALSE(NowPlayingRegionName(name, std::string(60, 'k').c_str()));
}

TEST(Interval, ClampedFromTheSettingsFile) {
    EXPECT_EQ(ClampInterval(0), 10u);
    EXPECT_EQ(ClampInterval(10), 10u);
    EXPECT_EQ(ClampInterval(9999), 9999u);
    EXPECT_EQ(ClampInterval(10000), 9999u);
    test::TempDir dir;
    std::string ini = dir.PathA() + "bridge.dll.ini";
    EXPECT_EQ(ReadIntervalSetting(ini.c_str(), "Main", "Timing"), 1000u);  // no file
    struct Case { const char* text; UINT want; } cases[] = {
        {"5", 10}, {"20000", 9999}, {"-1", 9999}, {"abc", 10}, {"250", 250}, {" 40 ", 40},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(::WritePrivateProfileStringA("Main", "Timing", c.text, ini.c_str()));
        EXPECT_EQ(ReadIntervalSetting(ini.c_str(), "Main", "Timing"), c.want) << c.text;
    }
}

// The dialogs' field: what the user typed or the up-down control wrote, grouped or not.
TEST(Interval, FieldTextReadsDigitsGroupedByTheSeparatorAndNothingElse) {
    struct Case {
        const wchar_t* text;
        const wchar_t* separator;
        UINT want;
    } const cases[] = {
        {L"", L",", 0}, {L"   ", L",", 0}, {L"abc", L",", 0}, {L"-5", L",", 0}, {L"+5", L",", 0}, {L"5x", L",", 0},
        {L"1 2", L",", 0}, {L",500", L",", 0},
        {L"5", L",", 5}, {L"0050", L",", 50}, {L" \t250\t ", L",", 250}, {L"9999", L",", 9999},
        {L"1,500", L",", 1500}, {L"1,5,0,0", L",", 1500}, {L"1500,", L",", 1500}, {L"1.500", L".", 1500},
        {L"1\u00a0500", L"\u00a0", 1500}, {L"1,500", L"", 0}, {L"1,500", nullptr, 0}, {L"1,500", L".", 0},
        {L"4294967295", L",", 4294967295u}, {L"4294967296", L",", 4294967295u},
        {L"99999999999999999999999999", L",", 4294967295u},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseIntervalText(c.text, c.separator), c.want) << test::Narrow(c.text);
}

TEST(PlayState, UnknownCodesReadAsUndefined) {
    EXPECT_EQ(NormalizePlayState(11), PlayStateReconnecting);
    EXPECT_EQ(NormalizePlayState(12), PlayStateUndefined);
    EXPECT_EQ(NormalizePlayState(0xFFFF), PlayStateUndefined);
}
