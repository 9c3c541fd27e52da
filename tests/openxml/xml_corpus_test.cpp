// Every XML part of every package in the shared corpus parses.
#include <gtest/gtest.h>

#include "tests/openxml/corpus_parts.h"

#include <algorithm>
#include <cstdio>
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

TEST(XMLCorpus, EveryPartOfEveryPackageParses) {
  const std::filesystem::path files = test::CorpusFiles();
  if (!std::filesystem::is_directory(files)) GTEST_SKIP() << "no corpus at " << files;
  int parts = 0;
  TPartReader reader;
  const int packages = test::ForEachCorpusXMLPart(
      files,
      [&](const test::TCorpusPart& part) {
        try {
          reader.ParsePart(part.Name, reinterpret_cast<const char*>(part.Bytes.Data()), part.Bytes.Size());
          ++parts;
        } catch (const EXLSError& e) {
          ADD_FAILURE() << part.Package << ": " << part.Name << ": " << e.what();
        }
      },
      // Only parts that extract count here; what did not is printed.
      [](const std::string& where, const char* message) { std::printf("%s: %s\n", where.c_str(), message); });
  EXPECT_GT(packages, 0);
  std::printf("%d packages, %d parts, %ld cells\n", packages, parts, reader.cells);
}

}  // namespace
}  // namespace gridport
