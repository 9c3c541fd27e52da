// The styles part, the workbook part's names and calculation id, and a worksheet's rows,
// columns and merged areas, over hand-built packages (tests/data/openxml/make_package_fixtures.py).
#include <gtest/gtest.h>

#include <string>

#include "biff/names.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

std::string Fixture(const char* name) { return std::string(GRIDPORT_TEST_DATA) + "/openxml/" + name; }

std::string ReadError(TXLSWorkbook& workbook, const char* name) {
  workbook.SetFilename(Fixture(name));
  try {
    workbook.ReadWorkbook();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

class PackageStyles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ReadError(wb, "pkg_styles_and_extras.xlsx"), ""); }
  TCellFormatEx12& Format(int index) {
    auto* format = dynamic_cast<TCellFormatEx12*>(wb.CellFormats()[index]);
    EXPECT_NE(format, nullptr) << index;
    return *format;
  }
  TXLSWorkbook wb;
};

TEST_F(PackageStyles, NumberFormatsFontsFillsAndBorders) {
  const TNumberFormats& numbers = wb.CellFormats().NumberFormats();
  ASSERT_NE(numbers.ItemById(164), nullptr);
  EXPECT_EQ(numbers.ItemById(164)->Text, u"0.0\"кг\"");
  EXPECT_EQ(numbers.ItemById(14)->Text, TNumberFormats::BuiltInText(14)) << "well-known ids are not redefined";

  ASSERT_EQ(wb.Fonts().Count(), 2);
  EXPECT_EQ(wb.Fonts()[1]->Name, u"Arial");
  EXPECT_EQ(wb.Fonts()[1]->Height, 280u);
  EXPECT_EQ(wb.Fonts()[1]->Style & fsBold, fsBold);

  TFills& fills = wb.CellFormats().Fills();
  ASSERT_EQ(fills.Count(), 4);
  EXPECT_EQ(fills.Item(1)->PatternType, 17);  // gray125
  const TFill& solid = *fills.Item(2);
  EXPECT_EQ(solid.PatternType, 1);
  EXPECT_EQ(solid.Foreground.Kind, sckTheme);
  EXPECT_EQ(solid.Foreground.Value, 4u);
  EXPECT_EQ(solid.Foreground.Tint, 0.5);
  EXPECT_EQ(solid.Background.Kind, sckIndexed);
  EXPECT_EQ(solid.Background.PaletteIndex, 64);
  const TGradientFill* gradient = fills.Item(3)->Gradient();
  ASSERT_NE(gradient, nullptr);
  ASSERT_EQ(gradient->Stops.size(), 2u);
  EXPECT_EQ(gradient->Stops[0].Color.Kind, sckRGB);
  EXPECT_EQ(gradient->Stops[0].Color.Resolved, 0x0000FFu) << "the rgb text's low 24 bits";
  EXPECT_EQ(gradient->Stops[1].Position, 1.0);
  EXPECT_EQ(gradient->GradientType, 1);
  EXPECT_EQ(gradient->Degree, 90.0);
  EXPECT_EQ(gradient->Left(), 0.5);
  EXPECT_TRUE(gradient->BottomGiven());
  EXPECT_EQ(gradient->Bottom(), 0.0);

  TBorders& borders = wb.CellFormats().Borders();
  ASSERT_EQ(borders.Count(), 2);
  EXPECT_EQ(borders.Item(0)->Lines[bsLeft].Color.Kind, sckNone);
  const TBorder& border = *borders.Item(1);
  EXPECT_EQ(border.Options, 2 | 4);
  EXPECT_EQ(border.Lines[bsLeft].Style, 1);
  EXPECT_EQ(border.Lines[bsLeft].Color.PaletteIndex, 10);
  EXPECT_EQ(border.Lines[bsBottom].Style, 13) << "slantDashDot";
  EXPECT_EQ(border.Lines[bsBottom].Color.Kind, sckNone);
  EXPECT_EQ(border.Lines[bsDiagonal].Style, 6);
  EXPECT_EQ(border.Lines[bsDiagonal].Color.Kind, sckAutomatic);
  EXPECT_EQ(border.Lines[bsTop].Style, 0);
}

