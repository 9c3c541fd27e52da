#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace gridport {
namespace {

TEST(Utf8, EncodesUtf16) {
  struct Case {
    const char* name;
    std::u16string wide;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", u"", ""},
      {"ASCII longer than a block", u"0123456789;abc", "0123456789;abc"},
      {"two-byte Cyrillic", u"\u041F\u0440\u0438", "\xD0\x9F\xD1\x80\xD0\xB8"},
      {"three-byte euro", u"\u20AC", "\xE2\x82\xAC"},
      {"Cyrillic word, then euro, then pair", u"\u042F\u044F\u20AC\U0001F600",
       "\xD0\xAF\xD1\x8F\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"last BMP unit", u"\uFFFF", "\xEF\xBF\xBF"},
      {"surrogate pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
      {"highest code point", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {"lone high surrogate", std::u16string{u'a', 0xD800, u'b'}, "a\xEF\xBF\xBD" "b"},
      {"lone high surrogate at end", std::u16string{0xDBFF}, "\xEF\xBF\xBD"},
      {"lone low surrogate", std::u16string{0xDC00, u'a'}, "\xEF\xBF\xBD" "a"},
      {"reversed pair", std::u16string{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"NUL", std::u16string(1, u'\0'), std::string(1, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf16ToUtf8(c.wide), c.bytes);
  }
}

TEST(Utf8, DecodesWithMaximalSubpartReplacement) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string wide;
  };
  const char16_t R = 0xFFFD;
  const Case cases[] = {
      {"ASCII longer than a block", "0123456789abcdef;", u"0123456789abcdef;"},
      {"valid mix", "a\xD0\xAF\xE2\x82\xAC\xF0\x9F\x98\x80", u"a\u042F\u20AC\U0001F600"},
      {"stray continuation", "\x80" "a", std::u16string{R, u'a'}},
      {"overlong two-byte", "\xC0\x80", std::u16string{R, R}},
      {"overlong three-byte", "\xE0\x80\x80", std::u16string{R, R, R}},
      {"encoded surrogate", "\xED\xA0\x80", std::u16string{R, R, R}},
      {"above U+10FFFF", "\xF4\x90\x80\x80", std::u16string{R, R, R, R}},
      {"truncated at end", "a\xE2\x82", std::u16string{u'a', R}},
      {"truncated before ASCII", "\xE2\x82" "b", std::u16string{R, u'b'}},
      {"invalid lead bytes", "\xF5\xFF", std::u16string{R, R}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.wide);
  }
}

TEST(Utf8, EveryCodePointRoundTrips) {
  std::u16string all;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c < 0x10000) {
      all += static_cast<char16_t>(c);
    } else {
      all += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      all += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  std::string bytes;
  AppendUtf8(bytes, all);
  // 128 one-byte, 1920 two-byte, 61440 three-byte, 1048576 four-byte code points.
  EXPECT_EQ(bytes.size(), 128u + 1920u * 2 + 61440u * 3 + 1048576u * 4);
  EXPECT_EQ(Utf8ToUtf16(bytes), all);
}

TEST(Utf8, AppendKeepsWhatTheBufferHolds) {
  std::string out = "\xEF\xBB\xBF";
  AppendUtf8(out, u"a;");
  AppendUtf8(out, u"\u044F\r\n");
  EXPECT_EQ(out, "\xEF\xBB\xBF" "a;\xD1\x8F\r\n");
  std::u16string wide = u"x";
  AppendUtf16FromUtf8(wide, "\xD1\x8F");
  EXPECT_EQ(wide, u"x\u044F");
}

}  // namespace
}  // namespace gridport
