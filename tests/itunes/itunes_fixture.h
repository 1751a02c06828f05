// The shared set-up of the tests that run the bridge against the stand-in: the stand-in of
// either architecture registered as the machine's iTunes, nothing left running before or after.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "itunes_test_support.h"

namespace mivola::test {

class WithStandIn : public ::testing::TestWithParam<Arch> {
protected:
    void SetUp() override {
        MIVOLA_SKIP_UNLESS_RUNS(GetParam());
        ASSERT_TRUE(FileExists(ItunesProgramDir(GetParam()) + L"itunes.exe")) << "stand-in of that architecture not built";
        EndStrays();
        registration_ = std::make_unique<ItunesRegistration>(GetParam());
        ASSERT_TRUE(registration_->Ok());
    }
    void TearDown() override {
        EndStrays();
        registration_.reset();
    }
    void Unregister() { registration_.reset(); }
    Arch arch() const { return GetParam(); }

    std::unique_ptr<ItunesRegistration> registration_;
};

inline std::string StandInArchName(const ::testing::TestParamInfo<Arch>& info) {
    return info.param == Arch::Same ? "SameArchITunes" : "OtherArchITunes";
}

// The calls of one gather, in order, as the stand-in logs them.
inline std::vector<std::string> Calls(std::initializer_list<const char*> members) {
    std::vector<std::string> calls;
    for (const char* m : members) calls.push_back(std::string("call ") + m);
    return calls;
}

// The gathers in the events: each starts at a get_PlayerState call. Other events are dropped;
// calls before the first get_PlayerState are dropped too.
std::vector<std::vector<std::string>> Gathers(const std::vector<std::string>& events);

}  // namespace mivola::test