TEST_F(PackageStyles, CellFormatsStyleFormatsAndCellStyles) {
  ASSERT_EQ(wb.StyleFormats().Count(), 2);
  ASSERT_EQ(wb.CellFormats().Count(), 21 + 3);
  TCellFormatEx12& plain = Format(21);
  EXPECT_EQ(plain.StyleFormat, wb.StyleFormats()[0]) << "xfId 0 is the Normal style's format";
  EXPECT_EQ(plain.GetProtection(), 0) << "no protection element: unlocked";
  EXPECT_EQ(plain.GetVertAlignment(), 0) << "no alignment element: the body stays zero";

  TCellFormatEx12& styled = Format(22);
  EXPECT_EQ(styled.StyleFormat, wb.StyleFormats()[1]);
  EXPECT_EQ(styled.Font, wb.Fonts()[1]);
  EXPECT_EQ(styled.Fill, wb.CellFormats().Fills().Item(2));
  EXPECT_EQ(styled.Border, wb.CellFormats().Borders().Item(1));
  EXPECT_EQ(styled.NumberFormatId, 164);
  EXPECT_EQ(styled.ApplyFlags, 63);
  EXPECT_EQ(styled.GetHorizAlignment(), 6);
  EXPECT_EQ(styled.GetVertAlignment(), 1);
  EXPECT_EQ(styled.XfBody[7], 135);
  EXPECT_EQ(styled.GetRotation(), -45);
  EXPECT_EQ(styled.GetTextOptions(), toWrapText);
  EXPECT_EQ(styled.GetIndent(), 2);
  EXPECT_EQ(styled.ReadingOrder, 2);
  EXPECT_EQ(styled.GetProtection(), cpHidden);
  EXPECT_TRUE(styled.QuotePrefix);
  EXPECT_EQ(styled.GetFillPattern(), 1);
  EXPECT_EQ(styled.GetLeftColorIndex(), 10);

  TCellFormatEx12& dated = Format(23);
  EXPECT_EQ(dated.StyleFormat, nullptr) << "xfId 7 names no cell-style format";
  EXPECT_EQ(dated.GetProtection(), cpLocked);
  EXPECT_EQ(dated.Fill->Gradient() != nullptr, true);

  ASSERT_EQ(wb.CellStyles().Count(), 2);
  const TEx12CellStyle& normal = *wb.CellStyles().Item(0);
  EXPECT_EQ(normal.Name, u"Normal");
  EXPECT_EQ(normal.BuiltInId, 0);
  EXPECT_EQ(normal.OutlineLevel, -1);
  const TEx12CellStyle& heading = *wb.CellStyles().Item(1);
  EXPECT_EQ(heading.Name, u"Заголовок & 1");
  EXPECT_EQ(heading.BuiltInId, -1);
  EXPECT_TRUE(heading.CustomBuiltIn);
  EXPECT_TRUE(heading.Hidden);
  EXPECT_EQ(heading.OutlineLevel, 2);
  EXPECT_EQ(heading.StyleFormatIndex, 1);

  EXPECT_EQ(wb.Ex12Dxfs.rfind("<dxfs count=\"1\"", 0), 0u) << wb.Ex12Dxfs;
  EXPECT_NE(wb.Ex12Dxfs.find("<b/>"), std::string::npos) << wb.Ex12Dxfs;
  EXPECT_NE(wb.Ex12TableStyles.find("TableStyleMedium2"), std::string::npos);
  EXPECT_NE(wb.Ex12Colors.find("<indexedColors>"), std::string::npos);

  // Cells take the package's style index + 21.
  TSheet& sheet = wb.Sheets()[0];
  EXPECT_EQ(sheet.GetCell(1, 1)->FormatIndex(), 23);
  EXPECT_EQ(sheet.GetCell(2, 1)->FormatIndex(), 22);
  EXPECT_EQ(sheet.GetCell(1, 2)->FormatIndex(), 21);
  EXPECT_EQ(sheet.CellText(2, 1), u"2") << "formats do not change the text of a cell";
}

TEST_F(PackageStyles, DefinedNamesAndCalculationId) {
  EXPECT_EQ(wb.CalcId, 191029);
  const TInternalNames& names = wb.FormulaHandler().InternalNames();
  ASSERT_EQ(names.Count(), 2u);
  const TInternalName& total = names[0];
  EXPECT_EQ(BIFF8Text(total.Name), u"Итог");
  EXPECT_EQ(total.DefinitionText, u"A!$A$1:$B$2");
  EXPECT_EQ(total.Comment, u"c & d");
  EXPECT_EQ(total.Description, u"desc");
  EXPECT_EQ(total.HelpTopic, u"h");
  EXPECT_EQ(total.StatusBar, u"sb");
  EXPECT_EQ(total.CustomMenu, u"cm");
  EXPECT_EQ(total.KeyboardShortcut, 'K');
  EXPECT_EQ(total.FunctionGroup, 3);
  EXPECT_EQ(total.SheetIndex, 0) << "a name of the whole workbook";
  EXPECT_EQ(total.Options, nmoFunction | nmoVBProcedure | nmoXlm | nmoPublishToServer | nmoWorkbookParameter);
  const TInternalName& area = names[1];
  EXPECT_EQ(BIFF8Text(area.Name), u"_xlnm.Print_Area");
  EXPECT_EQ(area.SheetIndex, 2) << "localSheetId 1 is the second sheet";
  EXPECT_EQ(area.Options, nmoHidden);
}

