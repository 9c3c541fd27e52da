#include "text/string_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "text/in_out_error.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

namespace fs = std::filesystem;

class StringListFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("gridport_text_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  static void WriteAll(const fs::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  fs::path dir_;
};

TStringList ListOf(std::vector<std::u16string> lines) {
  TStringList list;
  for (auto& line : lines) list.Add(std::move(line));
  return list;
}

TEST_F(StringListFiles, SaveWritesPreambleThenLinesEndedByCrLf) {
  TUTF7Encoding utf7;
  struct Case {
    const char* name;
    std::vector<std::u16string> lines;
    const TEncoding* encoding;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty list, UTF-8", {}, TEncoding::UTF8(), "\xEF\xBB\xBF"},
      {"empty list, Default", {}, TEncoding::Default(), ""},
      {"empty list, no encoding", {}, nullptr, ""},
      {"a and b, UTF-8", {u"a", u"b"}, TEncoding::UTF8(), "\xEF\xBB\xBF" "a\r\nb\r\n"},
      {"Cyrillic, UTF-8", {u"\u042F;1"}, TEncoding::UTF8(), "\xEF\xBB\xBF\xD0\xAF;1\r\n"},
      {"Cyrillic, Default", {u"\u042F;1", u""}, nullptr, "\xDF;1\r\n\r\n"},
      {"outside 1251, Default", {u"\u4E2D"}, TEncoding::Default(), "?\r\n"},
      {"outside 1251, UTF-8", {u"\u4E2D"}, TEncoding::UTF8(), "\xEF\xBB\xBF\xE4\xB8\xAD\r\n"},
      {"a, Unicode", {u"a"}, TEncoding::Unicode(), std::string("\xFF\xFE" "a\0\r\0\n\0", 8)},
      {"a, BigEndianUnicode", {u"a"}, TEncoding::BigEndianUnicode(),
       std::string("\xFE\xFF\0a\0\r\0\n", 8)},
      {"e-acute, UTF-7: CR ends the run", {u"\u00E9"}, &utf7, "+AOk\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = dir_ / "out.csv";
    WriteAll(path, "old content that must go away");
    ListOf(c.lines).SaveFile(path, c.encoding);
    EXPECT_EQ(ReadAll(path), c.bytes);

    std::ostringstream stream;
    ListOf(c.lines).SaveStream(stream, c.encoding);
    EXPECT_EQ(stream.str(), c.bytes);
  }
}

TEST_F(StringListFiles, LoadDetectsTheMarkOrTakesTheGivenEncoding) {
  TUTF7Encoding utf7;
  struct Case {
    const char* name;
    std::string bytes;
    const TEncoding* given;
    std::vector<std::u16string> lines;
  };
  const Case cases[] = {
      {"UTF-8 mark", "\xEF\xBB\xBF\xD0\xAF\r\nb", nullptr, {u"\u042F", u"b"}},
      {"little-endian mark", std::string("\xFF\xFE\x2F\x04\n\0", 6), nullptr, {u"\u042F"}},
      {"big-endian mark", std::string("\xFE\xFF\x04\x2F\0\r", 6), nullptr, {u"\u042F"}},
      {"no mark: Windows-1251", "\xEF\xBB-\xDF", nullptr, {u"\u043F\u00BB-\u042F"}},
      {"given, its mark absent: whole file", "\xD0\xAF", TEncoding::UTF8(), {u"\u042F"}},
      {"given, its mark present: dropped", "\xEF\xBB\xBFz", TEncoding::UTF8(), {u"z"}},
      {"given UTF-8 over a UTF-16 mark", "\xFF\xFEz", TEncoding::UTF8(), {u"\uFFFD\uFFFDz"}},
      {"given UTF-7", "+BC8-\r\n+-", &utf7, {u"\u042F", u"+"}},
      {"empty file", "", nullptr, {}},
      {"mark only", "\xEF\xBB\xBF", nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = dir_ / "in.txt";
    WriteAll(path, c.bytes);
    TStringList list;
    list.Add(u"stale line");
    list.LoadFile(path, c.given);
    EXPECT_EQ(list.Lines(), c.lines);
  }
}

TEST_F(StringListFiles, UnmarkedWindows1251FileRoundTripsByteForByte) {
  std::string bytes;
  for (int b = 0; b < 256; ++b)
    if (b != '\r' && b != '\n') bytes += static_cast<char>(b);
  bytes += "\r\n";
  const fs::path in = dir_ / "in.txt", out = dir_ / "out.txt";
  WriteAll(in, bytes);
  TStringList list;
  list.LoadFile(in);
  ASSERT_EQ(list.Count(), 1);
  list.SaveFile(out);
  EXPECT_EQ(ReadAll(out), bytes);
}

TEST_F(StringListFiles, FullUnicodeRoundTripsInEveryUnicodeEncoding) {
  TUTF7Encoding utf7;
  const TStringList list = ListOf({u"\u041F\u0440\u0438\u0432\u0435\u0442;\U0001F600", u"", u"a+b"});
  for (const TEncoding* encoding :
       {static_cast<const TEncoding*>(&utf7), TEncoding::UTF8(), TEncoding::Unicode(),
        TEncoding::BigEndianUnicode()}) {
    const fs::path path = dir_ / "round.txt";
    list.SaveFile(path, encoding);
    TStringList loaded;
    // UTF-7 has no mark, so it must be given; the others are found by theirs.
    loaded.LoadFile(path, encoding == &utf7 ? encoding : nullptr);
    EXPECT_EQ(loaded.Lines(), list.Lines());
  }
}

TEST(StringList, SetTextSplitsAtCrLfCrOrLf) {
  struct Case {
    std::u16string text;
    std::vector<std::u16string> lines;
  };
  const Case cases[] = {
      {u"", {}},
      {u"a", {u"a"}},
      {u"a\r\nb", {u"a", u"b"}},
      {u"a\r\n", {u"a"}},
      {u"a\rb\nc", {u"a", u"b", u"c"}},
      {u"a\n\rb", {u"a", u"", u"b"}},
      {u"\r\n\r\n", {u"", u""}},
      {u"a\r\r\nb", {u"a", u"", u"b"}},
      {u"a;b\r\n;\r\nc", {u"a;b", u";", u"c"}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(list.Lines(), c.lines) << std::string(c.text.begin(), c.text.end());
  }
  TStringList list;
  list.SetText(u"x\ny");
  EXPECT_EQ(list.Text(), u"x\r\ny\r\n");
}

TEST(StringList, LoadStreamReadsFromTheCurrentPosition) {
  std::istringstream stream("skip\xEF\xBB\xBF" "a\r\nb");
  stream.seekg(4);
  TStringList list;
  list.LoadStream(stream);
  EXPECT_EQ(list.Lines(), (std::vector<std::u16string>{u"a", u"b"}));
}

TEST(StringList, IndexOutOfBounds) {
  const TStringList list = ListOf({u"a"});
  EXPECT_EQ(list.Strings(0), u"a");
  try {
    list.Strings(1);
    FAIL() << "no EListError";
  } catch (const EListError& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds (1)");
  }
  EXPECT_THROW(list.Strings(-1), EListError);
}

std::string InOutMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const EInOutError& error) {
    return error.what();
  }
  return "(no EInOutError)";
}

TEST_F(StringListFiles, FileErrorsNameThePath) {
  TStringList list = ListOf({u"a"});
  const fs::path missing = dir_ / "missing.txt";
  EXPECT_EQ(InOutMessage([&] { list.LoadFile(missing); }),
            "Cannot open file \"" + missing.string() + "\". No such file or directory");
  const fs::path no_folder = dir_ / "no_folder" / "out.csv";
  EXPECT_EQ(InOutMessage([&] { list.SaveFile(no_folder, TEncoding::UTF8()); }),
            "Cannot create file \"" + no_folder.string() + "\". No such file or directory");
  EXPECT_FALSE(fs::exists(no_folder));
  const std::string directory_error = InOutMessage([&] { list.LoadFile(dir_); });
  EXPECT_EQ(directory_error.rfind("Cannot read file \"" + dir_.string() + "\".", 0), 0u)
      << directory_error;
  EXPECT_EQ(list.Lines(), (std::vector<std::u16string>{u"a"})) << "a failed load keeps the list";
}

TEST(StringList, StreamWriteFailureIsReported) {
  std::ostringstream stream;
  stream.setstate(std::ios::badbit);
  const TStringList list = ListOf({u"a"});
  EXPECT_THROW(list.SaveStream(stream, TEncoding::UTF8()), EInOutError);
}

}  // namespace
}  // namespace gridport
