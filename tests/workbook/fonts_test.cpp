#include "workbook/fonts.h"

#include <gtest/gtest.h>

#include <vector>

#include "workbook/xls_error.h"

namespace gridport {
namespace {

TEST(Fonts, NewTableHoldsFiveResetFonts) {
  TXFonts fonts;
  ASSERT_EQ(fonts.Count(), 5);
  EXPECT_EQ(fonts.FirstDeletable(), 5);
  for (int i = 0; i < 5; ++i) {
    const TXFont* f = fonts[i];
    EXPECT_EQ(f->Index, i);
    EXPECT_EQ(f->Name, u"Arial");
    EXPECT_EQ(f->Height, 200u);
    EXPECT_EQ(f->Family, 2);
    EXPECT_EQ(f->ColorIndex, 8);
  }
  fonts.Clear();
  EXPECT_EQ(fonts.Count(), 0);
  EXPECT_EQ(fonts.FirstDeletable(), 0);
  EXPECT_THROW(fonts.Item(0), EListError);
}

TEST(Fonts, FindIgnoresLetterCaseEqualsDoesNot) {
  TXFonts fonts;
  TXFont* f = fonts.AddFont();
  f->Name = u"Шрифт Bold";
  f->Style = fsBold;
  TXFont probe;
  probe.Name = u"шрифт BOLD";
  probe.Style = fsBold;
  EXPECT_EQ(fonts.Find(probe), 5);
  EXPECT_FALSE(f->Equals(probe));
  EXPECT_EQ(fonts.FindOrAdd(probe), f) << "a name differing in case only is not added";
  probe.Style = 0;
  EXPECT_EQ(fonts.Find(probe), -1);
  TXFont* added = fonts.FindOrAdd(probe);
  EXPECT_EQ(added->Index, 6);
  EXPECT_TRUE(added->Equals(probe));
}

TEST(Fonts, UsageCountingRemovesAboveTheFirstDeletableIndexAndRenumbers) {
  TXFonts fonts;
  TXFont* a = fonts.AddFont();  // 5
  TXFont* b = fonts.AddFont();  // 6
  TXFont* c = fonts.AddFont();  // 7
  TXFonts::AddUsage(*a);
  TXFonts::AddUsage(*b);
  TXFonts::AddUsage(*b);
  fonts.ReleaseUsage(*b);
  EXPECT_EQ(fonts.Count(), 8);
  fonts.ReleaseUsage(*b);
  ASSERT_EQ(fonts.Count(), 7);
  EXPECT_EQ(fonts[6], c);
  EXPECT_EQ(c->Index, 6);
  EXPECT_EQ(a->Index, 5);
  fonts.ReleaseUsage(*fonts[0]);
  fonts.ReleaseUsage(*fonts[0]);
  EXPECT_EQ(fonts.Count(), 7) << "default fonts are never removed";
  fonts.FinishLoad();
  fonts.ReleaseUsage(*a);
  EXPECT_EQ(fonts.Count(), 7) << "after a read every font is permanent";
}

TEST(Fonts, HashIndexFindsEqualFontsOnly) {
  TXFonts fonts;
  fonts.Clear();
  std::vector<TXFontEx12*> added;
  for (int i = 0; i < 40; ++i) {
    TXFontEx12* f = fonts.AddFontEx12();
    f->Name = i % 2 ? u"Calibri" : u"Cambria";
    f->Height = static_cast<std::uint32_t>(160 + 20 * (i / 2));
    f->Color.Kind = sckTheme;
    f->Color.Value = 1;
    added.push_back(f);
  }
  fonts.RebuildIndex();
  for (TXFontEx12* f : added) {
    TXFontEx12 probe;
    probe.Name = f->Name;
    probe.Height = f->Height;
    probe.Color.Kind = sckTheme;
    probe.Color.Value = 1;
    EXPECT_EQ(fonts.LookUp(probe), f);
    probe.Color.Value = 2;
    EXPECT_EQ(fonts.LookUp(probe), nullptr);
    probe.Color.Value = 1;
    probe.Name = u"calibri";
    EXPECT_EQ(fonts.LookUp(probe), nullptr) << "the index compares names with their case";
  }
  TXFont biff;
  biff.Name = added[1]->Name;
  biff.Height = added[1]->Height;
  EXPECT_EQ(fonts.LookUp(biff), nullptr) << "a BIFF font never equals an Excel 2007 font";
  std::uint32_t removed_height = added[3]->Height;
  fonts.RemoveAt(3);
  TXFontEx12 probe;
  probe.Name = u"Calibri";
  probe.Height = removed_height;
  probe.Color.Kind = sckTheme;
  probe.Color.Value = 1;
  EXPECT_EQ(fonts.LookUp(probe), nullptr) << "a removed font leaves the index";
}

TEST(Fonts, RepeatedFontsAnswerWithTheFirstUntilTheIndexIsRebuilt) {
  TXFonts fonts;
  fonts.Clear();
  for (int i = 0; i < 3; ++i) fonts.AddFont()->Name = i == 1 ? u"Other" : u"Same";
  fonts.RebuildIndex();
  TXFont probe;
  probe.Name = u"Same";
  EXPECT_EQ(fonts.LookUp(probe), fonts.Item(0));
  fonts.RemoveAt(0);
  EXPECT_EQ(fonts.LookUp(probe), nullptr) << "the repeat was never filed";
  fonts.RebuildIndex();
  EXPECT_EQ(fonts.LookUp(probe), fonts.Item(1));
  EXPECT_EQ(fonts.Item(1)->Index, 1);
}

TEST(Fonts, Ex12ResetAssignAndColours) {
  TXFontEx12 f;
  EXPECT_EQ(f.Color.Kind, sckNone);
  TXFont source;
  source.ColorIndex = 12;
  source.Name = u"Tahoma";
  f.Assign(source);
  EXPECT_EQ(f.Name, u"Tahoma");
  EXPECT_EQ(f.Color.Kind, sckIndexed);
  EXPECT_EQ(f.Color.PaletteIndex, 12);
  f.SetColorRGB(0x102030);
  EXPECT_EQ(f.GetColorRGB(), 0x102030u);
  ResetColorPalette();
  TXFont g;
  g.SetColorRGB(0x0000FE);
  EXPECT_EQ(g.ColorIndex, 10) << "nearest palette entry: red";
  g.SetColorRGB(0xFEFFFF);
  EXPECT_EQ(g.ColorIndex, 9);
  EXPECT_EQ(g.GetColorRGB(), 0xFFFFFFu);
  g.SetSizePoints(12);
  EXPECT_EQ(g.Height, 240u);
  g.Height = 250;
  int remainder = 0;
  EXPECT_EQ(g.SizePoints(&remainder), 12);
  EXPECT_EQ(remainder, 10);
  g.SetSizePoints(0);
  EXPECT_EQ(g.Height, 250u);
}

TEST(Fonts, LoadFromFontRecords) {
  struct Case {
    const char* name;
    TExcelVersion version;
    std::vector<std::uint8_t> body;
    std::u16string font_name;
    std::uint32_t height;
    std::uint8_t style, underline, color, family, charset;
  };
  const Case cases[] = {
      {"BIFF8 16-bit name",
       xvExcel97,
       {0xF0, 0x00, 0x0A, 0x00, 0x0C, 0x00, 0xBC, 0x02, 0x00, 0x00, 0x01, 0x02, 0xCC, 0x00, 0x02, 0x01,
        0x16, 0x04, 0x4B, 0x00},
       u"ЖK",
       240,
       fsBold | fsItalic | fsStrikeOut,
       1,
       12,
       2,
       0xCC},
      {"BIFF8 8-bit name",
       xvExcel97,
       {0xC8, 0x00, 0x00, 0x00, 0xFF, 0x7F, 0x90, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x03, 0x00,
        'A', 'b', 'c'},
       u"Abc",
       200,
       0,
       0,
       0,
       1,
       0},
      {"BIFF5 8-bit name",
       xvExcel50,
       {0xC8, 0x00, 0x02, 0x00, 0x08, 0x00, 0x90, 0x01, 0x00, 0x00, 0x02, 0x00, 0xCC, 0x00, 0x02, 'T', 'i'},
       u"Ti",
       200,
       fsItalic,
       2,
       8,
       0,
       0xCC},
      {"BIFF3 layout",
       xvExcel30,
       {0xA0, 0x00, 0x05, 0x00, 0x0A, 0x00, 0x01, 'X'},
       u"X",
       160,
       fsBold,
       1,
       10,
       2,
       0},
      {"BIFF2 layout", xvExcel21, {0xA0, 0x00, 0x08, 0x00, 0x02, 'A', 'B'}, u"AB", 160, fsStrikeOut, 0, 8, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TXFont f;
    f.LoadFromBiff(c.body.data(), c.body.size(), c.version);
    EXPECT_EQ(f.Name, c.font_name);
    EXPECT_EQ(f.Height, c.height);
    EXPECT_EQ(f.Style, c.style);
    EXPECT_EQ(f.Underline, c.underline);
    EXPECT_EQ(f.ColorIndex, c.color);
    EXPECT_EQ(f.Family, c.family);
    EXPECT_EQ(f.Charset, c.charset);
    // Any shorter body fails instead of reading past its end.
    for (std::size_t n = 0; n < c.body.size(); ++n) {
      TXFont g;
      EXPECT_THROW(g.LoadFromBiff(c.body.data(), n, c.version), EXLSError) << n;
    }
  }
}

}  // namespace
}  // namespace gridport
