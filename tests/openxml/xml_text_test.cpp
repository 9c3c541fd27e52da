// Decoding of raw text: UTF-8, character references and entities, underscore escapes, numbers.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace gridport
