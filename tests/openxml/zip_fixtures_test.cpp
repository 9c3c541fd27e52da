// Archives from independent writers (tests/data/openxml/zip/make_fixtures.sh)
// and every package of the shared corpus: each opens, each entry extracts to
// its declared size, and the bytes match the CRC-32 its writer recorded.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "openxml/zip_archive.h"
#include "openxml/zip_xls_archive.h"
#include "tests/openxml/zip_test_util.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(GRIDPORT_TEST_DATA) / "openxml" / "zip";

std::uint32_t Crc(const TZipPartBuffer& b) {
  return static_cast<std::uint32_t>(crc32(0, b.Data(), static_cast<uInt>(b.Size())));
}

// Opens the file and checks every entry; returns the count of entries.
int CheckEveryEntry(const fs::path& file) {
  TQuillZip zip;
  zip.OpenFile(file.string());
  EXPECT_TRUE(zip.IsZipFile()) << file;
  EXPECT_FALSE(zip.HasBadEntries()) << file;
  for (int i = 0; i < zip.Entries().Count(); ++i) {
    const TQuillZipEntriesEntry& entry = zip.Entries().Items(i);
    TZipPartBuffer part;
    entry.ExtractToStream(part);
    EXPECT_EQ(part.Size(), entry.UncompressedSize()) << file << ": " << entry.FileName();
    EXPECT_EQ(Crc(part), entry.CentralDirectory().Crc32) << file << ": " << entry.FileName();
  }
  return zip.Entries().Count();
}

TEST(ZipFixtures, EveryWriterIsRead) {
  const struct {
    const char* file;
    int entries;
  } cases[] = {{"python_zipfile.zip", 7},  {"python_descriptors.zip", 7}, {"infozip_stream.zip", 2},
               {"infozip_comment.zip", 2}, {"xlsxwriter.xlsx", 10},        {"libreoffice.xlsx", 9}};
  for (const auto& c : cases) EXPECT_EQ(CheckEveryEntry(kFixtures / c.file), c.entries) << c.file;
}

// The package fixtures of the Open XML reader come from writers with their own
// zip habits (data descriptors, streamed entries); all of them must read.
TEST(ZipFixtures, EveryPackageFixtureIsRead) {
  const fs::path packages = fs::path(GRIDPORT_TEST_DATA) / "openxml" / "packages";
  int count = 0;
  for (const auto& item : fs::directory_iterator(packages)) {
    if (item.path().extension() != ".xlsx") continue;
    SCOPED_TRACE(item.path().filename().string());
    EXPECT_GE(CheckEveryEntry(item.path()), 5);
    TXLSZipArchive archive;
    archive.OpenFile(item.path().string());
    EXPECT_GE(archive.IndexOf(u"xl/workbook.xml"), 0);
    ++count;
  }
  EXPECT_GE(count, 15);
}

TEST(ZipFixtures, PythonArchiveContents) {
  for (const char* file : {"python_zipfile.zip", "python_descriptors.zip"}) {
    SCOPED_TRACE(file);
    TXLSZipArchive archive;
    archive.OpenFile((kFixtures / file).string());
    TZipPartBuffer part;
    archive.ReadPart(u"xl/workbook.xml", part);
    EXPECT_EQ(part.View().substr(0, 21), "<?xml version=\"1.0\"?>");
    EXPECT_EQ(part.Size(), 18048u);
    part.Clear();
    archive.ReadPart(u"docProps/stored.txt", part);
    EXPECT_EQ(part.View(), "stored bytes, not compressed\n");
    for (const char16_t* empty : {u"empty_stored.txt", u"empty_deflated.txt"}) {
      part.Clear();
      archive.ReadPart(empty, part);
      EXPECT_EQ(part.Size(), 0u);
    }
    const TQuillZip& zip = archive.Zip();
    EXPECT_TRUE(zip.Entries().Items(zip.Entries().IndexOf("folder/")).Folder());
    EXPECT_NEAR(zip.Entries().Items(0).ModifiedDate(), 45429.520949074, 1e-6);
  }
  TQuillZip zip;
  zip.OpenFile((kFixtures / "python_zipfile.zip").string());
  EXPECT_EQ(zip.Comment(), (std::vector<std::string>{"first line", "second line"}));
  EXPECT_EQ(zip.FileNames()[1], "docProps\\stored.txt");
  zip.OpenFile((kFixtures / "infozip_comment.zip").string());
  EXPECT_EQ(zip.Comment(), (std::vector<std::string>{"zip tool comment"}));
}

