#include "workbook/number_text.h"

#include <charconv>
#include <cmath>
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

std::size_t WriteAscii(char16_t* out, const char* text) {
  std::size_t n = 0;
  while (text[n] != 0) {
    out[n] = static_cast<char16_t>(text[n]);
    ++n;
  }
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

std::size_t Format(double value, char16_t* out, bool shortcut) {
  if (value == 0) return WriteAscii(out, "0");  // also -0
  if (std::isnan(value)) return WriteAscii(out, "NAN");
  if (std::isinf(value)) return WriteAscii(out, value < 0 ? "-INF" : "INF");

  // The digits: d1..d(count) and the decimal exponent of d1.
  char digits[18];
  int count = 0;
  int exponent10 = 0;
  char text[40];
  const double magnitude = std::fabs(value);

  // Fast path: the shortest text that reads back as the value. When it has
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
  const char16_t separator = DecimalSeparator();
  std::size_t n = 0;
  if (value < 0) out[n++] = u'-';
  if (e > 15 || e < -3) {
    out[n++] = static_cast<char16_t>(digits[0]);
    if (count > 1) {
      out[n++] = separator;
      for (int i = 1; i < count; ++i) out[n++] = static_cast<char16_t>(digits[i]);
    }
    out[n++] = u'E';
    int shown = e - 1;
    if (shown < 0) {
      out[n++] = u'-';
      shown = -shown;
    }
    char exponentDigits[8];
    const auto written = std::to_chars(exponentDigits, exponentDigits + sizeof exponentDigits, shown);
    for (const char* p = exponentDigits; p != written.ptr; ++p) out[n++] = static_cast<char16_t>(*p);
  } else if (e <= 0) {
    out[n++] = u'0';
    out[n++] = separator;
    for (int i = 0; i < -e; ++i) out[n++] = u'0';
    for (int i = 0; i < count; ++i) out[n++] = static_cast<char16_t>(digits[i]);
  } else {
    for (int i = 0; i < e; ++i) out[n++] = i < count ? static_cast<char16_t>(digits[i]) : u'0';
    if (count > e) {
      out[n++] = separator;
      for (int i = e; i < count; ++i) out[n++] = static_cast<char16_t>(digits[i]);
    }
  }
  return n;
}

}  // namespace

std::size_t FormatNumberText(double value, char16_t* buffer) { return Format(value, buffer, true); }
std::size_t FormatNumberTextExact(double value, char16_t* buffer) { return Format(value, buffer, false); }

std::u16string NumberText(double value) {
  char16_t buffer[kNumberTextCapacity];
  return std::u16string(buffer, FormatNumberText(value, buffer));
}

}  // namespace gridport
