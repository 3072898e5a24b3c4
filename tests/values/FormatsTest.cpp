// The fixed(n) format on its awkward inputs: float conversion, halves, zero and coarse floats.
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
    // 0.1 + 0.2 is 0.30000000000000004 in double and 0.30000001 as a float.
    EXPECT_EQ(FormatFixed(0.1 + 0.2, 2), "0.30");
    // Beyond 2^24 a float is coarse: 16777217 becomes 16777216.
    EXPECT_EQ(FormatFixed(16777217.0, 1), "16777216.0");
}

} // namespace
} // namespace velmoro
