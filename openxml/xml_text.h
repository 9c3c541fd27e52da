// Decoding of element text and attribute values, and the number conversions of the typed
// accessors. Raw texts are the bytes of the part; decoding happens only when a handler asks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gridport {

// Decodes raw bytes as UTF-8 (an invalid sequence gives U+FFFD per byte) and replaces, in one
// pass, character references (decimal "&#10;" of any length, hexadecimal "&#xA;"), the XML
// entities &quot; &amp; &lt; &gt; &apos;, &nbsp; (a plain space) and the HTML names of the
// Latin-1 characters 161-255. Any other ampersand stays as it is. Line ends are read as XML
// defines them: CR LF and a lone CR give LF.
std::u16string DecodeXMLText(std::string_view raw);
// The same, appended to out.
void AppendDecodedXMLText(std::string_view raw, std::u16string& out);

// Replaces the escapes "_xHHHH_" (four hexadecimal digits) by their character, the way
// spreadsheet writers store control characters; "_x005F_" stands for the underscore itself.
void DecodeEscapedUnderscores(std::u16string& text);

// The whole text as a signed decimal 32-bit integer (optional sign); nothing when it is not one.
std::optional<std::int32_t> ParseXMLInt(std::string_view text);
// The whole text as a number with "." as decimal separator; nothing when it is not one.
std::optional<double> ParseXMLFloat(std::string_view text);
// The same for hot paths: false, with value untouched, when the text is not a number.
bool ParseXMLInt(std::string_view text, std::int32_t& value);
// Every text ParseXMLFloat does not read itself (signs written "+", exponents, long digits).
bool ParseXMLFloatGeneral(std::string_view text, double& value);

// Inline: it is called for every number cell of a sheet.
inline bool ParseXMLFloat(std::string_view text, double& result) {
  // Most cell values are plain decimals whose digits, without the point, make an integer of at
  // most 2^53 (every one of up to 15 digits, and most of the 16-digit values writers give for
  // binary fractions, such as 8211.897300000001): that integer and the power of ten (up to
  // 10^22) it is divided by are exact doubles, so one division gives the correctly rounded
  // result.
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;
  const char* s = text.data();
  const std::size_t n = text.size();
  std::size_t i = n > 0 && s[0] == '-' ? 1 : 0;
  const bool negative = i == 1;
  // The digits are read one by one, as nothing past the text may be read here; where the
  // bytes after a text are known to be readable, ParseXMLFloatWord (xml_digits.h) reads them
  // eight at a time.
  std::uint64_t mantissa = 0;  // wraps for inputs of 20 digits and more, not taken from here
  const std::size_t int_start = i;
  for (unsigned digit; i < n && (digit = static_cast<unsigned char>(s[i]) - unsigned{'0'}) <= 9; ++i)
    mantissa = mantissa * 10 + digit;
  std::size_t digits = i - int_start;
  std::size_t fraction = 0;
  bool point = false;
  if (i < n && s[i] == '.') {
    point = true;
    const std::size_t fraction_start = ++i;
    for (unsigned digit; i < n && (digit = static_cast<unsigned char>(s[i]) - unsigned{'0'}) <= 9; ++i)
      mantissa = mantissa * 10 + digit;
    fraction = i - fraction_start;
    digits += fraction;
  }
  // Up to 19 digits the mantissa has not wrapped.
  if (i == n && digits > 0 && digits <= 19 && mantissa <= kExactLimit && fraction <= 22 &&
      (!point || fraction > 0)) {
    double value = static_cast<double>(mantissa);
    if (fraction > 0) value /= kPow10[fraction];
    result = negative ? -value : value;
    return true;
  }
  return ParseXMLFloatGeneral(text, result);
}

}  // namespace gridport
