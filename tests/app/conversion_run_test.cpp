#include "app/conversion_run.h"

#include <gtest/gtest.h>

#include "app/paths.h"
#include "fakes.h"

namespace gridport {
namespace {

using test::TFakeSheet;

const TFakeSheet kEmpty = {};
const TFakeSheet kOnlyEmptyA1 = {{{0, 0}, ""}};
TFakeSheet Cell(const std::string& text) { return {{{0, 0}, text}}; }

struct RunFixture : ::testing::Test {
  test::TScratchFolder folder;
  test::TRecordingHost host;
  test::TFakeEngine engine;
  TForm_Main form;
  bool automatic = false;

  // A single-file run of the workbook "book.xls" (written as a file so that
  // its deletion can be seen) into out.csv.
  void RunSingle(std::vector<TFakeSheet> sheets) {
    const std::string source = folder / "book.xls";
    test::WriteFile(source, "workbook");
    engine.workbooks[source] = std::move(sheets);
    form.PrimaryChosen(source);
    form.Edit_FinalFile = folder / "out.csv";
    Run();
  }
  void Run() {
    TRunContext context{form, host, engine, automatic};
    Button_StartClick(context);
  }
  std::string Out(const std::string& name) { return test::ReadFile(folder / name); }
};

TEST_F(RunFixture, OneSignificantSheetGoesToTheTargetItself) {
  form.RadioGroupConvertMode = 0;
  RunSingle({kEmpty, Cell("a"), kOnlyEmptyA1});
  EXPECT_EQ(Out("out.csv"), "a\r\n");
  EXPECT_EQ(host.sheet_mode_questions, 0);
  EXPECT_EQ(test::FolderNames(folder.Path()), (std::vector<std::string>{"book.xls", "out.csv"}));
  EXPECT_EQ(host.messages, std::vector<std::string>{"Готово!"});
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(RunFixture, EverySheetNumbersSignificantSheetsOnly) {
  host.sheet_mode_answers = {1};
  RunSingle({kEmpty, Cell("two"), kEmpty, Cell("four")});
  EXPECT_EQ(host.sheet_mode_questions, 1);
  EXPECT_EQ(test::FolderNames(folder.Path()),
            (std::vector<std::string>{"book.xls", "out(л.1).csv", "out(л.2).csv"}));
  EXPECT_EQ(Out("out(л.1).csv"), "two\r\n");
  EXPECT_EQ(Out("out(л.2).csv"), "four\r\n");
}

TEST_F(RunFixture, FirstOnlyAndTheStatusTextsOfASingleFileRun) {
  host.sheet_mode_answers = {0};
  form.ChBox_DeletePrimaryFile = true;
  RunSingle({Cell("one"), Cell("two"), Cell("three")});
  EXPECT_EQ(test::FolderNames(folder.Path()), std::vector<std::string>{"out.csv"});  // source deleted
  EXPECT_EQ(Out("out.csv"), "one\r\n");
  std::vector<std::string> run_texts;  // the run's own texts, without the export's
  for (const std::string& text : host.statuses)
    if (text.find(" Обработка. Лист ") == std::string::npos) run_texts.push_back(text);
  const std::vector<std::string> expected = {
      "Открытие файла " + folder / "book.xls",
      "Подсчет количества используемых листов",
      "Подсчет количества используемых листов: 1",
      "Подсчет количества используемых листов: 2",
      "В документе больше одного используемого листа!",
      "Конвертация файла. Режим конвертации первого испольуемого листа",
      "Удаление исходного файла",
      "",
  };
  EXPECT_EQ(run_texts, expected);
  EXPECT_EQ(engine.calls, (std::vector<std::string>{"begin single", "open " + folder / "book.xls", "close", "end single"}));
}

TEST_F(RunFixture, AutomaticModeAsksNothingAndShowsNothing) {
  automatic = true;
  form.RadioGroupConvertMode = 0;  // every sheet
  RunSingle({Cell("a"), Cell("b")});
  EXPECT_EQ(host.sheet_mode_questions, 0);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(Out("out(л.2).csv"), "b\r\n");
}

TEST_F(RunFixture, NoSignificantSheetFailsWithoutDeletingOrWriting) {
  form.ChBox_DeletePrimaryFile = true;
  RunSingle({kEmpty, kOnlyEmptyA1});
  EXPECT_EQ(test::FolderNames(folder.Path()), std::vector<std::string>{"book.xls"});
  EXPECT_EQ(host.errors, std::vector<std::string>{"List index out of bounds (-1)"});
  EXPECT_EQ(host.messages, std::vector<std::string>{"Готово!"});  // the clean-up still runs
  EXPECT_EQ(host.statuses.back(), "");
  EXPECT_EQ(engine.calls.back(), "end single");
}

TEST_F(RunFixture, FailedDeletionIsOnlyAStatus) {
  form.ChBox_DeletePrimaryFile = true;
  const std::string source = folder / "gone.xls";
  engine.workbooks[source] = {Cell("a")};  // the engine has it, the disk does not
  form.PrimaryChosen(source);
  form.Edit_FinalFile = folder / "out.csv";
  Run();
  EXPECT_EQ(host.statuses.back(), "Не удалось удалить исходный файл!");
  EXPECT_TRUE(host.errors.empty());
}

// A batch over in/ into out/.
struct BatchFixture : RunFixture {
  std::string in = folder / "in";
  std::string out = folder / "out";
  BatchFixture() {
    std::filesystem::create_directory(in);
    std::filesystem::create_directory(out);
    form.SelectConvertMode(1);
    form.PrimaryChosen(in);
    form.Edit_FinalFile = out;
  }
  void Add(const std::string& name, std::vector<TFakeSheet> sheets) {
    test::WriteFile(JoinPath(in, name), "workbook");
    engine.workbooks[JoinPath(in, name)] = std::move(sheets);
  }
};

TEST_F(BatchFixture, AsksPerWorkbookWithManySheetsWhenTheOptionsAreOff) {
  form.SetConvertOptions(false);
  Add("a.xls", {Cell("a1"), Cell("a2")});
  Add("b.xls", {Cell("b1")});
  Add("C.XLS", {Cell("c1"), kEmpty, Cell("c3")});
  host.sheet_mode_answers = {1, 0};  // C.XLS: every sheet (name order: C.XLS, a.xls, b.xls); a.xls: first only
  Run();
  EXPECT_EQ(host.sheet_mode_questions, 2);
  EXPECT_EQ(test::FolderNames(out), (std::vector<std::string>{"C(л.1).csv", "C(л.2).csv", "a.csv", "b.csv"}));
  EXPECT_EQ(test::ReadFile(JoinPath(out, "C(л.2).csv")), "c3\r\n");
  EXPECT_EQ(test::ReadFile(JoinPath(out, "a.csv")), "a1\r\n");
  EXPECT_EQ(host.messages, std::vector<std::string>{"Готово!"});
}

TEST_F(BatchFixture, OptionsDecideAndStatusesCarryTheName) {
  form.RadioGroupConvertMode = 0;
  form.ChBox_DeletePrimaryFile = true;
  Add("REPORT.XLS", {Cell("r1"), Cell("r2")});
  Run();
  EXPECT_EQ(host.sheet_mode_questions, 0);
  EXPECT_EQ(test::FolderNames(out), (std::vector<std::string>{"REPORT(л.1).csv", "REPORT(л.2).csv"}));
  EXPECT_TRUE(test::FolderNames(in).empty());
  std::vector<std::string> run_texts;
  for (const std::string& text : host.statuses)
    if (text.find(" Обработка. Лист ") == std::string::npos) run_texts.push_back(text);
  const std::vector<std::string> expected = {
      "Открытие файла REPORT.XLS",
      "REPORT.XLS. Подсчет количества используемых листов",
      "REPORT.XLS. Подсчет количества используемых листов: 1",
      "REPORT.XLS. Подсчет количества используемых листов: 2",
      "REPORT.XLS. В документе больше одного используемого листа!",
      "REPORT.XLS. Конвертация файла. Режим конвертации каждого используемого лист в отдельный файл",
      "REPORT.XLS. Конвертация файла. Режим конвертации каждого используемого лист в отдельный файл",
      "Удаление исходного файла",
      "",
      "",
  };
  EXPECT_EQ(run_texts, expected);
}

TEST_F(BatchFixture, AFailureStopsTheBatchAndKeepsItsSource) {
  form.ChBox_DeletePrimaryFile = true;
  Add("1.xls", {Cell("one")});
  Add("2.xls", {Cell("two")});
  Add("3.xls", {Cell("three")});
  engine.fail_open = JoinPath(in, "2.xls");
  Run();
  EXPECT_EQ(test::FolderNames(out), std::vector<std::string>{"1.csv"});
  EXPECT_EQ(test::FolderNames(in), (std::vector<std::string>{"2.xls", "3.xls"}));
  EXPECT_EQ(host.errors, std::vector<std::string>{"Cannot open " + JoinPath(in, "2.xls")});
  EXPECT_EQ(host.messages, std::vector<std::string>{"Готово!"});
  EXPECT_EQ(engine.calls.back(), "end batch");
}

TEST_F(BatchFixture, EngineSkipsAndAnEmptyFolderIsSilent) {
  engine.skip_xlsx = true;
  Add("Book.xlsx", {Cell("x")});
  Add("Book.xls", {Cell("y")});
  Run();
  EXPECT_EQ(test::FolderNames(out), std::vector<std::string>{"Book.csv"});
  EXPECT_EQ(test::ReadFile(JoinPath(out, "Book.csv")), "y\r\n");

  test::TRecordingHost quiet;
  form.Edit_PrimaryFile = out;  // holds no workbook
  TRunContext context{form, quiet, engine, false};
  Button_StartClick(context);
  EXPECT_TRUE(quiet.statuses.empty());
  EXPECT_TRUE(quiet.messages.empty());
}

}  // namespace
}  // namespace gridport
