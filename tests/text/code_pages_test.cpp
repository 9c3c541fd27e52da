#include "text/code_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/cp1251.h"

namespace gridport {
namespace {

std::u16string Decode(std::uint16_t number, const std::vector<std::uint8_t>& bytes) {
  const TCodePage* page = FindCodePage(number);
  if (page == nullptr) return u"(no table)";
  std::u16string out;
  DecodeCodePage(*page, bytes.data(), bytes.size(), out);
  return out;
}

TEST(CodePages, KnownCharactersOfEveryPage) {
  struct Case {
    std::uint16_t page;
    std::vector<std::uint8_t> bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {932, {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 'a'}, u"日本語a"},
      {932, {0xB1, 0xDF}, u"ｱﾟ"},  // half-width katakana are single bytes
      {936, {0xD6, 0xD0, 0xCE, 0xC4}, u"中文"},
      {949, {0xC7, 0xD1, 0xB1, 0xB9, 0xBE, 0xEE}, u"한국어"},
      {950, {0xA4, 0xA4, 0xA4, 0xE5}, u"中文"},
      {874, {0xA1}, u"ก"},
      {1250, {0x8A, 0x9D}, u"Šť"},
      {1251, {0xC0, 0xFF}, u"Ая"},
      {1252, {0x80, 0x9F}, u"€Ÿ"},
      {1253, {0xC1, 0xF9}, u"Αω"},
      {1254, {0xD0}, u"Ğ"},
      {1255, {0xE0}, u"א"},
      {1256, {0xDA}, u"ع"},
      {1257, {0xC0, 0xFE}, u"Ąž"},
      {1258, {0xFE}, u"₫"},
      {437, {0xCE, 0x82}, u"╬é"},
      {850, {0x98}, u"ÿ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    EXPECT_EQ(Decode(c.page, c.bytes), c.text);
  }
  EXPECT_EQ(FindCodePage(1200), nullptr) << "UTF-16 is no 8-bit page";
  EXPECT_EQ(FindCodePage(0), nullptr);
}

TEST(CodePages, BytesAndPairsThePageDoesNotAssign) {
  struct Case {
    const char* name;
    std::uint16_t page;
    std::vector<std::uint8_t> bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"unassigned single byte keeps its value", 1250, {0x81, 'x'}, u"\u0081x"},
      {"unassigned byte of a double-byte page", 950, {0x80, 'x'}, u"\u0080x"},
      {"lead byte ending the text", 932, {'a', 0x93}, u"a\uFFFD"},
      {"byte that cannot trail is read on its own", 932, {0x93, 0x20, 'b'}, u"\uFFFD b"},
      {"pairs are taken left to right", 936, {0xD6, 0xD6, 0xD0}, u"种\uFFFD"},
      {"pair inside the range but unassigned", 950, {0xA3, 0x80, 'x'}, u"\uFFFDx"},
      {"empty text", 949, {}, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Decode(c.page, c.bytes), c.text);
  }
}

// The generated 1251 table and the application's own one agree byte for byte.
TEST(CodePages, Windows1251AgreesWithTheApplicationTable) {
  std::vector<std::uint8_t> all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  const std::u16string decoded = Decode(1251, all);
  ASSERT_EQ(decoded.size(), 256u);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(decoded[b], Cp1251ToChar(static_cast<std::uint8_t>(b))) << b;
}

TEST(CodePages, ReusedOutputKeepsItsBuffer) {
  std::u16string out;
  out.reserve(64);
  const char16_t* data = out.data();
  const std::vector<std::uint8_t> bytes = {0x93, 0xFA, 'z'};
  DecodeCodePage(*FindCodePage(932), bytes.data(), bytes.size(), out);
  EXPECT_EQ(out, u"日z");
  EXPECT_EQ(out.data(), data);
}

}  // namespace
}  // namespace gridport
