// Decoding of raw text: UTF-8, character references and entities, underscore escapes, numbers.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "openxml/xml_digits.h"
#include "openxml/xml_text.h"

namespace gridport {
namespace {

TEST(XMLText, DecodingTable) {
  struct {
    const char* raw;
    std::u16string decoded;
  } const cases[] = {
      {"&amp;lt;", u"&lt;"},  // one pass: the replacement is not examined again
      {"&#065;", u"A"},
      {"a&#10;b", u"a\nb"},  // short decimal reference eats nothing after it
      {"&#xA;&#x41;&#X42;", u"\nAB"},
      {"&quot;&amp;&lt;&gt;&apos;&nbsp;", u"\"&<>' "},
      {"&iexcl;&copy;&yuml;&AElig;", u"\u00A1\u00A9\u00FF\u00C6"},
      {"\xD0\x9F\xD1\x80\xD0\xB8", u"\u041F\u0440\u0438"},  // Cyrillic
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"&#128512;", u"\U0001F600"},
      {"a & b &unknown; &#xZZ; &#; &#0; &#1114112; &#55296;", u"a & b &unknown; &#xZZ; &#; &#0; &#1114112; &#55296;"},
      {"&amp", u"&amp"},
      {"\xFF\xC3(x\xE2\x82", u"\uFFFD\uFFFD(x\uFFFD\uFFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate is not a character
      {"a\r\nb\rc\nd&#13;", u"a\nb\nc\nd\r"},         // XML line ends; a reference keeps CR
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeXMLText(c.raw), c.decoded) << c.raw;
}

TEST(XMLText, UnderscoreEscapes) {
  struct {
    std::u16string in, out;
  } const cases[] = {
      {u"a_x000D_b", u"a\rb"},
      {u"_x005F_x000D_", u"_x000D_"},
      {u"_x00e9_", u"\u00E9"},
      {u"_x12_ _xZZZZ_ _x0041", u"_x12_ _xZZZZ_ _x0041"},
  };
  for (auto c : cases) {
    std::u16string s = c.in;
    DecodeEscapedUnderscores(s);
    EXPECT_EQ(s, c.out);
  }
}

TEST(XMLText, Numbers) {
  EXPECT_EQ(ParseXMLInt("42"), 42);
  EXPECT_EQ(ParseXMLInt("-7"), -7);
  EXPECT_EQ(ParseXMLInt("+7"), 7);
  EXPECT_FALSE(ParseXMLInt(""));
  EXPECT_FALSE(ParseXMLInt("1.5"));
  EXPECT_FALSE(ParseXMLInt("99999999999"));
  EXPECT_FALSE(ParseXMLInt(" 1"));
  EXPECT_EQ(ParseXMLFloat("1.5E-3"), 0.0015);
  EXPECT_EQ(ParseXMLFloat("-12"), -12.0);
  EXPECT_FALSE(ParseXMLFloat("1,5"));
  EXPECT_FALSE(ParseXMLFloat(""));
}

// What the parsers must give: std::from_chars over the whole text, after one optional "+".
bool ReferenceFloat(std::string_view text, double& value) {
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '-') return false;
  }
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ReferenceInt(std::string_view text, std::int32_t& value) {
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '-') return false;
  }
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

// Each text is parsed from a heap block of exactly its size, so that AddressSanitizer reports
// any byte read past its end; the word-wise parser, which may read past it, from a copy
// followed by more digits.
void ExpectSameAsReference(const std::string& text) {
  std::unique_ptr<char[]> exact(new char[text.size()]);
  std::memcpy(exact.get(), text.data(), text.size());
  const std::string_view view(exact.get(), text.size());

  double expected = -1, got = -1;
  const bool expected_ok = ReferenceFloat(text, expected);
  ASSERT_EQ(ParseXMLFloat(view, got), expected_ok) << '"' << text << '"';
  if (expected_ok) {
    std::uint64_t a, b;
    std::memcpy(&a, &expected, 8);
    std::memcpy(&b, &got, 8);
    ASSERT_EQ(a, b) << '"' << text << "\": " << expected << " vs " << got;
  } else {
    ASSERT_EQ(got, -1) << "value changed on failure: \"" << text << '"';
  }

  // The word-wise reading, with digits after the text that would continue the number.
  const std::string followed = text + std::string(kXMLWordReadSize, '9');
  double word = -1;
  ASSERT_EQ(ParseXMLFloatWord(std::string_view(followed).substr(0, text.size()), word), expected_ok)
      << '"' << text << '"';
  ASSERT_EQ(std::memcmp(&word, expected_ok ? &expected : &got, 8), 0) << '"' << text << "\": " << word;

  std::int32_t expected_int = -1, got_int = -1;
  const bool int_ok = ReferenceInt(text, expected_int);
  ASSERT_EQ(ParseXMLInt(view, got_int), int_ok) << '"' << text << '"';
  ASSERT_EQ(got_int, int_ok ? expected_int : -1) << '"' << text << '"';
}

