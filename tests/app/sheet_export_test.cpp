#include "app/sheet_export.h"

#include <gtest/gtest.h>

#include "app/csv_file.h"
#include "fakes.h"

namespace gridport {
namespace {

using test::TFakeSheet;

// One workbook "book" open in a fake engine, and a form set for a single-file
// run in Windows-1251 with rename in force.
struct ExportFixture : ::testing::Test {
  test::TScratchFolder folder;
  test::TRecordingHost host;
  test::TFakeEngine engine;
  TForm_Main form;
  bool automatic = false;

  void Open(std::vector<TFakeSheet> sheets) {
    engine.workbooks["book"] = std::move(sheets);
    engine.OpenWorkbook("book");
  }
  std::string Export(uint32_t sheet, const std::string& name) {
    TRunContext context{form, host, engine, automatic};
    ExportSheet(context, sheet, folder / name);
    return test::ReadFile(folder / name);
  }
};

TEST_F(ExportFixture, FieldsAndLinesFromA1) {
  const struct {
    TFakeSheet cells;
    const char* csv;
  } cases[] = {
      {{{{0, 0}, "a"}, {{0, 1}, "b"}, {{1, 0}, "c"}}, "a;b\r\nc;\r\n"},
      {{{{2, 1}, "x"}}, ";\r\n;\r\n;x\r\n"},               // only B3: the rectangle starts at A1
      {{{{0, 0}, "a;b\"c\r\nd"}}, "a;b\"c\r\nd\r\n"},      // no quoting, no escaping
      {{}, "\r\n"},                                        // an empty sheet is one empty cell
  };
  for (const auto& c : cases) {
    Open({c.cells});
    EXPECT_EQ(Export(1, "out.csv"), c.csv);
    std::filesystem::remove(folder / "out.csv");
  }
}

TEST_F(ExportFixture, EncodingsOfOneSheet) {
  // Cyrillic, the euro sign, a CJK character and an emoji (a surrogate pair).
  Open({{{{0, 0}, "Привет"}, {{0, 1}, "€"}, {{1, 0}, "中"}, {{1, 1}, "😀"}}});
  EXPECT_EQ(Export(1, "cp.csv"), "\xCF\xF0\xE8\xE2\xE5\xF2;\x88\r\n?;?\r\n");
  form.ComboBox_FileEncoding = 1;
  EXPECT_EQ(Export(1, "utf.csv"), "\xEF\xBB\xBFПривет;€\r\n中;😀\r\n");
}

TEST_F(ExportFixture, StatusTextsOfAnExport) {
  Open({{{{0, 0}, "a"}, {{1, 1}, "b"}}});
  Export(1, "s.csv");
  const std::string f = folder / "s.csv";
  const std::vector<std::string> expected = {
      f + " Обработка. Лист 1Определение области конвертации",
      f + " Обработка. Лист 1 Создание CSV файла",
      f + " Обработка. Лист 1. Ячейка 1/4",
      f + " Обработка. Лист 1. Ячейка 2/4",
      f + " Обработка. Лист 1. Ячейка 3/4",
      f + " Обработка. Лист 1. Ячейка 4/4",
      f + " Обработка. Лист 1. Сохранение CSV файла",
      f + " Обработка. Лист 1. Готово!",
  };
  EXPECT_EQ(host.statuses, expected);
}

TEST_F(ExportFixture, RenameCountsFromTheTargetItself) {
  Open({{{{0, 0}, "new"}}});
  test::WriteFile(folder / "out.csv", "old");
  form.RGroup_ConvertMode = 1;  // batch with the options in force: no question
  form.CheckBoxConvertOptions = true;
  Export(1, "out.csv");
  Export(1, "out.csv");
  EXPECT_EQ(test::ReadFile(folder / "out.csv"), "old");
  EXPECT_EQ(test::ReadFile(folder / "out(1).csv"), "new\r\n");
  EXPECT_EQ(test::ReadFile(folder / "out(2).csv"), "new\r\n");
  EXPECT_TRUE(host.questions.empty());
  // A name without ".csv" gets the counter after the whole name.
  test::WriteFile(folder / "plain", "old");
  Export(1, "plain");
  EXPECT_EQ(test::ReadFile(folder / "plain(1).csv"), "new\r\n");
}

TEST_F(ExportFixture, CollisionRules) {
  const struct {
    int mode;
    bool options;
    bool automatic;
    int action;
    std::deque<bool> answers;
    bool asked;
    bool replaced;
  } cases[] = {
      {0, true, false, 1, {false}, true, false},  // interactive single file: always asked; No renames
      {0, true, false, 0, {true}, true, true},    // Yes replaces whatever the option says
      {1, false, false, 0, {true}, true, true},   // batch without the options: asked
      {1, true, false, 1, {}, false, true},       // batch with the options: replace
      {0, true, true, 1, {}, false, true},        // automatic, replace
      {0, true, true, 0, {}, false, false},       // automatic, rename
  };
  for (const auto& c : cases) {
    test::TScratchFolder scratch;
    host.questions.clear();
    host.replace_answers = c.answers;
    form.RGroup_ConvertMode = c.mode;
    form.CheckBoxConvertOptions = c.options;
    form.RadioGroupActionWithFile = c.action;
    automatic = c.automatic;
    const std::string target = scratch / "t.csv";
    test::WriteFile(target, "old");
    TRunContext context{form, host, engine, automatic};
    const std::string written = SettleCollision(context, target);
    EXPECT_EQ(written, c.replaced ? target : scratch / "t(1).csv");
    ASSERT_EQ(host.questions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(host.questions[0], "Файл '" + target + "' уже существует! Заменить его?");
    }
  }
}

TEST_F(ExportFixture, FailuresKeepTheWindows1251PartAndNoUtf8File) {
  // 3 rows of 1000 cells: the fetch of cell 2500 fails.
  TFakeSheet cells;
  for (uint32_t r = 0; r < 3; ++r)
    for (uint32_t c = 0; c < 1000; ++c) cells[{r, c}] = "v";
  Open({cells});
  engine.fail_after_cells = 2500;
  EXPECT_THROW(Export(1, "part.csv"), std::runtime_error);
  std::string expected_part;
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 999; ++c) expected_part += "v;";
    expected_part += "v\r\n";
  }
  for (int c = 0; c < 499; ++c) expected_part += "v;";
  EXPECT_EQ(test::ReadFile(folder / "part.csv"), expected_part);

