// The compound-file reader over files built byte by byte: both sector sizes,
// the mini stream, a DIFAT chain, and a table of corruptions that each must
// end with a message instead of a crash or a loop.
#include "biff/compound_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>

#include "tests/biff/cfb_builder.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

using test::BuildCfb;
using test::TCfbElement;
using test::TCfbFile;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8));
  return data;
}

std::vector<std::uint8_t> ReadAll(TCompoundStream stream, std::size_t chunk) {
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> buffer(chunk);
  while (std::size_t got = stream.Read(buffer.data(), chunk)) out.insert(out.end(), buffer.begin(), buffer.begin() + got);
  return out;
}

TEST(CompoundFile, LayoutsReadBackEveryStream) {
  struct TCase {
    const char* Name;
    unsigned Shift;
    std::uint32_t ExtraFat;
    std::vector<std::size_t> Sizes;
  };
  const TCase cases[] = {
      {"512-byte sectors", 9, 0, {5000, 70000}},
      {"4096-byte sectors", 12, 0, {4096, 50000}},
      {"mini stream", 9, 0, {1, 63, 64, 65, 4095}},
      {"mini and regular in 4096-byte sectors", 12, 0, {100, 9000}},
      {"DIFAT beyond the header's 109 entries", 9, 130, {20000}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<TCfbElement> elements;
    for (std::size_t i = 0; i < c.Sizes.size(); ++i)
      elements.push_back({u"S" + std::u16string(1, char16_t(u'0' + i)), Pattern(c.Sizes[i], uint8_t(i)), false});
    elements.push_back({u"Storage", {}, true});
    TCfbFile built = BuildCfb(elements, c.Shift, c.ExtraFat);
    TCompoundFile file;
    file.OpenBytes(built.Bytes);
    EXPECT_EQ(file.SectorSize(), 1u << c.Shift);
    ASSERT_EQ(file.RootEntries().size(), elements.size());
    for (std::size_t i = 0; i < c.Sizes.size(); ++i) {
      const TCompoundEntry* entry = file.FindRootEntry(elements[i].Name);
      ASSERT_NE(entry, nullptr);
      EXPECT_EQ(entry->Type, TCompoundEntryType::Stream);
      EXPECT_EQ(entry->Size, c.Sizes[i]);
      EXPECT_EQ(ReadAll(file.OpenStream(*entry), 13), elements[i].Data);
      EXPECT_EQ(ReadAll(file.OpenStream(*entry), 100000), elements[i].Data);
    }
    EXPECT_EQ(file.FindRootEntry(u"storage")->Type, TCompoundEntryType::Storage);
    EXPECT_THROW(file.OpenStream(*file.FindRootEntry(u"Storage")), EXLSError);
  }
}

TEST(CompoundFile, SeekAndReadAcrossSectors) {
  TCfbFile built = BuildCfb({{u"Data", Pattern(10000, 3), false}});
  TCompoundFile file;
  file.OpenBytes(built.Bytes);
  TCompoundStream stream = file.OpenStream(*file.FindRootEntry(u"DATA"));
  std::vector<std::uint8_t> expected = Pattern(10000, 3);
  std::uint8_t buffer[600];
  EXPECT_EQ(stream.Seek(500, 0), 500u);
  ASSERT_EQ(stream.Read(buffer, 600), 600u);  // crosses the sector boundary at 512
  EXPECT_TRUE(std::equal(buffer, buffer + 600, expected.begin() + 500));
  EXPECT_EQ(stream.Seek(-10, 2), 9990u);
  EXPECT_EQ(stream.Read(buffer, 600), 10u);
  EXPECT_EQ(stream.Read(buffer, 600), 0u);
  EXPECT_EQ(stream.Seek(-20000, 1), 0u);
  EXPECT_EQ(stream.Seek(20000, 0), 10000u);
}

// A stream in consecutive sectors is read as one run of bytes, a scattered
// one piece by piece: both give the same bytes for every way of reading.
TEST(CompoundFile, ConsecutiveAndScatteredPiecesReadAlike) {
  const std::vector<std::uint8_t> file = Pattern(8 * 64, 5);  // eight 64-byte pieces
  struct TCase {
    const char* Name;
    std::vector<std::uint64_t> Offsets;
    std::uint64_t Size;
  };
  const TCase cases[] = {
      {"consecutive", {64, 128, 192}, 3 * 64},
      {"consecutive, last piece partial", {0, 64, 128}, 2 * 64 + 10},
      {"scattered", {448, 0, 192}, 3 * 64},
      {"one piece twice", {128, 128}, 2 * 64},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::uint8_t> expected;
    for (std::size_t i = 0; i < c.Offsets.size(); ++i) {
      const std::size_t take = std::min<std::uint64_t>(64, c.Size - i * 64);
      expected.insert(expected.end(), file.begin() + c.Offsets[i], file.begin() + c.Offsets[i] + take);
    }
    for (std::size_t chunk : {1u, 4u, 63u, 64u, 65u, 1000u}) {
      SCOPED_TRACE(chunk);
      EXPECT_EQ(ReadAll(TCompoundStream(file.data(), c.Offsets, 6, c.Size), chunk), expected);
    }
    TCompoundStream stream(file.data(), c.Offsets, 6, c.Size);
    std::uint8_t buffer[8];
    EXPECT_EQ(stream.Seek(60, 0), 60u);
    ASSERT_EQ(stream.Read(buffer, 8), 8u);  // across the first piece's end
    EXPECT_TRUE(std::equal(buffer, buffer + 8, expected.begin() + 60));
    EXPECT_EQ(stream.Seek(-3, 2), c.Size - 3);
    EXPECT_EQ(stream.Read(buffer, 8), 3u);
    EXPECT_EQ(stream.Read(buffer, 8), 0u);
  }
}

TEST(CompoundFile, OpensFromDiskWithoutCopying) {
  TCfbFile built = BuildCfb({{u"Workbook", Pattern(9000, 1), false}});
  auto path = std::filesystem::temp_directory_path() / "gridport_cfb_disk_test.xls";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(built.Bytes.data()), built.Bytes.size());
  }
  EXPECT_TRUE(TCompoundFile::IsCompoundFile(path));
  TCompoundFile file;
  file.OpenFile(path);
  EXPECT_EQ(ReadAll(file.OpenStream(*file.FindRootEntry(u"workbook")), 4096), Pattern(9000, 1));
  file.Close();
  std::filesystem::remove(path);
  EXPECT_FALSE(TCompoundFile::IsCompoundFile(path));
}

