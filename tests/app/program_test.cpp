// The program itself: exit status and standard error of `gridport AUTO`.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "fakes.h"

namespace gridport {
namespace {

struct TResult {
  int status = -1;
  std::string errors;
};

// Runs `gridport <arguments>` in `folder` with its own registry folder.
TResult RunProgram(const std::string& folder, const std::string& arguments) {
  const std::string command = "cd '" + folder + "' && LC_ALL=C XDG_CONFIG_HOME='" + folder + "/config' '" GRIDPORT_PROGRAM "' " +
                              arguments + " 2>'" + folder + "/stderr.txt' >/dev/null";
  const int raw = std::system(command.c_str());
  TResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.errors = test::ReadFile(folder + "/stderr.txt");
  return result;
}

TEST(ProgramTest, AutomaticModeFailsLoudlyWithoutSettings) {
  test::TScratchFolder folder;
  const TResult result = RunProgram(folder.Path(), "AUTO");
  EXPECT_NE(result.status, 0);
  EXPECT_EQ(result.errors, "gridport: AutoSettings.ini not found in " + folder.Path() + "\n");
  // The registry record was kept all the same.
  EXPECT_NE(test::ReadFile(folder / "config/Gridport/registry").find("Version=s:1.3.2"), std::string::npos);
}

TEST(ProgramTest, AutomaticModeReportsAFailedConversionInOneLine) {
  test::TScratchFolder folder;
  test::WriteFile(folder / "AutoSettings.ini",
                  "[Options]\r\nConversionMode=SINGLE\r\nConversionSheet=FIRST\r\nActionFile=REPLACE\r\n"
                  "PrimaryFyle=broken.xls\r\nFinalCatalog=" + folder / "out" + "\r\n");
  test::WriteFile(folder / "broken.xls", "this is not a workbook");
  const TResult result = RunProgram(folder.Path(), "-auto");
  EXPECT_NE(result.status, 0);
  ASSERT_FALSE(result.errors.empty());
  EXPECT_EQ(result.errors.rfind("gridport: ", 0), 0u);
  EXPECT_EQ(result.errors.find('\n'), result.errors.size() - 1);  // exactly one line
}

void CopyInto(const std::string& source, const std::string& target) {
  std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
}

const std::string kSample = GRIDPORT_TEST_DATA "/../../examples/sample.xls";
const std::string kPackage = GRIDPORT_TEST_DATA "/openxml/packages/sheetjs_default.xlsx";

// examples/sample.xls: sheets "Товары" (data), "Пусто" (empty), "Итоги" (B1 "Всего", B2 15).
const std::string kSampleFirst1251 =
    "\xD2\xEE\xE2\xE0\xF0;\xCA\xEE\xEB\xE8\xF7\xE5\xF1\xF2\xE2\xEE;\xD6\xE5\xED\xE0\r\n"
    "\xD7\xE0\xE9;12;149.5\r\n"
    "Coffee;3;0.25\r\n";
const std::string kSampleLast1251 = ";\xC2\xF1\xE5\xE3\xEE\r\n;15\r\n";

TEST(ProgramTest, AutomaticBatchConvertsRealWorkbooksAndDeletesTheSources) {
  test::TScratchFolder folder;
  std::filesystem::create_directories(folder / "in");
  std::filesystem::create_directories(folder / "out");
  CopyInto(kSample, folder / "in/Book.xls");
  CopyInto(kSample, folder / "in/UPPER.XLS");
  CopyInto(kPackage, folder / "in/Book.xlsx");  // the built-in batch leaves names with ".xlsx" alone
  test::WriteFile(folder / "AutoSettings.ini",
                  "[Options]\r\nConversionMode=PACKAGE\r\nConversionSheet=EVERY\r\nActionFile=REPLACE\r\n"
                  "DeletePrimaryFile=YES\r\nEncoding=WIN-1251\r\nPrimaryCatalog=" + folder / "in" +
                  "\r\nFinalCatalog=" + folder / "out" + "\r\n");
  const TResult result = RunProgram(folder.Path(), "AUTO");
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(test::FolderNames(folder / "out"),
            (std::vector<std::string>{"Book(л.1).csv", "Book(л.2).csv", "UPPER(л.1).csv", "UPPER(л.2).csv"}));
  EXPECT_EQ(test::ReadFile(folder / "out/Book(л.1).csv"), kSampleFirst1251);
  EXPECT_EQ(test::ReadFile(folder / "out/Book(л.2).csv"), kSampleLast1251);
  EXPECT_EQ(test::ReadFile(folder / "out/UPPER(л.2).csv"), kSampleLast1251);
  EXPECT_EQ(test::FolderNames(folder / "in"), (std::vector<std::string>{"Book.xlsx"}));
}

TEST(ProgramTest, AutomaticSingleFileConvertsAPackageAndRenamesAroundAnExistingTarget) {
  test::TScratchFolder folder;
  CopyInto(kPackage, folder / "book.xlsx");
  test::WriteFile(folder / "report(л.1).csv", "kept\r\n");
  test::WriteFile(folder / "AutoSettings.ini",
                  "[Options]\r\nConversionMode=SINGLE\r\nConversionSheet=EVERY\r\nActionFile=RENAME\r\n"
                  "Encoding=utf-8\r\nPrimaryFyle=book.xlsx\r\nFinalFile=report\r\n");
  const TResult result = RunProgram(folder.Path(), "AUTO");
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(test::ReadFile(folder / "report(л.1).csv"), "kept\r\n");
  EXPECT_EQ(test::ReadFile(folder / "report(л.1)(1).csv"),
            "\xEF\xBB\xBF"
            "name;value;flag;\r\n"
            "альфа;1.5;TRUE;3\r\n"
            "beta;\"quoted\";-2;FALSE;\r\n"
            ";;;\r\n"
            "after gap;1E-7;TRUE;\r\n");
  EXPECT_EQ(test::ReadFile(folder / "report(л.2).csv"), "\xEF\xBB\xBF" "x\r\n");
  EXPECT_TRUE(std::filesystem::exists(folder / "book.xlsx"));  // kept: deletion was not asked for
}

TEST(ProgramTest, WithoutAutoTheWindowIsNotAvailableYet) {
  test::TScratchFolder folder;
  const TResult result = RunProgram(folder.Path(), "");
  EXPECT_NE(result.status, 0);
  EXPECT_NE(result.errors.find("window is not available"), std::string::npos);
}

}  // namespace
}  // namespace gridport
