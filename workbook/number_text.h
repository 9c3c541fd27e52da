// The text of a number cell: the general format with 15 significant digits.
//
// The value is first rounded to 18 significant digits of its exact decimal
// expansion (ties to even), then to 15 (half up), trailing zeros dropped.
// Decimal exponents -3..15 (value = 0.d1d2.. x 10^E) are written in fixed
// form, others in scientific form ("1E15", "2,5E-10"); no thousands separator.
// The decimal separator is one process-wide value, read once from the user's
// LC_NUMERIC; formatting neither allocates nor consults the locale.
#pragma once

#include <cstddef>
#include <string>

namespace gridport {

// Enough for the longest number text ("-1,23456789012345E-308" is 22).
inline constexpr std::size_t kNumberTextCapacity = 32;

// Writes the text of value into buffer (at least kNumberTextCapacity code
// units) and returns the number of code units written. No terminator.
std::size_t FormatNumberText(double value, char16_t* buffer);

// The same, always through the exact 18-digit expansion (FormatNumberText
// takes two shortcuts: decimals that a few exact multiplications by ten
// turn into an integer below 10^15, then values whose shortest text has at
// most 15 digits); for cross-checks.
std::size_t FormatNumberTextExact(double value, char16_t* buffer);

// FormatNumberText as 8-bit text with the given ASCII separator, for writers
// of 8-bit files: buffer holds at least kNumberTextCapacity bytes.
std::size_t FormatNumberTextAscii(double value, char separator, char* buffer);

// The same as a string (allocates; for callers off the hot path).
std::u16string NumberText(double value);

// The process-wide decimal separator. The first call reads it from the
// environment's LC_NUMERIC (LC_ALL, LC_NUMERIC, LANG): "," under ru_RU,
// "." under C; the process's own C locale is not changed.
char16_t DecimalSeparator();
// Replaces the process-wide decimal separator (tests, settings).
void SetDecimalSeparator(char16_t separator);
// The decimal separator of a named locale ("" = the environment's), or "."
// when that locale does not exist or its separator is not one UTF-16 unit.
char16_t DecimalSeparatorOfLocale(const char* localeName);

}  // namespace gridport
