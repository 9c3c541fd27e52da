#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/workbook/exception_message.h"

#include "workbook/byte_view.h"
#include "workbook/number_text.h"
#include "workbook/workbook.h"

namespace gridport {
namespace {

class Separator {
 public:
  explicit Separator(char16_t s) : saved_(DecimalSeparator()) { SetDecimalSeparator(s); }
  ~Separator() { SetDecimalSeparator(saved_); }

 private:
  char16_t saved_;
};

using test::Message;

TEST(Workbook, ConstructionAndFormResource) {
  TXLSWorkbook wb;
  EXPECT_EQ(wb.Version(), xvExcel97);
  EXPECT_EQ(ColumnLimit(), 255);
  EXPECT_EQ(RowLimit(), 65535u);
  EXPECT_EQ(wb.MaxRecordSize(), 8224u);
  EXPECT_EQ(wb.OrigVersion(), xvNone);
  ASSERT_EQ(wb.Sheets().Count(), 1u);
  EXPECT_EQ(wb.Sheets()[0].Name(), u"Sheet1");  // identifier 0
  EXPECT_EQ(wb.OptionsDialog.CalcMode, cmAutomatic);
  EXPECT_EQ(wb.OptionsDialog.CalcCount, 100);
  EXPECT_FALSE(wb.OptionsDialog.R1C1Mode);
  EXPECT_TRUE(wb.OptionsDialog.SaveRecalc);

  wb.ApplyFormResource();
  EXPECT_EQ(wb.Version(), xvExcel2007);
  EXPECT_EQ(ColumnLimit(), 16383);
  EXPECT_EQ(RowLimit(), 1048575u);
  ASSERT_EQ(wb.Sheets().Count(), 1u);
  EXPECT_EQ(wb.Sheets()[0].Name(), u"Sheet1");
  wb.ClearWorkbook();
  EXPECT_EQ(wb.Sheets()[0].Name(), u"Sheet3") << "identifiers keep counting across clears";
  EXPECT_THROW(wb.Sheets()[1], EListError);
  EXPECT_EQ(Message([&] { wb.Sheets()[5]; }), "List index out of bounds (5)");

  wb.SetVersion(xvExcel50);
  EXPECT_EQ(wb.MaxRecordSize(), 2080u);
}

TEST(Workbook, BooleanTextsAreProcessWide) {
  TXLSWorkbook a;
  TXLSWorkbook b;
  b.Sheets()[0].InsertBoolean(0, 0, 1, 15);
  b.Sheets()[0].InsertBoolean(1, 0, 0, 15);
  EXPECT_EQ(b.Sheets()[0].CellText(0, 0), u"TRUE");
  EXPECT_EQ(b.Sheets()[0].CellText(1, 0), u"FALSE");
  a.SetStrTRUE(u"ИСТИНА");
  EXPECT_EQ(b.Sheets()[0].CellText(0, 0), u"ИСТИНА");
  TXLSWorkbook c;  // a new component sets them back
  EXPECT_EQ(b.Sheets()[0].CellText(0, 0), u"TRUE");
}

TEST(Sheet, NamesAreUniqueIgnoringCase) {
  TXLSWorkbook wb;
  TSheet& first = wb.Sheets()[0];
  TSheet& second = wb.Sheets().AddSheet(0);
  EXPECT_EQ(second.Name(), u"Sheet2");
  first.SetName(u"SHEET1");
  EXPECT_EQ(first.Name(), u"Sheet1") << "a change of case alone is ignored";
  EXPECT_EQ(Message([&] { second.SetName(u"sheet1"); }), "Sheet name \"sheet1\" allready exists");
  EXPECT_EQ(second.Name(), u"Sheet2");
  second.SetName(u"Лист");
  EXPECT_EQ(Message([&] { first.SetName(u"ЛИСТ"); }), "Sheet name \"ЛИСТ\" allready exists");
  EXPECT_EQ(wb.Sheets().FindSheet(u"лист"), &second);
  EXPECT_EQ(wb.Sheets().FindSheet(u"nothing"), nullptr);
  EXPECT_EQ(wb.Sheets().SheetNames(), (std::vector<std::u16string>{u"Sheet1", u"Лист"}));
}

TEST(Sheet, UsedArea) {
  TXLSWorkbook wb;
  TSheet& s = wb.Sheets()[0];
  s.ComputeUsedArea();
  EXPECT_EQ(s.FirstUsedCol() | s.LastUsedCol() | s.FirstUsedRow() | s.LastUsedRow(), 0);
  EXPECT_EQ(s.CellText(0, 0), u"");
  EXPECT_EQ(s.CellKind(0, 0), ckNone);

  s.InsertNumber(0, 0, 5, 15);
  s.ComputeUsedArea();
  EXPECT_EQ(s.FirstUsedCol() | s.LastUsedCol() | s.FirstUsedRow() | s.LastUsedRow(), 0);
  EXPECT_EQ(s.CellText(0, 0), u"5");

  TSheet& t = wb.Sheets().AddSheet(0);
  t.InsertBlank(2, 10, 15);  // formatting only: counts for the dimensions
  t.InsertNumber(7, 3, 1, 15);
  EXPECT_EQ(t.LastUsedRow(), 0) << "inserting does not update the dimensions";
  t.ComputeUsedArea();
  EXPECT_EQ(t.FirstUsedCol(), 2);
  EXPECT_EQ(t.LastUsedCol(), 7);
  EXPECT_EQ(t.FirstUsedRow(), 3);
  EXPECT_EQ(t.LastUsedRow(), 10);
  EXPECT_EQ(t.Records().DimFirstRow(), 3u);
  EXPECT_EQ(t.Records().DimLastRowPlus1(), 11u);
  EXPECT_EQ(t.Records().DimFirstCol(), 2u);
  EXPECT_EQ(t.Records().DimLastColPlus1(), 8u);
  EXPECT_EQ(t.CellText(2, 10), u"");
}

TEST(Sheet, StoredDimensionsAreCapped) {
  TXLSWorkbook wb;  // Version xvExcel97: ColumnLimit 255
  TSheet& s = wb.Sheets()[0];
  s.InsertNumber(300, 70000, 1, 15);
  s.InsertNumber(310, 70010, 1, 15);
  s.ComputeUsedArea();
  EXPECT_EQ(s.FirstUsedCol(), 300) << "true values even beyond the version's limits";
  EXPECT_EQ(s.LastUsedCol(), 310);
  EXPECT_EQ(s.FirstUsedRow(), 70000);
  EXPECT_EQ(s.LastUsedRow(), 70010);
  EXPECT_EQ(s.Records().DimFirstCol(), 255u);
  EXPECT_EQ(s.Records().DimLastColPlus1(), 255u);
  EXPECT_EQ(s.Records().DimFirstRow(), 65535u);
  EXPECT_EQ(s.Records().DimLastRowPlus1(), 65535u);
  // First row 65534 is not capped: last row + 1 follows the value.
  s.SetFirstUsedRow(65534);
  s.SetLastUsedRow(70000);
  EXPECT_EQ(s.Records().DimLastRowPlus1(), 70001u);
}

TEST(Sheet, CellTextOfEveryKind) {
  Separator comma(u',');
  TXLSWorkbook wb;
  TSheet& s = wb.Sheets()[0];
  const std::uint8_t rpn[] = {0x1E, 0x03, 0x00};
  s.InsertBlank(0, 0, 15);
  s.InsertNumber(1, 0, 0.12, 15);
  s.InsertNumber(2, 0, 45000, 14);
  s.InsertError(3, 0, 7, 15);
  s.InsertError(4, 0, 2, 15);
  s.InsertNumberFormula(5, 0, 3, 3, rpn, 15);
  s.InsertStringFormula(6, 0, u"текст", 3, rpn, 15);
  s.InsertStringFormula(7, 0, u"", 3, rpn, 15);
  s.InsertBooleanFormula(8, 0, 1, 3, rpn, 15);
  s.InsertErrorFormula(9, 0, 0x2A, 3, rpn, 15);
  s.InsertErrorFormula(10, 0, 0x05, 3, rpn, 15);
  s.InsertNumberArrayFormula(11, 0, 0, rpn, 2.5, 3, rpn, 15);
  s.InsertStringArrayFormula(12, 0, 1, {}, u"arr", 0, {}, 15);
  s.InsertNumberFormulaText(13, 0, 0xFFFF, 0, -1e20, "SUM(A1:A3)", 15);
  s.InsertStringFormulaText(14, 0, 2, 1, u"x", "A1&\"x\"", 15);
  s.InsertBooleanFormulaText(15, 0, 0xFFFF, 0, 0, "A1>2", 15);
  s.InsertErrorFormulaText(16, 0, 0xFFFF, 0, 2, "1/0", 15);
  s.InsertErrorFormulaText(17, 0, 0xFFFF, 0, 200, "bad", 15);

  const std::vector<std::u16string> expected = {
      u"", u"0,12", u"45000", u"N/A", u"#DIV/0!", u"3", u"текст", u"", u"TRUE",
      u"N/A", u"[int] No error value", u"2,5", u"arr", u"-1E20", u"x", u"FALSE", u"#DIV/0!",
      u"[int] No error value"};
  for (std::uint16_t col = 0; col < expected.size(); ++col)
    EXPECT_EQ(s.CellText(col, 0), expected[col]) << "column " << col;

  EXPECT_EQ(s.CellKind(0, 0), ckBlank);
  EXPECT_EQ(s.CellKind(12, 0), ckStringArrayFormula);
  EXPECT_EQ(s.CellNumber(1, 0), 0.12);
  EXPECT_EQ(s.CellNumber(5, 0), 3);
  EXPECT_EQ(s.CellNumber(11, 0), 2.5);
  EXPECT_EQ(s.CellNumber(6, 0), 0);
  EXPECT_EQ(s.CellNumber(99, 99), 0);

  const auto* formula = s.GetCell(14, 0)->As<TFormulaCell>();
  ASSERT_NE(formula, nullptr);
  EXPECT_EQ(formula->Formula().IsText, 1);
  EXPECT_EQ(formula->SharedIndex(), 2);
  EXPECT_EQ(formula->Formula().Flags, 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(formula->Formula().FormulaData), formula->Formula().DataSize),
            "A1&\"x\"");
  EXPECT_EQ(s.GetCell(13, 0)->As<TFormulaCell>()->SharedIndex(), -1);
  const auto* arrayCell = s.GetCell(11, 0)->As<TNumberArrayFormulaCell>();
  ASSERT_NE(arrayCell, nullptr);
  EXPECT_EQ(arrayCell->Formula().ArrayDataSize, 3u);
  EXPECT_EQ(arrayCell->Formula().ExpressionSize, 3u);
  EXPECT_EQ(arrayCell->Formula().FormulaData[0], 0x1E);
  EXPECT_EQ(s.GetCell(12, 0)->As<TStringArrayFormulaCell>()->Formula().IsContinuation, 1);
}

TEST(Sheet, TextViewNeedsNoCopy) {
  Separator point(u'.');
  TXLSWorkbook wb;
  TSheet& s = wb.Sheets()[0];
  s.InsertNumber(0, 0, -2.5, 15);
  s.InsertStringFormula(1, 0, u"abc", 0, {}, 15);
  TNumberTextBuffer buffer;
  TCellTextView number = s.CellTextView(s.Row(0).At(0), buffer);
  EXPECT_EQ(number.ToString(), u"-2.5");
  EXPECT_EQ(number.Data, buffer.data());
  TCellTextView text = s.CellTextView(s.Row(0).At(1), buffer);
  EXPECT_EQ(text.Data, s.GetCell(1, 0)->As<TStringFormulaCell>()->Result().data());
  EXPECT_EQ(text[2], u'c');
  EXPECT_TRUE(s.CellTextView(nullptr, buffer).Empty());
}

TEST(Sheet, InsertFailuresStoreNothing) {
  TXLSWorkbook wb;
  TSheet& s = wb.Sheets()[0];
  EXPECT_EQ(Message([&] { s.InsertError(0, 0, 0, 15); }), "Invalid cell error value");
  EXPECT_THROW(s.InsertError(0, 0, 8, 15), EXLSError);
  const std::uint8_t two[] = {1, 2};
  EXPECT_EQ(Message([&] { s.InsertNumberFormula(0, 0, 1, 3, two, 15); }),
            "Formula expression size 3 exceeds its data size 2");
  EXPECT_THROW(s.InsertNumber(16384, 0, 1, 15), EXLSError);
  EXPECT_THROW(s.InsertNumberFormulaText(0, 1048576, 0xFFFF, 0, 1, "A1", 15), EXLSError);
  EXPECT_EQ(s.Cells().CellCount(), 0u);
}

TEST(Sheet, ReplacingKeepsTheOldFormatAndDeleteWorks) {
  TXLSWorkbook wb;
  TSheet& s = wb.Sheets()[0];
  s.InsertNumber(4, 4, 1, 20);
  s.InsertBoolean(4, 4, 1, 15);
  EXPECT_EQ(s.GetCell(4, 4)->FormatIndex(), 20);
  EXPECT_EQ(s.CellText(4, 4), u"TRUE");
  s.DeleteCell(4, 4);
  EXPECT_EQ(s.CellKind(4, 4), ckNone);

  ASSERT_EQ(wb.CellFormats().Count(), 22);  // primed: 21 defaults and one new format
  s.InsertNumber(0, 0, 1, 21);
  s.InsertNumber(1, 0, 1, 22);
  s.InsertNumber(2, 0, 1, 0xFFFF);
  EXPECT_EQ(s.GetCell(0, 0)->FormatIndex(), 21);
  EXPECT_EQ(s.GetCell(1, 0)->FormatIndex(), 15) << "past the list: the default format";
  EXPECT_EQ(s.GetCell(2, 0)->FormatIndex(), 15);
}

TEST(ErrorCodes, FromFileAndText) {
  const std::uint8_t bytes[] = {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A};
  for (std::uint8_t code = 1; code <= 7; ++code) EXPECT_EQ(ErrorCodeFromFile(bytes[code - 1]), code);
  for (int b : {0x01, 0x05, 0x2B, 0xFF}) EXPECT_EQ(ErrorCodeFromFile(static_cast<std::uint8_t>(b)), 0);
  EXPECT_EQ(ErrorCodeFromText(u"#N/A"), 7);
  EXPECT_EQ(ErrorCodeFromText(u"#n/a"), 0);
  EXPECT_EQ(ErrorCodeFromText(u"N/A"), 0);
  EXPECT_EQ(ErrorCodeFromText(u"#NULL!"), 1);
  EXPECT_EQ(ErrorCodeFromText(u"#NUM!"), 6);
  EXPECT_EQ(ErrorCodeFromText(u"[int] No error value"), 0);
}

TEST(LoadPaths, ExtensionChoosesTheReader) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "gridport_model_core_test";
  std::filesystem::create_directories(dir);
  const std::string xlsx = (dir / "Book.XLSX").string();
  std::ofstream(xlsx) << "not a zip";
  struct TCase {
    std::string name;
    std::string message;
  };
  const TCase cases[] = {
      {xlsx, "Cannot process this file: not a zip archive"},
      {(dir / "Book.xls").string(), "Cannot open file \"" + (dir / "Book.xls").string() + "\". No such file or directory"},
      {(dir / "Book.xlt").string(), "Cannot open file \"" + (dir / "Book.xlt").string() + "\". No such file or directory"},
      {(dir / "x.xlsx.d" / "Book").string(), "Cannot open file \"" + (dir / "x.xlsx.d" / "Book").string() + "\". No such file or directory"},
  };
  for (const TCase& c : cases) {
    TXLSWorkbook wb;
    wb.Sheets()[0].InsertNumber(0, 0, 1, 15);
    wb.SetFilename(c.name);
    EXPECT_EQ(Message([&] { wb.ReadWorkbook(); }), c.message) << c.name;
    EXPECT_EQ(wb.Sheets().Count(), 1u);
    EXPECT_EQ(wb.Sheets()[0].CellKind(0, 0), ckNone) << "the failed read cleared the model";
    EXPECT_EQ(wb.OrigVersion(), xvNone);
  }
  // An Open XML file that cannot be opened changes nothing.
  TXLSWorkbook wb;
  wb.Sheets()[0].InsertNumber(0, 0, 1, 15);
  wb.SetFilename((dir / "missing.xlsm").string());
  EXPECT_EQ(Message([&] { wb.ReadWorkbook(); }),
            "Cannot open file \"" + (dir / "missing.xlsm").string() + "\". No such file or directory");
  EXPECT_EQ(wb.Sheets()[0].CellKind(0, 0), ckNumber);
  std::filesystem::remove_all(dir);
}