TEST(ZipFixtures, RecoveryScanReadsStreamedArchivesWithoutTheirDirectory) {
  // Both writers defer sizes to data descriptors; with the directory gone the
  // scan must find the end of each entry's data by its descriptor.
  for (const char* file : {"python_descriptors.zip", "infozip_stream.zip"}) {
    SCOPED_TRACE(file);
    std::ifstream in(kFixtures / file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TQuillZip whole;
    whole.OpenMemory(test::Bytes(bytes), bytes.size());
    const int count = whole.Entries().Count();
    bytes.resize(bytes.find("PK\x01\x02"));
    TQuillZip cut;
    cut.OpenMemory(test::Bytes(bytes), bytes.size());
    ASSERT_EQ(cut.Entries().Count(), count);
    EXPECT_TRUE(cut.HasBadEntries());
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(cut.Entries().Items(i).FileName(), whole.Entries().Items(i).FileName());
      EXPECT_EQ(test::ExtractText(cut, i), test::ExtractText(whole, i)) << i;
    }
  }
}

TEST(ZipFixtures, OpensFromAStreamAndFromAFile) {
  std::ifstream in(kFixtures / "xlsxwriter.xlsx", std::ios::binary);
  TXLSZipArchive archive;
  archive.Open(in);
  ASSERT_TRUE(archive.IsZipFile());
  TZipPartBuffer part;
  archive.ReadPart(u"xl/worksheets/sheet1.xml", part);
  EXPECT_NE(part.View().find("<sheetData>"), std::string_view::npos);

  TQuillZip zip;
  const std::string missing = (kFixtures / "no-such.xlsx").string();
  EXPECT_ZIP_ERROR(zip.OpenFile(missing), EXLSError, "File \"" + missing + "\" not found!");
}

TEST(ZipFixtures, CommentIsRewrittenInTheFile) {
  const fs::path copy = fs::temp_directory_path() / ("gridport_zip_comment_" + std::to_string(::getpid()) + ".zip");
  fs::copy_file(kFixtures / "python_zipfile.zip", copy, fs::copy_options::overwrite_existing);
  {
    TQuillZip zip;
    zip.OpenFile(copy.string());
    ASSERT_FALSE(zip.ReadOnly());
    zip.SetComment({"new"});
    EXPECT_EQ(zip.Comment(), (std::vector<std::string>{"new"}));
  }
  TQuillZip reread;
  reread.OpenFile(copy.string());
  EXPECT_EQ(reread.Comment(), (std::vector<std::string>{"new"}));
  EXPECT_EQ(reread.ArchiveSize(), reread.EndRecordPosition() + 22 + 5);
  EXPECT_EQ(test::ExtractText(reread, 1), "stored bytes, not compressed\n");
  fs::remove(copy);

  std::ifstream in(kFixtures / "python_zipfile.zip", std::ios::binary);
  TQuillZip from_stream;
  from_stream.OpenStream(in);
  EXPECT_THROW(from_stream.SetComment({"x"}), EXLSError) << "no file to write to";
}

// corpus.tsv names each file's format: zip packages ("XLSX", "XLSM") must read
// whole; the others (a BIFF file and encrypted packages named .xlsx, a fuzzed
// archive) must be told apart without a crash: no archive, or an EXLSError.
TEST(ZipCorpus, EveryPackageOpensAndEveryEntryExtracts) {
  const fs::path corpus = fs::path(GRIDPORT_SHARED_DIR) / "corpus";
  if (!fs::is_regular_file(corpus / "corpus.tsv")) GTEST_SKIP() << "no shared corpus at " << corpus;
  std::ifstream tsv(corpus / "corpus.tsv");
  std::string line;
  int packages = 0;
  while (std::getline(tsv, line)) {
    std::vector<std::string> fields;
    std::stringstream row(line);
    for (std::string field; std::getline(row, field, '\t');) fields.push_back(field);
    if (fields.size() < 4) continue;
    const fs::path file = corpus / "files" / fields[0];
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext != ".xlsx" && ext != ".xlsm") continue;
    SCOPED_TRACE(fields[0] + " (" + fields[3] + ")");
    if (fields[3] == "XLSX" || fields[3] == "XLSM") {
      ++packages;
      try {
        EXPECT_GT(CheckEveryEntry(file), 0);
      } catch (const EXLSError& error) {
        ADD_FAILURE() << error.what();
      }
    } else {
      TQuillZip zip;
      try {
        zip.OpenFile(file.string());
        for (int i = 0; i < zip.Entries().Count(); ++i) {
          TZipPartBuffer part;
          zip.Entries().Items(i).ExtractToStream(part);
        }
        if (fields[3] != "ZIP-broken") {
          EXPECT_FALSE(zip.IsZipFile());
        }
      } catch (const EXLSError&) {
      }
    }
  }
  EXPECT_GE(packages, 80);
}

}  // namespace
}  // namespace gridport
