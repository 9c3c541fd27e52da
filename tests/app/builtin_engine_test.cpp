#include "app/builtin_engine.h"

#include <functional>

#include <gtest/gtest.h>

#include "app/conversion_run.h"
#include "app/paths.h"
#include "app/sheet_export.h"
#include "fakes.h"
#include "workbook/number_text.h"
#include "workbook/workbook.h"

namespace gridport {
namespace {

using TBuild = std::function<void(TXLSWorkbook&)>;

// The built-in engine with workbooks built in memory through the insert
// operations in place of reading files: opening a path runs its builder.
class TInMemoryEngine : public TBuiltInEngine {
 public:
  std::map<std::string, TBuild> builders;
  void OpenWorkbook(const std::string& path) override {
    Workbook().ClearWorkbook();
    const auto found = builders.find(path);
    if (found == builders.end()) throw std::runtime_error("no workbook " + path);
    found->second(Workbook());
  }
};

// Sheets: one per text; "" leaves the sheet empty, otherwise A1 holds the text.
TBuild SheetsWithA1(std::vector<std::u16string> texts) {
  return [texts](TXLSWorkbook& workbook) {
    TSheets& sheets = workbook.Sheets();
    for (size_t i = 0; i < texts.size(); ++i) {
      TSheet& sheet = i == 0 ? sheets[0] : sheets.AddSheet(0);
      if (!texts[i].empty()) sheet.InsertText(0, 0, texts[i], 15);
    }
  };
}

class DecimalPoint : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = DecimalSeparator();
    SetDecimalSeparator(u',');
  }
  void TearDown() override { SetDecimalSeparator(saved_); }
  char16_t saved_ = u'.';
};

struct BuiltInFixture : DecimalPoint {
  test::TScratchFolder folder;
  test::TRecordingHost host;
  TInMemoryEngine engine;
  TForm_Main form;

  std::string ExportFirst(const TBuild& build, int encoding) {
    engine.builders["b"] = build;
    engine.OpenWorkbook("b");
    EXPECT_TRUE(engine.IsSheetSignificant(1));
    form.ComboBox_FileEncoding = encoding;
    TRunContext context{form, host, engine, true};
    const std::string target = folder / ("out" + std::to_string(encoding) + ".csv");
    ExportSheet(context, 1, target);
    return test::ReadFile(target);
  }
};

TEST_F(BuiltInFixture, EveryCellKindInBothEncodings) {
  const TBuild build = [](TXLSWorkbook& workbook) {
    TSheet& sheet = workbook.Sheets()[0];
    sheet.InsertNumber(0, 0, 1234.5, 15);
    sheet.InsertNumber(1, 0, 1e15, 15);
    sheet.InsertText(2, 0, u"Latin éÿ ok", 15);         // an 8-bit entry, ASCII after the accents
    sheet.InsertText(3, 0, u"Итог;€中", 15);             // a 16-bit entry, ";" unquoted
    sheet.InsertBoolean(0, 1, 1, 15);
    sheet.InsertError(1, 1, 7, 15);
    sheet.InsertBlank(2, 1, 15);
    const uint8_t expression[] = {0x1E, 0x01, 0x00};
    sheet.InsertStringFormula(3, 1, u"ф", 3, expression, 15);
    sheet.InsertNumber(1, 3, -0.00001, 15);               // row 3 empty, row 4 sparse
  };
  EXPECT_EQ(ExportFirst(build, 1),
            "\xEF\xBB\xBF" "1234,5;1E15;Latin éÿ ok;Итог;€中\r\nTRUE;N/A;;ф\r\n;;;\r\n;-1E-5;;\r\n");
  EXPECT_EQ(ExportFirst(build, 0),
            "1234,5;1E15;Latin ey ok;\xC8\xF2\xEE\xE3;\x88?\r\nTRUE;N/A;;\xF4\r\n;;;\r\n;-1E-5;;\r\n");
}

