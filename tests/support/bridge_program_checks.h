// What every bridge program does the same way, whichever player it serves: it runs only when its
// command word is in its command line, only once at a time, refuses a close request and ends
// with 0 on the host plug-in's end message.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge_program_driver.h"
#include "test_support.h"

namespace mivola::test {

// Each of `refused` ends the program at once with 0 and no window; the word inside a longer
// argument counts, and that program runs until the end message, after which it ends with 0.
inline void ExpectRunsOnlyWithItsWord(const BridgeProgramNames& names, Arch arch,
                                      const std::vector<std::wstring>& refused) {
    for (const std::wstring& args : refused) {
        BridgeProgram bridge(names, std::string(), arch);
        ASSERT_TRUE(bridge.Start(args));
        ASSERT_TRUE(bridge.Wait(10000)) << Narrow(args);
        EXPECT_EQ(bridge.ExitCode(), 0u) << Narrow(args);
        EXPECT_EQ(BridgeWindow(names), nullptr) << Narrow(args);
    }
    BridgeProgram bridge(names, std::string(), arch);
    ASSERT_TRUE(bridge.Start(std::wstring(L"--x=a") + names.commandWord + L"b"));
    EXPECT_TRUE(WaitUntil([&] { return BridgeWindow(names) != nullptr; })) << "the word inside a longer argument counts";
    EXPECT_TRUE(PostBridgeEnd(names));
    ASSERT_TRUE(bridge.Wait(10000));
    EXPECT_EQ(bridge.ExitCode(), 0u);
}

// With `first` running and its window up: a second program ends at once with 0 and leaves the
// first alone, and a close request is answered 1 and changes nothing.
inline void ExpectSingleInstanceRefusingClose(BridgeProgram& first) {
    const BridgeProgramNames& names = first.Names();
    BridgeProgram second(names, std::string(), first.Architecture());
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.Wait(10000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(first.Running());

    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(BridgeWindow(names), WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &answer));
    EXPECT_EQ(answer, 1u);
    EXPECT_FALSE(first.Wait(1000));
    EXPECT_NE(BridgeWindow(names), nullptr);
}

// The end message ends the program with 0 and its window goes.
inline void ExpectEndsOnTheEndMessage(BridgeProgram& running) {
    const BridgeProgramNames& names = running.Names();
    ASSERT_TRUE(PostBridgeEnd(names));
    ASSERT_TRUE(running.Wait(10000));
    EXPECT_EQ(running.ExitCode(), 0u);
    EXPECT_EQ(BridgeWindow(names), nullptr);
}

}  // namespace mivola::test
