#include "workbook/cell_formats.h"

#include <gtest/gtest.h>

#include "tests/workbook/exception_message.h"

#include <functional>
#include <string>

#include "workbook/fonts.h"
#include "workbook/style_color.h"

namespace gridport {
namespace {

using test::Message;

std::uint16_t Word(const TXfBody& b, int offset) { return static_cast<std::uint16_t>(b[offset] | b[offset + 1] << 8); }

TEST(CellFormats, NewMasterTableHoldsItsDefaults) {
  TXFonts fonts;
  TCellFormats formats(fonts, true);
  ASSERT_EQ(formats.Count(), 22);
  EXPECT_EQ(formats.FirstDeletable(), 22);
  EXPECT_EQ(formats.NumberFormats().Count(), 59);
  ASSERT_EQ(formats.Fills().Count(), 2);
  EXPECT_EQ(formats.Fills().Item(1)->PatternType, 17);
  EXPECT_EQ(formats.Borders().Count(), 1);
  TCellFormat fresh(nullptr);
  EXPECT_TRUE(formats[21]->Equals(fresh));
  for (int i = 0; i < 21; ++i) {
    bool style = Word(formats[i]->XfBody, 4) & 0x0004;
    EXPECT_EQ(style, i != 15) << "index " << i;
    EXPECT_EQ(formats[i]->GetVertAlignment(), 2);
    EXPECT_EQ(formats[i]->GetPatternForeColorIndex(), 64);
    EXPECT_EQ(formats[i]->GetPatternBackColorIndex(), 64) << "65 reads as 64";
    EXPECT_EQ(formats[i]->GetLeftColorIndex(), 0);
  }
  struct Row {
    int index, font, number_format;
    std::uint16_t word8;
  };
  for (Row r : {Row{0, 0, 0, 0}, Row{2, 1, 0, 0xF400}, Row{4, 2, 0, 0xF400}, Row{14, 0, 0, 0xF400},
                Row{16, 0, 42, 0}, Row{19, 0, 45, 0}, Row{20, 0, 9, 0}}) {
    EXPECT_EQ(formats[r.index]->FontIndex(), r.font) << r.index;
    EXPECT_EQ(formats[r.index]->GetNumberFormatId(), r.number_format) << r.index;
    EXPECT_EQ(Word(formats[r.index]->XfBody, 8), r.word8) << r.index;
  }
  EXPECT_EQ(formats.FindEqual(*formats[15]), 15);
  TCellFormats styles(fonts, false);
  EXPECT_EQ(styles.Count(), 0) << "an auxiliary table starts empty";
}

TEST(CellFormats, DefaultFormatsOnlyIntoAnEmptyTable) {
  TXFonts fonts;
  TCellFormats formats(fonts, true);
  EXPECT_EQ(Message([&] { formats.AddDefaultFormats(); }), "Add default formats when not empty.");
  EXPECT_EQ(formats.Count(), 22);
  formats.Clear();
  EXPECT_EQ(formats.NumberFormats().Count(), 0);
  EXPECT_EQ(formats.AddDefaultFormats(), 21);
  EXPECT_EQ(formats.Count(), 21);
  EXPECT_EQ(formats.FirstDeletable(), 21);
  EXPECT_EQ(formats.NumberFormats().Count(), 59);
  EXPECT_EQ(formats.Fills().Count(), 0);
  EXPECT_EQ(formats.Borders().Count(), 0);
}

TEST(CellFormat, RotationBothWays) {
  TCellFormat f(nullptr);
  for (auto [stored, read] : {std::pair{0, 0}, {90, 90}, {91, -1}, {135, -45}, {180, -90}, {255, 255}}) {
    f.XfBody[7] = static_cast<std::uint8_t>(stored);
    EXPECT_EQ(f.GetRotation(), read) << stored;
  }
  for (auto [set, stored] : {std::pair{-45, 135}, {200, 90}, {300, 255}, {-100, 180}, {45, 45}, {-90, 180}}) {
    f.SetRotation(set);
    EXPECT_EQ(f.XfBody[7], stored) << set;
  }
}

TEST(CellFormat, SettersKeepTheUsedAttributeFlags) {
  TCellFormat f(nullptr);
  auto flags = [&f] { return Word(f.XfBody, 8) & 0xFC00; };
  f.SetPatternForeColorIndex(10);
  EXPECT_EQ(f.GetFillPattern(), 1);
  EXPECT_EQ(f.GetPatternBackColorIndex(), 9);
  EXPECT_EQ(flags() & 0x4000, 0x4000);
  f.SetPatternForeColorIndex(64);
  f.SetPatternBackColorIndex(64);
  EXPECT_EQ(flags() & 0x4000, 0);
  f.SetFillPattern(3);
  EXPECT_EQ(flags() & 0x4000, 0x4000);

  f.SetLeftStyle(2);
  EXPECT_EQ(flags() & 0x2000, 0x2000);
  EXPECT_TRUE(f.HasBorders());
  f.SetLeftColorIndex(0);
  EXPECT_EQ(flags() & 0x2000, 0x2000) << "colour setters leave the border flag";
  f.SetLeftStyle(0);
  EXPECT_EQ(flags() & 0x2000, 0);
  f.SetDiagonalStyle(1);
  EXPECT_TRUE(f.HasBorders());

  f.SetTextOptions(toWrapText | toShrinkToFit);
  EXPECT_EQ(f.GetTextOptions(), toWrapText | toShrinkToFit);
  EXPECT_EQ(flags() & 0x1000, 0x1000);
  f.SetTextOptions(0);
  EXPECT_EQ(f.GetTextOptions(), 0);
  EXPECT_EQ(flags() & 0x1000, 0) << "vertical alignment plays no part here";
  f.SetVertAlignment(0);
  EXPECT_EQ(flags() & 0x1000, 0);
  f.SetHorizAlignment(3);
  EXPECT_EQ(f.GetHorizAlignment(), 3);
  EXPECT_EQ(flags() & 0x1000, 0x1000);

  f.SetProtection(cpHidden);
  EXPECT_EQ(f.GetProtection(), cpHidden);
  f.SetIndent(20);
  EXPECT_EQ(f.GetIndent(), 15);
  f.SetMergeCells(true);
  EXPECT_TRUE(f.GetMergeCells());
  EXPECT_EQ(f.GetHorizAlignment(), 3) << "fields stay apart";
}

TEST(CellFormat, ColoursResolveThroughThePalette) {
  ResetColorPalette();
  TCellFormat f(nullptr);
  f.SetTopColorIndex(10);
  EXPECT_EQ(f.GetTopColorRGB(), 0x0000FFu) << "palette entry 10 is red";
  EXPECT_EQ(f.GetBottomColorRGB(), kAutomaticColor);
  EXPECT_EQ(Message([&] { f.SetPatternForeColorRGB(0xFF); }), "Not implemented: SetCellColorRGB");
  f.SetLeftColorRGB(0x123456);
  EXPECT_EQ(f.GetLeftColorIndex(), 64) << "RGB setters do nothing on a BIFF format";
}

TEST(CellFormat, Biff5BodyIsConverted) {
  TXFonts fonts;
  TCellFormats formats(fonts, true);
  // font 3, number format 14, word at 4 = 0x0001; alignment byte 0x2B
  // (right, wrap, bottom), orientation 3; used flags 0x7C00.
  // 32-bit at 8: fore 10, back 64, pattern 1, bottom style 2, bottom colour 12.
  // 32-bit at 12: top style 1, left style 3, right style 4, top colour 8,
  // left colour 9, right colour 11.
  std::uint32_t v8 = 10u | (64u << 7) | (1u << 16) | (2u << 22) | (12u << 25);
  std::uint32_t v12 = 1u | (3u << 3) | (4u << 6) | (8u << 9) | (9u << 16) | (11u << 23);
  std::uint16_t w6 = 0x2B | (3 << 8) | 0x7C00;
  std::uint8_t body[16] = {3, 0, 14, 0, 1, 0, static_cast<std::uint8_t>(w6), static_cast<std::uint8_t>(w6 >> 8)};
  for (int i = 0; i < 4; ++i) {
    body[8 + i] = static_cast<std::uint8_t>(v8 >> (8 * i));
    body[12 + i] = static_cast<std::uint8_t>(v12 >> (8 * i));
  }
  TCellFormat* f = formats.AddFormat();
  f->LoadFromBiff5(body, sizeof body);
  EXPECT_EQ(f->FontIndex(), 3);
  EXPECT_EQ(f->GetNumberFormatId(), 14);
  EXPECT_EQ(f->GetProtection(), cpLocked);
  EXPECT_EQ(f->GetHorizAlignment(), 3);
  EXPECT_EQ(f->GetTextOptions(), toWrapText);
  EXPECT_EQ(f->GetVertAlignment(), 2);
  EXPECT_EQ(f->XfBody[7], 180);
  EXPECT_EQ(Word(f->XfBody, 8), 0x7C00);
  EXPECT_EQ(f->GetPatternForeColorIndex(), 10);
  EXPECT_EQ(f->GetPatternBackColorIndex(), 64);
  EXPECT_EQ(Word(f->XfBody, 18) & 0x4000, 0) << "the pivot-button bit stays clear";
  EXPECT_EQ(f->GetFillPattern(), 1);
  EXPECT_EQ(f->GetBottomStyle(), 2);
  EXPECT_EQ(f->GetBottomColorIndex(), 12);
  EXPECT_EQ(f->GetTopStyle(), 1);
  EXPECT_EQ(f->GetLeftStyle(), 3);
  EXPECT_EQ(f->GetRightStyle(), 4);
  EXPECT_EQ(f->GetTopColorIndex(), 8);
  EXPECT_EQ(f->GetLeftColorIndex(), 9);
  EXPECT_EQ(f->GetRightColorIndex(), 11);
  EXPECT_EQ(f->GetDiagonalStyle(), 0);
  EXPECT_EQ(f->GetDiagonalColorIndex(), 0);
  EXPECT_TRUE(f->IsDateTimeFormat());
  EXPECT_THROW(f->LoadFromBiff5(body, 15), EXLSError);
}

TEST(CellFormat, NumberFormatUsesFollowTheFormats) {
  TXFonts fonts;
  TCellFormats formats(fonts, true);
  formats.NumberFormats().AddWithId(u"0.000", 164, 1);
  std::uint8_t body[20] = {0, 0, 164, 0, 1, 0, 0x20};
  TCellFormat* f = formats.AddFormat();
  f->LoadFromBiff8(body, sizeof body);
  EXPECT_EQ(f->GetNumberFormatText(), u"0.000");
  EXPECT_EQ(formats.NumberFormats().ItemById(164)->Usage, 2);
  TCellFormat* copy = formats.AddFormat();
  copy->Assign(*f);
  EXPECT_TRUE(copy->Equals(*f));
  EXPECT_EQ(formats.NumberFormats().ItemById(164)->Usage, 3);
  formats.RemoveAt(copy->Index);
  formats.RemoveAt(f->Index);
  EXPECT_EQ(formats.NumberFormats().ItemById(164)->Usage, 1) << "destroyed formats give their uses back";

  std::uint8_t missing[20] = {0, 0, 200, 0};
  TCellFormat* g = formats.AddFormat();
  EXPECT_EQ(Message([&] { g->LoadFromBiff8(missing, sizeof missing); }), "Can not find number format# 200");
  EXPECT_EQ(g->GetNumberFormatId(), 0) << "a failed load changes nothing";
  EXPECT_THROW(g->LoadFromBiff8(body, 19), EXLSError);

  g->SetNumberFormatText(u"0.0%");
  EXPECT_EQ(g->GetNumberFormatId(), 165);
  EXPECT_EQ(g->GetNumberFormatText(), u"0.0%");
  g->SetNumberFormatText(u"0.00");
  EXPECT_EQ(g->GetNumberFormatId(), 2);
  EXPECT_EQ(formats.NumberFormats().ItemById(165), nullptr) << "the earlier text's only use was given back";
  EXPECT_EQ(Message([&] { g->SetNumberFormatText(std::u16string(300, u'0')); }),
            "Format string more than 255 characthers");
  EXPECT_EQ(g->GetNumberFormatId(), 2);
  g->SetNumberFormatText(u"");
  EXPECT_EQ(g->GetNumberFormatId(), 0);

  TCellFormat orphan(nullptr);
  EXPECT_EQ(Message([&] { orphan.SetNumberFormatText(u"0"); }), "CellFormat has no parent");
  EXPECT_EQ(orphan.GetNumberFormatText(), u"");
}

TEST(CellFormats, UsageCountingRemovesAndRenumbers) {
  TXFonts fonts;
  TCellFormats formats(fonts, true);
  TCellFormat* a = formats.AddFormat();  // 22
  TCellFormat* b = formats.AddFormat();  // 23
  b->SetHorizAlignment(2);
  formats.AddUsage(*a);
  formats.AddUsage(*a);
  formats.ReleaseUsage(*a);
  EXPECT_EQ(formats.Count(), 24);
  formats.ReleaseUsage(*a);
  ASSERT_EQ(formats.Count(), 23);
  EXPECT_EQ(formats[22], b);
  EXPECT_EQ(b->Index, 22);
  formats.ReleaseUsage(*formats[15]);
  EXPECT_EQ(formats.Count(), 23) << "formats below the first deletable index are not counted";
  EXPECT_EQ(formats.FindEqual(*b), 22);
  EXPECT_EQ(Message([&] { formats.Item(23); }), "List index out of bounds (23)");
}

TEST(CellFormats, RemovingAFontLowersLaterFontIndices) {
  TXFonts fonts;
  for (int i = 0; i < 3; ++i) fonts.AddFont();  // 5, 6, 7
  TCellFormats formats(fonts, true);
  TCellFormat* f = formats.AddFormat();
  f->XfBody[0] = 7;
  EXPECT_TRUE(f->UsesCustomFont());
  TCellFormat* g = formats.AddFormat();
  g->XfBody[0] = 5;
  fonts.RemoveAt(6);
  EXPECT_EQ(f->FontIndex(), 6);
  EXPECT_EQ(f->GetFont(), fonts[6]);
  EXPECT_EQ(g->FontIndex(), 5);
  EXPECT_FALSE(formats[0]->UsesCustomFont());
}

TEST(CellFormatEx12, ReadsItsFillBorderAndFont) {
  ResetColorPalette();
  TXFonts fonts;
  TCellFormats formats(fonts, true);
  TCellFormatEx12* f = formats.AddFormatEx12();
  for (std::uint8_t byte : f->XfBody) EXPECT_EQ(byte, 0);
  TFill* fill = formats.Fills().Add();
  fill->PatternType = 1;
  fill->Foreground.Kind = sckIndexed;
  fill->Foreground.PaletteIndex = 10;
  fill->Foreground.Resolve();
  TBorder* border = formats.Borders().Add();
  border->Lines[bsLeft].Style = 2;
  border->Lines[bsLeft].Color.PaletteIndex = 12;
  f->Fill = fill;
  f->Border = border;
  f->Font = fonts.AddFontEx12();
  EXPECT_EQ(f->GetFillPattern(), 1);
  EXPECT_EQ(f->GetPatternForeColorIndex(), 10);
  EXPECT_EQ(f->GetPatternForeColorRGB(), 0x0000FFu);
  EXPECT_EQ(f->GetLeftStyle(), 2);
  EXPECT_EQ(f->GetLeftColorIndex(), 12);
  EXPECT_EQ(f->GetDiagonalColorIndex(), 64);
  EXPECT_EQ(f->GetFont(), f->Font);
  f->SetTopColorIndex(9);
  EXPECT_EQ(border->Lines[bsTop].Color.Kind, sckIndexed);
  EXPECT_EQ(f->GetTopColorIndex(), 9);
  f->SetLeftStyle(5);
  EXPECT_EQ(f->GetLeftStyle(), 2) << "line-style setters do nothing";
  f->SetRightColorRGB(0x112233);
  EXPECT_EQ(f->GetRightColorRGB(), 0x112233u);
  f->SetFillPattern(7);  // acts on the XF body only
  EXPECT_EQ(f->GetFillPattern(), 1);
  f->SetNumberFormatText(u"0.0");
  EXPECT_EQ(f->GetNumberFormatId(), 59);
  EXPECT_EQ(Word(f->XfBody, 2), 0) << "the 32-bit id is used";

  TCellFormatEx12* copy = formats.AddFormatEx12();
  copy->Assign(*f);
  EXPECT_EQ(copy->Fill, fill);
  EXPECT_EQ(fill->Usage, 1);
  EXPECT_EQ(border->Usage, 1);
  EXPECT_FALSE(copy->Equals(*f));
  EXPECT_FALSE(copy->HasBorders());
  EXPECT_FALSE(copy->IsDateTimeFormat());
  fill->SetGradient(true);
  ASSERT_NE(fill->Gradient(), nullptr);
  fill->Gradient()->SetLeft(0.5);
  EXPECT_TRUE(fill->Gradient()->LeftGiven());
  EXPECT_FALSE(fill->Gradient()->TopGiven());
  fill->SetGradient(false);
  EXPECT_EQ(fill->Gradient(), nullptr);
}

TEST(CellStyles, AddedStylesStartNotBuiltIn) {
  TEx12CellStyles styles;
  TEx12CellStyle* s = styles.Add();
  EXPECT_EQ(s->BuiltInId, -1);
  EXPECT_EQ(s->OutlineLevel, -1);
  EXPECT_EQ(styles.Count(), 1);
  styles.Clear();
  EXPECT_EQ(styles.Count(), 0);
}

// ---- colours ----

TEST(StyleColor, ResolutionByKindAndTint) {
  ResetColorPalette();
  struct Case {
    TStyleColorKind kind;
    std::uint32_t value;
    std::uint8_t index;
    double tint;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {sckRGB, 0xFF336699, 0, 0.0, 0x336699},
      {sckRGB, 0x000000, 0, 0.5, 0x808080},    // 127.5 rounds to even 128
      {sckRGB, 0xFFFFFF, 0, -0.5, 0x808080},   // 127.5 again
      {sckRGB, 0x0000F0, 0, 0.2, 0x3333FF},    // clamps at 255
      {sckTheme, 0, 0, 0.0, kAutomaticColor},  // theme 0 is automatic
      {sckTheme, 5, 0, 0.0, 0x4F81BD},
      {sckTheme, 13, 0, 0.0, kAutomaticColor},
      {sckAutomatic, 0, 0, 0.0, kAutomaticColor},
      {sckIndexed, 0, 10, 0.0, 0x0000FF},
      {sckIndexed, 0, 9, 0.0, 0xFFFFFF},
      {sckIndexed, 0, 64, 0.0, kAutomaticColor},
      {sckIndexed, 0, 120, 0.0, kAutomaticColor},
      {sckNone, 0, 0, 0.0, 0},
  };
  for (const Case& c : cases) {
    TStyleColor color;
    color.Kind = c.kind;
    color.Value = c.value;
    color.PaletteIndex = c.index;
    color.Tint = c.tint;
    EXPECT_EQ(ResolveColor(color), c.expected) << int(c.kind) << " " << c.value << " " << c.tint;
    color.Resolve();
    EXPECT_EQ(color.Resolved, c.expected & 0xFFFFFF);
  }
}

TEST(StyleColor, PaletteIsProcessWideAndResettable) {
  ResetColorPalette();
  EXPECT_EQ(PaletteColor(0), 0u);
  EXPECT_EQ(PaletteColor(8), 0u);
  EXPECT_EQ(PaletteColor(12), 0xFF0000u) << "blue";
  EXPECT_EQ(PaletteColor(63), 0x333333u);
  EXPECT_EQ(PaletteColor(64), kAutomaticColor);
  ColorPalette()[10] = 0x123456;
  TCellFormat f(nullptr);
  f.SetTopColorIndex(10);
  EXPECT_EQ(f.GetTopColorRGB(), 0x123456u);
  ResetColorPalette();
  EXPECT_EQ(f.GetTopColorRGB(), 0x0000FFu);
}

}  // namespace
}  // namespace gridport
