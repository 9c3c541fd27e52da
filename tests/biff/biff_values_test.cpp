// RK numbers, BIFF text fields and the resolution of shared-formula references.
#include <gtest/gtest.h>

#include <vector>

#include "biff/biff_text.h"
#include "biff/rk_value.h"
#include "biff/shared_formula_tokens.h"

namespace gridport {
namespace {

TEST(RKValue, DecodesEachForm) {
  struct TCase {
    std::uint32_t rk;
    double value;
  };
  const TCase cases[] = {
      {0x3FF00000u, 1.0},     // IEEE high bits
      {0x3FF00001u, 0.01},    // IEEE / 100
      {0x00000192u, 100.0},   // integer 100
      {0x00000193u, 1.0},     // integer 100 / 100
      {0xFFFFFFFEu, -1.0},    // negative integer
      {0x405EC000u, 123.0},   // IEEE 123.0
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_DOUBLE_EQ(DecodeRK(cases[i].rk), cases[i].value) << std::hex << cases[i].rk;
  }
  // Integer with the /100 flag: 12345 / 100.
  EXPECT_DOUBLE_EQ(DecodeRK((12345u << 2) | 0x3u), 123.45);
  // The most negative 30-bit integer.
  EXPECT_DOUBLE_EQ(DecodeRK(0x80000002u), -536870912.0);
}

TEST(BiffText, DecodesBothFormsAndStopsAtTheRecordEnd) {
  std::u16string out;
  const std::uint8_t compressed[] = {0x00, 'a', 'b', 'c'};
  EXPECT_EQ(DecodeBiff8Text(compressed, sizeof compressed, 3, out), 4u);
  EXPECT_EQ(out, u"abc");

  const std::uint8_t wide[] = {0x01, 0x1F, 0x04, 0x40, 0x04};  // "Пр"
  EXPECT_EQ(DecodeBiff8Text(wide, sizeof wide, 2, out), 5u);
  EXPECT_EQ(out, u"Пр");

  // A count beyond the record: only what is there, never a read past it.
  EXPECT_EQ(DecodeBiff8Text(wide, sizeof wide, 200, out), 5u);
  EXPECT_EQ(out, u"Пр");
  EXPECT_EQ(DecodeBiff8Text(wide, 4, 2, out), 3u);  // odd byte left over
  EXPECT_EQ(out, u"П");
  EXPECT_EQ(DecodeBiff8Text(wide, 0, 2, out), 0u);
  EXPECT_EQ(out, u"");

  const std::uint8_t latin[] = {'x', 0xE9};
  EXPECT_EQ(Decode8BitText(latin, sizeof latin, 5, out), 2u);
  EXPECT_EQ(out, u"x\u00E9");

  // RSTRING and BIFF2 LABEL bytes are Windows-1251.
  const std::uint8_t cyrillic[] = {0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2};
  DecodeCodePageText(cyrillic, sizeof cyrillic, out);
  EXPECT_EQ(out, u"Привет");

  // BIFF2-BIFF5 text follows the file's CODEPAGE: 1251, else Windows-1252.
  const std::uint8_t quoted[] = {0x93, 'a', 0x94, 0x96, 0xE9};
  DecodeAnsiText(quoted, sizeof quoted, 5, 1252, out);
  EXPECT_EQ(out, u"\u201Ca\u201D\u2013\u00E9");
  DecodeAnsiText(cyrillic, sizeof cyrillic, 3, 1251, out);
  EXPECT_EQ(out, u"При");
}

// ptgRefN / ptgAreaN of a shared formula become ptgRef / ptgArea for the cell.
TEST(SharedFormulaTokens, ResolvesRelativeReferencesBiff8) {
  // B(row-1) + $C$5 as ptgRefN(rel row -1, rel col +1), ptgRef absolute, ptgAdd.
  std::vector<std::uint8_t> tokens = {
      0x2C, 0xFF, 0xFF, 0x01, 0xC0,  // ptgRefN row -1, col +1, both relative
      0x24, 0x04, 0x00, 0x02, 0x00,  // ptgRef C5 absolute
      0x03,                          // ptgAdd
      0x4D, 0x00, 0x00, 0x02, 0x00, 0x00, 0xC0, 0xFF, 0xC0,  // ptgAreaN rows 0..+2, cols 0..-1
  };
  ResolveSharedFormulaTokens(tokens.data(), tokens.size(), true, /*col=*/3, /*row=*/10);
  const std::vector<std::uint8_t> expected = {
      0x24, 0x09, 0x00, 0x04, 0xC0,  // ptgRef row 9, col 4 (relative flags kept)
      0x24, 0x04, 0x00, 0x02, 0x00,
      0x03,
      0x45, 0x0A, 0x00, 0x0C, 0x00, 0x03, 0xC0, 0x02, 0xC0,  // ptgArea rows 10..12, cols 3..2
  };
  EXPECT_EQ(tokens, expected);
}

TEST(SharedFormulaTokens, ResolvesRelativeReferencesBiff5) {
  // BIFF5 ptgRefN: row word with flags (row-relative 0x8000, col-relative 0x4000), col byte.
  std::vector<std::uint8_t> tokens = {0x2C, 0xFF, 0xFF, 0x02};  // row -1 (14-bit), col +2
  ResolveSharedFormulaTokens(tokens.data(), tokens.size(), false, 1, 5);
  const std::vector<std::uint8_t> expected = {0x24, 0x04, 0xC0, 0x03};
  EXPECT_EQ(tokens, expected);
}

TEST(SharedFormulaTokens, StopsAtUnknownOrTruncatedTokens) {
  // A string token that claims more characters than remain, then a RefN: the
  // walk must stop at the string and leave the rest alone.
  std::vector<std::uint8_t> tokens = {0x17, 0x09, 0x00, 'a', 0x2C, 0x00, 0x00, 0x00, 0xC0};
  const auto before = tokens;
  ResolveSharedFormulaTokens(tokens.data(), tokens.size(), true, 1, 1);
  EXPECT_EQ(tokens, before);
  // A RefN cut short by the end of the tokens is not touched.
  std::vector<std::uint8_t> cut = {0x1E, 0x05, 0x00, 0x2C, 0x01, 0x00};
  const auto cutBefore = cut;
  ResolveSharedFormulaTokens(cut.data(), cut.size(), true, 1, 1);
  EXPECT_EQ(cut, cutBefore);
  // tAttrChoose with its jump table is stepped over, then the RefN resolved.
  std::vector<std::uint8_t> choose = {0x19, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0x2C, 0x01, 0x00, 0x00, 0x80};
  ResolveSharedFormulaTokens(choose.data(), choose.size(), true, 7, 1);
  EXPECT_EQ(choose[8], 0x24);
  EXPECT_EQ(choose[9], 0x02);  // row 1 + 1
  EXPECT_EQ(choose[11], 0x00);  // column absolute, unchanged
}

}  // namespace
}  // namespace gridport
