#include "text/utf7.h"

#include <gtest/gtest.h>

#include <string>

namespace gridport {
namespace {

std::string ToUtf7(std::u16string_view text) {
  std::string out;
  AppendUtf7(out, text);
  return out;
}

std::u16string FromUtf7(std::string_view bytes) {
  std::u16string out;
  AppendUtf16FromUtf7(out, bytes);
  return out;
}

TEST(Utf7, Encodes) {
  struct Case {
    const char* name;
    std::u16string wide;
    std::string bytes;
  };
  const Case cases[] = {
      {"direct characters", u"Hi Mom, (it's 5:30)?\r\n", "Hi Mom, (it's 5:30)?\r\n"},
      {"plus sign", u"1+1", "1+-1"},
      {"run ended by a character outside base64: no dash", u"A\u2262\u0391.", "A+ImIDkQ."},
      {"run ended by a dash: dash written", u"-\u263A-", "-+Jjo--"},
      {"run ended by a base64 letter: dash written", u"\u00E9a", "+AOk-a"},
      {"run at the end: dash written", u"\u65E5\u672C\u8A9E", "+ZeVnLIqe-"},
      {"optional direct characters go into base64", u"!~", "+ACEAfg-"},
      {"plus inside a run stays in it", u"\u00E9+", "+AOkAKw-"},
      {"surrogate pair as two units", u"\U0001F600", "+2D3eAA-"},
      {"lone surrogate passes as a unit", std::u16string{0xD800}, "+2AA-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToUtf7(c.wide), c.bytes);
    EXPECT_EQ(FromUtf7(c.bytes), c.wide);
  }
}

TEST(Utf7, DecodesLooseForms) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string wide;
  };
  const Case cases[] = {
      {"RFC example with direct !", "Hi Mom -+Jjo--!", u"Hi Mom -\u263A-!"},
      {"run without a closing dash at the end", "+ZeVnLIqe", u"\u65E5\u672C\u8A9E"},
      {"lone plus at the end", "a+", u"a"},
      {"run too short for a unit", "+A-b", u"b"},
      {"bytes of 0x80 and above", "a\x80\xFF", u"a\uFFFD\uFFFD"},
      {"run ended by a space", "+AOk x", u"\u00E9 x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FromUtf7(c.bytes), c.wide);
  }
}

TEST(Utf7, EveryUnitRoundTripsBetweenDirectCharacters) {
  std::u16string text;
  for (char32_t c = 0; c <= 0xFFFF; ++c) {
    text += static_cast<char16_t>(c);
    if (c % 7 == 0) text += u'a';  // ends runs at every bit phase
    if (c % 11 == 0) text += u'-';
  }
  EXPECT_EQ(FromUtf7(ToUtf7(text)), text);
}

}  // namespace
}  // namespace gridport