TEST(XMLText, NumberBoundaries) {
  const char* const cases[] = {
      "", "-", "+", ".", "-.", "+-1", "--1", "1.", "-1.", ".5", "-.5", "0", "-0", "-0.0", "00000000",
      "12345678", "123456789", "1234567890", "2147483647", "2147483648", "-2147483648", "-2147483649",
      "999999999999999", "9999999999999999", "99999999.9999999", "0.000000000000001", "0.0000000000000001",
      "1234567.12345678", "12345678.1234567", "123456789012345.", "000000000000000000001.5",
      "1.00000000000000000000", "249523", "-6498.9897", "1e5", "1E-3", "1.5e+300", "1e400", "1e-400",
      "9007199254740992", "9007199254740993", "-9007199254740.993", "0.9007199254740993",
      "9007199254740992.0", "8211.897300000001", "-526.4871000000001", "18446744073709551615",
      "18446744073709551616", "1234567890123456789", "0.0000000000000000000001", "0.00000000000000000000001",
      "1 ", " 1", "1,5", "1.5.5", "1-", "12345678x", "1234567x8", "x", "inf", "nan", "0x10", "1e", "1.e5",
  };
  for (const char* c : cases) ExpectSameAsReference(c);
  // Bytes right after the text that would continue the number must not be taken.
  for (const char* c : {"12345", "-98.76", "1234567"}) {
    const std::string padded = std::string(c) + "999999999";
    double value = 0;
    ASSERT_TRUE(ParseXMLFloat(std::string_view(padded).substr(0, std::strlen(c)), value));
    double expected = 0;
    ASSERT_TRUE(ReferenceFloat(c, expected));
    EXPECT_EQ(value, expected) << c;
  }
}

// A fixed-seed random table of texts: every length from 0 to 40 bytes, signs, leading zeros,
// long mantissas, fractions, exponents and stray bytes anywhere.
TEST(XMLText, NumbersMatchFromChars) {
  std::mt19937_64 random(20261210);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  auto digits = [&](std::size_t count, std::string& out) {
    for (std::size_t i = 0; i < count; ++i) out += static_cast<char>('0' + pick(10));
  };
  const char* const signs[] = {"", "", "", "-", "-", "+", "+-", "--"};
  const char junk[] = {' ', ',', 'x', 'e', '.', '-', '+', '/', ':', '\0', '\x80', '\xFF', 'A', '<'};
  for (int n = 0; n < 300000; ++n) {
    std::string text = signs[pick(8)];
    if (pick(4) == 0) {
      // 15 to 20 digits with a point somewhere: mantissas on both sides of 2^53.
      const std::size_t count = 15 + pick(6);
      std::string all = std::to_string(1 + pick(9));
      digits(count - 1, all);
      const std::size_t point = pick(count + 1);
      text += all.substr(0, point) + "." + all.substr(point);
      ExpectSameAsReference(text);
      continue;
    }
    if (pick(4) == 0) text.append(pick(6), '0');
    digits(pick(4) == 0 ? pick(25) : pick(10), text);
    if (pick(2) == 0) {
      text += '.';
      digits(pick(4) == 0 ? pick(25) : pick(10), text);
    }
    if (pick(8) == 0) {
      text += pick(2) ? 'e' : 'E';
      text += signs[pick(8)];
      digits(pick(4), text);
    }
    if (pick(6) == 0) text.insert(pick(text.size() + 1), 1, junk[pick(sizeof junk)]);
    ExpectSameAsReference(text);
  }
}

}  // namespace
}  // namespace gridport
