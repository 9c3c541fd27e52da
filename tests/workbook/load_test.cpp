// ReadWorkbook end to end: one workbook with a cell of every kind, written as .xls and as
// .xlsx by the same writer (tests/data/workbook/make_load_fixtures.sh), read through both
// load paths and checked against one table of cell texts.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "workbook/number_text.h"
#include "workbook/workbook.h"

namespace gridport {
namespace {

std::string Fixture(const char* name) { return std::string(GRIDPORT_TEST_DATA) + "/workbook/" + name; }

class CommaSeparator {
 public:
  CommaSeparator() : saved_(DecimalSeparator()) { SetDecimalSeparator(u','); }
  ~CommaSeparator() { SetDecimalSeparator(saved_); }

 private:
  char16_t saved_;
};

struct TKindCase {
  std::uint16_t col;
  std::uint32_t row;
  TCellKind biffKind;
  TCellKind openXmlKind;
  std::u16string text;
};

// Kinds differ where the formats do: an Open XML array formula is read as a plain formula
// and its other cells as plain values, an .xlsx stores no cell text beside the number.
const std::vector<TKindCase> kEveryKind = {
    {0, 0, ckString, ckString, u"текст"},
    {1, 0, ckNumber, ckNumber, u"-1234,5"},
    {2, 0, ckBoolean, ckBoolean, u"TRUE"},
    {3, 0, ckError, ckError, u"#DIV/0!"},
    {4, 0, ckError, ckError, u"N/A"},
    {0, 1, ckNumberFormula, ckNumberFormula, u"-2469"},
    {1, 1, ckStringFormula, ckStringFormula, u"abc"},
    {2, 1, ckBooleanFormula, ckBooleanFormula, u"TRUE"},
    {3, 1, ckErrorFormula, ckErrorFormula, u"#DIV/0!"},
    {4, 1, ckNumberFormula, ckNumberFormula, u"0,3"},  // 0.30000000000000004 to 15 digits
    {0, 2, ckNumberArrayFormula, ckNumberFormula, u"1,5"},
    {0, 3, ckNumberArrayFormula, ckNumber, u"2"},
    {1, 2, ckNumber, ckNumber, u"1E20"},
    {2, 2, ckNumber, ckNumber, u"1E-5"},
    {3, 2, ckString, ckString, u"FALSE text"},
    {4, 2, ckBoolean, ckBoolean, u"FALSE"},
    {0, 4, ckBlank, ckBlank, u""},
    {1, 4, ckNone, ckNone, u""},
};

TEST(ReadWorkbook, EveryCellKindThroughBothLoadPaths) {
  CommaSeparator comma;
  struct {
    const char* file;
    bool openXml;
  } const files[] = {{"every_kind.xls", false}, {"every_kind.xlsx", true}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.file);
    TXLSWorkbook wb;
    wb.SetFilename(Fixture(f.file));
    ASSERT_NO_THROW(wb.ReadWorkbook());
    EXPECT_EQ(wb.OrigVersion(), f.openXml ? xvExcel2007 : xvExcel97);
    EXPECT_EQ(wb.Version(), wb.OrigVersion());
    EXPECT_FALSE(wb.ShowFormulas);
    ASSERT_EQ(wb.Sheets().Count(), 1u);
    TSheet& sheet = wb.Sheets()[0];
    EXPECT_EQ(sheet.Name(), u"Kinds");
    for (const TKindCase& c : kEveryKind) {
      SCOPED_TRACE("col " + std::to_string(c.col) + " row " + std::to_string(c.row));
      EXPECT_EQ(sheet.CellKind(c.col, c.row), f.openXml ? c.openXmlKind : c.biffKind);
      EXPECT_EQ(sheet.CellText(c.col, c.row), c.text);
    }
    sheet.ComputeUsedArea();
    EXPECT_EQ(sheet.FirstUsedCol(), 0);
    EXPECT_EQ(sheet.LastUsedCol(), 4);
    EXPECT_EQ(sheet.FirstUsedRow(), 0);
    EXPECT_EQ(sheet.LastUsedRow(), 4);
    // The read is over: the by-position string index is gone, and everything read is
    // permanent in the format and font tables.
    EXPECT_EQ(wb.SST().IndexCount(), 0u);
    EXPECT_EQ(wb.CellFormats().FirstDeletable(), wb.CellFormats().Count());
    EXPECT_EQ(wb.Fonts().FirstDeletable(), wb.Fonts().Count());
  }
}

// The formula decoder is not part of this program: ShowFormulas exists, starts false, and
// formula cells read as their cached results whatever it is set to.
TEST(ReadWorkbook, FormulaCellsReadAsTheirCachedResults) {
  CommaSeparator comma;
  TXLSWorkbook wb;
  EXPECT_FALSE(wb.ShowFormulas);
  wb.SetFilename(Fixture("every_kind.xls"));
  ASSERT_NO_THROW(wb.ReadWorkbook());
  for (bool show : {false, true}) {
    wb.ShowFormulas = show;
    TSheet& sheet = wb.Sheets()[0];
    EXPECT_EQ(sheet.CellText(0, 1), u"-2469") << show;
    EXPECT_EQ(sheet.CellText(1, 1), u"abc") << show;
    EXPECT_EQ(sheet.CellText(0, 2), u"1,5") << show;
  }
  wb.ClearWorkbook();
  EXPECT_TRUE(wb.ShowFormulas) << "clearing keeps the setting";
}

TEST(ReadWorkbook, ASecondReadReplacesTheFirst) {
  TXLSWorkbook wb;
  wb.SetFilename(Fixture("every_kind.xlsx"));
  ASSERT_NO_THROW(wb.ReadWorkbook());
  wb.Sheets()[0].InsertText(9, 9, u"left over", 15);
  const std::size_t strings = wb.SST().UniqueCount();
  wb.SetFilename(Fixture("every_kind.xls"));
  ASSERT_NO_THROW(wb.ReadWorkbook());
  ASSERT_EQ(wb.Sheets().Count(), 1u);
  EXPECT_EQ(wb.Sheets()[0].CellKind(9, 9), ckNone);
  EXPECT_EQ(wb.Sheets()[0].CellText(0, 0), u"текст");
  EXPECT_EQ(wb.SST().UniqueCount(), strings - 1) << "the extra string went with the first read";

  // A file that cannot be read after a good one: the model is cleared, one empty sheet stays.
  const std::string bad = ::testing::TempDir() + "gridport_load_test_bad.xls";
  // A compound-document signature with nothing after it.
  std::ofstream(bad, std::ios::binary) << "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 cut short";
  wb.SetFilename(bad);
  EXPECT_THROW(wb.ReadWorkbook(), std::exception);
  ASSERT_EQ(wb.Sheets().Count(), 1u);
  EXPECT_EQ(wb.Sheets()[0].CellKind(0, 0), ckNone);
  EXPECT_EQ(wb.OrigVersion(), xvNone);
  std::remove(bad.c_str());
}

}  // namespace
}  // namespace gridport
