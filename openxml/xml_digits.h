// Cell references and numbers of the cell path read eight bytes at a time. The byte loops of
// ParseXMLCellRef and ParseXMLFloat end where the digits end, a branch that depends on every
// text; here the digits are found with byte masks and combined with three multiplications.
// The parsers read kXMLWordReadSize bytes from a text's start, past its end: the caller
// guarantees that they lie in the part's buffer. Results are exactly those of the byte loops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "openxml/xml_tag.h"
#include "openxml/xml_text.h"
#include "workbook/byte_view.h"

namespace gridport {

// Up to three capitals and eight bytes of digits, or a sign, seven digits, a point and eight
// bytes of digits.
inline constexpr std::ptrdiff_t kXMLWordReadSize = 17;

namespace xml_digits {

inline constexpr std::uint64_t kOnes = 0x0101010101010101u;

// The eight bytes at p less '0' each: digits become 0..9 up to the first byte that is none.
inline std::uint64_t DigitWord(const char* p) {
  return GetU64(reinterpret_cast<const std::uint8_t*>(p)) - kOnes * '0';
}

// Number of leading bytes of a DigitWord that are digits (0..8). A byte below '0' borrows
// from the bytes after it, which are not looked at.
inline unsigned LeadingDigits(std::uint64_t word) {
  const std::uint64_t stops = ((word + kOnes * 0x76) | word) & (kOnes * 0x80);
  return stops == 0 ? 8u : static_cast<unsigned>(__builtin_ctzll(stops)) >> 3;
}

// The number the first count (1..8) digits of a DigitWord write.
inline std::uint32_t DigitsValue(std::uint64_t word, unsigned count) {
  std::uint64_t v = word << (64 - 8 * count);  // the digits at the top, zeros in front of them
  v = v * 10 + (v >> 8);
  v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
  v = ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
  return static_cast<std::uint32_t>(v);
}

}  // namespace xml_digits

// ParseXMLCellRef for a reference whose buffer holds kXMLWordReadSize bytes from its start.
inline TXMLCellRef ParseXMLCellRefWord(std::string_view ref) {
  using namespace xml_digits;
  const char* s = ref.data();
  const std::size_t n = ref.size();
  std::size_t letters = 0;
  std::int32_t col = 0;
  for (unsigned letter; letters < n && letters < 3 && (letter = static_cast<unsigned char>(s[letters]) - unsigned{'A'}) < 26; ++letters)
    col = col * 26 + static_cast<std::int32_t>(letter) + 1;
  const std::size_t count = n - letters;
  if (letters > 0 && count >= 1 && count <= 7) {
    const std::uint64_t word = DigitWord(s + letters);
    if (LeadingDigits(word) >= count)
      return {col - 1, static_cast<std::int32_t>(DigitsValue(word, static_cast<unsigned>(count))) - 1};
  }
  return ParseXMLCellRef(ref);
}

// ParseXMLFloat for a text whose buffer holds kXMLWordReadSize bytes from its start: the
// decimals of at most eight digits before and eight after the point.
inline bool ParseXMLFloatWord(std::string_view text, double& result) {
  using namespace xml_digits;
  static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  static constexpr std::uint64_t kIntPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
  const char* s = text.data();
  const std::size_t n = text.size();
  const std::size_t sign = n > 0 && s[0] == '-' ? 1 : 0;
  const std::size_t rest = n - sign;
  const std::uint64_t word = DigitWord(s + sign);
  const unsigned digits = LeadingDigits(word);
  if (rest >= 1 && rest <= 8 && digits >= rest) {
    const double value = static_cast<double>(DigitsValue(word, static_cast<unsigned>(rest)));
    result = sign != 0 ? -value : value;
    return true;
  }
  // A point after at most seven digits, then one to eight digits up to the end.
  if (digits < rest && digits < 8 && s[sign + digits] == '.') {
    const std::size_t fraction = rest - digits - 1;
    const std::uint64_t fraction_word = DigitWord(s + sign + digits + 1);
    if (fraction >= 1 && fraction <= 8 && LeadingDigits(fraction_word) >= fraction) {
      const std::uint64_t whole = digits > 0 ? DigitsValue(word, digits) : 0;
      // At most 15 digits: the integer and the power of ten are exact, the quotient correctly
      // rounded, as in ParseXMLFloat.
      const std::uint64_t mantissa = whole * kIntPow10[fraction] + DigitsValue(fraction_word, static_cast<unsigned>(fraction));
      const double value = static_cast<double>(mantissa) / kPow10[fraction];
      result = sign != 0 ? -value : value;
      return true;
    }
  }
  return ParseXMLFloat(text, result);
}

}  // namespace gridport