  form.ComboBox_FileEncoding = 1;
  test::TFakeEngine fresh;
  fresh.workbooks["book"] = {cells};
  fresh.fail_after_cells = 2500;
  fresh.OpenWorkbook("book");
  TRunContext context{form, host, fresh, false};
  EXPECT_THROW(ExportSheet(context, 1, folder / "whole.csv"), std::runtime_error);
  EXPECT_EQ(test::FolderNames(folder.Path()), std::vector<std::string>{"part.csv"});
}

TEST_F(ExportFixture, MissingSheetOrFolderWritesNothing) {
  Open({{{{0, 0}, "a"}}});
  EXPECT_THROW(Export(0, "none.csv"), std::out_of_range);
  EXPECT_TRUE(test::FolderNames(folder.Path()).empty());
  EXPECT_THROW(Export(1, "missing/x.csv"), EInOutError);
  form.ComboBox_FileEncoding = 1;
  EXPECT_THROW(Export(1, "missing/x.csv"), EInOutError);
}

// An engine whose rectangle has no rows (Excel's empty used range).
class TNoRowsEngine : public test::TFakeEngine {
 public:
  TSheetSize ExportSize(uint32_t) override { return {0, 3}; }
};

TEST(ExportZeroRowsTest, GivesAnEmptyFileOrTheBomAlone) {
  test::TScratchFolder folder;
  test::TRecordingHost host;
  TNoRowsEngine engine;
  engine.workbooks["b"] = {{}};
  engine.OpenWorkbook("b");
  TForm_Main form;
  TRunContext context{form, host, engine, false};
  ExportSheet(context, 1, folder / "a.csv");
  EXPECT_EQ(test::ReadFile(folder / "a.csv"), "");
  form.ComboBox_FileEncoding = 1;
  ExportSheet(context, 1, folder / "b.csv");
  EXPECT_EQ(test::ReadFile(folder / "b.csv"), "\xEF\xBB\xBF");
}

}  // namespace
}  // namespace gridport