// The first bytes decide over the name: a package saved as .xls, a compound file named .xlsx
// and either without extension read as what they are.
TEST(LoadPaths, SignatureChoosesTheReaderOverTheName) {
  const std::filesystem::path data = GRIDPORT_TEST_DATA;
  const std::filesystem::path package = data / "openxml/packages/xlsxwriter_types.xlsx";
  const std::filesystem::path compound = data / "biff/xlwt_biff8.xls";
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "gridport_signature_test";
  std::filesystem::create_directories(dir);
  // What each file gives under its own name.
  auto first_sheet = [](const std::string& name) {
    TXLSWorkbook wb;
    wb.SetFilename(name);
    wb.ReadWorkbook();
    TSheet& s = wb.Sheets()[0];
    s.ComputeUsedArea();
    std::u16string text;
    for (std::int32_t c = 0; c <= s.LastUsedCol(); ++c) text += s.CellText(static_cast<std::uint16_t>(c), 0) + u";";
    return std::make_pair(text, wb.Version());
  };
  const auto package_text = first_sheet(package.string());
  const auto compound_text = first_sheet(compound.string());
  ASSERT_EQ(package_text.second, xvExcel2007);
  ASSERT_EQ(compound_text.second, xvExcel97);
  ASSERT_NE(package_text.first, compound_text.first);
  struct TCase {
    std::filesystem::path source;
    std::string name;
  };
  const TCase cases[] = {
      {package, "Package.xls"},   {package, "Package"},   {package, "Package.xltx"},
      {compound, "Compound.xlsx"}, {compound, "Compound"}, {compound, "Compound.XLSM"},
  };
  for (const TCase& c : cases) {
    const std::filesystem::path copy = dir / c.name;
    std::filesystem::copy_file(c.source, copy, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(first_sheet(copy.string()), c.source == package ? package_text : compound_text) << c.name;
  }
  std::filesystem::remove_all(dir);
}

TEST(LoadPaths, AfterLoadTakesTheStoredDimensions) {
  TXLSWorkbook wb;
  TSheet& s = wb.Sheets()[0];
  s.InsertNumber(0, 49, 1, 15);
  s.Records().SetDimensions(0, 100, 0, 3);
  wb.AfterLoad(s);
  EXPECT_EQ(s.LastUsedRow(), 99);
  EXPECT_EQ(s.LastUsedCol(), 2);
  s.ComputeUsedArea();
  EXPECT_EQ(s.LastUsedRow(), 49);

  s.Records().SetDimensions(5, 0, 4, 0);  // "last + 1" of 0 reads as 0
  wb.AfterLoad(s);
  EXPECT_EQ(s.FirstUsedRow(), 5);
  EXPECT_EQ(s.LastUsedRow(), 0);
  EXPECT_EQ(s.FirstUsedCol(), 4);
  EXPECT_EQ(s.LastUsedCol(), 0);

  wb.SetVersion(xvExcel2007);  // Open XML: the fields stay as the reader set them
  s.SetLastUsedRow(7);
  s.Records().SetDimensions(0, 100, 0, 3);
  wb.AfterLoad(s);
  EXPECT_EQ(s.LastUsedRow(), 7);
}

TEST(LoadPaths, ApplyFileOptionsReadsSheetZero) {
  TXLSWorkbook wb;
  TRecordStorageSheet& r = wb.Sheets()[0].Records();
  // The settings come from the sheet's stored records, as the reader sets them.
  auto set = [&r](std::uint16_t id, std::uint16_t value) {
    std::uint8_t body[2] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
    r.SetDefaultRecord(id, 2, body);
  };
  struct TCase {
    std::uint16_t calcMode;
    std::int16_t calcCount;
    TCalcMode mode;
    std::int16_t count;
  };
  const TCase cases[] = {{0, 0, cmManual, 1},
                         {0xFFFF, -5, cmAutoExTables, 32767},
                         {7, 12, cmAutoExTables, 12},  // unknown mode: unchanged
                         {1, 100, cmAutomatic, 100}};
  for (const TCase& c : cases) {
    set(0x000D, c.calcMode);
    set(0x000C, static_cast<std::uint16_t>(c.calcCount));
    wb.ApplyFileOptions();
    EXPECT_EQ(wb.OptionsDialog.CalcMode, c.mode);
    EXPECT_EQ(wb.OptionsDialog.CalcCount, c.count);
  }
  set(0x000F, 0);
  set(0x0011, 1);
  set(0x005F, 0);
  std::uint8_t delta[8] = {0, 0, 0, 0, 0, 0, 0xE0, 0x3F};  // 0.5
  r.SetDefaultRecord(0x0010, 8, delta);
  wb.ApplyFileOptions();
  EXPECT_TRUE(wb.OptionsDialog.R1C1Mode);
  EXPECT_TRUE(wb.OptionsDialog.Iteration);
  EXPECT_FALSE(wb.OptionsDialog.SaveRecalc);
  EXPECT_EQ(wb.OptionsDialog.Delta, 0.5);
}

}  // namespace
}  // namespace gridport

