// The archive component over hand-built archives: directory, lookup, end-record
// windows, recovery scan, extraction and the claims a hostile archive makes.
#include <gtest/gtest.h>

#include <cstring>

#include "openxml/zip_archive.h"
#include "openxml/zip_inflate_stream.h"
#include "openxml/zip_xls_archive.h"
#include "tests/openxml/zip_builder.h"
#include "tests/openxml/zip_test_util.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

using test::Bytes;
using test::ExtractText;
using test::TZipBuilder;

const std::string kSheet = [] {
  std::string s = "<?xml version=\"1.0\"?><sheetData>";
  for (int i = 0; i < 500; ++i) s += "<row r=\"" + std::to_string(i) + "\"><c><v>" + std::to_string(i * 3) + "</v></c></row>";
  return s + "</sheetData>";
}();

TEST(ZipArchive, ReadsDirectoryAndEntryProperties) {
  TZipBuilder b;
  b.Add("xl/workbook.xml", kSheet);
  b.Add("docProps/app.xml", "stored text", 0);
  b.Add("xl/media/", "", 0).external_attributes = 0x10;
  b.entries[0].flags = 2;  // maximum
  b.entries[0].dos_date_time = (((2024 - 1980) << 9 | 5 << 5 | 17) << 16) | (12 << 11 | 30 << 5 | 5);
  const std::string bytes = b.Build();

  TQuillZip zip;
  int opened = 0, changed = 0;
  zip.OnZipOpen = [&](TQuillZip&, int, int total) { EXPECT_EQ(total, 3); ++opened; };
  zip.OnZipChange = [&](TQuillZip&) { ++changed; };
  zip.OpenMemory(Bytes(bytes), bytes.size());
  ASSERT_TRUE(zip.IsZipFile());
  EXPECT_TRUE(zip.Active());
  EXPECT_FALSE(zip.HasBadEntries());
  EXPECT_EQ(opened, 6) << "one call per central record and one per local header";
  EXPECT_EQ(changed, 2) << "the Close inside Open and the Open itself";
  ASSERT_EQ(zip.Entries().Count(), 3);

  const TQuillZipEntriesEntry& sheet = zip.Entries().Items(0);
  EXPECT_EQ(sheet.FileName(), "xl/workbook.xml");
  EXPECT_EQ(sheet.CompressionType(), ctMaximum);
  EXPECT_NEAR(sheet.ModifiedDate(), 45429.0 + (12 * 3600 + 30 * 60 + 10) / 86400.0, 1e-9);
  EXPECT_EQ(sheet.LocalFile().Signature, kZipLocalFileSignature);
  EXPECT_EQ(sheet.CentralRecordSize(), 46u + 15u);
  EXPECT_FALSE(sheet.Encrypted());
  EXPECT_FALSE(sheet.Selected);
  EXPECT_EQ(zip.Entries().Items(1).CompressionType(), ctUnknown) << "stored";
  EXPECT_TRUE(zip.Entries().Items(2).Folder());
  EXPECT_THROW(zip.Entries().Items(3), EListError);

  EXPECT_EQ(ExtractText(zip, 0), kSheet);
  EXPECT_EQ(ExtractText(zip, 1), "stored text");
  EXPECT_EQ(zip.CurrentUncompressedSize(), 11u);
  EXPECT_EQ(zip.FileNames(), (std::vector<std::string>{"xl\\workbook.xml", "docProps\\app.xml", "xl\\media\\"}));

  zip.Close();
  EXPECT_FALSE(zip.IsZipFile());
  EXPECT_EQ(zip.Entries().Count(), 0);
  EXPECT_TRUE(zip.FileNames().empty()) << "the name list is rebuilt after close";
}

TEST(ZipArchive, CompressionTypeFollowsTheLevelBits) {
  const struct {
    std::uint16_t method, flags;
    TZipCompressionType type;
  } cases[] = {{8, 0, ctNormal}, {8, 2, ctMaximum}, {8, 4, ctFast}, {8, 6, ctSuperFast},
               {9, 4, ctFast}, {0, 2, ctUnknown}, {12, 0, ctUnknown}};
  for (const auto& c : cases) {
    TZipBuilder b;
    b.Add("a", "x", 0);
    b.entries[0].method = c.method;
    b.entries[0].flags = c.flags;
    const std::string bytes = b.Build();
    TQuillZip zip;
    zip.OpenMemory(Bytes(bytes), bytes.size());
    EXPECT_EQ(zip.Entries().Items(0).CompressionType(), c.type) << c.method << "/" << c.flags;
  }
}

