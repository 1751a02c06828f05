// The bridge program on its own, with no iTunes running: its command line, the single
// instance, the record it publishes while searching, and how it ends.
#include <gtest/gtest.h>

#include <cstring>

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
    for (const wchar_t* args : {L"", L"zeq_plugin_itunes", L"ZEQ_Plugin_iTune", L"-Embedding"}) {
        ItunesBridge bridge;
        ASSERT_TRUE(bridge.Start(args));
        ASSERT_TRUE(bridge.Wait(10000)) << Narrow(args);
        EXPECT_EQ(bridge.ExitCode(), 0u) << Narrow(args);
        EXPECT_EQ(ItunesBridge::Window(), nullptr);
    }
    ItunesBridge bridge;
    ASSERT_TRUE(bridge.Start(L"--x=aZEQ_Plugin_iTunesb"));
    EXPECT_TRUE(WaitUntil([] { return ItunesBridge::Window() != nullptr; })) << "the word inside a longer argument counts";
    EXPECT_TRUE(ItunesBridge::PostEnd());
    ASSERT_TRUE(bridge.Wait(10000));
    EXPECT_EQ(bridge.ExitCode(), 0u);
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

    // A second bridge ends at once and leaves the first alone.
    ItunesBridge second;
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.Wait(10000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(first.Running());

    // A close request is refused.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(ItunesBridge::Window(), WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &answer));
    EXPECT_EQ(answer, 1u);
    EXPECT_FALSE(first.Wait(1500));
    EXPECT_NE(ItunesBridge::Window(), nullptr);

    BridgeIdentityRecord identity;
    EXPECT_FALSE(ReadIdentity(identity)) << "no identity region while no iTunes runs";

    ASSERT_TRUE(ItunesBridge::PostEnd());
    ASSERT_TRUE(first.Wait(10000));
    EXPECT_EQ(first.ExitCode(), 0u);
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
