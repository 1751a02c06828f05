// The bridge program of either architecture with no media-session manager in the system (Wine
// registers none): its command line, the single instance, the zeros it publishes, and how it ends.
#include <gtest/gtest.h>

#include <cstring>

#include "bridge_test_support.h"
#include "players.h"
#include "record_transfer.h"
#include "region_names.h"
#include "scoped_lock.h"
#include "shared_region.h"

using namespace mivola;
using namespace mivola::test;

namespace {

using SmtcBridgeAlone = BridgeOfEachArch;

TEST_P(SmtcBridgeAlone, RunsOnlyWithItsWordAnywhereInTheCommandLine) {
    for (const wchar_t* args : {L"", L"zeq_plugin_smtc", L"ZEQ_Plugin_SMT", L"ZEQ_Plugin_iTunes"}) {
        SmtcBridge bridge(std::string(), arch());
        ASSERT_TRUE(bridge.Start(args));
        ASSERT_TRUE(bridge.Wait(10000)) << Narrow(args);
        EXPECT_EQ(bridge.ExitCode(), 0u) << Narrow(args);
        EXPECT_EQ(SmtcBridge::Window(), nullptr);
    }
    SmtcBridge bridge(std::string(), arch());
    ASSERT_TRUE(bridge.Start(L"--x=aZEQ_Plugin_SMTCb"));
    EXPECT_TRUE(WaitUntil([] { return SmtcBridge::Window() != nullptr; })) << "the word inside a longer argument counts";
    EXPECT_TRUE(SmtcBridge::PostEnd());
    ASSERT_TRUE(bridge.Wait(10000));
    EXPECT_EQ(bridge.ExitCode(), 0u);
}

TEST_P(SmtcBridgeAlone, UnavailablePublishesZerosRefusesCloseAndEndsOnTheEndMessage) {
    // A reader that holds the region with an old record sees it zeroed.
    NowPlayingRecord stale;
    std::memset(&stale, 0x5A, sizeof stale);
    SharedRegion reader;
    char name[kRegionNameMax];
    ASSERT_TRUE(NowPlayingRegionName(name, kKeySmtc));
    ASSERT_EQ(reader.Open(name, kNowPlayingRecordSize), RegionCreated);
    PublishRecord(reader, &stale, sizeof stale);

    SmtcBridge first("[Main]\r\nSMTCTiming=10\r\n", arch());
    ASSERT_TRUE(first.Start());
    EXPECT_TRUE(SmtcBridge::WaitText("unavailable", 5000)) << SmtcBridge::Text();
    NowPlayingRecord record;
    ASSERT_TRUE(WaitUntil([&] { return ReadSmtcNowPlaying(record) && AllBytesZero(&record, sizeof record); }, 3000));
    BridgeIdentityRecord identity;
    EXPECT_FALSE(ReadSmtcIdentity(identity)) << "no identity while the sessions cannot be reached";

    // A second bridge ends at once and leaves the first alone.
    SmtcBridge second(std::string(), arch());
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.Wait(10000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(first.Running());

    // A close request is refused.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(SmtcBridge::Window(), WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &answer));
    EXPECT_EQ(answer, 1u);
    EXPECT_FALSE(first.Wait(1000));
    EXPECT_EQ(SmtcBridge::Text(), "unavailable") << "the retry waits a minute, whatever the interval";

    ASSERT_TRUE(SmtcBridge::PostEnd());
    ASSERT_TRUE(first.Wait(10000));
    EXPECT_EQ(first.ExitCode(), 0u);
    EXPECT_EQ(SmtcBridge::Window(), nullptr);
    MutexLock lock(reader);
    EXPECT_TRUE(AllBytesZero(reader.View(), kNowPlayingRecordSize));
}

INSTANTIATE_TEST_SUITE_P(BothArchitectures, SmtcBridgeAlone, ::testing::Values(Arch::Same, Arch::Other),
                         BridgeArchName);

}  // namespace
