#include "app/registry.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "app/paths.h"
#include "fakes.h"

namespace gridport {
namespace {

TEST(FileRegistryTest, ValuesSurviveARoundTripThroughTheFile) {
  test::TScratchFolder folder;
  const std::string path = folder / "config/Gridport/registry";
  {
    TFileRegistry registry(path);
    EXPECT_FALSE(registry.ReadString("Version"));
    EXPECT_FALSE(KeepRegistryRecord(registry, 45000.5));
    registry.WriteString("Odd", "a\\b\r\nc=d");
  }
  TFileRegistry again(path);
  EXPECT_EQ(again.ReadString("Version"), "1.3.2");
  EXPECT_EQ(again.ReadString("DaysChekUpdate"), "15");
  EXPECT_EQ(again.ReadString("Odd"), "a\\b\r\nc=d");
  const auto raw = again.ReadRaw("LastChekUpdate");
  ASSERT_TRUE(raw);
  EXPECT_EQ(RawToDateTime(*raw), 45000.5);
  // 45000.5 as a little-endian IEEE-754 double.
  const TRawValue expected = {0x00, 0x00, 0x00, 0x00, 0x10, 0xF9, 0xE5, 0x40};
  EXPECT_EQ(*raw, expected);
  EXPECT_THROW(again.ReadRaw("Version"), ERegistryError);
  // Only the record itself stays: the atomic write leaves no temporary file.
  EXPECT_EQ(test::FolderNames(folder / "config/Gridport"), std::vector<std::string>{"registry"});
}

TEST(FileRegistryTest, AnUnwritableRecordIsAnError) {
  test::TScratchFolder folder;
  test::WriteFile(folder / "file", "x");
  TFileRegistry registry(folder / "file/Gridport/registry");  // a folder that cannot exist
  const auto message = KeepRegistryRecord(registry, 1.0);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->rfind("Не удалось получить/прописать в реестре версию программы. Ошибка: ", 0), 0u);
}

TEST(FileRegistryTest, DefaultPathFollowsXdgConfigHome) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string saved_value = saved != nullptr ? saved : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(TFileRegistry::DefaultPath(), "/tmp/cfg/Gridport/registry");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  const char* home = std::getenv("HOME");
  EXPECT_EQ(TFileRegistry::DefaultPath(), JoinPath(home != nullptr ? home : ".", ".config/Gridport/registry"));
  if (saved != nullptr)
    ::setenv("XDG_CONFIG_HOME", saved_value.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace gridport
