// Changing a workbook after it was read: copy-on-write formatting of single cells, cell copies
// and the deletion of cells and ranges, with the usage counts of formats, fonts and shared
// strings that hold them together.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/workbook/exception_message.h"

#include "workbook/formatted_object.h"
#include "workbook/workbook.h"

namespace gridport {
namespace {

using test::Message;

TCellFormat& FormatOf(TSheet& sheet, std::uint16_t col, std::uint32_t row) {
  return *sheet.Workbook().CellFormats().Item(sheet.GetCell(col, row)->FormatIndex());
}

TFormattedObject Formatting(TSheet& sheet, std::uint16_t col, std::uint32_t row) {
  return *sheet.Formatting(col, row);
}

// A fresh workbook: formats 0-21 and fonts 0-4 are the permanent defaults; what the setters
// make is counted from format 22 and font 5 on.
struct TFixture {
  TXLSWorkbook wb;
  TSheet& sheet = wb.Sheets()[0];
  TCellFormats& formats = wb.CellFormats();
  TXFonts& fonts = wb.Fonts();
};

struct TPropertyCase {
  const char* name;
  std::function<void(TFormattedObject&)> set;
  std::function<bool(const TCellFormat&)> has;  // the format shows the new value
};

TEST(Formatting, AChangeCopiesTheSharedFormatAndTheSecondCellSharesTheCopy) {
  const std::vector<TPropertyCase> cases = {
      {"horizontal alignment", [](TFormattedObject& o) { o.SetHorizAlignment(2); },
       [](const TCellFormat& f) { return f.GetHorizAlignment() == 2; }},
      {"vertical alignment", [](TFormattedObject& o) { o.SetVertAlignment(0); },
       [](const TCellFormat& f) { return f.GetVertAlignment() == 0; }},
      {"text options", [](TFormattedObject& o) { o.SetTextOptions(toWrapText | toShrinkToFit); },
       [](const TCellFormat& f) { return f.GetTextOptions() == (toWrapText | toShrinkToFit); }},
      {"rotation", [](TFormattedObject& o) { o.SetRotation(-45); },
       [](const TCellFormat& f) { return f.GetRotation() == -45 && f.XfBody[7] == 135; }},
      {"indent", [](TFormattedObject& o) { o.SetIndent(3); }, [](const TCellFormat& f) { return f.GetIndent() == 3; }},
      {"merge", [](TFormattedObject& o) { o.SetMergeCells(true); },
       [](const TCellFormat& f) { return f.GetMergeCells(); }},
      {"left style", [](TFormattedObject& o) { o.SetLeftStyle(2); },
       [](const TCellFormat& f) { return f.GetLeftStyle() == 2 && f.HasBorders(); }},
      {"bottom colour", [](TFormattedObject& o) { o.SetBottomColorIndex(10); },
       [](const TCellFormat& f) { return f.GetBottomColorIndex() == 10; }},
      {"diagonal lines", [](TFormattedObject& o) { o.SetDiagonalLines(3); },
       [](const TCellFormat& f) { return f.GetDiagonalLines() == 3; }},
      {"fill pattern", [](TFormattedObject& o) { o.SetFillPattern(17); },
       [](const TCellFormat& f) { return f.GetFillPattern() == 17; }},
      {"pattern colour", [](TFormattedObject& o) { o.SetPatternForeColorIndex(10); },
       [](const TCellFormat& f) {
         return f.GetPatternForeColorIndex() == 10 && f.GetFillPattern() == 1 && f.GetPatternBackColorIndex() == 9;
       }},
      {"protection", [](TFormattedObject& o) { o.SetProtection(cpHidden); },
       [](const TCellFormat& f) { return f.GetProtection() == cpHidden; }},
      {"number format", [](TFormattedObject& o) { o.SetNumberFormatText(u"0.000"); },
       [](const TCellFormat& f) { return f.GetNumberFormatText() == u"0.000"; }},
      {"font style", [](TFormattedObject& o) { o.SetFontStyle(fsBold); },
       [](const TCellFormat& f) { return f.GetFont()->Style == fsBold && f.FontIndex() == 5; }},
      {"font name", [](TFormattedObject& o) { o.SetFontName(u"Times New Roman"); },
       [](const TCellFormat& f) { return f.GetFont()->Name == u"Times New Roman"; }},
      {"font height", [](TFormattedObject& o) { o.SetFontHeight(240); },
       [](const TCellFormat& f) { return f.GetFont()->Height == 240u; }},
  };
  for (const TPropertyCase& c : cases) {
    SCOPED_TRACE(c.name);
    TFixture x;
    x.sheet.InsertNumber(0, 0, 1, 15);
    x.sheet.InsertNumber(1, 0, 2, 15);
    const TXfBody defaultBody = x.formats.Item(15)->XfBody;
    const int formats = x.formats.Count();

    TFormattedObject first = Formatting(x.sheet, 0, 0);
    c.set(first);
    EXPECT_TRUE(c.has(FormatOf(x.sheet, 0, 0)));
    EXPECT_EQ(x.sheet.GetCell(0, 0)->FormatIndex(), formats) << "a new format at the end of the list";
    EXPECT_EQ(FormatOf(x.sheet, 0, 0).Usage, 1);
    EXPECT_EQ(x.sheet.GetCell(1, 0)->FormatIndex(), 15) << "the other cell keeps the shared format";
    EXPECT_EQ(x.formats.Item(15)->XfBody, defaultBody) << "and the shared format is unchanged";
    EXPECT_EQ(x.fonts.Item(0)->Style, 0);

    TFormattedObject second = Formatting(x.sheet, 1, 0);
    c.set(second);
    EXPECT_EQ(x.sheet.GetCell(1, 0)->FormatIndex(), formats) << "an equal format is shared, not added";
    EXPECT_EQ(FormatOf(x.sheet, 1, 0).Usage, 2);
    EXPECT_EQ(x.formats.Count(), formats + 1);

    c.set(first);  // the value it already has
    EXPECT_EQ(FormatOf(x.sheet, 0, 0).Usage, 2);
    EXPECT_EQ(x.formats.Count(), formats + 1);
  }
}

TEST(Formatting, AFormatLeftWithoutUsersGoesAndLaterCellsFollowTheirFormats) {
  TFixture x;
  TSheet& other = x.wb.Sheets().AddSheet(0);
  x.sheet.InsertNumber(0, 0, 1, 15);
  other.InsertNumber(5, 700000, 2, 15);
  Formatting(x.sheet, 0, 0).SetFontStyle(fsBold);           // format 22, font 5
  Formatting(other, 5, 700000).SetFontStyle(fsItalic);      // format 23, font 6
  ASSERT_EQ(other.GetCell(5, 700000)->FormatIndex(), 23);
  ASSERT_EQ(x.fonts.Count(), 7);
  TRowInfo rowFormat;
  rowFormat.Row = 3;
  rowFormat.FormatIndex = 23;
  other.Layout().Rows.push_back(rowFormat);

  // Back to the default: an equal format exists (15), so the cell takes it, and format 22
  // with its font 5 has no user left.
  Formatting(x.sheet, 0, 0).SetFontStyle(0);
  EXPECT_EQ(x.sheet.GetCell(0, 0)->FormatIndex(), 15);
  EXPECT_EQ(x.formats.Count(), 23);
  EXPECT_EQ(x.fonts.Count(), 6);
  EXPECT_EQ(other.GetCell(5, 700000)->FormatIndex(), 22) << "the other sheet's cell moved down with its format";
  EXPECT_EQ(other.Layout().Rows[0].FormatIndex, 22) << "and so did a row's format";
  const TCellFormat& italic = FormatOf(other, 5, 700000);
  EXPECT_EQ(italic.FontIndex(), 5) << "and the format's font index moved down with its font";
  EXPECT_EQ(italic.GetFont()->Style, fsItalic);
  EXPECT_EQ(italic.GetFont()->Usage, 1);
}

TEST(Formatting, ACopyKeepsItsFormatAndFontWhenTheOriginalChanges) {
  TFixture x;
  x.sheet.InsertText(0, 0, u"bold", 15);
  Formatting(x.sheet, 0, 0).SetFontStyle(fsBold);
  ASSERT_NE(x.sheet.MakeCopy(x.sheet, 0, 0, 3, 3), nullptr);
  EXPECT_EQ(x.sheet.GetCell(3, 3)->FormatIndex(), 22);
  EXPECT_EQ(x.formats.Item(22)->Usage, 2);

  // The original changes its font: the copy's format, and the font it names, stay.
  Formatting(x.sheet, 0, 0).SetFontStyle(fsBold | fsItalic);
  EXPECT_EQ(x.sheet.GetCell(0, 0)->FormatIndex(), 23);
  EXPECT_EQ(x.sheet.GetCell(3, 3)->FormatIndex(), 22);
  EXPECT_EQ(FormatOf(x.sheet, 3, 3).GetFont()->Style, fsBold);
  EXPECT_EQ(FormatOf(x.sheet, 0, 0).GetFont()->Style, fsBold | fsItalic);

  // Deleting the copy frees its format and the font only that format named.
  x.sheet.DeleteCell(3, 3);
  EXPECT_EQ(x.formats.Count(), 23);
  EXPECT_EQ(x.sheet.GetCell(0, 0)->FormatIndex(), 22);
  EXPECT_EQ(x.fonts.Count(), 6);
  EXPECT_EQ(FormatOf(x.sheet, 0, 0).GetFont()->Style, fsBold | fsItalic);
  EXPECT_EQ(x.sheet.CellText(0, 0), u"bold");
}

TEST(Formatting, ACellInsertedWithAMadeFormatHoldsItToo) {
  TFixture x;
  x.sheet.InsertNumber(0, 0, 1, 15);
  Formatting(x.sheet, 0, 0).SetIndent(2);
  x.sheet.InsertNumber(1, 0, 2, 22);
  EXPECT_EQ(x.formats.Item(22)->Usage, 2);
  Formatting(x.sheet, 0, 0).SetIndent(0);  // back to format 15
  EXPECT_EQ(x.sheet.GetCell(0, 0)->FormatIndex(), 15);
  ASSERT_EQ(x.formats.Count(), 23) << "format 22 still has a user";
  EXPECT_EQ(FormatOf(x.sheet, 1, 0).GetIndent(), 2);
}

TEST(Formatting, FailuresAndValuesAFormatCannotHoldChangeNothing) {
  TFixture x;
  x.sheet.InsertNumber(0, 0, 1, 15);
  TFormattedObject cell = Formatting(x.sheet, 0, 0);
  EXPECT_EQ(Message([&] { cell.SetNumberFormatText(std::u16string(256, u'0')); }),
            "Format string more than 255 characthers");
  cell.SetIndent(20);  // stored as 15
  EXPECT_EQ(FormatOf(x.sheet, 0, 0).GetIndent(), 15);
  const int count = x.formats.Count();
  cell.SetIndent(30);  // also 15: nothing to change
  EXPECT_EQ(x.formats.Count(), count);
  EXPECT_FALSE(x.sheet.Formatting(9, 9).has_value());
}

TEST(Formatting, AnExcel2007BorderSharedByFormatsIsCopiedBeforeItChanges) {
  TFixture x;
  TBorder* border = x.formats.Borders().Add();
  border->Lines[bsLeft].Color.Kind = sckIndexed;
  border->Lines[bsLeft].Color.PaletteIndex = 8;
  TCellFormatEx12* shared = x.formats.AddFormatEx12();
  shared->Border = border;
  TXFontEx12* sharedFont = x.fonts.AddFontEx12();
  shared->Font = sharedFont;
  const int sharedIndex = shared->Index;
  x.sheet.InsertNumber(0, 0, 1, static_cast<std::uint16_t>(sharedIndex));
  x.sheet.InsertNumber(1, 0, 2, static_cast<std::uint16_t>(sharedIndex));

  Formatting(x.sheet, 0, 0).SetLeftColorIndex(10);
  EXPECT_EQ(FormatOf(x.sheet, 0, 0).GetLeftColorIndex(), 10);
  EXPECT_EQ(FormatOf(x.sheet, 1, 0).GetLeftColorIndex(), 8) << "the other format's border is untouched";
  EXPECT_EQ(border->Lines[bsLeft].Color.PaletteIndex, 8);

  // Line styles live in the border object and this kind of format ignores their setter.
  const int count = x.formats.Count();
  Formatting(x.sheet, 1, 0).SetLeftStyle(2);
  EXPECT_EQ(x.formats.Count(), count);
  EXPECT_EQ(x.sheet.GetCell(1, 0)->FormatIndex(), sharedIndex);

  // A font change gives the copy a font of the same kind, found or added.
  Formatting(x.sheet, 1, 0).SetFontStyle(fsBold);
  const TXFont* font = FormatOf(x.sheet, 1, 0).GetFont();
  ASSERT_NE(font, nullptr);
  EXPECT_TRUE(font->IsEx12());
  EXPECT_EQ(font->Style, fsBold);
  EXPECT_NE(font, sharedFont);
  EXPECT_EQ(FormatOf(x.sheet, 0, 0).GetFont(), sharedFont);
}

TEST(CellCopies, EveryKindIsCopiedWithItsValueAndFormat) {
  TFixture x;
  TSheet& s = x.sheet;
  const std::uint8_t rpn[] = {0x1E, 0x03, 0x00};
  s.InsertBlank(0, 0, 20);
  s.InsertNumber(1, 0, 2.5, 15);
  s.InsertText(2, 0, u"text", 15);
  s.InsertBoolean(3, 0, 1, 15);
  s.InsertError(4, 0, 2, 15);
  s.InsertNumberFormula(5, 0, 3, 3, rpn, 15);
  s.InsertStringFormula(6, 0, u"result", 3, rpn, 15);
  s.InsertBooleanFormula(7, 0, 0, 3, rpn, 15);
  s.InsertErrorFormula(8, 0, 0x2A, 3, rpn, 15);
  s.InsertNumberArrayFormula(9, 0, 0, rpn, 4, 3, rpn, 15);
  s.InsertStringArrayFormula(10, 0, 1, {}, u"arr", 0, {}, 15);
  s.InsertStringFormulaText(11, 0, 2, 1, u"x", "A1&\"x\"", 15);
  TSheet& target = x.wb.Sheets().AddSheet(0);
  for (std::uint16_t col = 0; col <= 11; ++col) {
    SCOPED_TRACE(col);
    TCell* copy = target.MakeCopy(s, col, 0, col, 5);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->CellKind(), s.CellKind(col, 0));
    EXPECT_EQ(copy->FormatIndex(), s.GetCell(col, 0)->FormatIndex());
    EXPECT_EQ(target.CellText(col, 5), s.CellText(col, 0));
    if (const auto* formula = copy->As<TFormulaCell>()) {
      const TFormulaData& a = formula->Formula();
      const TFormulaData& b = s.GetCell(col, 0)->As<TFormulaCell>()->Formula();
      EXPECT_NE(&a, &b) << "the copy has formula data of its own";
      EXPECT_EQ(std::vector<std::uint8_t>(a.FormulaData, a.FormulaData + a.DataSize),
                std::vector<std::uint8_t>(b.FormulaData, b.FormulaData + b.DataSize));
      EXPECT_EQ(a.ExpressionSize, b.ExpressionSize);
      EXPECT_EQ(a.ArrayDataSize, b.ArrayDataSize);
      EXPECT_EQ(a.SharedIndex, b.SharedIndex);
      EXPECT_EQ(a.IsContinuation, b.IsContinuation);
    }
  }
  // The original goes; the copy's text lives on in the shared entry it counts.
  TSSTEntry* entry = s.GetCell(2, 0)->As<TStringCell>()->Entry();
  EXPECT_EQ(entry->References(), 2);
  s.DeleteCell(2, 0);
  EXPECT_EQ(target.CellText(2, 5), u"text");
  EXPECT_EQ(entry->References(), 1);
}

TEST(CellCopies, TargetsSourcesAndWorkbooks) {
  TFixture x;
  x.sheet.InsertText(0, 0, u"source", 15);
  x.sheet.InsertText(1, 0, u"overwritten", 15);
  const std::size_t strings = x.wb.SST().UniqueCount();
  ASSERT_NE(x.sheet.MakeCopy(x.sheet, 0, 0, 1, 0), nullptr);
  EXPECT_EQ(x.sheet.CellText(1, 0), u"source");
  EXPECT_EQ(x.wb.SST().UniqueCount(), strings - 1) << "the replaced cell gave back its string";

  TCell* self = x.sheet.GetCell(0, 0);
  EXPECT_EQ(x.sheet.MakeCopy(x.sheet, 0, 0, 0, 0), self) << "a copy onto itself changes nothing";
  EXPECT_EQ(self->As<TStringCell>()->Entry()->References(), 2);

  EXPECT_EQ(x.sheet.MakeCopy(x.sheet, 7, 7, 1, 0), nullptr);
  EXPECT_EQ(x.sheet.CellText(1, 0), u"source") << "no source: the target stays";

  TXLSWorkbook otherBook;
  EXPECT_EQ(Message([&] { otherBook.Sheets()[0].MakeCopy(x.sheet, 0, 0, 0, 0); }),
            "Cannot copy a cell from another workbook");
  EXPECT_THROW(x.sheet.MakeCopy(x.sheet, 0, 0, 16384, 0), EXLSError);
}

TEST(CellDeletion, RangesDeleteOnlyTheirCellsAndGiveBackStrings) {
  TFixture x;
  TSheet& s = x.sheet;
  for (std::uint16_t col = 0; col < 4; ++col)
    for (std::uint32_t row = 0; row < 4; ++row) s.InsertText(col, row, u"cell", 15);
  s.InsertText(200, 1048575, u"far", 15);
  TSSTEntry* entry = s.GetCell(0, 0)->As<TStringCell>()->Entry();
  ASSERT_EQ(entry->References(), 16);

  s.Layout().MergedAreas = {{1, 2, 1, 2}, {2, 3, 2, 2}};  // inside, and reaching out of the range
  s.DeleteCells(1, 1, 2, 2);
  ASSERT_EQ(s.Layout().MergedAreas.size(), 1u) << "only the area inside the range went";
  EXPECT_EQ(s.Layout().MergedAreas[0].LastCol, 3);
  for (std::uint16_t col = 0; col < 4; ++col)
    for (std::uint32_t row = 0; row < 4; ++row) {
      const bool inside = col >= 1 && col <= 2 && row >= 1 && row <= 2;
      EXPECT_EQ(s.CellKind(col, row), inside ? ckNone : ckString) << col << "," << row;
    }
  EXPECT_EQ(entry->References(), 12);

  s.DeleteCells(3, 0, 0, 3);  // first corner past the last: nothing
  s.DeleteCells(0, 3, 3, 0);
  EXPECT_EQ(s.Cells().CellCount(), 13u);

  s.DeleteCells(0, 0, 16383, 0xFFFFFFFF);  // the whole sheet, rows past the last clamped
  EXPECT_EQ(s.Cells().CellCount(), 0u);
  EXPECT_EQ(x.wb.SST().UniqueCount(), 0u) << "the last references went with the cells";
  s.ComputeUsedArea();
  EXPECT_EQ(s.LastUsedRow(), 0);
}

TEST(CellDeletion, ColumnsOuterRowsInnerAndFailuresNameTheCell) {
  TFixture x;
  TSheet& s = x.sheet;
  std::vector<std::pair<int, int>> order;
  std::pair<int, int> failAt{-1, -1};
  x.wb.FormulaHandler().CellValues().SharedFormulaHook = [&](TCellValues&, TCell& cell) {
    if (cell.Col() == failAt.first && static_cast<int>(cell.Row()) == failAt.second) throw EXLSError("hook");
    order.emplace_back(cell.Col(), cell.Row());
  };
  const std::pair<int, int> cells[] = {{1, 0}, {0, 1}, {0, 0}, {1, 1}, {0, 2}};
  for (auto [col, row] : cells)
    s.InsertNumberFormulaText(static_cast<std::uint16_t>(col), static_cast<std::uint32_t>(row), 0, 0, 1, "A1", 15);
  s.DeleteCells(0, 0, 1, 1);
  const std::vector<std::pair<int, int>> expected = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(s.CellKind(0, 2), ckNumberFormula);

  for (auto [col, row] : cells)
    s.InsertNumberFormulaText(static_cast<std::uint16_t>(col), static_cast<std::uint32_t>(row), 0, 0, 1, "A1", 15);
  failAt = {0, 1};
  EXPECT_EQ(Message([&] { s.DeleteCells(0, 0, 1, 2); }), "Error on deleting cell 0:1");
  EXPECT_EQ(s.CellKind(0, 0), ckNone);
  EXPECT_EQ(s.CellKind(0, 1), ckNumberFormula) << "the failing cell stays";
  EXPECT_EQ(s.CellKind(1, 0), ckNumberFormula) << "and the cells after it";
}

}  // namespace
}  // namespace gridport
