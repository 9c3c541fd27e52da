// The package reader with its parts inflated on a worker thread while they are parsed must
// read every workbook exactly as with each part extracted whole first, fail with the same
// messages, and leave no thread behind, also when the parse fails while the worker runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "openxml/package_reader.h"
#include "openxml/zip_inflating_part.h"
#include "tests/openxml/corpus_packages.h"
#include "tests/openxml/thread_count.h"
#include "tests/openxml/zip_builder.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

// Everything a conversion takes from the workbook, or the read's error.
std::string ReadAndDescribe(const std::string& bytes, std::size_t worker_min_size, std::size_t chunk) {
  TXLSWorkbook workbook;
  std::string out;
  try {
    TPackageReader reader(workbook);
    reader.SetPartWorker(worker_min_size, chunk);
    reader.ReadPackage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  } catch (const std::exception& error) {
    out += std::string("error ") + error.what() + "\n";
  }
  for (std::size_t i = 0; i < workbook.Sheets().Count(); ++i) {
    TSheet& sheet = workbook.Sheets()[i];
    sheet.ComputeUsedArea();
    out += "sheet " + std::string(sheet.Name().begin(), sheet.Name().end()) + "\n";
    for (std::int32_t r = sheet.FirstUsedRow(); r <= sheet.LastUsedRow(); ++r) {
      for (std::int32_t c = sheet.FirstUsedCol(); c <= sheet.LastUsedCol(); ++c) {
        const std::u16string text = sheet.CellText(static_cast<std::uint16_t>(c), static_cast<std::uint32_t>(r));
        for (char16_t ch : text) out += ch < 0x80 ? static_cast<char>(ch) : '?';
        out += ';';
      }
      out += '\n';
    }
  }
  return out;
}

constexpr std::size_t kOneThread = SIZE_MAX;

TEST(PackageWorker, CorpusPackagesReadAsWithWholeParts) {
  const std::filesystem::path files = test::CorpusFiles();
  if (!std::filesystem::is_directory(files)) GTEST_SKIP() << "no corpus at " << files;
  const std::size_t threads = test::ThreadCountBefore();
  int packages = 0;
  for (const std::filesystem::path& package : test::CorpusPackages(files)) {
    std::ifstream file(package, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Every deflated part goes to the worker; small packages in chunks of a few bytes, so
    // that the reader waits at every kind of place, large ones in chunks of a few KiB.
    const std::size_t chunk = bytes.size() < (64 << 10) ? 1 + static_cast<std::size_t>(packages % 7) : 4093;
    EXPECT_EQ(ReadAndDescribe(bytes, 0, chunk), ReadAndDescribe(bytes, kOneThread, chunk))
        << package.filename().string() << " chunk " << chunk;
    ++packages;
  }
  EXPECT_GT(packages, 0);
  EXPECT_EQ(test::ThreadCount(), threads);
}

TEST(PackageWorker, FoundByFuzzing) {
  // Damage that zlib meets only when it is asked for the rest of a match after all input is
  // consumed: the piecewise read must still report the damage, not a short part.
  std::ifstream file(std::string(GRIDPORT_TEST_DATA) + "/openxml/package_damage_met_while_draining.xlsx",
                     std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(bytes.empty());
  const std::string one_thread = ReadAndDescribe(bytes, kOneThread, 0);
  EXPECT_EQ(one_thread.rfind("error ZLib decompress error\n", 0), 0u) << one_thread;
  for (std::size_t chunk = 1; chunk <= 7; ++chunk)
    EXPECT_EQ(ReadAndDescribe(bytes, 0, chunk).substr(0, one_thread.find('\n') + 1),
              one_thread.substr(0, one_thread.find('\n') + 1))
        << "chunk " << chunk;
}

std::string Sheet(const std::string& first_cell, int rows) {
  std::string s = "<worksheet><sheetData>" + first_cell;
  for (int i = 2; i <= rows; ++i)
    s += "<row r=\"" + std::to_string(i) + "\"><c r=\"A" + std::to_string(i) + "\"><v>" + std::to_string(i) +
         "</v></c></row>";
  return s + "</sheetData></worksheet>";
}


std::string Package(const std::string& sheet, const std::string& damaged_data = "", std::size_t claimed = 0) {
  test::TZipBuilder b;
  b.Add("xl/workbook.xml", "<workbook><sheets><sheet name=\"S\" sheetId=\"1\"/></sheets></workbook>");
  test::TTestEntry& e = b.Add("xl/worksheets/sheet1.xml", sheet);
  if (!damaged_data.empty()) {
    e.data = damaged_data;
    e.compressed = static_cast<std::uint32_t>(damaged_data.size());
    e.uncompressed = static_cast<std::uint32_t>(claimed);
  }
  return b.Build();
}

TEST(PackageWorker, AParseThatFailsWhileTheWorkerRunsEndsLikeTheOneThreadRead) {
  // About 4 MB of sheet whose first cell has a type no reader knows: the parse fails on the
  // first chunk while the worker still has megabytes to inflate.
  const std::string bad_first = "<row r=\"1\"><c r=\"A1\" t=\"z\"><v>1</v></c></row>";
  const std::string sheet = Sheet(bad_first, 80000);
  const std::string good_first = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  const std::string half = Sheet(good_first, 80000).substr(0, sheet.size() / 2);
  struct {
    const char* what;
    std::string package;
    const char* error;
  } const cases[] = {
      {"bad cell, sound data", Package(sheet), "Unknown Excel XML cell type"},
      // The damage lies megabytes behind the bad cell: reading the part whole first meets it
      // before the cell, so its message wins on both paths.
      {"bad cell, damaged data", Package(sheet, test::RawDeflateThenDamage(sheet.substr(0, sheet.size() / 2)), sheet.size()),
       "ZLib decompress error"},
      {"sound cells, damaged data", Package(sheet, test::RawDeflateThenDamage(half), sheet.size()), "ZLib decompress error"},
  };
  const std::size_t threads = test::ThreadCountBefore();
  for (const auto& c : cases) {
    const std::string one_thread = ReadAndDescribe(c.package, kOneThread, 0);
    EXPECT_EQ(one_thread.rfind(std::string("error ") + c.error + "\n", 0), 0u) << c.what << ": " << one_thread.substr(0, 200);
    for (std::size_t chunk : {std::size_t{4096}, TInflatingPart::kDefaultChunk}) {
      EXPECT_EQ(ReadAndDescribe(c.package, 0, chunk).substr(0, one_thread.find('\n') + 1),
                one_thread.substr(0, one_thread.find('\n') + 1))
          << c.what << " chunk " << chunk;
      EXPECT_EQ(test::ThreadCount(), threads) << c.what;
    }
  }
}

}  // namespace
}  // namespace gridport
