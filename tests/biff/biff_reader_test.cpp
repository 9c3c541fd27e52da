// The BIFF workbook reader end to end into the model: fixtures from independent
// writers, and hand-built record streams for what no writer produces.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "biff/biff_reader.h"
#include "tests/biff/biff_builder.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

using test::Put16;
using test::Put32;
using test::Put8;
using test::PutDouble;
using test::TBiffStreamBuilder;
using test::TBytes;

std::string Fixture(const char* name) { return std::string(GRIDPORT_TEST_DATA) + "/biff/" + name; }

// Reads a hand-built workbook stream wrapped in a compound file.
void LoadStream(TXLSWorkbook& workbook, const TBytes& stream, const std::u16string& name = u"Workbook") {
  const TBytes file = test::MakeCompoundFile(stream, name);
  std::istringstream in(std::string(file.begin(), file.end()));
  workbook.LoadFromBiff(&in);
}

// The message a failing read raises.
std::string LoadError(const TBytes& stream) {
  TXLSWorkbook workbook;
  try {
    LoadStream(workbook, stream);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}

// A BIFF8 workbook with one worksheet "S" whose records sit between its BOF and EOF.
TBytes OneSheet8(const TBytes& sheetRecords, const TBytes& globalsRecords = {}) {
  TBiffStreamBuilder b;
  b.Bof8(0x0005);
  TBytes globals = b.Bytes();
  globals.insert(globals.end(), globalsRecords.begin(), globalsRecords.end());
  TBiffStreamBuilder rest;
  rest.BoundSheet8("S").Eof().Bof8(0x0010);
  TBytes out = globals;
  test::PutBytes(out, rest.Bytes());
  test::PutBytes(out, sheetRecords);
  TBiffStreamBuilder end;
  end.Eof();
  test::PutBytes(out, end.Bytes());
  return out;
}

TBytes Rec(std::uint16_t id, const TBytes& body) {
  TBiffStreamBuilder b;
  b.Record(id, body);
  return b.Bytes();
}

// FORMULA (BIFF8 layout) at (row, col) with an 8-byte result and tokens.
TBytes Formula(std::uint16_t row, std::uint16_t col, const TBytes& result, const TBytes& tokens,
               std::uint16_t options = 0) {
  TBytes b;
  Put16(b, row);
  Put16(b, col);
  Put16(b, 15);
  test::PutBytes(b, result);
  Put16(b, options);
  Put32(b, 0);
  Put16(b, static_cast<std::uint16_t>(tokens.size()));
  test::PutBytes(b, tokens);
  return Rec(0x0006, b);
}

TBytes NumberResult(double v) {
  TBytes b;
  PutDouble(b, v);
  return b;
}
TBytes SpecialResult(std::uint8_t type, std::uint8_t value) { return {type, 0, value, 0, 0, 0, 0xFF, 0xFF}; }

const TBytes kTokens = {0x1E, 0x01, 0x00};  // ptgInt 1

TBytes StringRecord(const std::string& text) {
  TBytes b;
  Put16(b, static_cast<std::uint16_t>(text.size()));
  Put8(b, 0);
  b.insert(b.end(), text.begin(), text.end());
  return Rec(0x0207, b);
}

TBytes Cat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const TBytes& p : parts) test::PutBytes(out, p);
  return out;
}

// ---------------------------------------------------------------------------
// Fixtures from independent writers.

struct TCellCase {
  std::size_t sheet;
  std::uint16_t col;
  std::uint32_t row;
  TCellKind kind;
  std::u16string text;  // CellText, checked when the kind is a string kind
  double number = 0;    // CellNumber, checked for number kinds
};

struct TFixtureCase {
  const char* file;
  TExcelVersion version;
  std::vector<std::u16string> sheets;
  std::vector<TCellCase> cells;
};

