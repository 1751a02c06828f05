// The set-up shared by the tests that run the media-session bridge program as a separate
// process.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "bridge_program_driver.h"
#include "test_support.h"

namespace mivola::test {

// Tests run with the bridge of each architecture (a 32-bit one only where it can run), with no
// bridge left running before or after.
class BridgeOfEachArch : public ::testing::TestWithParam<Arch> {
protected:
    void SetUp() override {
        MIVOLA_SKIP_UNLESS_RUNS(GetParam());
        ASSERT_TRUE(FileExists(SmtcBridge::BuiltProgram(GetParam()))) << "bridge of that architecture not built";
        SmtcBridge::EndStray();
    }
    void TearDown() override { SmtcBridge::EndStray(); }
    Arch arch() const { return GetParam(); }
};

std::string BridgeArchName(const ::testing::TestParamInfo<Arch>& info);

}  // namespace mivola::test
