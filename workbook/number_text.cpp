#include "workbook/number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <langinfo.h>
#include <locale.h>

namespace gridport {
namespace {

char16_t& SeparatorSlot() {
  static char16_t separator = DecimalSeparatorOfLocale("");
  return separator;
}

// Decodes a locale's radix string (in the locale's encoding, normally UTF-8)
// into one UTF-16 code unit; anything longer or malformed gives '.'.
char16_t DecodeRadix(const char* radix) {
  const auto* s = reinterpret_cast<const unsigned char*>(radix);
  if (s == nullptr || s[0] == 0) return u'.';
  if (s[0] < 0x80) return s[1] == 0 ? static_cast<char16_t>(s[0]) : u'.';
  if ((s[0] & 0xE0) == 0xC0 && (s[1] & 0xC0) == 0x80 && s[2] == 0)
    return static_cast<char16_t>(((s[0] & 0x1F) << 6) | (s[1] & 0x3F));
  if ((s[0] & 0xF0) == 0xE0 && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80 && s[3] == 0)
    return static_cast<char16_t>(((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
  return u'.';
}

template <typename Char>
std::size_t WriteAscii(Char* out, const char* text) {
  std::size_t n = 0;
  while (text[n] != 0) {
    out[n] = static_cast<Char>(text[n]);
    ++n;
  }
  return n;
}

// Powers of ten up to 10^19, all exact as doubles (exact up to 10^22).
constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                              1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
constexpr double kPlainLimit = 1e15;

// The same powers as integers, for counting digits.
constexpr std::uint64_t kIntegerPowers[] = {1ull,
                                            10ull,
                                            100ull,
                                            1000ull,
                                            10000ull,
                                            100000ull,
                                            1000000ull,
                                            10000000ull,
                                            100000000ull,
                                            1000000000ull,
                                            10000000000ull,
                                            100000000000ull,
                                            1000000000000ull,
                                            10000000000000ull,
                                            100000000000000ull,
                                            1000000000000000ull,
                                            10000000000000000ull};

// "00" to "99": two digits per table step halve the divisions.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Decimal digits of 0 < v < 10^16: the bit width gives log10 to within one
// (1233 / 4096 is just above log10(2)), one comparison settles it.
int DigitCount(std::uint64_t v) {
  const int guess = (std::bit_width(v) * 1233) >> 12;
  return guess + (v >= kIntegerPowers[guess] ? 1 : 0);
}

// Writes the lowest `count` decimal digits of v, zero-padded, ending just
// before end; returns v without them. Values of up to 8 digits come as
// std::uint32_t: 32-bit divisions by 100 become shorter multiplications.
template <typename UInt, typename Char>
UInt PutLowDigits(UInt v, int count, Char* end) {
  for (; count >= 2; count -= 2) {
    const auto pair = static_cast<std::size_t>(v % 100) * 2;
    v /= 100;
    end -= 2;
    end[0] = static_cast<Char>(kDigitPairs[pair]);
    end[1] = static_cast<Char>(kDigitPairs[pair + 1]);
  }
  if (count != 0) {
    *--end = static_cast<Char>('0' + v % 10);
    v /= 10;
  }
  return v;
}

// Writes the `count` digits of v < 10^count (count at most 15), ending just
// before end. Beyond 8 digits the low 8 and the rest are two independent
// chains of divisions, which the processor overlaps.
template <typename Char>
void PutWhole(std::uint64_t v, int count, Char* end) {
  if (count <= 8) {
    PutLowDigits(static_cast<std::uint32_t>(v), count, end);
    return;
  }
  const std::uint64_t high = v / 100000000;  // below 10^7
  PutLowDigits(static_cast<std::uint32_t>(v - high * 100000000), 8, end);
  PutLowDigits(static_cast<std::uint32_t>(high), count - 8, end - 8);
}

// The first tier, for the integers and the decimals of few digits most cells
// hold (counts, prices, serial dates): when value x 10^k is an integer m
// below 10^15 for some k, the value lies within 2^-53 (relative) of
// m / 10^k, far closer than half a step of the 15-digit grid (5 x 10^-16),
// so both roundings of the general format end on m / 10^k, and
// 1E-4 <= |value| < 1E15 is exactly the range the fixed form covers.
// Returns 0 for any other value.
template <typename Char>
std::size_t FormatPlain(double value, Char separator, Char* out) {
  const double magnitude = std::fabs(value);
  if (!(magnitude >= 1e-4 && magnitude < kPlainLimit)) return 0;  // NaN fails too
  std::uint64_t mantissa = 0;
  int fraction = -1;  // decimal places
  for (int k = 0; k < static_cast<int>(sizeof kPowers / sizeof kPowers[0]); ++k) {
    const double scaled = magnitude * kPowers[k];
    if (scaled >= kPlainLimit) return 0;
    // Below 10^15 the conversion is exact for integers, so a round trip
    // tells an integer apart (and costs no call to floor). Signed, because
    // the processor converts signed 64-bit integers in one instruction.
    const auto whole = static_cast<std::int64_t>(scaled);
    if (static_cast<double>(whole) == scaled) {
      mantissa = static_cast<std::uint64_t>(whole);
      fraction = k;
      break;
    }
  }
  if (fraction < 0) return 0;
  while (fraction > 0 && mantissa % 10 == 0) {  // trailing zeros are not written
    mantissa /= 10;
    --fraction;
  }
  // Digits go straight to their places: the fraction's from the end, then the
  // integer part's ("0" when the value is below 1).
  const int digits = DigitCount(mantissa);
  const int whole_digits = digits > fraction ? digits - fraction : 1;
  std::size_t n = value < 0 ? 1 : 0;
  out[0] = static_cast<Char>('-');  // overwritten by a digit when positive
  n += static_cast<std::size_t>(whole_digits);
  if (fraction > 0) {
    const std::size_t end = n + 1 + static_cast<std::size_t>(fraction);
    mantissa = PutLowDigits(mantissa, fraction, out + end);
    out[n] = separator;
    PutWhole(mantissa, whole_digits, out + n);
    return end;
  }
  PutWhole(mantissa, whole_digits, out + n);
  return n;
}

// "+dd", "-dd" or "-ddd" as to_chars writes exponents.
int ParseExponent(const char* p, const char* end) {
  const bool negative = *p == '-';
  int value = 0;
  for (++p; p < end; ++p) value = value * 10 + (*p - '0');
  return negative ? -value : value;
}

}  // namespace

char16_t DecimalSeparatorOfLocale(const char* localeName) {
  locale_t locale = newlocale(LC_NUMERIC_MASK, localeName, static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return u'.';
  char16_t separator = DecodeRadix(nl_langinfo_l(RADIXCHAR, locale));
  freelocale(locale);
  return separator;
}

char16_t DecimalSeparator() { return SeparatorSlot(); }
void SetDecimalSeparator(char16_t separator) { SeparatorSlot() = separator; }

namespace {

template <typename Char>
std::size_t Format(double value, Char separator, Char* out, bool shortcut) {
  if (shortcut) {
    if (const std::size_t n = FormatPlain(value, separator, out); n != 0) return n;
  }
  if (value == 0) return WriteAscii(out, "0");  // also -0
  if (std::isnan(value)) return WriteAscii(out, "NAN");
  if (std::isinf(value)) return WriteAscii(out, value < 0 ? "-INF" : "INF");

  // The digits: d1..d(count) and the decimal exponent of d1.
  char digits[18];
  int count = 0;
  int exponent10 = 0;
  char text[40];
  const double magnitude = std::fabs(value);

  // Second tier: the shortest text that reads back as the value. When it has
  // at most 15 digits it is also the two-step result: the exact value lies
  // within half an ulp (< 0.12 units of the 15th digit) of that 15-digit
  // number, so neither rounding can move away from it. Subnormal values
  // have fewer bits and always take the exact path.
  const char* mantissa = text;
  std::to_chars_result shortest{text, {}};
  if (shortcut && magnitude >= std::numeric_limits<double>::min()) {
    shortest = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
    for (; *mantissa != 'e'; ++mantissa)
      if (*mantissa != '.') digits[count++] = *mantissa;
  } else {
    count = 16;  // take the exact path
  }
  if (count <= 15) {
    exponent10 = ParseExponent(mantissa + 1, shortest.ptr);
  } else {
    // Exact decimal expansion rounded to 18 significant digits (ties to
    // even): "d.ddddddddddddddddde[+-]xx".
    const auto exact = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 17);
    digits[0] = text[0];
    std::memcpy(digits + 1, text + 2, 17);
    exponent10 = ParseExponent(text + 20, exact.ptr);  // after "e"

    // 18 digits to 15, half up on the 16th digit.
    count = 15;
    if (digits[15] >= '5') {
      int i = 14;
      while (i >= 0 && digits[i] == '9') digits[i--] = '0';
      if (i >= 0) {
        ++digits[i];
      } else {  // 999...9 carried out: 1000...0 one decade up
        digits[0] = '1';
        ++exponent10;
      }
    }
  }
  while (count > 1 && digits[count - 1] == '0') --count;

  const int e = exponent10 + 1;  // value = 0.d1d2..dn x 10^e
  std::size_t n = 0;
  if (value < 0) out[n++] = static_cast<Char>('-');
  if (e > 15 || e < -3) {
    out[n++] = static_cast<Char>(digits[0]);
    if (count > 1) {
      out[n++] = separator;
      for (int i = 1; i < count; ++i) out[n++] = static_cast<Char>(digits[i]);
    }
    out[n++] = static_cast<Char>('E');
    int shown = e - 1;
    if (shown < 0) {
      out[n++] = static_cast<Char>('-');
      shown = -shown;
    }
    char exponentDigits[8];
    const auto written = std::to_chars(exponentDigits, exponentDigits + sizeof exponentDigits, shown);
    for (const char* p = exponentDigits; p != written.ptr; ++p) out[n++] = static_cast<Char>(*p);
  } else if (e <= 0) {
    out[n++] = static_cast<Char>('0');
    out[n++] = separator;
    for (int i = 0; i < -e; ++i) out[n++] = static_cast<Char>('0');
    for (int i = 0; i < count; ++i) out[n++] = static_cast<Char>(digits[i]);
  } else {
    for (int i = 0; i < e; ++i) out[n++] = i < count ? static_cast<Char>(digits[i]) : static_cast<Char>('0');
    if (count > e) {
      out[n++] = separator;
      for (int i = e; i < count; ++i) out[n++] = static_cast<Char>(digits[i]);
    }
  }
  return n;
}

}  // namespace

std::size_t FormatNumberText(double value, char16_t* buffer) {
  return Format(value, DecimalSeparator(), buffer, true);
}
std::size_t FormatNumberTextExact(double value, char16_t* buffer) {
  return Format(value, DecimalSeparator(), buffer, false);
}
std::size_t FormatNumberTextAscii(double value, char separator, char* buffer) {
  return Format(value, separator, buffer, true);
}

std::u16string NumberText(double value) {
  char16_t buffer[kNumberTextCapacity];
  return std::u16string(buffer, FormatNumberText(value, buffer));
}

}  // namespace gridport
