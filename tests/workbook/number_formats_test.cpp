#include "workbook/number_formats.h"

#include <gtest/gtest.h>

#include "tests/workbook/exception_message.h"

#include <functional>
#include <map>
#include <string>

#include "workbook/excel_mask.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

using test::Message;

TEST(NumberFormats, FiftyNineBuiltInFormatsWithTheirTexts) {
  const std::map<int, std::u16string> texts = {
      {1, u"0"},
      {2, u"0.00"},
      {3, u"#,##0"},
      {4, u"#,##0.00"},
      {5, u"_($#,##0_);($#,##0)"},
      {6, u"_($#,##0_);[Red]($#,##0)"},
      {7, u"_($#,##0.00_);($#,##0.00)"},
      {8, u"_($#,##0.00_);[Red]($#,##0.00)"},
      {9, u"0%"},
      {10, u"0.00%"},
      {11, u"0.00E+00"},
      {12, u"# ?/?"},
      {13, u"# ?\?/?\?"},
      {14, u"m/d/yy"},
      {15, u"d-mmm-y"},
      {16, u"d-mmm"},
      {17, u"mmmm-yy"},
      {18, u"h:mm AM/PM"},
      {19, u"h:mm:ss AM/PM"},
      {20, u"h:mm"},
      {21, u"h:mm:SS"},
      {22, u"m/d/yy h:mm"},
      {37, u"_(#,##0_);(#,##0)"},
      {38, u"_(#,##0_);[Red](#,##0)"},
      {39, u"_(#,##0.00_);(#,##0.00)"},
      {40, u"_(#,##0.00_);[Red](#,##0.00)"},
      {41, u"_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)"},
      {42, u"_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)"},
      {43, u"_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"?\?_);_(@_)"},
      {44, u"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"?\?_);_(@_)"},
      {45, u"mm:ss"},
      {46, u"[h]:mm:ss"},
      {47, u"mm:ss.0"},
      {48, u"# #0.0E+0"},
      {49, u"@"},
  };
  TNumberFormats formats;
  formats.AddDefaults();
  ASSERT_EQ(formats.Count(), 59);
  for (int id = 0; id < 59; ++id) {
    SCOPED_TRACE(id);
    int index = formats.FindById(id);
    ASSERT_EQ(index, id) << "ids 0-58 in order";
    const TNumberFormat* f = formats.Item(index);
    auto it = texts.find(id);
    EXPECT_EQ(f->Text, it == texts.end() ? u"" : it->second);
    EXPECT_EQ(f->Usage, -1);
    EXPECT_EQ(f->Hash, TNumberFormats::HashOf(f->Text));
    if (!f->Text.empty()) {
      EXPECT_EQ(formats.FindByText(f->Text), id);
    }
  }
  EXPECT_EQ(formats.FindByText(u""), 0) << "the empty text is General";
  EXPECT_EQ(formats.HighestId(), 58);
}

TEST(NumberFormats, HashRotatesFiveBitsPerByte) {
  EXPECT_EQ(TNumberFormats::HashOf(u""), 0);
  // bytes 61 00 62 00: 0x61, 0xC20, 0x8463, 0x8C70
  EXPECT_EQ(TNumberFormats::HashOf(u"ab"), 0x8C70);
}

TEST(NumberFormats, AddByTextFindsOrIssuesTheNextId) {
  TNumberFormats formats;
  formats.AddDefaults();
  EXPECT_EQ(formats.AddByText(u"0.00")->Id, 2);
  TNumberFormat* f = formats.AddByText(u"0.000");
  EXPECT_EQ(f->Id, 59);
  EXPECT_EQ(f->Usage, 1);
  EXPECT_EQ(formats.AddByText(u"0.000"), f);
  EXPECT_EQ(f->Usage, 2);
  EXPECT_EQ(formats.AddByText(u"0.0000")->Id, 60);
}

TEST(NumberFormats, AddWithIdReplacesTextAndAddsUsage) {
  TNumberFormats formats;
  formats.AddDefaults();
  formats.AddWithId(u"first", 164, 1);
  formats.AddWithId(u"second", 164, 1);
  ASSERT_EQ(formats.Count(), 60);
  TNumberFormat* f = formats.ItemById(164);
  EXPECT_EQ(f->Text, u"second");
  EXPECT_EQ(f->Usage, 2);
  EXPECT_EQ(f->Hash, TNumberFormats::HashOf(u"second"));
  EXPECT_FALSE(formats.Sorted());
  formats.AddWithId(u"0.0", 0, 1);
  EXPECT_EQ(formats.ItemById(0)->Text, u"0.0");
  EXPECT_EQ(formats.ItemById(0)->Usage, 1) << "a negative usage is replaced";
  // Records out of id order stay findable by id.
  formats.AddWithId(u"b", 300, 1);
  formats.AddWithId(u"a", 200, 1);
  EXPECT_EQ(formats.ItemById(200)->Text, u"a");
  EXPECT_EQ(formats.ItemById(300)->Text, u"b");
  EXPECT_EQ(formats.HighestId(), 300);
  EXPECT_EQ(formats.FindById(-1), -1);
  EXPECT_EQ(formats.FindById(250), -1);
}

