#include "named_mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "peer_arch.h"

using namespace mivola;
using namespace mivola::test;

TEST(NamedMutex, ClosedObjectFailsWithoutWaiting) {
    NamedMutex m;
    EXPECT_EQ(m.Lock(), WAIT_FAILED);
    EXPECT_FALSE(m.Unlock());
    EXPECT_FALSE(m.IsBusy());
    EXPECT_EQ(m.Close(), 0);
    EXPECT_EQ(m.Close(), 0);  // twice is harmless
}

TEST(NamedMutex, CreateCloseAndFailIfExistsInOneProcess) {
    std::string name = UniqueName("mivola_mutex");
    NamedMutex first, second, third;
    EXPECT_TRUE(first.Create(name.c_str(), true));  // new: true even with the flag
    EXPECT_FALSE(second.Create(name.c_str(), true));
    EXPECT_NE(second.Handle(), nullptr);  // kept despite the false result
    EXPECT_TRUE(third.Create(name.c_str(), false));
    EXPECT_NE(second.Close(), 0);
    EXPECT_EQ(second.Handle(), nullptr);
}

TEST(NamedMutex, OwnerThreadIsNotBusyAndMayRelock) {
    NamedMutex m;
    ASSERT_TRUE(m.Create(UniqueName("mivola_mutex").c_str(), false));
    EXPECT_EQ(m.Lock(), WAIT_OBJECT_0);
    EXPECT_FALSE(m.IsBusy());  // re-acquired and released by the owner itself
    EXPECT_EQ(m.Lock(), WAIT_OBJECT_0);
    EXPECT_TRUE(m.Unlock());
    EXPECT_TRUE(m.Unlock());
    EXPECT_FALSE(m.Unlock());  // no longer owned
}

TEST(NamedMutex, IsBusyLeavesAnotherThreadsOwnership) {
    std::string name = UniqueName("mivola_mutex");
    NamedMutex mine;
    ASSERT_TRUE(mine.Create(name.c_str(), false));
    std::atomic<int> stage{0};
    std::thread owner([&] {
        NamedMutex theirs;
        theirs.Create(name.c_str(), false);
        theirs.Lock();
        stage = 1;
        while (stage != 2) ::Sleep(1);
        theirs.Unlock();
        stage = 3;
    });
    while (stage != 1) ::Sleep(1);
    EXPECT_TRUE(mine.IsBusy());
    EXPECT_TRUE(mine.IsBusy());  // still the other thread's
    stage = 2;
    while (stage != 3) ::Sleep(1);
    owner.join();
    EXPECT_FALSE(mine.IsBusy());
    // Free afterwards: another thread can take it at once.
    std::thread probe([&] {
        NamedMutex again;
        again.Create(name.c_str(), false);
        EXPECT_EQ(::WaitForSingleObject(again.Handle(), 0), WAIT_OBJECT_0);
        again.Unlock();
    });
    probe.join();
}

class NamedMutexAcrossProcesses : public WithPeer {};

TEST_P(NamedMutexAcrossProcesses, IsBusyWhileAnotherProcessHoldsIt) {
    std::string name = UniqueName("mivola_xmutex");
    Peer peer;
    ASSERT_TRUE(peer.Start(arch(), "hold-mutex", Widen(name)));
    NamedMutex m;
    ASSERT_TRUE(m.Create(name.c_str(), false));
    DWORD before = ::GetTickCount();
    EXPECT_TRUE(m.IsBusy());
    EXPECT_LT(::GetTickCount() - before, 1000u);  // answered without waiting for the holder
    EXPECT_TRUE(m.IsBusy());                      // and the peer still holds it
    peer.Release();
    ASSERT_TRUE(peer.Wait(10000));
    EXPECT_EQ(peer.ExitCode(), 0u);
    EXPECT_FALSE(m.IsBusy());
}

TEST_P(NamedMutexAcrossProcesses, AbandonedByKilledProcessIsAcquiredByNextLock) {
    std::string name = UniqueName("mivola_xmutex");
    Peer peer;
    ASSERT_TRUE(peer.Start(arch(), "lock-and-hang", Widen(name)));
    NamedMutex m;
    ASSERT_TRUE(m.Create(name.c_str(), false));
    EXPECT_TRUE(m.IsBusy());
    peer.Kill();
    EXPECT_EQ(m.Lock(), WAIT_ABANDONED);  // acquired, with the abandoned result
    EXPECT_TRUE(m.Unlock());
    EXPECT_EQ(m.Lock(), WAIT_OBJECT_0);
    EXPECT_TRUE(m.Unlock());
}

TEST_P(NamedMutexAcrossProcesses, FailIfExistsOnAnotherProcessesMutex) {
    std::string name = UniqueName("mivola_xmutex");
    Peer peer;
    ASSERT_TRUE(peer.Start(arch(), "create-mutex", Widen(name)));
    NamedMutex m;
    EXPECT_FALSE(m.Create(name.c_str(), true));
    EXPECT_TRUE(m.Create(name.c_str(), false));
    peer.Release();
    peer.Wait(10000);
    // And the other way round: the peer finds ours.
    EXPECT_EQ(RunPeer("create-mutex-fail-if-exists", Widen(name)), 1u);
    m.Close();
    EXPECT_EQ(RunPeer("create-mutex-fail-if-exists", Widen(name)), 0u);
}

MIVOLA_BOTH_ARCHES(NamedMutexAcrossProcesses);
