#include "text/cp1251.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "text/utf8.h"

namespace gridport {
namespace {

// Python's cp1251 codec, written out by tests/data/text/make_cp1251_reference.py.
TEST(Cp1251, EveryHighByteMatchesTheReferenceAndMapsBack) {
  std::ifstream reference(GRIDPORT_TEST_DATA "/text/cp1251_reference.txt");
  ASSERT_TRUE(reference.is_open());
  int rows = 0;
  unsigned byte = 0, unit = 0;
  while (reference >> std::hex >> byte >> unit) {
    SCOPED_TRACE(byte);
    EXPECT_EQ(Cp1251ToChar(static_cast<std::uint8_t>(byte)), unit);
    EXPECT_EQ(CharToCp1251(static_cast<char16_t>(unit)), static_cast<int>(byte));
    std::string narrow;
    AppendCp1251(narrow, std::u16string(1, static_cast<char16_t>(unit)));
    EXPECT_EQ(narrow, std::string(1, static_cast<char>(byte)));
    ++rows;
  }
  EXPECT_EQ(rows, 128);
}

TEST(Cp1251, AllBytesRoundTripThroughUtf16) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::u16string wide = Cp1251ToUtf16(all);
  ASSERT_EQ(wide.size(), 256u);
  for (int b = 0; b < 0x80; ++b) EXPECT_EQ(wide[b], b);
  EXPECT_EQ(Utf16ToCp1251(wide), all);
}

TEST(Cp1251, CharactersOutsideTheCodePage) {
  struct Case {
    const char* name;
    std::u16string wide;
    std::string narrow;
  };
  const Case cases[] = {
      {"CJK", u"\u4E2D", "?"},
      {"Greek", u"\u03A9x", "?x"},
      {"pair is one character", u"a\U0001F600b", "a?b"},
      {"lone high surrogate", std::u16string{u'a', 0xD83D, u'b'}, "a?b"},
      {"lone high surrogate at end", std::u16string{u'a', 0xD83D}, "a?"},
      {"lone low surrogate", std::u16string{0xDE00, u'b'}, "?b"},
      {"two high surrogates", std::u16string{0xD83D, 0xD83D, 0xDE00}, "??"},
      {"accented Latin look-alikes", u"caf\u00E9 \u00C0\u00FF", "cafe Ay"},
      {"U+0100 has no look-alike here", u"\u0100", "?"},
      {"NUL is kept", std::u16string(1, u'\0'), std::string(1, '\0')},
      {"ASCII runs around Cyrillic", u"abcdefgh\u041F\u0440\u0438\u0432\u0435\u0442ijklmnop",
       "abcdefgh\xCF\xF0\xE8\xE2\xE5\xF2ijklmnop"},
      {"Cyrillic words with Yo and a look-alike", u"\u0401\u043B\u043A\u0430 \u0451\u0436\u00E9",
       "\xA8\xEB\xEA\xE0 \xB8\xE6" "e"},
      {"euro, numero, quotes", u"\u20AC\u2116\u00AB\u00BB\u2014", "\x88\xB9\xAB\xBB\x97"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf16ToCp1251(c.wide), c.narrow);
  }
  EXPECT_EQ(CharToCp1251(0x00E9), -1) << "a look-alike is not an exact mapping";
  EXPECT_EQ(CharToCp1251(0x4E2D), -1);
}

TEST(Cp1251, AppendKeepsWhatTheBufferHolds) {
  std::string out = "x;";
  AppendCp1251(out, u"\u0430\u0431");
  AppendCp1251(out, u"");
  AppendCp1251(out, u";1.5");
  EXPECT_EQ(out, "x;\xE0\xE1;1.5");

  std::u16string wide = u"<";
  AppendUtf16FromCp1251(wide, "\xC0z");
  EXPECT_EQ(wide, u"<\u0410z");
}

TEST(Cp1251, DirectUtf8MatchesTheWayThroughUtf16) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string direct = "prefix";
  AppendUtf8FromCp1251(direct, all);
  EXPECT_EQ(direct, "prefix" + Utf16ToUtf8(Cp1251ToUtf16(all)));
}

}  // namespace
}  // namespace gridport
