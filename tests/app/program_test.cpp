// The program itself: exit status and standard error of `gridport AUTO`.
#include <sys/wait.h>

#include <cstdio>
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
  const std::string command = "cd '" + folder + "' && XDG_CONFIG_HOME='" + folder + "/config' '" GRIDPORT_PROGRAM "' " +
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

TEST(ProgramTest, WithoutAutoTheWindowIsNotAvailableYet) {
  test::TScratchFolder folder;
  const TResult result = RunProgram(folder.Path(), "");
  EXPECT_NE(result.status, 0);
  EXPECT_NE(result.errors.find("window is not available"), std::string::npos);
}

}  // namespace
}  // namespace gridport
