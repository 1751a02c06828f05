#include "bridge_test_support.h"

namespace mivola::test {

std::string BridgeArchName(const ::testing::TestParamInfo<Arch>& info) {
    return info.param == Arch::Same ? "SameArchBridge" : "OtherArchBridge";
}

}  // namespace mivola::test
