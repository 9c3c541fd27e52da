// A fast path of the number text for the sheet export.
//
// Most numbers in workbooks are decimals of few digits (counts, prices,
// serial dates). For those, one or a few exact double multiplications show
// the digits, and the text equals FormatNumberText's (general format with 15
// significant digits) without its full 18-digit rounding: when value x 10^k
// rounds to an integer m below 10^15, the value lies within 2^-53 (relative)
// of m / 10^k, far closer than half a step of the 15-digit grid (5 x 10^-16),
// so both roundings end on m / 10^k. Other values are left to
// FormatNumberText.
#pragma once

#include <cstddef>

namespace gridport {

inline constexpr std::size_t kPlainNumberCapacity = 40;

// Writes the text of `value` with `separator` (an ASCII character) into `out`
// (kPlainNumberCapacity bytes) and returns its length, when
// 1E-4 <= |value| < 1E15 and value x 10^k is an integer below 10^15 for some
// k; otherwise returns 0 and writes nothing useful.
std::size_t FormatPlainNumber(double value, char separator, char* out);

}  // namespace gridport
