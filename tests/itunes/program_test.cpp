// The bridge program on its own, with no iTunes running: its command line, the single
// instance, the record it publishes while searching, and how it ends.
#include <gtest/gtest.h>

#include <cstring>

#include "bridge_program_checks.h"
#include "itunes_test_support.h"
#include "record_transfer.h"
#include "region_names.h"
#include "scoped_lock.h"
#include "shared_region.h"

using namespace mivola;
using namespace mivola::test;

namespace {

class BridgeAlone : public ::testing::Test {
protected:
    void SetUp() override { EndStrays(); }
    void TearDown() override { EndStrays(); }
};

TEST_F(BridgeAlone, RunsOnlyWithItsWordAnywhereInTheCommandLine) {
    ExpectRunsOnlyWithItsWord(kItunesBridgeNames, Arch::Same,
                              {L"", L"zeq_plugin_itunes", L"ZEQ_Plugin_iTune", L"-Embedding"});
}

TEST_F(BridgeAlone, SearchingPublishesZerosRefusesCloseAndEndsOnTheEndMessage) {
    // A reader that holds the region sees it zeroed and, after the bridge ends, kept.
    NowPlayingRecord stale;
    std::memset(&stale, 0x5A, sizeof stale);
    SharedRegion reader;
    char name[kRegionNameMax];
    NowPlayingRegionName(name, "iTunes");
    ASSERT_EQ(reader.Open(name, kNowPlayingRecordSize), RegionCreated);
    PublishRecord(reader, &stale, sizeof stale);

    ItunesBridge first;
    ULONGLONG started = ::GetTickCount64();
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(WaitUntil([] { return ItunesBridge::Window() != nullptr; }));
    EXPECT_EQ(ItunesBridge::Text(), "") << "no text before the first tick";
    NowPlayingRecord record;
    ASSERT_TRUE(WaitUntil([&] { return ReadNowPlaying(record) && AllZero(&record, sizeof record); }, 3000));
    EXPECT_LT(::GetTickCount64() - started, 2500u) << "the first search tick comes after one second";

    ExpectSingleInstanceRefusingClose(first);
    BridgeIdentityRecord identity;
    EXPECT_FALSE(ReadIdentity(identity)) << "no identity region while no iTunes runs";

    ExpectEndsOnTheEndMessage(first);
    {
        MutexLock lock(reader);
        EXPECT_TRUE(AllZero(reader.View(), kNowPlayingRecordSize));
    }

    // The single-instance mutex went with it: a new bridge runs.
    ItunesBridge third;
    ASSERT_TRUE(third.Start());
    EXPECT_TRUE(WaitUntil([] { return ItunesBridge::Window() != nullptr; }));
}

}  // namespace