TEST(ZipArchive, LooksNamesUpNormalisedAndIgnoringCase) {
  TZipBuilder b;
  b.Add("xl/workbook.xml", "w");
  b.Add("xl\\styles.xml", "s");             // written with backslashes
  b.Add("/xl/sharedStrings.xml", "ss");     // written with a leading slash
  b.Add("XL/Worksheets/Sheet1.xml", "s1");  // written in other case
  b.Add("xl/workbook.xml", "second copy");  // the first equal entry wins
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());

  const struct {
    const char* wanted;
    int index;
  } cases[] = {
      {"xl/workbook.xml", 0},       {"XL/WORKBOOK.XML", 0},
      {"xl\\workbook.xml", 0},      {"/xl/workbook.xml", 0},
      {"\\xl\\workbook.xml", 0},    {"C:\\xl\\workbook.xml", 0},
      {"c:/xl/workbook.xml", 0},    {"//host/share/xl/workbook.xml", 0},
      {"\\\\host\\share\\xl\\workbook.xml", 0},
      {"xl/styles.xml", 1},         {"xl/sharedstrings.xml", 2},
      {"/xl/sharedStrings.xml", 2}, {"xl/worksheets/sheet1.xml", 3},
      {"", -1},                     {"/", -1},
      {"xl/workbook", -1},          {"workbook.xml", -1},
      {"xl/workbook.xml ", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(zip.Entries().IndexOf(c.wanted), c.index) << c.wanted;
  EXPECT_EQ(ExtractText(zip, zip.Entries().IndexOf("xl/styles.xml")), "s");
}

// The end record is searched backwards in windows of 256, 1024 and 65536 bytes
// from 22, 278 and 1046 bytes before the end; every comment length a record
// can carry lies inside them.
TEST(ZipArchive, FindsTheEndRecordBehindCommentsOfEveryLength) {
  const struct {
    std::size_t padding;  // stored entry size, to make the archive large enough
    std::size_t comment;
  } cases[] = {{0, 0},       {0, 1},        {2000, 233},   {2000, 234},  {2000, 255},
               {2000, 256},  {2000, 300},   {2000, 1279},  {2000, 1280}, {70000, 1024},
               {70000, 60000}, {70000, 65535}, {0, 300},   {300, 2000}};
  for (const auto& c : cases) {
    TZipBuilder b;
    b.Add("pad.bin", std::string(c.padding, 'x'), 0);
    b.comment.assign(c.comment, 'c');
    if (c.comment > 0) b.comment[c.comment / 2] = 'P';  // a lone "P" inside the comment
    const std::string bytes = b.Build();
    TQuillZip zip;
    zip.OpenMemory(Bytes(bytes), bytes.size());
    SCOPED_TRACE("archive " + std::to_string(bytes.size()) + ", comment " + std::to_string(c.comment));
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.Entries().LocalHeadersFound(), 0) << "found by the end record, not the scan";
    EXPECT_EQ(zip.EndRecordPosition(), bytes.size() - 22 - c.comment);
    EXPECT_EQ(zip.EndRecord().CommentLength, c.comment);
    EXPECT_FALSE(zip.HasBadEntries());
  }
}

TEST(ZipArchive, EndRecordBeyondTheLastWindowLeavesItToTheScan) {
  TZipBuilder b;
  b.Add("a.xml", kSheet);
  b.after_comment.assign(70000, 'j');  // junk that no comment length covers
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  ASSERT_TRUE(zip.IsZipFile());
  EXPECT_EQ(zip.Entries().LocalHeadersFound(), 1);
  EXPECT_TRUE(zip.HasBadEntries());
  EXPECT_EQ(ExtractText(zip, 0), kSheet);
}

