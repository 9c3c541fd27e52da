#include "app/auto_mode.h"

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "app/paths.h"
#include "fakes.h"

namespace gridport {
namespace {

TEST(IniFileTest, SectionsAndKeysIgnoreCaseValuesAreTrimmed) {
  const TIniFile ini(
      "\xEF\xBB\xBF; comment\r\n[Other]\r\nkey=other\r\n[options]\r\n  KEY =  Value with blanks  \r\n"
      "quoted=\"a b\"\r\nempty=\r\nkey=second\r\n");
  EXPECT_EQ(TIniFile(ini).ReadString("Options", "key"), "Value with blanks");
  EXPECT_EQ(ini.ReadString("OPTIONS", "Quoted"), "a b");
  EXPECT_EQ(ini.ReadString("Options", "empty"), "");
  EXPECT_EQ(ini.ReadString("Options", "missing"), "");
  EXPECT_EQ(ini.ReadString("Missing", "key"), "");
  EXPECT_EQ(TIniFile("[Options]\nk=" + std::string(3000, 'x')).ReadString("Options", "k").size(), 2047u);
}

// AutoSettings.ini in a scratch working folder, applied to a fresh form.
struct AutoFixture : ::testing::Test {
  test::TScratchFolder here;
  TForm_Main form;

  TAutoOutcome Apply(const std::string& options) {
    test::WriteFile(here / "AutoSettings.ini", "[Options]\r\n" + options);
    return ApplyAutoSettings(form, here.Path());
  }
};

TEST_F(AutoFixture, SettingsTable) {
  test::WriteFile(here / "a.xls", "x");
  const std::string base = "ConversionMode=SINGLE\nConversionSheet=FIRST\nActionFile=REPLACE\nPrimaryFyle=a.xls\n";
  const struct {
    std::string options;
    bool applies;
    int mode, sheets, action, encoding;
    bool remove;
  } cases[] = {
      {base, true, 0, 1, 1, 0, false},
      {base + "Encoding=utf-8\nDeletePrimaryFile=yes\n", true, 0, 1, 1, 1, true},
      {base + "Encoding=Win-1251\nDeletePrimaryFile=no\n", true, 0, 1, 1, 0, false},
      {base + "Encoding=KOI8-R\n", false, 0, 0, 0, 0, false},
      {"ConversionMode=SOMETHING\nConversionSheet=EVERY\nActionFile=rename\nPrimaryFyle=a.xls\n", true, 0, 0, 0, 0, false},
      {"ConversionMode=single\nConversionSheet=other\nActionFile=other\nPrimaryFyle=a.xls\n", true, 0, 0, 0, 0, false},
      {"ConversionSheet=FIRST\nActionFile=REPLACE\nPrimaryFyle=a.xls\n", false, 0, 0, 0, 0, false},
      {"ConversionMode=SINGLE\nActionFile=REPLACE\nPrimaryFyle=a.xls\n", false, 0, 0, 0, 0, false},
      {"ConversionMode=SINGLE\nConversionSheet=FIRST\nPrimaryFyle=a.xls\n", false, 0, 0, 0, 0, false},
      {"ConversionMode=SINGLE\nConversionSheet=FIRST\nActionFile=REPLACE\nPrimaryFile=a.xls\n", false, 0, 0, 0, 0, false},
      {"ConversionMode=SINGLE\nConversionSheet=FIRST\nActionFile=REPLACE\nPrimaryFyle=b.xls\n", false, 0, 0, 0, 0, false},
  };
  for (const auto& c : cases) {
    form = TForm_Main();
    const TAutoOutcome outcome = Apply(c.options);
    SCOPED_TRACE(c.options);
    ASSERT_EQ(outcome.completed, c.applies) << outcome.reason;
    if (!c.applies) {
      EXPECT_FALSE(outcome.reason.empty());
      continue;
    }
    EXPECT_TRUE(form.CheckBoxConvertOptions);
    EXPECT_EQ(form.RGroup_ConvertMode, c.mode);
    EXPECT_EQ(form.RadioGroupConvertMode, c.sheets);
    EXPECT_EQ(form.RadioGroupActionWithFile, c.action);
    EXPECT_EQ(form.ComboBox_FileEncoding, c.encoding);
    EXPECT_EQ(form.ChBox_DeletePrimaryFile, c.remove);
  }
}

TEST_F(AutoFixture, SingleFilePathsAndTargetNames) {
  std::filesystem::create_directory(here / "in");
  test::WriteFile(here / "in/Book.XLS", "x");
  const std::string head = "ConversionMode=SINGLE\nConversionSheet=FIRST\nActionFile=REPLACE\nPrimaryFyle=Book.XLS\n";
  const std::string in = here / "in";
  const struct {
    std::string options;
    std::string target;
  } cases[] = {
      {"PrimaryCatalog=" + in, in + "/Book.csv"},
      {"PrimaryCatalog=" + in + "/", in + "/Book.csv"},
      {"PrimaryCatalog=" + in + "\nFinalFile=report", in + "/report.csv"},
      {"PrimaryCatalog=" + in + "\nFinalFile=report.CSV", in + "/report.CSV"},
      {"PrimaryCatalog=" + in + "\nFinalFile=mycsv", in + "/mycsv"},
      {"PrimaryCatalog=" + in + "\nFinalCatalog=/elsewhere/", "/elsewhere/Book.csv"},
      {"PrimaryCatalog=" + in + "\nFinalCatalog=/elsewhere\nFinalFile=r.csv", "/elsewhere/r.csv"},
  };
  for (const auto& c : cases) {
    form = TForm_Main();
    const TAutoOutcome outcome = Apply(head + c.options + "\n");
    ASSERT_TRUE(outcome.completed) << outcome.reason;
    EXPECT_EQ(form.OpenDialog_FileName, in + "/Book.XLS");
    EXPECT_EQ(form.Edit_PrimaryFile, in + "/Book.XLS");
    EXPECT_EQ(form.Edit_FinalFile, c.target) << c.options;
    EXPECT_EQ(form.SaveDialog_FileName, c.target);
  }
  // Without PrimaryCatalog the source is in the working folder.
  test::WriteFile(here / "Book.XLS", "x");
  ASSERT_TRUE(Apply(head).completed);
  EXPECT_EQ(form.OpenDialog_FileName, here / "Book.XLS");
  EXPECT_EQ(form.Edit_FinalFile, here / "Book.csv");
}

TEST_F(AutoFixture, BatchFolders) {
  std::filesystem::create_directory(here / "in");
  const std::string head = "ConversionMode=PACKAGE\nConversionSheet=EVERY\nActionFile=RENAME\n";
  const std::string in = here / "in";
  const std::string d = here.Path() + "/";
  const struct {
    std::string options;
    std::string source;
    std::string target;
  } cases[] = {
      {"", d, d},
      {"PrimaryCatalog=" + in + "/", in, in},
      {"PrimaryCatalog=" + in + "\nFinalCatalog=" + in + "/missing", in, d},
      {"PrimaryCatalog=" + here / "missing", d, d},
  };
  for (const auto& c : cases) {
    form = TForm_Main();
    ASSERT_TRUE(Apply(head + c.options + "\n").completed);
    EXPECT_EQ(form.RGroup_ConvertMode, 1);
    EXPECT_EQ(form.Edit_PrimaryFile, c.source) << c.options;
    EXPECT_EQ(form.Edit_FinalFile, c.target) << c.options;
  }
}

TEST_F(AutoFixture, MissingSettingsFileIsAFailure) {
  const TAutoOutcome outcome = ApplyAutoSettings(form, here.Path());
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.reason.find("AutoSettings.ini"), std::string::npos);
}

TEST_F(AutoFixture, RunConvertsTheBatchOfTheWorkingFolder) {
  test::WriteFile(here / "a.xls", "x");
  test::WriteFile(here / "b.XLS", "x");
  test::TFakeEngine engine;
  engine.workbooks[here / "a.xls"] = {{{{0, 0}, "a"}}};
  engine.workbooks[here / "b.XLS"] = {{{{0, 0}, "b"}}, {{{0, 0}, "c"}}};
  test::WriteFile(here / "AutoSettings.ini", "[Options]\nConversionMode=PACKAGE\nConversionSheet=EVERY\nActionFile=RENAME\n");
  test::TRecordingHost host;
  const TAutoOutcome outcome = RunAutomaticMode(form, host, engine, here.Path());
  EXPECT_TRUE(outcome.completed) << outcome.reason;
  EXPECT_EQ(test::ReadFile(here / "a.csv"), "a\r\n");
  EXPECT_EQ(test::ReadFile(here / "b(л.2).csv"), "c\r\n");
  EXPECT_EQ(test::ReadFile(here / "a.xls"), "x");  // nothing deleted
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.sheet_mode_questions, 0);

  // A failing conversion is reported, not swallowed.
  engine.fail_open = here / "a.xls";
  const TAutoOutcome failed = RunAutomaticMode(form, host, engine, here.Path());
  EXPECT_FALSE(failed.completed);
  EXPECT_EQ(failed.reason, "Cannot open " + here / "a.xls");
}

}  // namespace
}  // namespace gridport
