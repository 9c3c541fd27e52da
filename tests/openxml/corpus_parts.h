// Every XML part of every package in the shared corpus, for tests that read all of them.
#pragma once

#include <filesystem>
#include <string>

#include "openxml/zip_xls_archive.h"
#include "tests/openxml/corpus_packages.h"
#include "workbook/xls_error.h"

namespace gridport::test {

struct TCorpusPart {
  std::string Package;  // the package's file name
  std::string Name;     // the part's name in the archive
  const TZipPartBuffer& Bytes;
};

// Calls visit(const TCorpusPart&) for every .xml and .rels part of every corpus package that
// opens as a zip archive, and returns how many packages did. A package or part that cannot be
// opened or extracted is passed to report(where, message) and skipped: damaged archives
// belong to the zip reader's tests. An encrypted package is a compound file and is skipped.
template <typename Visit, typename Report>
int ForEachCorpusXMLPart(const std::filesystem::path& files, Visit visit, Report report) {
  int packages = 0;
  for (const std::filesystem::path& package : CorpusPackages(files)) {
    const std::string name = package.filename().string();
    TXLSZipArchive archive;
    try {
      archive.OpenFile(package.string());
    } catch (const EXLSError& e) {
      report(name, e.what());
      continue;
    }
    if (!archive.IsZipFile()) continue;
    ++packages;
    const TQuillZipEntries& entries = archive.Zip().Entries();
    for (int i = 0; i < entries.Count(); ++i) {
      const TQuillZipEntriesEntry& entry = entries.Items(i);
      if (!EndsWithIgnoringCase(entry.FileName(), ".xml") && !EndsWithIgnoringCase(entry.FileName(), ".rels")) continue;
      TZipPartBuffer part;
      try {
        entry.ExtractToStream(part);
      } catch (const EXLSError& e) {
        report(name + ": " + entry.FileName(), e.what());
        continue;
      }
      visit(TCorpusPart{name, entry.FileName(), part});
    }
  }
  return packages;
}

template <typename Visit>
int ForEachCorpusXMLPart(const std::filesystem::path& files, Visit visit) {
  return ForEachCorpusXMLPart(files, visit, [](const std::string&, const char*) {});
}

}  // namespace gridport::test
