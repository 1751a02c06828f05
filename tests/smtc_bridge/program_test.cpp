// The bridge program of either architecture with no media-session manager in the system (Wine
// registers none): its command line, the single instance, the zeros it publishes, and how it ends.
#include <gtest/gtest.h>

#include <cstring>

#include "bridge_program_checks.h"
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
    ExpectRunsOnlyWithItsWord(kSmtcBridgeNames, arch(),
                              {L"", L"zeq_plugin_smtc", L"ZEQ_Plugin_SMT", L"ZEQ_Plugin_iTunes"});
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
    ASSERT_TRUE(WaitUntil([&] { return ReadPlayerNowPlaying(kKeySmtc, record) && AllZero(&record, sizeof record); }, 3000));
    BridgeIdentityRecord identity;
    EXPECT_FALSE(ReadPlayerIdentity(kKeySmtc, identity)) << "no identity while the sessions cannot be reached";

    ExpectSingleInstanceRefusingClose(first);
    EXPECT_EQ(SmtcBridge::Text(), "unavailable") << "the retry waits a minute, whatever the interval";

    ExpectEndsOnTheEndMessage(first);
    MutexLock lock(reader);
    EXPECT_TRUE(AllZero(reader.View(), kNowPlayingRecordSize));
}

INSTANTIATE_TEST_SUITE_P(BothArchitectures, SmtcBridgeAlone, ::testing::Values(Arch::Same, Arch::Other),
                         BridgeArchName);

}  // namespace