TEST(ZipArchive, TinyStreams) {
  TQuillZip zip;
  const std::string twenty_one(21, 'P');
  zip.OpenMemory(Bytes(twenty_one), twenty_one.size());
  EXPECT_FALSE(zip.IsZipFile());

  const std::string empty_archive = TZipBuilder().Build();
  ASSERT_EQ(empty_archive.size(), 22u);
  zip.OpenMemory(Bytes(empty_archive), empty_archive.size());
  EXPECT_TRUE(zip.IsZipFile());
  EXPECT_EQ(zip.Entries().Count(), 0);
  EXPECT_EQ(zip.Entries().IndexOf("xl/workbook.xml"), -1);

  const std::string text = "this is a CSV file;1;2\r\nand not an archive, though it mentions PK\r\n";
  zip.OpenMemory(Bytes(text), text.size());
  EXPECT_FALSE(zip.IsZipFile());
  EXPECT_EQ(zip.Entries().Count(), 0);
  zip.OpenMemory(nullptr, 0);
  EXPECT_FALSE(zip.IsZipFile());
}

TEST(ZipArchive, RecoveryScanBuildsCentralRecordsFromLocalHeaders) {
  TZipBuilder b;
  b.Add("xl/a.xml", kSheet).flags = 4;
  b.Add("dir/", "", 0);
  b.Add("b.txt", "bee", 0);
  std::string bytes = b.Build();
  const std::size_t directory = bytes.find("PK\x01\x02");
  bytes.resize(directory);  // the central directory and end record are lost

  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  ASSERT_TRUE(zip.IsZipFile());
  EXPECT_TRUE(zip.HasBadEntries());
  ASSERT_EQ(zip.Entries().LocalHeadersFound(), 3);
  ASSERT_EQ(zip.Entries().Count(), 3);
  const TCentralDirectoryFile& a = zip.Entries().Items(0).CentralDirectory();
  EXPECT_EQ(a.Signature, kZipCentralFileSignature);
  EXPECT_EQ(a.VersionMadeBy, 20);
  EXPECT_EQ(a.InternalAttributes, a.VersionNeeded);
  EXPECT_EQ(a.ExternalAttributes, 0x20u);
  EXPECT_EQ(a.LocalHeaderOffset, 0u);
  EXPECT_EQ(zip.Entries().Items(0).CompressionType(), ctFast);
  EXPECT_EQ(zip.Entries().Items(1).CentralDirectory().ExternalAttributes, 0x10u);
  EXPECT_TRUE(zip.Entries().Items(1).Folder());
  EXPECT_EQ(zip.EndRecord().EntriesOnDisk, 3);
  EXPECT_EQ(zip.EndRecord().CentralDirOffset, directory);
  std::size_t total = 0;
  for (int i = 0; i < 3; ++i) total += zip.Entries().Items(i).CentralRecordSize();
  EXPECT_EQ(zip.EndRecord().CentralDirSize, total);
  EXPECT_EQ(ExtractText(zip, 0), kSheet);
  EXPECT_EQ(ExtractText(zip, 2), "bee");
}

TEST(ZipArchive, RecoveryScanStepsOverDataDescriptors) {
  TZipBuilder b;
  b.Add("a.xml", kSheet).descriptor = true;
  b.Add("b.txt", "PK\x07\x08 lookalike inside stored data", 0).descriptor = true;
  b.Add("c.xml", "<c/>");
  std::string bytes = b.Build();
  bytes.resize(bytes.find("PK\x01\x02"));
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  ASSERT_EQ(zip.Entries().Count(), 3);
  EXPECT_EQ(zip.Entries().Items(0).UncompressedSize(), kSheet.size()) << "sizes from the descriptor";
  EXPECT_EQ(ExtractText(zip, 0), kSheet);
  EXPECT_EQ(ExtractText(zip, 1), "PK\x07\x08 lookalike inside stored data");
  EXPECT_EQ(ExtractText(zip, 2), "<c/>");

  // Without a descriptor the end of the data is unknown: the scan keeps what came before.
  TZipBuilder lost;
  lost.Add("first.txt", "one", 0);
  lost.Add("second.xml", kSheet).descriptor = true;
  std::string cut = lost.Build();
  cut.resize(cut.find("PK\x07\x08"));
  zip.OpenMemory(Bytes(cut), cut.size());
  ASSERT_EQ(zip.Entries().Count(), 1);
  EXPECT_EQ(ExtractText(zip, 0), "one");
}

