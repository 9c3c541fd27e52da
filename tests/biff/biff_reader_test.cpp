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