TEST(NumberFormats, UsesAndReleasesCountUserFormatsOnly) {
  TNumberFormats formats;
  formats.AddDefaults();
  formats.Release(10);
  EXPECT_EQ(formats.ItemById(10)->Usage, -1);
  EXPECT_EQ(Message([&] { formats.Release(200); }), "Can not find number format# 200");
  EXPECT_EQ(Message([&] { formats.AddUse(200); }), "Can not find number format# 200");
  formats.AddWithId(u"x", 164, 1);
  formats.AddUse(164);
  formats.Release(164);
  ASSERT_NE(formats.ItemById(164), nullptr);
  formats.Release(164);
  EXPECT_EQ(formats.ItemById(164), nullptr) << "deleted at zero";
  formats.AddWithId(u"kept", 170, -1);
  formats.Release(170);
  EXPECT_NE(formats.ItemById(170), nullptr) << "a negative usage is left alone";
  EXPECT_EQ(Message([&] { formats.Item(formats.Count()); }),
            "List index out of bounds (" + std::to_string(formats.Count()) + ")");
}

TEST(NumberFormats, PackageFormatsSkipWellKnownIds) {
  TNumberFormats formats;
  formats.AddDefaults();
  formats.AddPackageFormat(u"dd.mm.yyyy", 14);
  EXPECT_EQ(formats.ItemById(14)->Text, u"m/d/yy");
  formats.AddPackageFormat(u"#,##0.00 \"₽\"", 44);
  EXPECT_EQ(formats.Count(), 60) << "44 is not well known: appended";
  EXPECT_EQ(formats.ItemById(44)->Text, u"#,##0.00 \"₽\"") << "the package's definition answers";
  formats.AddPackageFormat(u"0.0", 164);
  EXPECT_EQ(formats.ItemById(164)->Usage, 1);
  int well_known = 0;
  for (int id = 0; id < 59; ++id) well_known += TNumberFormats::IsWellKnownPackageId(id);
  EXPECT_EQ(well_known, 28);
}

// ---- mask parser ----

TEST(ExcelMask, RejectsLongTextsAndKeepsFourSections) {
  TExcelMask mask;
  EXPECT_NO_THROW(mask.Parse(std::u16string(255, u'0')));
  EXPECT_EQ(Message([&] { mask.Parse(std::u16string(256, u'0')); }),
            "Format string more than 255 characthers");
  EXPECT_EQ(mask.Mask().size(), 255u) << "a rejected text leaves the previous parse";
  mask.Parse(u"0;1;2;3;4");
  EXPECT_EQ(mask.Sections().size(), 4u);
  mask.Parse(u"\"a;b\"0");
  ASSERT_EQ(mask.Sections().size(), 1u);
  EXPECT_EQ(mask.Sections()[0].Tokens[0].Text, u"a;b");
  mask.Parse(u"GENERAL");
  EXPECT_EQ(mask.Mask(), u"@");
  EXPECT_TRUE(mask.Sections()[0].IsText);
  mask.Parse(u"General");
  EXPECT_EQ(mask.Mask(), u"General") << "only the capitalised word is replaced";
}

std::u16string Kinds(const TMaskSection& s) {
  // One letter per token kind, for compact expectations.
  static const char16_t kLetters[] = u"L#?0.%@EDMYHNSAhnsB";
  std::u16string out;
  for (const TMaskToken& t : s.Tokens) out.push_back(kLetters[t.Kind]);
  return out;
}

TEST(ExcelMask, TokensOfTypicalFormats) {
  struct Case {
    std::u16string text;
    std::u16string kinds;  // L literal, B start of number, D/M/Y/H/N/S date parts, A am/pm, h elapsed hours
    bool date_time;
  };
  const Case cases[] = {
      {u"#,##0.00", u"B###0.00", false},
      {u"m/d/yy", u"MLDLY", true},
      {u"h:mm AM/PM", u"HLNLA", true},
      {u"mm:ss", u"NLS", true},
      {u"[h]:mm:ss", u"hLNLS", true},
      {u"mm:ss.0", u"NLSB.0", true},
      {u"0.00E+00", u"B0.00E00", false},
      {u"_(* #,##0_)", u"LB###0", false},
      {u"0 \"шт.\"", u"B0L", false},
      {u"\\d0", u"LB0", false},
      {u"0%", u"B0%", false},
      {u"d h", u"DLH", true},
  };
  TExcelMask mask;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    mask.Parse(c.text);
    ASSERT_EQ(mask.Sections().size(), 1u);
    EXPECT_EQ(Kinds(mask.Sections()[0]), c.kinds);
    EXPECT_EQ(mask.Sections()[0].IsDateTime, c.date_time);
  }
}

TEST(ExcelMask, DetailsOfTokens) {
  TExcelMask mask;
  mask.Parse(u"h:mm AM/PM");
  EXPECT_TRUE(mask.Sections()[0].Tokens[0].TwelveHour);
  mask.Parse(u"0.0,,");
  EXPECT_EQ(mask.Sections()[0].Scaling, 2);
  EXPECT_TRUE(mask.Sections()[0].Thousands);
  mask.Parse(u"[Red]0;[BLUE]-0");
  EXPECT_EQ(mask.Sections()[0].Color, 0x0000FFu);
  EXPECT_EQ(mask.Sections()[1].Color, 0xFF0000u);
  mask.Parse(u"[$€-407]0");
  EXPECT_EQ(mask.Sections()[0].Tokens[0].Text, u"€");
  mask.Parse(u"yyy mmmmmm");
  EXPECT_EQ(mask.Sections()[0].Tokens[0].Count, 4);
  EXPECT_EQ(mask.Sections()[0].Tokens[2].Count, 5);
  mask.Parse(u"0.00E-00");
  EXPECT_EQ(mask.Sections()[0].Tokens[5].Sign, u'-');
}

}  // namespace
}  // namespace gridport