TEST(ZipArchive, ExtractsEntriesWhoseSizesFollowTheData) {
  TZipBuilder b;
  b.Add("xl/worksheets/sheet1.xml", kSheet).descriptor = true;
  b.Add("stored.txt", "plain", 0).descriptor = true;
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  EXPECT_EQ(zip.Entries().Items(0).LocalFile().CompressedSize, 0u);
  EXPECT_EQ(ExtractText(zip, 0), kSheet);
  EXPECT_EQ(ExtractText(zip, 1), "plain");
}

TEST(ZipArchive, EmptyEntriesAppendNothing) {
  TZipBuilder b;
  b.Add("stored", "", 0);
  b.Add("deflated", "");
  b.Add("bad-deflated-but-empty", "");
  b.entries[2].data = "\xff";  // never inflated: nothing is asked for
  b.entries[2].compressed = 1;
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  ASSERT_EQ(zip.Entries().Items(1).CompressedSize(), 2u);
  for (int i = 0; i < 3; ++i) {
    TZipPartBuffer buffer;
    zip.Entries().Items(i).ExtractToStream(buffer);
    EXPECT_EQ(buffer.Size(), 0u) << i;
  }
}

TEST(ZipArchive, ExtractionAppendsToTheStream) {
  TZipBuilder b;
  b.Add("a", "alpha");
  b.Add("b", "beta", 0);
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  TZipPartBuffer buffer;
  zip.Entries().Items(0).ExtractToStream(buffer);
  zip.Entries().Items(1).ExtractToStream(buffer);
  zip.Entries().Items(0).ExtractToStream(buffer);
  EXPECT_EQ(buffer.View(), "alphabetaalpha");
  for (std::size_t i = 0; i < TZipPartBuffer::kPadding; ++i) ASSERT_EQ(buffer.Data()[buffer.Size() + i], 0);
}

TEST(ZipArchive, RefusesMethodsItCannotReadAndEncryptedEntries) {
  TZipBuilder b;
  b.Add("xl/a.xml", "a").flags = 1;  // encrypted
  b.Add("xl/b.xml", "b").method = 12;  // bzip2
  b.Add("xl/c.xml", "c").method = 9;   // deflate64
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  EXPECT_TRUE(zip.Entries().Items(0).Encrypted());
  TZipPartBuffer buffer;
  EXPECT_ZIP_ERROR(zip.Entries().Items(0).ExtractToStream(buffer), EXLSError, "Cannot process this file: xl/a.xml ");
  EXPECT_ZIP_ERROR(zip.Entries().Items(1).ExtractToStream(buffer), EXLSError, "Cannot process this file: xl/b.xml ");
  EXPECT_ZIP_ERROR(zip.Entries().Items(2).ExtractToStream(buffer), EXLSError, "Cannot process this file: xl/c.xml ");
}

TEST(ZipArchive, DamagedDeflateDataFails) {
  TZipBuilder b;
  b.Add("xl/sheet.xml", kSheet);
  b.entries[0].data[0] = '\x07';  // final block of the reserved type 3
  b.Add("xl/keep.xml", "keep");
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  TZipPartBuffer buffer;
  zip.Entries().Items(1).ExtractToStream(buffer);
  EXPECT_ZIP_ERROR(zip.Entries().Items(0).ExtractToStream(buffer), EDecompressionError, "ZLib decompress error");
  EXPECT_THROW(zip.Entries().Items(0).ExtractToStream(buffer), EZlibError);
  EXPECT_THROW(zip.Entries().Items(0).ExtractToStream(buffer), EXLSError) << "a library error like the others";
  EXPECT_EQ(buffer.View(), "keep") << "a failed extraction leaves the stream as it was";
}

TEST(ZipArchive, DeflateDataShorterThanItsClaimFails) {
  TZipBuilder b;
  b.Add("xl/sheet.xml", kSheet);
  b.entries[0].data.resize(b.entries[0].data.size() / 2);  // cut off mid-stream
  b.entries[0].compressed = static_cast<std::uint32_t>(b.entries[0].data.size());
  b.Add("xl/claims.xml", "short");
  b.entries[1].uncompressed = 50;  // more than the data holds
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  TZipPartBuffer buffer;
  try {
    zip.Entries().Items(0).ExtractToStream(buffer);
    ADD_FAILURE() << "a truncated part must not pass as empty";
  } catch (const EXLSError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Zip entry \"xl/sheet.xml\": deflated data ends after ", 0), 0u) << error.what();
  }
  EXPECT_ZIP_ERROR(zip.Entries().Items(1).ExtractToStream(buffer), EXLSError,
                   "Zip entry \"xl/claims.xml\": deflated data ends after 5 of 50 bytes");
  EXPECT_EQ(buffer.Size(), 0u);
}

