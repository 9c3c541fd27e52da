#include "app/startup.h"

#include <map>

#include <gtest/gtest.h>

namespace gridport {
namespace {

class TMemoryRegistry : public TRegistry {
 public:
  std::map<std::string, std::string> strings;
  std::map<std::string, TRawValue> raws;
  int writes = 0;
  bool broken = false;

  std::optional<std::string> ReadString(const std::string& name) override {
    if (broken) throw ERegistryError("Access denied");
    const auto found = strings.find(name);
    return found == strings.end() ? std::nullopt : std::optional<std::string>(found->second);
  }
  std::optional<TRawValue> ReadRaw(const std::string& name) override {
    if (broken) throw ERegistryError("Access denied");
    const auto found = raws.find(name);
    return found == raws.end() ? std::nullopt : std::optional<TRawValue>(found->second);
  }
  void WriteString(const std::string& name, const std::string& value) override {
    if (broken) throw ERegistryError("Access denied");
    ++writes;
    strings[name] = value;
  }
  void WriteRaw(const std::string& name, const TRawValue& value) override {
    if (broken) throw ERegistryError("Access denied");
    ++writes;
    raws[name] = value;
  }
};

class TFakeClassRegistry : public TClassRegistry {
 public:
  bool excel = false;
  std::optional<std::string> cur_ver;
  bool IsRegistered(const std::string& prog_id) override { return excel && prog_id == "Excel.Application"; }
  std::optional<std::string> CurVer(const std::string&) override { return cur_ver; }
};

TEST(StartupTest, AutoArgument) {
  for (const char* yes : {"AUTO", "auto", "AUTOMATIC", "Automatic", "/auto", "-auto", "xAUTOx"})
    EXPECT_TRUE(IsAutoArgument(yes)) << yes;
  for (const char* no : {"", "AUT", "my-auto", "xxAUTO", "/AUT"}) EXPECT_FALSE(IsAutoArgument(no)) << no;
}

TEST(StartupTest, ExcelVersionOfCurVer) {
  EXPECT_EQ(ExcelVersionOfCurVer("Excel.Application.11"), 11);
  EXPECT_EQ(ExcelVersionOfCurVer("Excel.Application.16"), 16);
  EXPECT_EQ(ExcelVersionOfCurVer("Excel.Application.9"), 9);
  EXPECT_EQ(ExcelVersionOfCurVer("Excel.Application.x1"), 0);
  EXPECT_EQ(ExcelVersionOfCurVer("Excel.Application"), 0);
  EXPECT_EQ(ExcelVersionOfCurVer(""), 0);
}

TEST(StartupTest, FormCreateChoosesEngineFilterAndWarning) {
  const struct {
    bool excel;
    std::optional<std::string> cur_ver;
    std::optional<std::string> show_message;
    bool automatic;
    TEngineKind engine;
    const char* filter;
    bool warning;
    int height;
  } cases[] = {
      {false, {}, {}, false, ekBuiltIn, kFilterExcel97, true, kHeightSingle},
      {false, {}, "No", false, ekBuiltIn, kFilterExcel97, false, kHeightSingle},
      {false, {}, "no", false, ekBuiltIn, kFilterExcel97, true, kHeightSingle},  // compared exactly
      {false, {}, {}, true, ekBuiltIn, kFilterAnyExcel, false, kHeightLayout},
      {true, "Excel.Application.11", {}, false, ekExcel, kFilterExcel97, false, kHeightSingle},
      {true, "Excel.Application.16", {}, false, ekExcel, kFilterAnyExcel, false, kHeightSingle},
      {true, "Excel.Application.zz", {}, false, ekExcel, kFilterAnyExcel, false, kHeightSingle},
      {true, {}, {}, false, ekExcel, kFilterAnyExcel, false, kHeightSingle},
  };
  for (const auto& c : cases) {
    TForm_Main form;
    TFakeClassRegistry classes;
    classes.excel = c.excel;
    classes.cur_ver = c.cur_ver;
    TMemoryRegistry registry;
    if (c.show_message) registry.strings["ShowMessage"] = *c.show_message;
    const TEngineChoice choice = FormCreate(form, classes, registry, c.automatic);
    SCOPED_TRACE(c.cur_ver.value_or("no CurVer") + " " + c.show_message.value_or("no ShowMessage"));
    EXPECT_EQ(choice.engine, c.engine);
    EXPECT_EQ(choice.show_warning, c.warning);
    EXPECT_EQ(form.OpenDialog_Filter, c.filter);
    EXPECT_EQ(form.Height, c.height);
  }
}

TEST(StartupTest, WarningDialogRemembersTheTickedBox) {
  TMemoryRegistry registry;
  MessageDialogOK(registry, false);
  EXPECT_EQ(registry.writes, 0);
  MessageDialogOK(registry, true);
  EXPECT_EQ(registry.strings["ShowMessage"], "No");
  registry.broken = true;
  EXPECT_NO_THROW(MessageDialogOK(registry, true));
}

TEST(StartupTest, RegistryRecordOnFirstRunUpgradeAndSameVersion) {
  const double now = 46000.25;
  {
    TMemoryRegistry registry;  // first run: no record
    EXPECT_FALSE(KeepRegistryRecord(registry, now));
    EXPECT_EQ(registry.strings["Version"], "1.3.2");
    EXPECT_EQ(registry.strings["DaysChekUpdate"], "15");
    EXPECT_EQ(RawToDateTime(registry.raws["LastChekUpdate"]), now);
  }
  {
    TMemoryRegistry registry;
    registry.strings = {{"Version", "1.3.1"}, {"DaysChekUpdate", "30"}};
    EXPECT_FALSE(KeepRegistryRecord(registry, now));
    EXPECT_EQ(registry.strings["Version"], "1.3.2");
    EXPECT_EQ(registry.strings["DaysChekUpdate"], "30");
    EXPECT_EQ(registry.raws.count("LastChekUpdate"), 0u);
  }
  {
    TMemoryRegistry registry;
    registry.strings = {{"Version", "1.2.0"}};
    EXPECT_FALSE(KeepRegistryRecord(registry, now));
    EXPECT_EQ(registry.strings["DaysChekUpdate"], "15");
  }
  {
    TMemoryRegistry registry;
    registry.strings = {{"Version", "1.3.2"}};
    EXPECT_FALSE(KeepRegistryRecord(registry, now));
    EXPECT_EQ(registry.writes, 0);
  }
  {
    TMemoryRegistry registry;
    registry.broken = true;
    const auto message = KeepRegistryRecord(registry, now);
    ASSERT_TRUE(message);
    EXPECT_EQ(*message, "Не удалось получить/прописать в реестре версию программы. Ошибка: Access denied");
  }
}

}  // namespace
}  // namespace gridport