// 8-bit texts go out eight ASCII bytes at a time until a byte above 0x7F:
// the first such byte at every position around those steps.
TEST_F(BuiltInFixture, EightBitTextsWithTheFirstHighByteAnywhere) {
  const std::u16string texts[] = {u"abcdefgh", u"abcdefghijklmnop", u"\u00E9bcdefgh", u"abcdefg\u00E9",
                                  u"abcdefgh\u00E9", u"abcdefghi\u00E9k", u"abcdefghijklmnop\u00FF"};
  const TBuild build = [&texts](TXLSWorkbook& workbook) {
    for (uint16_t col = 0; col < std::size(texts); ++col) workbook.Sheets()[0].InsertText(col, 0, texts[col], 15);
  };
  std::string expected = "\xEF\xBB\xBF";
  for (const std::u16string& text : texts) {
    for (char16_t c : text) {
      if (c < 0x80) {
        expected += static_cast<char>(c);
      } else {
        expected += static_cast<char>(0xC0 | (c >> 6));
        expected += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    expected += text == texts[std::size(texts) - 1] ? "\r\n" : ";";
  }
  EXPECT_EQ(ExportFirst(build, 1), expected);
}

TEST_F(BuiltInFixture, RectanglesBeyondSixteenBitsConvertWhole) {
  const std::string wide = ExportFirst([](TXLSWorkbook& w) { w.Sheets()[0].InsertNumber(300, 0, 1, 15); }, 0);
  EXPECT_EQ(wide, std::string(300, ';') + "1\r\n");
  const std::string tall = ExportFirst([](TXLSWorkbook& w) { w.Sheets()[0].InsertNumber(0, 70000, 2, 15); }, 1);
  std::string expected = "\xEF\xBB\xBF";
  for (int row = 0; row < 70000; ++row) expected += "\r\n";
  EXPECT_EQ(tall, expected + "2\r\n");
  EXPECT_EQ(host.statuses[host.statuses.size() - 3], folder / "out1.csv" + " Обработка. Лист 1. Ячейка 70001/70001");
}

TEST_F(BuiltInFixture, SignificanceRule) {
  const struct {
    TBuild build;
    bool significant;
  } cases[] = {
      {[](TXLSWorkbook&) {}, false},
      {[](TXLSWorkbook& w) { w.Sheets()[0].InsertText(0, 0, u"", 15); }, false},
      {[](TXLSWorkbook& w) { w.Sheets()[0].InsertBlank(0, 0, 15); }, false},
      {[](TXLSWorkbook& w) { w.Sheets()[0].InsertNumber(0, 0, 0, 15); }, true},
      {[](TXLSWorkbook& w) { w.Sheets()[0].InsertBlank(3, 11, 15); }, true},  // D12: 4 x 12 from A1
      {[](TXLSWorkbook& w) { w.Sheets()[0].InsertText(0, 1, u"", 15); }, true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    engine.builders["b"] = cases[i].build;
    engine.OpenWorkbook("b");
    EXPECT_EQ(engine.IsSheetSignificant(1), cases[i].significant) << i;
  }
  EXPECT_THROW(engine.IsSheetSignificant(2), EListError);
  EXPECT_THROW(engine.ExportSize(0), EListError);
}

TEST_F(BuiltInFixture, RunsOverTheModelSingleAndBatch) {
  const std::string in = folder / "in";
  const std::string out = folder / "out";
  std::filesystem::create_directory(in);
  std::filesystem::create_directory(out);
  for (const char* name : {"one.xls", "many.XLS", "skip.xlsx"}) test::WriteFile(JoinPath(in, name), "x");
  engine.builders[JoinPath(in, "one.xls")] = SheetsWithA1({u"", u"единственный"});
  engine.builders[JoinPath(in, "many.XLS")] = SheetsWithA1({u"", u"a", u"", u"b"});
  engine.builders[JoinPath(in, "skip.xlsx")] = SheetsWithA1({u"never"});

  // Single file, every sheet, UTF-8; the question answers "every sheet".
  form.PrimaryChosen(JoinPath(in, "many.XLS"));
  form.Edit_FinalFile = JoinPath(out, "many.csv");
  form.ComboBox_FileEncoding = 1;
  host.sheet_mode_answers = {1};
  TRunContext context{form, host, engine, false};
  Button_StartClick(context);
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(test::ReadFile(JoinPath(out, "many(л.1).csv")), "\xEF\xBB\xBF" "a\r\n");
  EXPECT_EQ(test::ReadFile(JoinPath(out, "many(л.2).csv")), "\xEF\xBB\xBF" "b\r\n");
  EXPECT_EQ(host.statuses[host.statuses.size() - 2], "Закрытие исходного файла");
  EXPECT_EQ(engine.Workbook().Sheets().Count(), 1u);  // cleared for the next run

  // Batch of the same folder, Windows-1251, rename in force: many.XLS now
  // collides with the files of the single-file run.
  form.SelectConvertMode(1);
  form.PrimaryChosen(in);
  form.Edit_FinalFile = out;
  form.ComboBox_FileEncoding = 0;
  form.RadioGroupConvertMode = 0;
  Button_StartClick(context);
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(test::FolderNames(out), (std::vector<std::string>{"many(л.1)(1).csv", "many(л.1).csv", "many(л.2)(1).csv",
                                                              "many(л.2).csv", "one.csv"}));
  EXPECT_EQ(test::ReadFile(JoinPath(out, "one.csv")), "\xE5\xE4\xE8\xED\xF1\xF2\xE2\xE5\xED\xED\xFB\xE9\r\n");
  EXPECT_EQ(test::ReadFile(JoinPath(out, "many(л.2)(1).csv")), "b\r\n");
}

}  // namespace
}  // namespace gridport