TEST(BiffReaderFixtures, ReadsEveryWriterAndVersion) {
  // The LibreOffice workbook: shared formulas in C2:C7, formulas of every
  // result kind in row 9, and a chart embedded in the first sheet, after which
  // the later sheets must still get their own names and cells.
  const std::vector<TCellCase> libreOfficeCells = {
      {0, 0, 0, ckString, u"Имя"},
      {0, 0, 1, ckString, u"строка 1"},
      {0, 1, 1, ckNumber, u"", 1.5},
      {0, 2, 1, ckNumberFormula, u"", 3.0},
      {0, 2, 6, ckNumberFormula, u"", 18.0},
      {0, 0, 8, ckStringFormula, u"да"},
      {0, 1, 8, ckErrorFormula, u"#DIV/0!"},
      {0, 2, 8, ckBooleanFormula, u"TRUE"},
      {0, 3, 8, ckStringFormula, u""},
      {0, 0, 9, ckNumber, u"", 123456789.0},
      {0, 1, 9, ckNumber, u"", -0.25},
      {0, 0, 10, ckString, u"merged"},
      {1, 0, 0, ckNumber, u"", 1.0},
      {1, 1, 0, ckString, u"two"},
      {1, 2, 1, ckBooleanFormula, u"TRUE"},
      {1, 3, 2, ckErrorFormula, u"N/A"},
      {2, 1, 1, ckString, u"last sheet"},
  };
  const std::vector<TCellCase> sheetJsCells = {
      {0, 0, 0, ckString, u"Name"},    {0, 1, 1, ckNumber, u"", 1.0},  {0, 1, 2, ckNumber, u"", 2.5},
      {0, 2, 1, ckBoolean, u"TRUE"},   {0, 2, 2, ckBoolean, u"FALSE"}, {0, 1, 3, ckNumber, u"", -3.0},
      {0, 1, 4, ckNumber, u"", 1e10},  {0, 0, 3, ckString, u"gamma"},
  };
  std::vector<TCellCase> sheetJsTwoSheets = sheetJsCells;
  sheetJsTwoSheets.push_back({1, 0, 0, ckString, u"second"});
  sheetJsTwoSheets.push_back({1, 1, 0, ckNumber, u"", 7.0});

  const std::vector<TFixtureCase> cases = {
      {"lo_excel97.xls", xvExcel97, {u"Данные", u"Second", u"Third"}, libreOfficeCells},
      {"gnumeric_biff8.xls", xvExcel97, {u"Данные", u"Second", u"Third"}, libreOfficeCells},
      {"gnumeric_dual.xls", xvExcel97, {u"Данные", u"Second", u"Third"}, libreOfficeCells},
      {"sheetjs_biff8.xls", xvExcel97, {u"First", u"Second"}, sheetJsTwoSheets},
      {"sheetjs_biff5.xls", xvExcel50, {u"First", u"Second"}, sheetJsTwoSheets},
      {"sheetjs_biff2.xls", xvExcel21, {u"Sheet1"}, sheetJsCells},
      {"xlwt_biff8.xls",
       xvExcel97,
       {u"Лист1", u"Hidden", u"Empty"},
       {
           {0, 0, 0, ckString, u"Привет"},
           {0, 1, 0, ckNumber, u"", 42.0},
           {0, 2, 0, ckNumber, u"", 3.25},
           {0, 0, 1, ckBoolean, u"TRUE"},
           // xlwt writes its formulas with the "empty string" result.
           {0, 1, 1, ckStringFormula, u""},
           {0, 0, 2, ckNumber, u"", 45351.0},
           {0, 1, 2, ckNumber, u"", 70000.0},
           {0, 2, 2, ckNumber, u"", 1234567.891},
           {0, 0, 3, ckString, u"merged across"},
           {0, 5, 6, ckString, u"far cell"},
           {1, 0, 0, ckString, u"hidden text"},
       }},
  };
  for (const TFixtureCase& c : cases) {
    SCOPED_TRACE(c.file);
    TXLSWorkbook workbook;
    workbook.SetFilename(Fixture(c.file));
    ASSERT_NO_THROW(workbook.ReadWorkbook());
    EXPECT_EQ(workbook.Version(), c.version);
    EXPECT_EQ(workbook.OrigVersion(), c.version);
    ASSERT_EQ(workbook.Sheets().Count(), c.sheets.size());
    for (std::size_t i = 0; i < c.sheets.size(); ++i) EXPECT_EQ(workbook.Sheets()[i].Name(), c.sheets[i]);
    for (const TCellCase& cell : c.cells) {
      SCOPED_TRACE("sheet " + std::to_string(cell.sheet) + " col " + std::to_string(cell.col) + " row " +
                   std::to_string(cell.row));
      TSheet& sheet = workbook.Sheets()[cell.sheet];
      EXPECT_EQ(sheet.CellKind(cell.col, cell.row), cell.kind);
      if (cell.kind == ckNumber || cell.kind == ckNumberFormula) {
        EXPECT_DOUBLE_EQ(sheet.CellNumber(cell.col, cell.row), cell.number);
      } else {
        EXPECT_EQ(sheet.CellText(cell.col, cell.row), cell.text);
      }
    }
  }
}

// A text file saved under an .xls name: the read stops at once with the
// message for a file that is no workbook, not wrapped as a record's failure.
TEST(BiffReaderFixtures, TextFileNamedXlsIsNotAWorkbook) {
  TXLSWorkbook workbook;
  workbook.SetFilename(Fixture("text_file_named_xls.xls"));
  try {
    workbook.ReadWorkbook();
    FAIL() << "read";
  } catch (const EXLSError& error) {
    EXPECT_STREQ(error.what(), "The file is not an Excel workbook");
  }
}

TEST(BiffReaderFixtures, GnumericBiff7ReadsItsBookStream) {
  TXLSWorkbook workbook;
  workbook.SetFilename(Fixture("gnumeric_biff7.xls"));
  ASSERT_NO_THROW(workbook.ReadWorkbook());
  EXPECT_EQ(workbook.Version(), xvExcel50);
  ASSERT_EQ(workbook.Sheets().Count(), 3u);
  TSheet& first = workbook.Sheets()[0];
  EXPECT_EQ(first.CellText(1, 0), u"Value");
  EXPECT_DOUBLE_EQ(first.CellNumber(2, 6), 18.0);
  EXPECT_EQ(workbook.Sheets()[2].CellText(1, 1), u"last sheet");
}

