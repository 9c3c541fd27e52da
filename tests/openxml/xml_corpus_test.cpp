// Every XML part of every package in the shared corpus parses.
#include <gtest/gtest.h>

#include "tests/openxml/corpus_packages.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "openxml/xml_excel_reader.h"
#include "openxml/zip_xls_archive.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

// Frees consumed elements the way the package reader does and reads every cell's position.
class TPartReader : public TExcelXMLReader {
 public:
  long cells = 0;

 protected:
  void TagBegun(int) override {}
  bool TagEnded(int id) override {
    if (id == xtC) {
      if (CurrentElement()->HasValue(xaR)) CurrentElement()->CellRef(xaR);
      ++cells;
    }
    return id == xtC || id == xtRow || id == xtSi;
  }
};

using test::EndsWithIgnoringCase;

TEST(XMLCorpus, EveryPartOfEveryPackageParses) {
  const std::filesystem::path files = test::CorpusFiles();
  if (!std::filesystem::is_directory(files)) GTEST_SKIP() << "no corpus at " << files;
  int packages = 0, parts = 0;
  long cells = 0;
  for (const std::filesystem::path& package : test::CorpusPackages(files)) {
    const std::string name = package.filename().string();
    TXLSZipArchive archive;
    try {
      archive.OpenFile(package.string());
    } catch (const EXLSError& e) {
      // Damaged archives belong to the zip reader's tests; here only parts that extract count.
      std::printf("%s: %s\n", name.c_str(), e.what());
      continue;
    }
    if (!archive.IsZipFile()) continue;  // an encrypted package is a compound file
    ++packages;
    TPartReader reader;
    const TQuillZipEntries& entries = archive.Zip().Entries();
    for (int i = 0; i < entries.Count(); ++i) {
      const TQuillZipEntriesEntry& entry = entries.Items(i);
      if (!EndsWithIgnoringCase(entry.FileName(), ".xml") && !EndsWithIgnoringCase(entry.FileName(), ".rels")) continue;
      TZipPartBuffer part;
      try {
        entry.ExtractToStream(part);
      } catch (const EXLSError& e) {
        std::printf("%s: %s: %s\n", name.c_str(), entry.FileName().c_str(), e.what());
        continue;
      }
      try {
        reader.ParsePart(entry.FileName(), reinterpret_cast<const char*>(part.Data()), part.Size());
        ++parts;
      } catch (const EXLSError& e) {
        ADD_FAILURE() << name << ": " << entry.FileName() << ": " << e.what();
      }
    }
    cells += reader.cells;
  }
  EXPECT_GT(packages, 0);
  std::printf("%d packages, %d parts, %ld cells\n", packages, parts, cells);
}

}  // namespace
}  // namespace gridport
