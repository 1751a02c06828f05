#include "shared_region.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "peer_arch.h"
#include "record_transfer.h"
#include "sample_record.h"

using namespace mivola;
using namespace mivola::test;

namespace {
bool AllBytes(const void* p, size_t n, unsigned char value) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i] != value) return false;
    return true;
}
}  // namespace

TEST(SharedRegion, CreateThenExistedSharesBytesAndLastCloseDiscards) {
    std::string name = UniqueName("mivola_region");
    SharedRegion a, b;
    ASSERT_EQ(a.Open(name.c_str(), 19552), RegionCreated);
    EXPECT_TRUE(AllBytes(a.View(), 19552, 0));
    std::memset(a.View(), 0x5A, 19552);
    ASSERT_EQ(b.Open(name.c_str(), 19552), RegionExisted);
    EXPECT_TRUE(AllBytes(b.View(), 19552, 0x5A));
    a.Close();
    EXPECT_TRUE(AllBytes(b.View(), 19552, 0x5A));  // kept alive by b
    b.Close();
    ASSERT_EQ(a.Open(name.c_str(), 19552), RegionCreated);
    EXPECT_TRUE(AllBytes(a.View(), 19552, 0));
}

TEST(SharedRegion, ReopeningOneObjectReleasesTheFirstMapping) {
    std::string first = UniqueName("mivola_region"), second = UniqueName("mivola_region");
    SharedRegion r;
    ASSERT_EQ(r.Open(first.c_str(), 64), RegionCreated);
    ASSERT_EQ(r.Open(second.c_str(), 64), RegionCreated);
    SharedRegion probe;
    EXPECT_EQ(probe.Open(first.c_str(), 64), RegionCreated);  // nobody holds the first any more
    ASSERT_EQ(r.Open(second.c_str(), 64), RegionCreated);     // reopening the same name: also released first
}

TEST(SharedRegion, ClosedObjectIsHarmless) {
    SharedRegion r;
    EXPECT_EQ(r.View(), nullptr);
    EXPECT_EQ(r.Lock(), WAIT_FAILED);
    EXPECT_FALSE(r.Unlock());
    EXPECT_FALSE(r.IsBusy());
    r.Close();
    r.Close();
    ASSERT_EQ(r.Open(UniqueName("mivola_region").c_str(), 16), RegionCreated);
    r.Close();
    r.Close();  // destruction after Close follows
}

TEST(SharedRegion, SizesAgainstAnExistingMapping) {
    std::string name = UniqueName("mivola_region");
    SharedRegion owner, other;
    ASSERT_EQ(owner.Open(name.c_str(), 8192), RegionCreated);
    std::memset(owner.View(), 1, 8192);
    EXPECT_EQ(other.Open(name.c_str(), 65536), RegionNoView);
    EXPECT_EQ(other.View(), nullptr);
    EXPECT_FALSE(other.IsBusy());  // closed after the failure
    ASSERT_EQ(other.Open(name.c_str(), 4096), RegionExisted);
    EXPECT_TRUE(AllBytes(other.View(), 4096, 1));
    ASSERT_EQ(other.Open(name.c_str(), 8192), RegionExisted);
}

TEST(SharedRegion, OverlongNameFailsCleanly) {
    std::string name(kRegionNameCapacity, 'x');
    SharedRegion r;
    EXPECT_EQ(r.Open(name.c_str(), 16), RegionNoMapping);
    EXPECT_EQ(r.View(), nullptr);
}

TEST(RecordTransfer, PublishCopyAndWithdraw) {
    std::string name = UniqueName("mivola_region");
    SharedRegion writer, reader;
    ASSERT_EQ(writer.Open(name.c_str(), 256), RegionCreated);
    ASSERT_EQ(reader.Open(name.c_str(), 256), RegionExisted);
    unsigned char image[256], copy[256];
    for (int i = 0; i < 256; ++i) image[i] = static_cast<unsigned char>(i);
    PublishRecord(writer, image, sizeof image);
    ASSERT_TRUE(CopyRecordOut(reader, copy, sizeof copy));
    EXPECT_EQ(std::memcmp(image, copy, sizeof copy), 0);
    WithdrawRecord(writer, 256);
    EXPECT_EQ(writer.View(), nullptr);
    ASSERT_TRUE(CopyRecordOut(reader, copy, sizeof copy));
    EXPECT_TRUE(AllBytes(copy, sizeof copy, 0));
    SharedRegion closed;
    EXPECT_FALSE(CopyRecordOut(closed, copy, sizeof copy));
    PublishRecord(closed, image, sizeof image);  // no view: nothing happens
}