// ---------------------------------------------------------------------------
// Substreams.

TEST(BiffReaderSubstreams, ChartsDoNotShiftSheetNames) {
  TBiffStreamBuilder chart;
  chart.Bof8(0x0020).Number(0, 0, 99.0).Eof();
  // Worksheet A holds an embedded chart between two of its cells; then a
  // chart sheet; then worksheet B.
  TBiffStreamBuilder b;
  b.Bof8(0x0005).BoundSheet8("A").BoundSheet8("Chart", 0, 2).BoundSheet8("B").Eof();
  b.Bof8(0x0010).Number(0, 0, 1.0);
  TBytes stream = b.Bytes();
  test::PutBytes(stream, chart.Bytes());
  TBiffStreamBuilder rest;
  rest.Number(1, 0, 2.0).Eof();
  test::PutBytes(stream, rest.Bytes());
  test::PutBytes(stream, chart.Bytes());
  TBiffStreamBuilder last;
  last.Bof8(0x0010).Label8(0, 0, "in B").Eof();
  test::PutBytes(stream, last.Bytes());
  // Anything after the last sheet's EOF is never read.
  test::PutBytes(stream, Rec(0x8001, {}));

  TXLSWorkbook workbook;
  ASSERT_NO_THROW(LoadStream(workbook, stream));
  ASSERT_EQ(workbook.Sheets().Count(), 2u);
  TSheet& a = workbook.Sheets()[0];
  EXPECT_EQ(a.Name(), u"A");
  EXPECT_DOUBLE_EQ(a.CellNumber(0, 0), 1.0);
  EXPECT_DOUBLE_EQ(a.CellNumber(0, 1), 2.0);  // after the embedded chart
  TSheet& bSheet = workbook.Sheets()[1];
  EXPECT_EQ(bSheet.Name(), u"B");
  EXPECT_EQ(bSheet.CellText(0, 0), u"in B");
  EXPECT_EQ(bSheet.CellKind(0, 0), ckString);
}

TEST(BiffReaderSubstreams, BiffThreePlainFileIsOneSheetNamedSheet1) {
  TBytes stream;
  TBytes bof = {0x00, 0x03, 0x10, 0x00, 0x00, 0x00};  // version, worksheet, build
  test::PutBytes(stream, Rec(0x0209, bof));
  TBytes number;
  Put16(number, 2);
  Put16(number, 1);
  Put16(number, 0);
  PutDouble(number, 6.5);
  test::PutBytes(stream, Rec(0x0203, number));
  test::PutBytes(stream, Rec(0x000A, {}));
  const auto path = std::filesystem::temp_directory_path() / "gridport_biff3_test.xls";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
  }
  TXLSWorkbook workbook;
  workbook.SetFilename(path.string());
  ASSERT_NO_THROW(workbook.ReadWorkbook());
  std::filesystem::remove(path);
  EXPECT_EQ(workbook.Version(), xvExcel30);
  ASSERT_EQ(workbook.Sheets().Count(), 1u);
  EXPECT_EQ(workbook.Sheets()[0].Name(), u"Sheet1");
  EXPECT_DOUBLE_EQ(workbook.Sheets()[0].CellNumber(1, 2), 6.5);
}

TEST(BiffReaderSubstreams, CustomViewsAreSkipped) {
  const TBytes sheet = Cat({Rec(0x01AA, {0, 0}), TBiffStreamBuilder().Number(0, 0, 5.0).Bytes(),
                            Rec(0x01AB, {}), TBiffStreamBuilder().Number(0, 1, 6.0).Bytes()});
  TXLSWorkbook workbook;
  ASSERT_NO_THROW(LoadStream(workbook, OneSheet8(sheet)));
  EXPECT_EQ(workbook.Sheets()[0].CellKind(0, 0), ckNone);
  EXPECT_DOUBLE_EQ(workbook.Sheets()[0].CellNumber(1, 0), 6.0);
}

TEST(BiffReaderSubstreams, ReportsProgressFromZeroToHundred) {
  TXLSWorkbook workbook;
  std::vector<int> seen;
  workbook.OnProgress = [&](int percent) { seen.push_back(percent); };
  TBytes sheet;
  for (int i = 0; i < 300; ++i) test::PutBytes(sheet, TBiffStreamBuilder().Number(static_cast<std::uint16_t>(i), 0, i).Bytes());
  ASSERT_NO_THROW(LoadStream(workbook, OneSheet8(sheet)));
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 100);
  EXPECT_LE(seen.size(), 102u);
  for (std::size_t i = 1; i + 1 < seen.size(); ++i) EXPECT_LT(seen[i - 1], seen[i]);
}

// ---------------------------------------------------------------------------
// Cell records.

