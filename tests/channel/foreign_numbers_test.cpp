// Players' doubles and digit strings into the record's integers, at every edge.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "foreign_numbers.h"

using namespace mivola;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(WholeSeconds, NanIsZeroAndEverythingElseIsCutTowardZeroInsideTheRange) {
    EXPECT_EQ(WholeSeconds(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(WholeSeconds(-std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(WholeSeconds(std::numeric_limits<double>::signaling_NaN()), 0);
    EXPECT_EQ(WholeSeconds(kInf), INT32_MAX);
    EXPECT_EQ(WholeSeconds(-kInf), INT32_MIN);
    EXPECT_EQ(WholeSeconds(std::numeric_limits<double>::max()), INT32_MAX);
    EXPECT_EQ(WholeSeconds(-std::numeric_limits<double>::max()), INT32_MIN);
    EXPECT_EQ(WholeSeconds(std::numeric_limits<double>::denorm_min()), 0);
    EXPECT_EQ(WholeSeconds(-0.0), 0);
    EXPECT_EQ(WholeSeconds(185.9), 185);
    EXPECT_EQ(WholeSeconds(-0.9), 0);
    EXPECT_EQ(WholeSeconds(-1.0), -1);
    EXPECT_EQ(WholeSeconds(-1.9), -1);
    // The upper end: 2^31 - 1 and everything below 2^31 cut to it; 2^31 and above held.
    EXPECT_EQ(WholeSeconds(2147483647.0), INT32_MAX);
    EXPECT_EQ(WholeSeconds(2147483647.999), INT32_MAX);
    EXPECT_EQ(WholeSeconds(std::nextafter(2147483648.0, 0.0)), INT32_MAX);
    EXPECT_EQ(WholeSeconds(2147483648.0), INT32_MAX);
    EXPECT_EQ(WholeSeconds(4294967296.0), INT32_MAX);
    EXPECT_EQ(WholeSeconds(1e300), INT32_MAX);
    // The lower end: down to -2^31 - 1 (exclusive) the cut lies in range.
    EXPECT_EQ(WholeSeconds(-2147483647.0), -2147483647);
    EXPECT_EQ(WholeSeconds(-2147483648.0), INT32_MIN);
    EXPECT_EQ(WholeSeconds(-2147483648.999), INT32_MIN);
    EXPECT_EQ(WholeSeconds(std::nextafter(-2147483649.0, 0.0)), INT32_MIN);
    EXPECT_EQ(WholeSeconds(-2147483649.0), INT32_MIN);
    EXPECT_EQ(WholeSeconds(-4294967296.0), INT32_MIN);
    EXPECT_EQ(WholeSeconds(-1e300), INT32_MIN);
}

TEST(LeadingInteger, ReadsAsAtolDoesAndHoldsTheRange) {
    struct Case {
        const char* text;
        int32_t value;
    } const cases[] = {
        {nullptr, 0}, {"", 0}, {"abc", 0}, {"-", 0}, {"+", 0}, {" ", 0}, {"- 5", 0}, {"+-5", 0}, {"0x10", 0},
        {"7", 7}, {"07", 7}, {"3/12", 3}, {"12abc", 12}, {"1e5", 1}, {"4.9", 4},
        {"+42", 42}, {"-42", -42}, {"-0", 0},
        {" \t\n\v\f\r 42", 42}, {"  -5", -5}, {"\t+9 ", 9},
        {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX}, {"4294967296", INT32_MAX},
        {"-2147483647", -2147483647}, {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN},
        {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN},
        {"0000000000000000000000000000000000000000042", 42},
    };
    for (const Case& c : cases) EXPECT_EQ(LeadingInteger(c.text), c.value) << (c.text ? c.text : "(null)");
    const std::string huge(100000, '9');
    EXPECT_EQ(LeadingInteger(huge.c_str()), INT32_MAX);
    EXPECT_EQ(LeadingInteger(("-" + huge).c_str()), INT32_MIN);
    EXPECT_EQ(LeadingInteger((std::string(5000, ' ') + "17").c_str()), 17);
    // Bytes above 0x7F (Shift-JIS lead bytes, full-width digits) are neither space nor digits.
    EXPECT_EQ(LeadingInteger("\x82\x50\x82\x51"), 0);
    EXPECT_EQ(LeadingInteger("\xA0" "5"), 0);
}

TEST(TrackNumberFromText, TakesTheLowSixteenBitsOfTheHeldValue) {
    EXPECT_EQ(TrackNumberFromText("3/12"), 3);
    EXPECT_EQ(TrackNumberFromText("70000"), 4464);
    EXPECT_EQ(TrackNumberFromText("65535"), 65535);
    EXPECT_EQ(TrackNumberFromText("65536"), 0);
    EXPECT_EQ(TrackNumberFromText("+65537"), 1);
    EXPECT_EQ(TrackNumberFromText("-1"), 0xFFFF);
    EXPECT_EQ(TrackNumberFromText("-5"), 0xFFFB);
    EXPECT_EQ(TrackNumberFromText("2147483648"), 0xFFFF) << "held to 2^31 - 1 first";
    EXPECT_EQ(TrackNumberFromText("99999999999"), 0xFFFF);
    EXPECT_EQ(TrackNumberFromText("-2147483649"), 0) << "held to -2^31 first";
    EXPECT_EQ(TrackNumberFromText("-99999999999"), 0);
    EXPECT_EQ(TrackNumberFromText(std::string(300, '8').c_str()), 0xFFFF);
    EXPECT_EQ(TrackNumberFromText(nullptr), 0);
    EXPECT_EQ(TrackNumberFromText(""), 0);
}

}  // namespace
