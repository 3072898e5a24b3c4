// Number formats and rounding rules shared by the measured-value readers of both families.
#pragma once

#include <QString>
#include <cstdint>

namespace velmoro {

// Decimal text, "-" before negative numbers, no grouping: -40 -> "-40".
QString FormatInt(std::int64_t value);

// The value is first converted to single precision, then written with exactly `decimals` digits
// after a point, rounded to the nearest such decimal (an exact half of that float rounds away
// from zero): 501.0 / 200 -> float 2.5050001 -> "2.51"; 12.345 with 1 -> "12.3".
QString FormatFixed(double value, int decimals);

// Binary digits, most significant first, padded on the left to eight: 5 -> "00000101".
QString FormatBin8(std::uint32_t value);

// Nearest integer, ties to the even one: 2.5 -> 2, 3.5 -> 4 (millivolt scaling by 4.8828125).
std::int32_t RoundHalfEven(double value);

// Nearest integer, halves away from zero: 2.5 -> 3, -2.5 -> -3 (smoothed engine speed).
std::int32_t RoundHalfAwayFromZero(double value);

// "0x" + upper-case hex of the low 16 bits without leading zeros + " (" + decimal + ")":
// -1 -> "0xFFFF (-1)", 70000 -> "0x1170 (70000)", 0 -> "0x0 (0)".
QString RawValueText(std::int32_t rawValue);

} // namespace velmoro