TEST(BiffReaderCells, MultipleAndBooleanErrorRecords) {
  TBytes mulrk;
  Put16(mulrk, 3);
  Put16(mulrk, 1);
  Put16(mulrk, 15);
  Put32(mulrk, 0x3FF00000u);  // 1.0
  Put16(mulrk, 15);
  Put32(mulrk, 0x00000193u);  // 100 / 100
  Put16(mulrk, 2);            // last column
  TBytes mulblank;
  Put16(mulblank, 4);
  Put16(mulblank, 0);
  Put16(mulblank, 15);
  Put16(mulblank, 15);
  Put16(mulblank, 1);
  const TBytes boolTrue = {5, 0, 0, 0, 15, 0, 1, 0};
  const TBytes errDiv = {5, 0, 1, 0, 15, 0, 0x07, 1};
  const TBytes sheet =
      Cat({Rec(0x00BD, mulrk), Rec(0x00BE, mulblank), Rec(0x0205, boolTrue), Rec(0x0205, errDiv)});
  TXLSWorkbook workbook;
  ASSERT_NO_THROW(LoadStream(workbook, OneSheet8(sheet)));
  TSheet& s = workbook.Sheets()[0];
  EXPECT_DOUBLE_EQ(s.CellNumber(1, 3), 1.0);
  EXPECT_DOUBLE_EQ(s.CellNumber(2, 3), 1.0);
  EXPECT_EQ(s.CellKind(3, 3), ckNone);
  EXPECT_EQ(s.CellKind(0, 4), ckBlank);
  EXPECT_EQ(s.CellKind(1, 4), ckBlank);
  EXPECT_EQ(s.CellKind(2, 4), ckNone);
  EXPECT_EQ(s.CellText(0, 5), u"TRUE");
  EXPECT_EQ(s.CellKind(0, 5), ckBoolean);
  EXPECT_EQ(s.CellText(1, 5), u"#DIV/0!");
  EXPECT_EQ(s.CellKind(1, 5), ckError);
}

TEST(BiffReaderCells, LabelForms) {
  // BIFF8 RSTRING carries BIFF8 text like LABEL: all characters are kept.
  TBytes rstring;
  Put16(rstring, 0);
  Put16(rstring, 0);
  Put16(rstring, 15);
  Put16(rstring, 3);
  Put8(rstring, 0);
  rstring.insert(rstring.end(), {'a', 'b', 'c', 0, 0});  // text, then an empty run count
  TBytes wide;
  Put16(wide, 0);
  Put16(wide, 1);
  Put16(wide, 15);
  Put16(wide, 2);
  Put8(wide, 1);
  wide.insert(wide.end(), {0x14, 0x04, 0x30, 0x04});  // "Да"
  TXLSWorkbook workbook;
  ASSERT_NO_THROW(LoadStream(workbook, OneSheet8(Cat({Rec(0x00D6, rstring), Rec(0x0204, wide)}))));
  EXPECT_EQ(workbook.Sheets()[0].CellText(0, 0), u"abc");
  EXPECT_EQ(workbook.Sheets()[0].CellText(1, 0), u"Да");
}

TEST(BiffReaderCells, Biff5LabelKeepsItsFirstCharacter) {
  TBiffStreamBuilder b;
  b.Bof5(0x0005).BoundSheet5("Five", 1).Eof().Bof5(0x0010);
  TBytes label;
  Put16(label, 0);
  Put16(label, 0);
  Put16(label, 15);
  Put16(label, 4);
  label.insert(label.end(), {'T', 'e', 'x', 't'});
  b.Record(0x0204, label).Eof();
  TXLSWorkbook workbook;
  ASSERT_NO_THROW(LoadStream(workbook, b.Bytes(), u"Book"));
  EXPECT_EQ(workbook.Version(), xvExcel50);
  EXPECT_EQ(workbook.Sheets()[0].Name(), u"Five");
  EXPECT_EQ(workbook.Sheets()[0].CellText(0, 0), u"Text");
}

// The 8-bit text of a BIFF5 file is read in the code page its CODEPAGE record
// names (Shift-JIS files from a Japanese Excel 95); without one, Windows-1252.
TEST(BiffReaderCells, Biff5TextInTheFileCodePage) {
  struct Case {
    const char* name;
    int codePage;  // -1: no CODEPAGE record
    TBytes bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"Shift-JIS", 932, {0x93, 0xFA, 0x96, 0x7B, 0xB1}, u"日本ｱ"},
      {"Central European", 1250, {0x8A, 0x9D}, u"Šť"},
      {"no CODEPAGE record", -1, {0x80, 0xE9}, u"€é"},
      {"a page without a table", 10000, {0x80, 0xE9}, u"€é"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TBiffStreamBuilder b;
    b.Bof5(0x0005);
    if (c.codePage >= 0) {
      TBytes page;
      Put16(page, static_cast<std::uint16_t>(c.codePage));
      b.Record(0x0042, page);
    }
    TBytes sheet;
    Put32(sheet, 0);
    Put16(sheet, 0);
    Put8(sheet, static_cast<std::uint8_t>(c.bytes.size()));
    test::PutBytes(sheet, c.bytes);
    b.Record(0x0085, sheet).Eof().Bof5(0x0010);
    TBytes label;
    Put16(label, 0);
    Put16(label, 0);
    Put16(label, 15);
    Put16(label, static_cast<std::uint16_t>(c.bytes.size()));  // a byte count
    test::PutBytes(label, c.bytes);
    b.Record(0x0204, label);
    // A formula's string result in a BIFF5 STRING record.
    TBytes formula;
    Put16(formula, 1);
    Put16(formula, 0);
    Put16(formula, 15);
    test::PutBytes(formula, SpecialResult(0, 0));
    Put16(formula, 0);
    Put32(formula, 0);
    Put16(formula, static_cast<std::uint16_t>(kTokens.size()));
    test::PutBytes(formula, kTokens);
    b.Record(0x0006, formula);
    TBytes result;
    Put16(result, static_cast<std::uint16_t>(c.bytes.size()));
    test::PutBytes(result, c.bytes);
    b.Record(0x0207, result).Eof();
    TXLSWorkbook workbook;
    ASSERT_NO_THROW(LoadStream(workbook, b.Bytes(), u"Book"));
    TSheet& s = workbook.Sheets()[0];
    EXPECT_EQ(s.Name(), c.text);
    EXPECT_EQ(s.CellText(0, 0), c.text);
    EXPECT_EQ(s.CellText(0, 1), c.text);
  }
}

