#include "app/paths.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "fakes.h"

namespace gridport {
namespace {

TEST(PathsTest, TargetNameFromSourceCutsTheLastComponentAtItsFirstXls) {
  const struct {
    const char* source;
    const char* target;
  } cases[] = {
      {"/data/book.xls", "/data/book.csv"},
      {"/data/BOOK.XLS", "/data/BOOK.csv"},
      {"/data/report.xlsx", "/data/report.csv"},
      {"/data/a.xls.b.xls", "/data/a.csv"},
      {"/data.xls/book", "/data.xls/book.csv"},  // a folder name is never cut
      {"data", "data.csv"},
      {"/in/Отчёт.Xlsm", "/in/Отчёт.csv"},
  };
  for (const auto& c : cases) EXPECT_EQ(TargetNameFromSource(c.source), c.target) << c.source;
}

TEST(PathsTest, EverySheetAndRenameNamesFollowTheCsvBase) {
  const struct {
    const char* target;
    const char* sheet_name;   // every-sheet name of k = 1
    const char* rename_name;  // rename candidate 2
  } cases[] = {
      {"/out/res.csv", "/out/res(л.1).csv", "/out/res(2).csv"},
      {"/out/res.CSV", "/out/res(л.1).csv", "/out/res(2).csv"},
      {"out", "out(л.1).csv", "out(2).csv"},
      {"/x.csv/out", "/x.csv/out(л.1).csv", "/x.csv/out(2).csv"},
      {"a.csv.csv", "a(л.1).csv", "a(2).csv"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EverySheetName(CsvBaseName(c.target), 1), c.sheet_name) << c.target;
    EXPECT_EQ(RenameCandidate(CsvBaseName(c.target), 2), c.rename_name) << c.target;
  }
}

TEST(PathsTest, JoinPathAddsOneDelimiter) {
  EXPECT_EQ(JoinPath("/in", "a.xls"), "/in/a.xls");
  EXPECT_EQ(JoinPath("/in/", "a.xls"), "/in/a.xls");
}

TEST(PathsTest, BatchTakesVisibleXlsFilesInNameOrder) {
  test::TScratchFolder folder;
  for (const char* name : {"b.xls", "a.XLSX", "c.xlsm", ".hidden.xls", "d.txt", "e.xls.bak", "xls", "f.xl"})
    test::WriteFile(folder / name, "x");
  std::filesystem::create_directory(folder / "dir.xls");
  const std::vector<std::string> expected = {"a.XLSX", "b.xls", "c.xlsm"};
  EXPECT_EQ(ListBatchWorkbooks(folder.Path()), expected);
  EXPECT_TRUE(ListBatchWorkbooks(folder / "missing").empty());
}

}  // namespace
}  // namespace gridport