namespace gridport {
namespace {

TEST(StringCells, TextsComeFromTheSharedEntries) {
  TXLSWorkbook wb;
  TSheet& s = wb.Sheets()[0];
  TSST& sst = wb.SST();
  sst.AddSharedString(u"first");   // position 0, 8-bit
  sst.AddSharedString(u"Привет");  // position 1, 16-bit
  s.InsertSharedString(0, 0, 0, 15);
  s.InsertSharedString(1, 0, 1, 15);
  s.InsertSharedString(2, 0, 1, 15);
  s.InsertText(3, 0, u"Привет", 15);
  s.InsertText(4, 0, u"ÿ-latin1", 15);
  EXPECT_EQ(s.CellText(0, 0), u"first");
  EXPECT_EQ(s.CellText(1, 0), u"Привет");
  EXPECT_EQ(s.CellText(4, 0), u"ÿ-latin1");
  EXPECT_EQ(s.CellKind(3, 0), ckString);
  TSSTEntry* shared = sst.EntryAt(1);
  EXPECT_EQ(s.GetCell(3, 0)->As<TStringCell>()->Entry(), shared) << "equal text, one entry";
  EXPECT_EQ(shared->References(), 3);
  EXPECT_EQ(Message([&] { s.InsertSharedString(5, 0, 2, 15); }), "List index out of bounds (2)");
  EXPECT_EQ(s.CellKind(5, 0), ckNone);
  EXPECT_THROW(s.InsertText(16384, 0, u"lost", 15), EXLSError);
  EXPECT_EQ(sst.UniqueCount(), 3u) << "a rejected text leaves no entry behind";

  // The view points into the entry: no copy.
  TNumberTextBuffer buffer;
  TCellTextView view = s.CellTextView(s.Row(0).At(1), buffer);
  EXPECT_EQ(view.Data, shared->Text().Data);
  EXPECT_TRUE(view.Wide);
  EXPECT_EQ(view.ToString(), u"Привет");
  EXPECT_FALSE(s.CellTextView(s.Row(0).At(0), buffer).Wide);

  s.DeleteCell(1, 0);
  EXPECT_EQ(shared->References(), 2);
  EXPECT_EQ(s.CellKind(1, 0), ckNone);

  wb.AfterLoad(s);  // drops the by-position index; cells keep their entries
  EXPECT_THROW(sst.EntryAt(0), EListError);
  EXPECT_EQ(s.CellText(2, 0), u"Привет");
  EXPECT_EQ(s.CellText(0, 0), u"first");

  wb.ClearWorkbook();
  EXPECT_EQ(sst.UniqueCount(), 0u);
  EXPECT_EQ(wb.Sheets()[0].CellKind(2, 0), ckNone);
}

TEST(LoadPaths, ClearWorkbookForgetsNamesAndStoredRecords) {
  TXLSWorkbook wb;
  const std::uint8_t supbook[4] = {1, 0, 0x01, 0x04};
  wb.FormulaHandler().ExternalNames().AddSupBook(supbook, sizeof supbook);
  const std::uint8_t one[2] = {1, 0};
  wb.GlobalRecords().SetDefaultRecord(0x0022, 2, one);
  wb.FutureRecords().AddRecord(0x0863, 2, one);
  wb.Sheets()[0].Records().SetDefaultRecord(0x000D, 2, one);
  EXPECT_TRUE(wb.GlobalRecords().Date1904());
  wb.ClearWorkbook();
  EXPECT_TRUE(wb.FormulaHandler().ExternalNames().SupBooks().empty());
  EXPECT_FALSE(wb.GlobalRecords().Date1904());
  EXPECT_EQ(wb.GlobalRecords().Count(), 0u);
  EXPECT_EQ(wb.FutureRecords().Count(), 0u);
  EXPECT_EQ(wb.Sheets()[0].Records().Count(), 0u);  // the new sheet starts from the defaults
}

}  // namespace
}  // namespace gridport
