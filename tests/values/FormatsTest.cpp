// The number formats and rounding rules, including their awkward inputs.
#include "values/Formats.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

TEST(Formats, FixedRoundsTheSinglePrecisionValue)
{
    EXPECT_EQ(FormatFixed(501.0 / 200, 2), "2.51"); // float 2.5050001
    EXPECT_EQ(FormatFixed(500.0 / 200, 2), "2.50");
    EXPECT_EQ(FormatFixed(-100.0 / 10, 2), "-10.00");
    EXPECT_EQ(FormatFixed(0.0, 1), "0.0");
    EXPECT_EQ(FormatFixed(-0.04, 1), "0.0"); // rounds to zero: no "-0.0"
    EXPECT_EQ(FormatFixed(0.05, 3), "0.050");
    EXPECT_EQ(FormatFixed(12345.0 / 1000, 1), "12.3");
    EXPECT_EQ(FormatFixed(0.125, 2), "0.13"); // an exact float half goes away from zero
    EXPECT_EQ(FormatFixed(-0.125, 2), "-0.13");
    EXPECT_EQ(FormatFixed(3.0, 0), "3");
    // 0.1 + 0.2 in double is 0.30000000000000004, as a float 0.3 exactly-ish: no "0.31".
    EXPECT_EQ(FormatFixed(0.1 + 0.2, 2), "0.30");
    // Beyond 2^24 a float is coarse: 16777217 becomes 16777216.
    EXPECT_EQ(FormatFixed(16777217.0, 1), "16777216.0");
}

TEST(Formats, IntegersBinaryAndRounding)
{
    EXPECT_EQ(FormatInt(-40), "-40");
    EXPECT_EQ(FormatInt(0), "0");
    EXPECT_EQ(FormatInt(65436), "65436");
    EXPECT_EQ(FormatBin8(5), "00000101");
    EXPECT_EQ(FormatBin8(0), "00000000");
    EXPECT_EQ(FormatBin8(0x81), "10000001");

    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(4995.1171875), 4995);
    EXPECT_EQ(RoundHalfEven(4.8828125), 5);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfAwayFromZero(2.5), 3);
    EXPECT_EQ(RoundHalfAwayFromZero(-2.5), -3);
    EXPECT_EQ(RoundHalfAwayFromZero(19.46), 19);
}

} // namespace
} // namespace velmoro
