// Workbooks from independent writers (tests/data/biff, made by
// make_fixtures.sh): each opens with the right stream and version and yields
// a well-formed record sequence; the same workbook streams repacked into
// 4096-byte-sector compound files read back identically.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "biff/compound_file.h"
#include "biff/xls_stream.h"
#include "tests/biff/cfb_builder.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

const std::filesystem::path kData = std::filesystem::path(GRIDPORT_TEST_DATA) / "biff";

struct TRecordWalk {
  std::vector<std::uint16_t> Ids;
  std::size_t Bytes = 0;
};

TRecordWalk WalkRecords(TXLSStream& stream) {
  TRecordWalk walk;
  std::vector<std::uint8_t> body(65536);
  TBiffRecordHeader header;
  while (stream.ReadHeader(header) == 4) {
    walk.Ids.push_back(header.Id);
    EXPECT_EQ(stream.Read(body.data(), header.Length), header.Length);
    walk.Bytes += 4u + header.Length;
  }
  return walk;
}

std::vector<std::uint8_t> WorkbookBytes(const std::filesystem::path& path) {
  TCompoundFile file;
  file.OpenFile(path);
  const TCompoundEntry* entry = file.FindRootEntry(u"Workbook");
  if (entry == nullptr) entry = file.FindRootEntry(u"Book");
  TCompoundStream stream = file.OpenStream(*entry);
  std::vector<std::uint8_t> bytes(stream.Size());
  stream.Read(bytes.data(), bytes.size());
  return bytes;
}

TEST(FixtureStream, WritersWorkbooksYieldWellFormedRecords) {
  struct TCase {
    const char* File;
    TExcelVersion Version;
    bool MiniStream;  // the workbook stream is below the 4096-byte cutoff
  };
  const TCase cases[] = {
      {"lo_excel97.xls", xvExcel97, false},     // LibreOffice
      {"gnumeric_biff8.xls", xvExcel97, false},  // Gnumeric
      {"gnumeric_biff7.xls", xvExcel50, false},
      {"gnumeric_dual.xls", xvExcel97, false},   // both "Book" and "Workbook"
      {"xlwt_biff8.xls", xvExcel97, false},
      {"sheetjs_biff8.xls", xvExcel97, true},    // SheetJS
      {"sheetjs_biff5.xls", xvExcel50, true},
      {"sheetjs_biff2.xls", xvExcel21, false},   // a plain BIFF2 file
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.File);
    TXLSStream stream;
    ASSERT_EQ(stream.OpenWorkbook(kData / c.File), c.Version);
    if (c.Version >= xvExcel50) {
      const TCompoundEntry* entry = stream.CompoundFile().FindRootEntry(c.Version == xvExcel97 ? u"workbook" : u"book");
      ASSERT_NE(entry, nullptr);
      EXPECT_EQ(entry->Size < 4096, c.MiniStream);
    }
    TRecordWalk walk = WalkRecords(stream);
    // xlwt pads its stream to 4096 bytes with zeros, which read as empty records of id 0.
    while (!walk.Ids.empty() && walk.Ids.back() == 0) walk.Ids.pop_back();
    ASSERT_GE(walk.Ids.size(), 3u);
    EXPECT_EQ(walk.Ids.front() & 0xFF, 0x09);
    EXPECT_EQ(walk.Ids.back(), 0x000A);
    int bofs = 0, eofs = 0;
    for (std::uint16_t id : walk.Ids) {
      // Chart records such as 0x1009 share the BOF's low byte; BOFs are these four.
      bofs += id == 0x0009 || id == 0x0209 || id == 0x0409 || id == 0x0809;
      eofs += id == 0x000A;
    }
    EXPECT_EQ(bofs, eofs);
    // Writers may pad the stream after the last EOF; the records fill all but the padding.
    EXPECT_LE(walk.Bytes, static_cast<std::size_t>(stream.StreamSize()));
  }
}

TEST(FixtureStream, RepackedInto4096ByteSectors) {
  for (const char* name : {"lo_excel97.xls", "sheetjs_biff8.xls"}) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> workbook = WorkbookBytes(kData / name);
    std::vector<std::uint8_t> bytes =
        test::BuildCfb({{u"\x05SummaryInformation", std::vector<std::uint8_t>(300, 7), false},
                        {u"Workbook", workbook, false}}, 12).Bytes;
    std::stringstream source(std::string(bytes.begin(), bytes.end()));
    TXLSStream repacked;
    repacked.SetSourceStream(&source);
    ASSERT_EQ(repacked.OpenWorkbook(""), xvExcel97);
    EXPECT_EQ(repacked.CompoundFile().SectorSize(), 4096u);
    TXLSStream original;
    original.OpenWorkbook(kData / name);
    EXPECT_EQ(WalkRecords(repacked).Ids, WalkRecords(original).Ids);
  }
}

}  // namespace
}  // namespace gridport
