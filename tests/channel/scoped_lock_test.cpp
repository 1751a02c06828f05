#include "scoped_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "peer_arch.h"
#include "test_support.h"
#include "record_transfer.h"

using namespace mivola;
using namespace mivola::test;

namespace {

// Whether another thread could take the mutex right now (and gives it back at once).
bool FreeForAnotherThread(NamedMutex& m) {
    bool busy = true;
    std::thread([&] { busy = m.IsBusy(); }).join();
    return !busy;
}

}  // namespace

TEST(MutexLock, HoldsTheMutexForItsScopeOnEveryPath) {
    NamedMutex m;
    ASSERT_TRUE(m.Create(UniqueName("mivola_scoped").c_str(), false));
    auto leaveEarly = [&](bool early) {
        MutexLock lock(m);
        EXPECT_TRUE(lock.Acquired());
        EXPECT_FALSE(FreeForAnotherThread(m));
        if (early) return 1;
        return 2;
    };
    EXPECT_EQ(leaveEarly(true), 1);
    EXPECT_TRUE(FreeForAnotherThread(m)) << "released on the early return";
    EXPECT_EQ(leaveEarly(false), 2);
    EXPECT_TRUE(FreeForAnotherThread(m));
}

TEST(MutexLock, ASecondLockElsewhereWaitsForTheFirstScope) {
    const std::string name = UniqueName("mivola_scoped");
    SharedRegion region;
    ASSERT_EQ(region.Open(name.c_str(), 64), RegionCreated);
    std::atomic<int> step{0};
    std::thread other;
    {
        MutexLock first(region);
        other = std::thread([&] {
            SharedRegion same;
            same.Open(name.c_str(), 64);
            step = 1;
            MutexLock second(same);
            step = 2;
        });
        while (step.load() == 0) ::Sleep(1);
        ::Sleep(200);
        EXPECT_EQ(step.load(), 1) << "the second lock did not wait";
    }
    other.join();
    EXPECT_EQ(step.load(), 2);
}

TEST(MutexLock, AbandonedCountsAsAcquiredAndAFailedWaitReleasesNothing) {
    NamedMutex m;
    ASSERT_TRUE(m.Create(UniqueName("mivola_scoped").c_str(), false));
    std::thread([&] { m.Lock(); }).join();  // the thread ends holding it
    {
        MutexLock lock(m);
        EXPECT_EQ(lock.WaitResult(), static_cast<DWORD>(WAIT_ABANDONED));
        EXPECT_TRUE(lock.Acquired());
    }
    EXPECT_TRUE(FreeForAnotherThread(m));

    NamedMutex closed;
    MutexLock none(closed);
    EXPECT_EQ(none.WaitResult(), static_cast<DWORD>(WAIT_FAILED));
    EXPECT_FALSE(none.Acquired());
}

TEST(MutexLock, ANoWaitLockTakesOnlyAFreeMutexAndKeepsIt) {
    NamedMutex m;
    ASSERT_TRUE(m.Create(UniqueName("mivola_scoped").c_str(), false));
    {
        MutexLock lock(m, MutexLock::NoWait{});
        EXPECT_TRUE(lock.Acquired());
        EXPECT_FALSE(lock.Busy());
        EXPECT_FALSE(FreeForAnotherThread(m)) << "kept for the scope, not given back after the probe";
    }
    EXPECT_TRUE(FreeForAnotherThread(m));

    // Held by another thread: the lock returns at once, owns nothing and leaves the owner's hold.
    unique_handle taken(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    unique_handle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread owner([&] {
        MutexLock held(m);
        ::SetEvent(taken.get());
        ::WaitForSingleObject(release.get(), INFINITE);
    });
    ::WaitForSingleObject(taken.get(), INFINITE);
    {
        MutexLock lock(m, MutexLock::NoWait{});
        EXPECT_TRUE(lock.Busy());
        EXPECT_FALSE(lock.Acquired());
    }
    EXPECT_TRUE(m.IsBusy()) << "still the other thread's";
    ::SetEvent(release.get());
    owner.join();

    std::thread([&] { m.Lock(); }).join();  // abandoned: taken, as by a waiting lock
    {
        MutexLock lock(m, MutexLock::NoWait{});
        EXPECT_EQ(lock.WaitResult(), static_cast<DWORD>(WAIT_ABANDONED));
        EXPECT_TRUE(lock.Acquired());
    }
    EXPECT_TRUE(FreeForAnotherThread(m));

    NamedMutex closed;  // no mutex: neither busy nor held, like IsBusy's false
    MutexLock none(closed, MutexLock::NoWait{});
    EXPECT_FALSE(none.Busy());
    EXPECT_FALSE(none.Acquired());
}

TEST(CriticalSectionLock, AnotherThreadWaitsUntilTheScopeEnds) {
    CRITICAL_SECTION section;
    ::InitializeCriticalSection(&section);
    std::atomic<bool> entered{false};
    std::thread other;
    {
        CriticalSectionLock lock(section);
        other = std::thread([&] {
            CriticalSectionLock inner(section);
            entered = true;
        });
        ::Sleep(200);
        EXPECT_FALSE(entered.load());
    }
    other.join();
    EXPECT_TRUE(entered.load());
    EXPECT_TRUE(::TryEnterCriticalSection(&section)) << "left on the scope's end";
    ::LeaveCriticalSection(&section);
    ::DeleteCriticalSection(&section);
}

TEST(RecordTransfer, ZeroRecordClearsUnderTheLockAndLeavesTheRegionOpen) {
    SharedRegion region;
    ASSERT_EQ(region.Open(UniqueName("mivola_scoped").c_str(), 32), RegionCreated);
    unsigned char bytes[32];
    std::memset(bytes, 0xAB, sizeof bytes);
    PublishRecord(region, bytes, sizeof bytes);
    ZeroRecord(region, sizeof bytes);
    ASSERT_TRUE(region.IsOpen());
    unsigned char out[32];
    ASSERT_TRUE(CopyRecordOut(region, out, sizeof out));
    for (unsigned char b : out) EXPECT_EQ(b, 0);
    EXPECT_TRUE(FreeForAnotherThread(region.Mutex()));
    SharedRegion closed;
    ZeroRecord(closed, sizeof bytes);  // nothing to do, no crash
    EXPECT_FALSE(closed.IsOpen());
}