// Real workbooks behind two fixes: a Japanese Excel 95 file in code page 932,
// and a table that announces 15 strings and stores 12.
TEST(BiffReaderFixtures, SharedCorpusFilesOfTheseFixes) {
  struct Case {
    const char* file;
    std::size_t sheet;
    std::u16string sheetName;
    std::uint32_t row;
    std::u16string text;  // of column A in that row
  };
  const Case cases[] = {
      {"pex_Test95J.xls", 1, u"漢字名", 1, u"漢字も入る"},
      {"pex_AuthorK95.xls", 0, u"Sheet1", 0, u"漢字名のテスト"},
      {"phpss_bug1592.xls", 0, u"Report", 0, u"AssetUnique"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TXLSWorkbook workbook;
    workbook.SetFilename(std::string(GRIDPORT_SHARED_DIR) + "/corpus/files/" + c.file);
    ASSERT_NO_THROW(workbook.ReadWorkbook());
    ASSERT_LT(c.sheet, workbook.Sheets().Count());
    TSheet& sheet = workbook.Sheets()[c.sheet];
    EXPECT_EQ(sheet.Name(), c.sheetName);
    EXPECT_EQ(sheet.CellText(0, c.row), c.text);
  }
}

// ---------------------------------------------------------------------------
// Names, external references and the sheet settings the model holds.

// SUPBOOK of an external workbook "b.xls" with the sheets named.
TBytes SupBookOf(const std::vector<std::string>& sheets) {
  TBytes b;
  Put16(b, static_cast<std::uint16_t>(sheets.size()));
  Put16(b, 5);
  Put8(b, 0);
  b.insert(b.end(), {'b', '.', 'x', 'l', 's'});
  for (const std::string& name : sheets) {
    Put16(b, static_cast<std::uint16_t>(name.size()));
    Put8(b, 0);
    b.insert(b.end(), name.begin(), name.end());
  }
  return Rec(0x01AE, b);
}

TBytes Xct(std::uint16_t count, std::uint16_t sheet) {
  TBytes b;
  Put16(b, count);
  Put16(b, sheet);
  return Rec(0x0059, b);
}

TBytes Crn(std::uint16_t row, double value) {
  TBytes b = {0, 0};  // last and first column
  Put16(b, row);
  Put8(b, 0x01);  // a number follows
  PutDouble(b, value);
  return Rec(0x005A, b);
}

TEST(BiffReaderNames, NamesAndExternalReferencesFillTheTables) {
  TBytes self;
  Put16(self, 1);
  Put16(self, 0x0401);
  TBytes externSheet;
  Put16(externSheet, 2);
  for (std::uint16_t v : {0, 0, 0, 1, 1, 1}) Put16(externSheet, v);
  TBytes name;  // "Total" = ptgInt 7, for the second sheet, hidden
  Put16(name, 0x0001);
  Put8(name, 0);
  Put8(name, 5);
  Put16(name, 3);
  Put16(name, 0);
  Put16(name, 2);
  name.insert(name.end(), {0, 0, 0, 0, 0});  // four text counts, then the name's flags byte
  name.insert(name.end(), {'T', 'o', 't', 'a', 'l', 0x1E, 0x07, 0x00});
  TBytes externName;  // a plain external name "Rate" with a 3-byte definition
  Put16(externName, 0);
  Put32(externName, 0);
  Put8(externName, 4);
  Put8(externName, 0);
  externName.insert(externName.end(), {'R', 'a', 't', 'e'});
  Put16(externName, 3);
  externName.insert(externName.end(), {0x1E, 0x02, 0x00});
  const TBytes globals = Cat({Rec(0x01AE, self), SupBookOf({"P", "Q"}), Rec(0x0023, externName),
                             Xct(2, 1), Crn(0, 1.5), Crn(1, 2.5), Rec(0x0017, externSheet),
                             Rec(0x0018, name)});
  TXLSWorkbook workbook;
  ASSERT_NO_THROW(LoadStream(workbook, OneSheet8({}, globals)));

  TInternalNames& names = workbook.FormulaHandler().InternalNames();
  ASSERT_EQ(names.Count(), 1u);
  EXPECT_EQ(BIFF8Text(names[0].Name), u"Total");
  EXPECT_EQ(names[0].Options, nmoHidden);
  EXPECT_EQ(names[0].SheetIndex, 2);
  EXPECT_EQ(names[0].Definition, (std::vector<std::uint8_t>{0x1E, 0x07, 0x00}));

  const TExternalNames& external = workbook.FormulaHandler().ExternalNames();
  ASSERT_EQ(external.SupBooks().size(), 2u);
  EXPECT_EQ(external.SupBooks()[0].Marker, TSupBook::kSelf);
  const TSupBook& other = external.SupBooks()[1];
  EXPECT_EQ(BIFF8Text(other.FileName), u"b.xls");
  ASSERT_EQ(other.Sheets.size(), 2u);
  EXPECT_EQ(other.Sheets[0].CRNs.size(), 0u);
  ASSERT_EQ(other.Sheets[1].CRNs.size(), 2u) << "the XCT's sheet index picks the sheet";
  EXPECT_EQ(other.Sheets[1].CRNs[1].Row, 1);
  ASSERT_EQ(other.Names.size(), 1u);
  EXPECT_EQ(BIFF8Text(other.Names[0]->Name), u"Rate");
  ASSERT_EQ(external.ExtSheets().size(), 2u);
  EXPECT_EQ(external.ExtSheets()[1].SupBook, 1);
  EXPECT_EQ(external.ExtSheets()[1].LastSheet, 1);

  // Clearing the workbook forgets them.
  workbook.ClearWorkbook();
  EXPECT_EQ(workbook.FormulaHandler().InternalNames().Count(), 0u);
  EXPECT_TRUE(workbook.FormulaHandler().ExternalNames().SupBooks().empty());
}

TEST(BiffReaderNames, DamagedReferencesEndTheRead) {
  TBytes externName;
  Put16(externName, 0);
  Put32(externName, 0);
  Put8(externName, 1);
  Put8(externName, 0);
  Put8(externName, 'x');
  Put16(externName, 0);
  struct Case {
    const char* name;
    TBytes globals;
    std::string cause;
  };
  const Case cases[] = {
      {"CRN for a sheet the SUPBOOK lacks", Cat({SupBookOf({"P", "Q"}), Xct(1, 2), Crn(0, 1)}),
       "Invalid SUPBOOK Sheet Index"},
      {"CRN before any SUPBOOK", Cat({Xct(1, 0), Crn(0, 1)}), "No SUPBOOK for CRN"},
      {"EXTERNNAME before any SUPBOOK", Rec(0x0023, externName), "No SUPBOOK for EXTERNNAME"},
      {"XCT with fewer CRN records than its count", Cat({SupBookOf({"P"}), Xct(2, 0), Crn(0, 1)}),
       "CRN record missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = LoadError(OneSheet8({}, c.globals));
    const std::size_t cr = message.find('\r');
    ASSERT_NE(cr, std::string::npos) << message;
    EXPECT_EQ(message.substr(0, 24), "Error on reading record ");
    EXPECT_EQ(message.substr(cr + 1), c.cause);
  }
}

// Before BIFF8 the name records are kept raw; the tables stay empty.
TEST(BiffReaderNames, Biff5NamesStayInTheGlobalsStore) {
  TBiffStreamBuilder b;
  b.Bof5(0x0005).Record(0x0018, {0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 'N'}).BoundSheet5("S").Eof();
  b.Bof5(0x0010).Eof();
  TXLSWorkbook workbook;
  ASSERT_NO_THROW(LoadStream(workbook, b.Bytes(), u"Book"));
  EXPECT_EQ(workbook.FormulaHandler().InternalNames().Count(), 0u);
  EXPECT_GE(workbook.GlobalRecords().IndexOfRecord(0x0018), 0);
}

TEST(BiffReaderNames, SheetSettingsReachTheModel) {
  TBytes sheetExt(20, 0);
  sheetExt[0] = 0x62;
  sheetExt[1] = 0x08;
  sheetExt[16] = 10;  // tab colour index
  TBytes featHdr(23, 0);
  featHdr[0] = 0x67;
  featHdr[1] = 0x08;
  featHdr[12] = 2;  // sheet protection
  featHdr[19] = 0x00;
  featHdr[20] = 0x44;  // only two options allowed
  TBytes merge;
  Put16(merge, 1);
  for (std::uint16_t v : {0, 1, 0, 2}) Put16(merge, v);
  TBytes colInfo;
  for (std::uint16_t v : {0, 3, 2000, 15, 1, 0}) Put16(colInfo, v);
  TBytes style;
  Put16(style, 0x8000);
  Put8(style, 0);
  Put8(style, 0xFF);  // built-in style "Normal"
  TBiffStreamBuilder b;
  b.Bof8(0x0005).Record(0x0293, style).BoundSheet8("Shown").BoundSheet8("Gone", 1).BoundSheet8("Deep", 2).Eof();
  b.Bof8(0x0010).Record(0x0862, sheetExt).Record(0x0867, featHdr).Eof();
  b.Bof8(0x0010).Record(0x00E5, merge).Record(0x007D, colInfo).Eof();
  b.Bof8(0x0010).Eof();
  TXLSWorkbook workbook;
  ASSERT_NO_THROW(LoadStream(workbook, b.Bytes()));
  ASSERT_EQ(workbook.Sheets().Count(), 3u);
  EXPECT_EQ(workbook.Sheets()[0].Hidden, hsVisible);
  EXPECT_EQ(workbook.Sheets()[1].Hidden, hsHidden);
  EXPECT_EQ(workbook.Sheets()[2].Hidden, hsVeryHidden);
  EXPECT_EQ(workbook.Sheets()[0].TabColor, 10);
  EXPECT_FALSE(workbook.Sheets()[0].ProtectAll);
  EXPECT_TRUE(workbook.Sheets()[1].ProtectAll);
  EXPECT_EQ(workbook.Sheets()[1].TabColor, 64) << "default tab colour";
  // What the model has no object for stays in the stores.
  EXPECT_GE(workbook.Sheets()[1].Records().IndexOfRecord(0x00E5), 0);
  EXPECT_GE(workbook.Sheets()[1].Records().IndexOfRecord(0x007D), 0);
  const int styleAt = workbook.GlobalRecords().IndexOfRecord(0x0293);
  ASSERT_GE(styleAt, 0);
  EXPECT_EQ(workbook.GlobalRecords().Record(static_cast<std::size_t>(styleAt)).Length(), 4);
}

// ---------------------------------------------------------------------------
// Formulas.

TEST(BiffReaderFormulas, CachedResultsOfEveryKind) {
  struct TCase {
    const char* what;
    TBytes records;
    TCellKind kind;
    std::u16string text;
  };
  const TCase cases[] = {
      {"number", Formula(0, 0, NumberResult(2.5), kTokens), ckNumberFormula, u""},
      {"string with STRING", Cat({Formula(0, 0, SpecialResult(0, 0), kTokens), StringRecord("res")}),
       ckStringFormula, u"res"},
      {"string without STRING", Formula(0, 0, SpecialResult(0, 0), kTokens), ckNone, u""},
      {"boolean", Formula(0, 0, SpecialResult(1, 1), kTokens), ckBooleanFormula, u"TRUE"},
      {"error", Formula(0, 0, SpecialResult(2, 0x2A), kTokens), ckErrorFormula, u"N/A"},
      {"empty string", Formula(0, 0, SpecialResult(3, 0), kTokens), ckStringFormula, u""},
      {"no tokens", Formula(0, 0, NumberResult(1.0), {}), ckNone, u""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TXLSWorkbook workbook;
    ASSERT_NO_THROW(LoadStream(workbook, OneSheet8(c.records)));
    TSheet& s = workbook.Sheets()[0];
    EXPECT_EQ(s.CellKind(0, 0), c.kind);
    if (c.kind == ckNumberFormula) EXPECT_DOUBLE_EQ(s.CellNumber(0, 0), 2.5);
    else EXPECT_EQ(s.CellText(0, 0), c.text);
  }
}

TEST(BiffReaderFormulas, SharedAndArrayFormulas) {
  const TBytes exp00 = {0x01, 0x00, 0x00, 0x00, 0x00};  // ptgExp A1
  // SHRFMLA for A1:A2 with tokens "ptgRefN one column to the right", and 3
  // trailing bytes that must not disturb the next record.
  TBytes shrfmla;
  Put16(shrfmla, 0);
  Put16(shrfmla, 1);
  Put8(shrfmla, 0);
  Put8(shrfmla, 0);
  Put16(shrfmla, 0);
  Put16(shrfmla, 5);
  shrfmla.insert(shrfmla.end(), {0x2C, 0x00, 0x00, 0x01, 0xC0, 0xAA, 0xBB, 0xCC});
  TBytes array;
  Put16(array, 3);
  Put16(array, 4);
  Put8(array, 2);
  Put8(array, 2);
  Put16(array, 0);
  Put32(array, 0);
  Put16(array, 3);
  array.insert(array.end(), kTokens.begin(), kTokens.end());
  const TBytes exp32 = {0x01, 0x03, 0x00, 0x02, 0x00};  // ptgExp C4
  const TBytes sheet = Cat({
      Formula(0, 0, NumberResult(10), exp00, 0x0008), Rec(0x04BC, shrfmla),
      Formula(1, 0, NumberResult(11), exp00, 0x0008),
      Formula(3, 2, NumberResult(20), exp32), Rec(0x0221, array),
      Formula(4, 2, SpecialResult(0, 0), exp32), StringRecord("arr"),
      // A ptgExp formula outside the array's range forgets it and is stored as a plain formula.
      Formula(9, 9, NumberResult(30), exp32),
  });
  TXLSWorkbook workbook;
  ASSERT_NO_THROW(LoadStream(workbook, OneSheet8(sheet)));
  TSheet& s = workbook.Sheets()[0];
  EXPECT_EQ(s.CellKind(0, 0), ckNumberFormula);
  EXPECT_DOUBLE_EQ(s.CellNumber(0, 0), 10.0);
  EXPECT_DOUBLE_EQ(s.CellNumber(0, 1), 11.0);
  EXPECT_EQ(s.CellKind(2, 3), ckNumberArrayFormula);
  EXPECT_DOUBLE_EQ(s.CellNumber(2, 3), 20.0);
  EXPECT_EQ(s.CellKind(2, 4), ckStringArrayFormula);
  EXPECT_EQ(s.CellText(2, 4), u"arr");
  EXPECT_EQ(s.CellKind(9, 9), ckNumberFormula);
}

// ---------------------------------------------------------------------------
// Failures: every one ends the read with the wrapped message.

TEST(BiffReaderErrors, MessagesNameTheRecordAndTheCause) {
  TBytes farColumn;
  Put16(farColumn, 0);
  Put16(farColumn, 16384);
  Put16(farColumn, 15);
  PutDouble(farColumn, 1.0);
  TBytes badSst;
  Put16(badSst, 0);
  Put16(badSst, 0);
  Put16(badSst, 15);
  Put32(badSst, 7);
  TBytes pane(10, 0);
  pane[8] = 4;
  const TBytes exp11 = {0x01, 0x01, 0x00, 0x01, 0x00};
  struct TCase {
    const char* what;
    TBytes stream;
    std::string message;
  };
  // Offsets: globals BOF 20, BOUNDSHEET 4 + 9, EOF 4, sheet BOF 20: the
  // sheet's first record starts at 57 and is record # 4.
  const TCase cases[] = {
      {"bad id", OneSheet8(Rec(0x8001, {})), "Error on reading record # 4, 8001 Offs: 0000003D\rBad record in file"},
      {"column beyond the storage", OneSheet8(Rec(0x0203, farColumn)),
       "Error on reading record # 4, 0203 Offs: 0000004B\rCell column 16384 out of range in record 0203"},
      {"shared formula without SHRFMLA", OneSheet8(Formula(2, 1, NumberResult(0), exp11, 0x0008)),
       "Error on reading record # 4, 0006 Offs: 00000058\rFixup error in shared formula at C=1,R=2 (B3)"},
      {"LABELSST beyond the table", OneSheet8(Rec(0x00FD, badSst)),
       "Error on reading record # 4, 00FD Offs: 00000047\rRead error at 00000071"},
      {"pane out of range", OneSheet8(Rec(0x0041, pane)),
       "Error on reading record # 4, 0041 Offs: 00000047\rValue out of range"},
      {"XOR obfuscation", OneSheet8({}, Rec(0x002F, {0, 0, 1, 2, 3, 4})),
       "Error on reading record # 1, 002F Offs: 0000001E\rFile encrypted with non-standard key. French?"},
      {"unknown encryption", OneSheet8({}, Rec(0x002F, {2, 0})),
       "Error on reading record # 1, 002F Offs: 0000001A\rCan not read file, unknown type of encryption."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(LoadError(c.stream), c.message);
  }
}

TEST(BiffReaderErrors, EncryptedWithoutPasswordTriesTheDefaultFirst) {
  // RC4 FILEPASS whose verifier matches no password: the default
  // write-protection password fails too, so a password is required.
  TBytes filepass;
  Put16(filepass, 1);
  Put16(filepass, 1);
  Put16(filepass, 1);
  for (int i = 0; i < 48; ++i) Put8(filepass, static_cast<std::uint8_t>(i * 7 + 3));
  const std::string message = LoadError(OneSheet8({}, Rec(0x002F, filepass)));
  EXPECT_EQ(message, "Error on reading record # 1, 002F Offs: 0000004E\rFile is encrypted. Password required.");

  TXLSWorkbook workbook;
  workbook.Password = u"secret";
  try {
    LoadStream(workbook, OneSheet8({}, Rec(0x002F, filepass)));
    ADD_FAILURE() << "no error";
  } catch (const EXLSError& e) {
    EXPECT_NE(std::string(e.what()).find("\rInvalid password"), std::string::npos) << e.what();
  }
}

TEST(BiffReaderErrors, TruncatedCellRecordIsRefused) {
  // The stream ends 6 bytes into a NUMBER whose header claims 14.
  TBytes sheet;
  for (std::uint16_t row = 0; sheet.size() < 4200; ++row) {
    test::PutBytes(sheet, TBiffStreamBuilder().Number(row, 0, row).Bytes());
  }
  TBytes stream = OneSheet8(sheet);
  stream.erase(stream.end() - 4, stream.end());  // drop the final EOF
  stream.insert(stream.end(), {0x03, 0x02, 0x0E, 0x00, 0, 0, 0, 0, 15, 0});
  const std::string message = LoadError(stream);
  EXPECT_NE(message.find("\rRecord 0203 too short: 14 bytes needed, 6 present"), std::string::npos) << message;
}

}  // namespace
}  // namespace gridport