class SharedRegionAcrossProcesses : public WithPeer {};

TEST_P(SharedRegionAcrossProcesses, ExistedSeesTheOtherProcessesBytesBothWays) {
    std::string name = UniqueName("mivola_xregion");
    {
        Peer peer;
        ASSERT_TRUE(peer.Start(arch(), "hold-region", Widen(name) + L" 19552 a7"));
        SharedRegion r;
        ASSERT_EQ(r.Open(name.c_str(), 19552), RegionExisted);
        EXPECT_TRUE(AllBytes(r.View(), 19552, 0xA7));
        peer.Release();
        ASSERT_TRUE(peer.Wait(10000));
        EXPECT_EQ(peer.ExitCode(), static_cast<DWORD>(RegionCreated));
        EXPECT_TRUE(AllBytes(r.View(), 19552, 0xA7));  // we still hold it
    }
    // Nobody holds it now: the peer creates it afresh and sees zero bytes.
    std::string out;
    EXPECT_EQ(RunPeer("open-region", Widen(name) + L" 19552", &out), static_cast<DWORD>(RegionCreated));
    EXPECT_EQ(out.substr(0, 2), "00");
    SharedRegion mine;
    ASSERT_EQ(mine.Open(name.c_str(), 19552), RegionCreated);
    std::memset(mine.View(), 0x3C, 19552);
    EXPECT_EQ(RunPeer("open-region", Widen(name) + L" 19552", &out), static_cast<DWORD>(RegionExisted));
    EXPECT_EQ(out.substr(0, 2), "3c");
    EXPECT_EQ(RunPeer("open-region", Widen(name) + L" 65536"), static_cast<DWORD>(RegionNoView));
}

TEST_P(SharedRegionAcrossProcesses, IsBusyWhileTheOtherProcessLocks) {
    std::string name = UniqueName("mivola_xregion");
    SharedRegion r;
    ASSERT_EQ(r.Open(name.c_str(), 64), RegionCreated);
    EXPECT_EQ(RunPeer("is-busy", Widen(name) + L" 64"), 0u);
    r.Lock();
    EXPECT_EQ(RunPeer("is-busy", Widen(name) + L" 64"), 1u);
    r.Unlock();
    Peer peer;
    ASSERT_TRUE(peer.Start(arch(), "lock-region", Widen(name) + L" 64"));
    EXPECT_TRUE(r.IsBusy());
    peer.Release();
    ASSERT_TRUE(peer.Wait(10000));
    EXPECT_FALSE(r.IsBusy());
}

TEST_P(SharedRegionAcrossProcesses, RecordLayoutIsIdenticalBothWays) {
    std::string name = UniqueName("mivola_xrecord");
    {
        Peer peer;
        ASSERT_TRUE(peer.Start(arch(), "publish-sample", Widen(name)));
        SharedRegion r;
        ASSERT_EQ(r.Open(name.c_str(), kNowPlayingRecordSize), RegionExisted);
        NowPlayingRecord got, want;
        ASSERT_TRUE(CopyRecordOut(r, &got, sizeof got));
        FillSampleRecord(want);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0);
        peer.Release();
        peer.Wait(10000);
    }
    SharedRegion mine;
    ASSERT_EQ(mine.Open(name.c_str(), kNowPlayingRecordSize), RegionCreated);
    NowPlayingRecord rec;
    FillSampleRecord(rec);
    PublishRecord(mine, &rec, sizeof rec);
    EXPECT_EQ(RunPeer("check-sample", Widen(name)), 0u);
    rec.Reserved3 = 1;  // a single differing byte is noticed
    PublishRecord(mine, &rec, sizeof rec);
    EXPECT_EQ(RunPeer("check-sample", Widen(name)), 1u);
}

MIVOLA_BOTH_ARCHES(SharedRegionAcrossProcesses);