TEST_F(PackageStyles, RowsColumnsAndMergedAreas) {
  const TSheetLayout& layout = wb.Sheets()[0].Layout();
  // Rows 2 and 4 list only cells: no entry. Row 5 has no "r" and a height that is no number.
  // The control's anchor (xdr:col, xdr:row) is neither a column nor a row: the read passes.
  ASSERT_EQ(layout.Rows.size(), 2u);
  const TRowInfo& row = layout.Rows[0];
  EXPECT_EQ(row.Row, 2u);
  EXPECT_EQ(row.Height, 300);
  EXPECT_EQ(row.FormatIndex, 23);
  EXPECT_TRUE(row.CustomHeight && row.CustomFormat && row.Hidden && row.Collapsed && row.ThickBottom);
  EXPECT_FALSE(row.ThickTop || row.Phonetic);
  EXPECT_EQ(row.OutlineLevel, 2);
  EXPECT_EQ(layout.Rows[1].Row, 4u);
  EXPECT_EQ(layout.FindRow(3), nullptr);

  ASSERT_EQ(layout.ColumnCount(), 16384u) << "a range past the last column stops there";
  EXPECT_EQ(layout.ColumnAt(0).Width, 2500) << "a column no element named keeps the defaults";
  for (std::size_t c : {1u, 2u}) {
    EXPECT_EQ(layout.ColumnAt(c).Width, 5248) << c;  // 20.5 * 256
    EXPECT_TRUE(layout.ColumnAt(c).Hidden && layout.ColumnAt(c).CustomWidth);
    EXPECT_EQ(layout.ColumnAt(c).OutlineLevel, 1);
  }
  EXPECT_EQ(layout.ColumnAt(4).Width, 2500) << "no width: 9.765625 * 256";
  EXPECT_FALSE(layout.ColumnAt(3).Hidden);
  EXPECT_EQ(layout.ColumnAt(7).Width, 2500) << "max below min creates nothing";
  EXPECT_TRUE(layout.ColumnAt(16383).BestFit);

  ASSERT_EQ(layout.MergedAreas.size(), 2u) << "a turned-around area is left out";
  EXPECT_EQ(layout.MergedAreas[0].FirstCol, 1);
  EXPECT_EQ(layout.MergedAreas[0].LastCol, 2);
  EXPECT_EQ(layout.MergedAreas[0].FirstRow, 1u);
  EXPECT_EQ(layout.MergedAreas[0].LastRow, 2u);
  EXPECT_EQ(layout.MergedAreas[1].FirstCol, layout.MergedAreas[1].LastCol) << "a single cell E5";

  const TSheet& sheet = wb.Sheets()[0];
  EXPECT_EQ(sheet.FirstUsedCol(), 1);
  EXPECT_EQ(sheet.LastUsedRow(), 8);

  // A second read starts from an empty model.
  wb.ClearWorkbook();
  EXPECT_EQ(wb.Sheets()[0].Layout().Rows.size(), 0u);
  EXPECT_EQ(wb.CellStyles().Count(), 0);
  EXPECT_EQ(wb.CalcId, 0);
  EXPECT_EQ(wb.FormulaHandler().InternalNames().Count(), 0u);
}

TEST(PackageStylesMessages, BadPartsEndTheRead) {
  struct {
    const char* file;
    const char* message;
  } const cases[] = {
      {"pkg_unknown_fill_type.xlsx", "Unknown fill type"},
      {"pkg_fill_id_outside.xlsx", "List index out of bounds (5)"},
      {"pkg_row_out_of_range.xlsx", "Row number out of range: 1048577"},
  };
  for (const auto& c : cases) {
    TXLSWorkbook wb;
    EXPECT_EQ(ReadError(wb, c.file), c.message) << c.file;
    EXPECT_EQ(wb.Sheets().Count(), 1u);
  }
}

}  // namespace
}  // namespace gridport