TEST(ZipArchive, IgnoresCrcAndBytesAfterTheDeflateData) {
  TZipBuilder b;
  b.Add("a.xml", kSheet).crc = 0x12345678;  // wrong CRC goes unnoticed
  b.Add("b.xml", kSheet);
  b.entries[1].data += "JUNKJUNK";  // taken for a zlib trailer: must not fail
  b.entries[1].compressed += 8;
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  EXPECT_EQ(ExtractText(zip, 0), kSheet);
  EXPECT_EQ(ExtractText(zip, 1), kSheet);
}

// Sizes, counts and offsets are claims: each is checked before it is used.
TEST(ZipArchive, RefusesClaimsTheArchiveCannotBackUp) {
  TZipBuilder b;
  b.Add("bomb.xml", std::string(10000, 'a'));                    // 0
  b.entries[0].uncompressed = 0xF0000000;                          // far beyond 1032:1
  b.Add("big.xml", std::string(10000, 'a'));                     // 1
  b.Add("stored.bin", "12345", 0);                               // 2
  b.entries[2].uncompressed = 6;                                   // more than it holds
  b.Add("far.xml", "x");                                         // 3
  b.entries[3].local_offset = 0x7FFFFFF0;                          // outside the archive
  b.Add("nolocal.xml", "x");                                     // 4
  b.entries[4].local_offset = 2;                                   // no header there
  b.Add("past.xml", kSheet);                                     // 5
  b.entries[5].compressed = 0x00FFFFFF;                            // data runs past the end
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  EXPECT_TRUE(zip.HasBadEntries());
  zip.SetMaxPartSize(9999);
  TZipPartBuffer buffer;
  const auto compressed = std::to_string(zip.Entries().Items(0).CompressedSize());
  EXPECT_ZIP_ERROR(zip.Entries().Items(0).ExtractToStream(buffer), EXLSError,
                   "Zip entry \"bomb.xml\": uncompressed size 4026531840 is above the limit of 9999 bytes for one part");
  zip.SetMaxPartSize(TQuillZip::kDefaultMaxPartSize);
  b.entries[0].uncompressed = 1000000;
  const std::string bomb = b.Build();
  TQuillZip second;
  second.OpenMemory(Bytes(bomb), bomb.size());
  EXPECT_ZIP_ERROR(second.Entries().Items(0).ExtractToStream(buffer), EXLSError,
                   "Zip entry \"bomb.xml\": claims 1000000 bytes from " + compressed +
                       " compressed bytes, more than deflate can produce");
  zip.SetMaxPartSize(9999);
  EXPECT_ZIP_ERROR(zip.Entries().Items(1).ExtractToStream(buffer), EXLSError,
                   "Zip entry \"big.xml\": uncompressed size 10000 is above the limit of 9999 bytes for one part");
  EXPECT_ZIP_ERROR(zip.Entries().Items(2).ExtractToStream(buffer), EXLSError,
                   "Zip entry \"stored.bin\": stored entry claims 6 bytes but holds 5");
  EXPECT_ZIP_ERROR(zip.Entries().Items(3).ExtractToStream(buffer), EXLSError,
                   "Zip entry \"far.xml\": local header offset 2147483632 lies outside the archive (" +
                       std::to_string(bytes.size()) + " bytes)");
  EXPECT_ZIP_ERROR(zip.Entries().Items(4).ExtractToStream(buffer), EXLSError,
                   "Zip entry \"nolocal.xml\": no valid local header at offset 2");
  try {
    zip.Entries().Items(5).ExtractToStream(buffer);
    ADD_FAILURE();
  } catch (const EXLSError& error) {
    EXPECT_NE(std::string(error.what()).find("16777215 compressed bytes at offset"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("run past the end of the archive"), std::string::npos) << error.what();
  }
  EXPECT_EQ(buffer.Size(), 0u);
}

TEST(ZipArchive, RefusesDirectoriesOutsideTheArchive) {
  TZipBuilder outside;
  outside.Add("a", "a");
  outside.central_offset = 0x10000000;
  std::string bytes = outside.Build();
  TQuillZip zip;
  EXPECT_ZIP_ERROR(zip.OpenMemory(Bytes(bytes), bytes.size()), EXLSError,
                   "Zip central directory offset 268435456 lies outside the archive (end record at " +
                       std::to_string(bytes.size() - 22) + ")");
  EXPECT_FALSE(zip.IsZipFile());
  EXPECT_EQ(zip.Entries().Count(), 0);

  TZipBuilder counted;
  counted.Add("a", "a");
  counted.on_disk = counted.total = 40;  // more records than the directory holds
  bytes = counted.Build();
  try {
    zip.OpenMemory(Bytes(bytes), bytes.size());
    ADD_FAILURE();
  } catch (const EXLSError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Zip central directory record 1 of 40 at offset ", 0), 0u) << error.what();
  }
  EXPECT_FALSE(zip.IsZipFile());
}

TEST(ZipArchive, RefusesZip64AndMultiDiskArchives) {
  struct TCase {
    const char* what;
    void (*tweak)(TZipBuilder&);
    const char* message;
  };
  const TCase cases[] = {
      {"second disk", [](TZipBuilder& b) { b.disk = 1; b.central_disk = 1; },
       "Multi-disk zip archives are not supported (disk 1, central directory on disk 1)"},
      {"directory on another disk", [](TZipBuilder& b) { b.central_disk = 2; },
       "Multi-disk zip archives are not supported (disk 0, central directory on disk 2)"},
      {"entries on other disks", [](TZipBuilder& b) { b.total = 5; },
       "Multi-disk zip archives are not supported (disk 0, central directory on disk 0)"},
      {"zip64 directory offset", [](TZipBuilder& b) { b.central_offset = 0xFFFFFFFF; },
       "Zip64 archives are not supported"},
      {"zip64 locator and saturated count",
       [](TZipBuilder& b) {
         b.on_disk = b.total = 0xFFFF;
         std::string locator;
         test::PutU32(locator, 0x07064B50);
         locator.append(16, '\0');
         b.before_end_record = locator;
       },
       "Zip64 archives are not supported"},
      {"zip64 entry sizes", [](TZipBuilder& b) { b.entries[0].uncompressed = 0xFFFFFFFF; },
       "Zip64 archives are not supported (entry \"a.xml\")"},
      {"zip64 entry offset", [](TZipBuilder& b) { b.entries[0].local_offset = 0xFFFFFFFF; },
       "Zip64 archives are not supported (entry \"a.xml\")"},
  };
  for (const TCase& c : cases) {
    TZipBuilder b;
    b.Add("a.xml", "a");
    c.tweak(b);
    const std::string bytes = b.Build();
    TQuillZip zip;
    EXPECT_ZIP_ERROR(zip.OpenMemory(Bytes(bytes), bytes.size()), EXLSError, c.message);
    EXPECT_FALSE(zip.IsZipFile()) << c.what;
  }
}

TEST(ZipArchive, ImpossibleTimestampsDoNotStopTheRead) {
  TZipBuilder b;
  b.Add("a", "a").dos_date_time = 0;               // month 0, day 0: written by several tools
  b.Add("b", "b").dos_date_time = 0xFFFFFFFF;      // hour 31, month 15
  b.Add("c", "c").dos_date_time = (((2001 - 1980) << 9 | 2 << 5 | 29) << 16);  // 29 Feb of a common year
  b.Add("d", "d").dos_date_time = (((2000 - 1980) << 9 | 2 << 5 | 29) << 16);  // 29 Feb 2000 exists
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  ASSERT_EQ(zip.Entries().Count(), 4);
  EXPECT_EQ(zip.Entries().Items(0).ModifiedDate(), 0);
  EXPECT_EQ(zip.Entries().Items(1).ModifiedDate(), 0);
  EXPECT_EQ(zip.Entries().Items(2).ModifiedDate(), 0);
  EXPECT_EQ(zip.Entries().Items(3).ModifiedDate(), 36585);
  EXPECT_EQ(ExtractText(zip, 0), "a");
}

TEST(ZipArchive, ReportsProgressWhileInflating) {
  std::string big;
  for (long i = 0; big.size() < 3000000; ++i) big += std::to_string(i * 7919 % 100003) + ";";
  TZipBuilder b;
  b.Add("big.xml", big);
  const std::string bytes = b.Build();
  ASSERT_GT(b.entries[0].compressed, 2 * TZipInflateStream::kInputChunk);
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  std::vector<std::uint64_t> positions;
  zip.OnDecompressFile = [&](TQuillZip&, std::uint64_t position, std::uint64_t total) {
    EXPECT_EQ(total, big.size());
    positions.push_back(position);
  };
  EXPECT_EQ(ExtractText(zip, 0), big);
  const std::size_t refills = 1 + (b.entries[0].compressed + TZipInflateStream::kInputChunk - 1) /
                                      TZipInflateStream::kInputChunk;  // header, then 64 KiB steps
  EXPECT_EQ(positions.size(), refills);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_EQ(positions.front(), 0u);
}

TEST(ZipArchive, ReadsTheCommentAsLines) {
  TZipBuilder b;
  b.Add("a", "a");
  b.comment = "one\r\ntwo\nthree\r\r\nfour";
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  EXPECT_EQ(zip.Comment(), (std::vector<std::string>{"one", "two", "three", "", "four"}));
  zip.Close();
  EXPECT_TRUE(zip.Comment().empty());
}

TEST(ZipArchive, ComponentDefaults) {
  TQuillZip zip;
  EXPECT_FALSE(zip.IsZipFile());
  EXPECT_FALSE(zip.Active());
  EXPECT_FALSE(zip.ReadOnly());
  EXPECT_EQ(zip.CompressionType(), ctFast);
  zip.SetCompressionType(ctUnknown);
  EXPECT_EQ(zip.CompressionType(), ctNormal);
  EXPECT_EQ(zip.ComponentVersion(), "2.0");
  EXPECT_EQ(zip.SaveMethod, TZipSaveMethod::FastSave);
  EXPECT_TRUE(zip.StoreRelativePath && zip.StoreFolders && zip.ApplyAtributes);
  EXPECT_FALSE(zip.UseTempFiles);
  EXPECT_EQ(zip.OverwriteAction, oaSkip);
  zip.SetActive(true);  // no file name: ignored
  EXPECT_FALSE(zip.Active());
}

TEST(XLSZipArchive, ReadsPartsByWideName) {
  TZipBuilder b;
  b.Add("xl/workbook.xml", kSheet);
  b.Add("xl/\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82.xml", "cyrillic", 0);  // "Лист" in UTF-8
  const std::string bytes = b.Build();
  TXLSZipArchive archive;
  archive.Open(Bytes(bytes), bytes.size());
  ASSERT_TRUE(archive.IsZipFile());
  EXPECT_EQ(archive.IndexOf(u"XL\\Workbook.xml"), 0);
  EXPECT_EQ(archive.IndexOf(u"xl/\u041b\u0438\u0441\u0442.xml"), 1);
  EXPECT_EQ(archive.IndexOf(u"xl/styles.xml"), -1);

  TZipPartBuffer part;
  part.SetPosition(5);
  archive.ReadPart(u"/xl/workbook.xml", part);
  EXPECT_EQ(part.View(), kSheet);
  EXPECT_EQ(part.Position(), 0u);
  for (std::size_t i = 0; i < TZipPartBuffer::kPadding; ++i) ASSERT_EQ(part.Data()[part.Size() + i], 0) << i;
  EXPECT_ZIP_ERROR(archive.ReadPart(u"xl/sharedStrings.xml", part), EXLSError,
                   "Can not find file xl/sharedStrings.xml in ZIP");

  const std::string text = "not an archive at all, just some text that is long enough";
  archive.Open(Bytes(text), text.size());
  EXPECT_FALSE(archive.IsZipFile());
  EXPECT_ZIP_ERROR(archive.ReadPart(u"xl/workbook.xml", part), EXLSError, "Can not find file xl/workbook.xml in ZIP");
}

TEST(XLSZipArchive, ConvertsWideNamesToUtf8) {
  EXPECT_EQ(ZipNameToUtf8(u"a\u00e9\u041b\u20ac"), "a\xC3\xA9\xD0\x9B\xE2\x82\xAC");
  EXPECT_EQ(ZipNameToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(ZipNameToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "?x");
}

}  // namespace
}  // namespace gridport
