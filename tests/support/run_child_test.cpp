// The test helpers' own pitfalls under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include "test_support.h"

using namespace mivola;
using namespace mivola::test;

namespace {

// A process the child starts may inherit the child's output pipe and outlive it. Under Wine the
// desktop process (explorer.exe /desktop) does so when the child is the first program to need
// the desktop, as regsvr32 is when it broadcasts; it lives as long as this program, so a wait
// for the end of the output never ends.
TEST(RunChild, ReturnsWhenTheChildEndsThoughAProcessItStartedHoldsItsOutput) {
    std::string quitName = UniqueName("mivola_test_heir_quit");
    unique_handle quit(::CreateEventA(nullptr, TRUE, FALSE, quitName.c_str()));
    ASSERT_TRUE(quit);
    ULONGLONG start = ::GetTickCount64();
    ChildResult r = RunChild(PeerPath(Arch::Same), L"leave-heir - " + Widen(quitName), 30000);
    ULONGLONG took = ::GetTickCount64() - start;
    ::SetEvent(quit.get());  // the heir ends (it would after a minute anyway)
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 7u);
    EXPECT_EQ(r.output, "heir started\n") << "what the child wrote before it ended";
    EXPECT_LT(took, 20000u) << "RunChild waited for the heir instead of the child";
}

}  // namespace
