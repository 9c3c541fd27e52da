// Decimal digits and capitals eight bytes at a time, for the number and reference parsers of
// the cell path. A text's bytes are loaded into one 64-bit word (first byte lowest); per-byte
// tests are done with masks instead of a loop whose exit depends on every byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "workbook/byte_view.h"

namespace gridport::xml_digits {

inline constexpr std::uint64_t kOnes = 0x0101010101010101u;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// The first min(count, 8) bytes at p as a word, zero bytes above them. Reads nothing at or
// beyond p + count: short texts are put together from two overlapping loads inside them.
inline std::uint64_t LoadUpTo8(const char* p, std::size_t count) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(p);
  if (count >= 8) return GetU64(b);
  if (count >= 4) {
    const std::uint64_t low = GetU32(b);
    const std::uint64_t high = GetU32(b + count - 4);
    return low | (high << (8 * (count - 4)));  // the overlapping bytes are the same on both sides
  }
  if (count == 0) return 0;
  const std::size_t mid = count / 2;
  return std::uint64_t{b[0]} | (std::uint64_t{b[mid]} << (8 * mid)) |
         (std::uint64_t{b[count - 1]} << (8 * (count - 1)));
}

// High bit of each byte of x set when that byte is above limit (limit < 128).
constexpr std::uint64_t BytesAbove(std::uint64_t x, unsigned limit) {
  return ((((x & ~kHighBits) + kOnes * (0x7Fu - limit)) | x) & kHighBits);
}

// High bit set for each byte that is not 0..9 in digits = word ^ '0' per byte.
constexpr std::uint64_t NonDigits(std::uint64_t digits) { return BytesAbove(digits, 9); }

// Number of bytes before the first byte whose high bit is set in mask (8 when none is).
constexpr unsigned LeadingClear(std::uint64_t mask) {
  return mask == 0 ? 8u : static_cast<unsigned>(__builtin_ctzll(mask)) >> 3;
}

// The number written by the first count digit values (0..9, one per byte, the first byte the
// most significant) of digits; count 1..8.
constexpr std::uint32_t DigitsValue(std::uint64_t digits, unsigned count) {
  std::uint64_t v = digits << (64 - 8 * count);  // the digits at the top, zeros in front of them
  v = v * 10 + (v >> 8);                            // pairs of digits in every other byte
  v = (((v & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
       (((v >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
      32;
  return static_cast<std::uint32_t>(v);
}

inline constexpr std::uint64_t kPow10[] = {1,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000};

// Reads the run of digits at s[i..n), eight at a time, into value (value * 10^k + digits,
// wrapping for long runs) and returns the number of digits read; i stays below or at n.
inline std::size_t ReadDigits(const char* s, std::size_t i, std::size_t n, std::uint64_t& value) {
  const std::size_t start = i;
  for (;;) {
    const std::uint64_t digits = LoadUpTo8(s + i, n - i) ^ (kOnes * '0');
    const unsigned count = LeadingClear(NonDigits(digits));  // the zeros past n are no digits
    if (count == 0) break;
    value = value * kPow10[count] + DigitsValue(digits, count);
    i += count;
    if (count < 8) break;
  }
  return i - start;
}

}  // namespace gridport::xml_digits
