// Cross-process tests run against a peer of this build's architecture and of the other one.
#pragma once

#include <gtest/gtest.h>

#include "test_support.h"

namespace mivola::test {

class WithPeer : public ::testing::TestWithParam<Arch> {
protected:
    void SetUp() override {
        MIVOLA_SKIP_UNLESS_RUNS(GetParam());
        if (GetParam() == Arch::Other) {
            ASSERT_TRUE(FileExists(PeerPath(Arch::Other))) << "other architecture's peer missing: "
                                                           << Narrow(PeerPath(Arch::Other));
        }
    }
    Arch arch() const { return GetParam(); }
    // Runs a one-shot peer command and returns its exit code.
    DWORD RunPeer(const std::string& command, const std::wstring& args, std::string* output = nullptr) {
        ChildResult r = RunChild(PeerPath(arch()), Widen(command) + L" - - " + args);
        EXPECT_TRUE(r.started && r.finished) << command;
        if (output) *output = r.output;
        return r.exitCode;
    }
};

inline std::string ArchName(const ::testing::TestParamInfo<Arch>& info) {
    return info.param == Arch::Same ? "SameArch" : "OtherArch";
}

#define MIVOLA_BOTH_ARCHES(suite) \
    INSTANTIATE_TEST_SUITE_P(Peers, suite, ::testing::Values(Arch::Same, Arch::Other), ArchName)

}  // namespace mivola::test