// A file cut inside its last sector still yields the stream bytes it holds.
TEST(CompoundFile, TruncatedLastSectorShortensTheStream) {
  TCfbFile built = BuildCfb({{u"Workbook", Pattern(5000, 1), false}});
  built.Bytes.resize(built.Bytes.size() - 512 + 100);  // the stream's last sector keeps 100 bytes
  TCompoundFile file;
  file.OpenBytes(built.Bytes);
  std::vector<std::uint8_t> data = ReadAll(file.OpenStream(*file.FindRootEntry(u"Workbook")), 777);
  std::vector<std::uint8_t> expected = Pattern(5000, 1);
  ASSERT_EQ(data.size(), 9u * 512 + 100);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), expected.begin()));
}

TEST(CompoundFile, CorruptionsEndWithAMessage) {
  constexpr std::uint32_t kEnd = 0xFFFFFFFE;
  struct TCase {
    const char* Name;
    std::function<void(TCfbFile&)> Corrupt;
    const char* Message;
    bool OnOpenStream;  // the fault shows only when the stream is opened
  };
  // Elements: 0 "Big" (12 regular sectors), 1 "Small" (3 mini sectors).
  const TCase cases[] = {
      {"header cut short", [](TCfbFile& f) { f.Bytes.resize(300); }, "header is truncated", false},
      {"signature", [](TCfbFile& f) { f.Bytes[0] = 0; }, "signature missing", false},
      {"sector size", [](TCfbFile& f) { f.Bytes[30] = 10; }, "unsupported sector size", false},
      {"FAT count beyond the file", [](TCfbFile& f) { f.Put32(44, 100000); }, "does not fit", false},
      {"FAT sector beyond the file", [](TCfbFile& f) { f.Put32(76, 5000); }, "lies beyond the file", false},
      {"directory chain loops", [](TCfbFile& f) { f.SetFat(f.DirectorySector, f.DirectorySector); }, "directory chain loops", false},
      {"directory chain leaves the file", [](TCfbFile& f) { f.Put32(48, 0x00FFFFFF); }, "directory chain points at sector", false},
      {"root entry missing", [](TCfbFile& f) { f.Bytes[f.DirEntry(0) + 66] = 2; }, "not the root", false},
      {"child index beyond the directory", [](TCfbFile& f) { f.Put32(f.DirEntry(0) + 76, 999); }, "beyond the directory", false},
      {"sibling cycle", [](TCfbFile& f) { f.Put32(f.DirEntry(2) + 72, 1); }, "links entry 1 twice", false},
      {"child pointing at the root", [](TCfbFile& f) { f.Put32(f.DirEntry(0) + 76, 0); }, "links entry 0 twice", false},
      {"unknown entry type", [](TCfbFile& f) { f.Bytes[f.DirEntry(1) + 66] = 7; }, "has type 7", false},
      {"stream chain loops", [](TCfbFile& f) { f.SetFat(f.StartSector[0] + 5, f.StartSector[0]); }, "chain loops at sector", true},
      {"stream chain ends early", [](TCfbFile& f) { f.SetFat(f.StartSector[0] + 5, kEnd); }, "chain ends after 6 sectors, 12 needed", true},
      {"stream chain leaves the file", [](TCfbFile& f) { f.SetFat(f.StartSector[0], 0x7FFFFFF0); }, "outside the file", true},
      {"stream size beyond the file", [](TCfbFile& f) { f.Put32(f.DirEntry(1) + 120, 0x7FFFFFFF); }, "larger than the file", true},
      {"mini chain loops", [](TCfbFile& f) {
         // mini FAT entry 1 points back to 0
         f.Put32(f.SectorOffset(f.DirectorySector + 1) + 4, 0);
       }, "mini stream chain loops", true},
      {"mini stream size beyond its chain", [](TCfbFile& f) { f.Put32(f.DirEntry(0) + 120, 64 * 1000); }, "mini stream", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TCfbFile built = BuildCfb({{u"Big", Pattern(6000, 1), false}, {u"Small", Pattern(150, 2), false}});
    c.Corrupt(built);
    TCompoundFile file;
    try {
      file.OpenBytes(built.Bytes);
      ASSERT_TRUE(c.OnOpenStream) << "opened without complaint";
      for (const TCompoundEntry& entry : file.RootEntries()) ReadAll(file.OpenStream(entry), 512);
      ADD_FAILURE() << "no exception";
    } catch (const EXLSError& error) {
      EXPECT_NE(std::string(error.what()).find(c.Message), std::string::npos) << error.what();
    }
  }
}

// A file with 134 FAT sectors, 25 of them listed in one DIFAT sector.
TEST(CompoundFile, BrokenDifatChainsEndWithAMessage) {
  struct TCase {
    const char* Name;
    std::function<void(TCfbFile&)> Corrupt;
    const char* Message;
  };
  const TCase cases[] = {
      {"DIFAT that ends too early", [](TCfbFile& f) { f.Put32(68, 0xFFFFFFFE); }, "the DIFAT lists 109 FAT sectors, the header 134"},
      {"DIFAT that never ends", [](TCfbFile& f) {
         f.Put32(44, 300);  // more FAT sectors than the DIFAT sector lists, its next link to itself
         f.Put32(f.SectorOffset(f.Get32(68)) + 508, f.Get32(68));
       }, "DIFAT chain loops"},
      {"DIFAT sector beyond the file", [](TCfbFile& f) { f.Put32(68, 0x00FFFFFF); }, "DIFAT sector 0xFFFFFF lies beyond the file"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TCfbFile built = BuildCfb({{u"Big", Pattern(200000, 1), false}}, 9, 130);
    c.Corrupt(built);
    TCompoundFile file;
    try {
      file.OpenBytes(built.Bytes);
      ADD_FAILURE() << "no exception";
    } catch (const EXLSError& error) {
      EXPECT_NE(std::string(error.what()).find(c.Message), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace gridport
