// A deflated entry inflated on a worker thread: the bytes, the checks and the errors must be
// those of extracting the whole entry, the ready bytes arrive before the entry is complete,
// and no thread outlives the part.
#include <gtest/gtest.h>

#include <string>

#include "openxml/zip_inflate_stream.h"
#include "openxml/zip_inflating_part.h"
#include "tests/openxml/thread_count.h"
#include "tests/openxml/zip_builder.h"
#include "tests/openxml/zip_test_util.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

using test::Bytes;
using test::ExtractText;
using test::TZipBuilder;

std::string Rows(int count) {
  std::string s = "<sheetData>";
  for (int i = 1; i <= count; ++i)
    s += "<row r=\"" + std::to_string(i) + "\"><c r=\"A" + std::to_string(i) + "\"><v>" + std::to_string(i * 7) +
         "</v></c></row>";
  return s + "</sheetData>";
}


struct TEntryCase {
  const char* what;
  std::string content;
  bool descriptor = false;
  std::string data;            // deflate data in place of the content's own, when not empty
  long claimed = -1;           // uncompressed size claimed, when not -1
  std::size_t good_bytes = 0;  // bytes delivered before a failure
};

TEST(InflatingPart, GivesTheBytesAndErrorsOfAWholeExtraction) {
  const std::string sheet = Rows(3000);
  const std::string half = sheet.substr(0, sheet.size() / 2);
  std::vector<TEntryCase> cases = {
      {"whole", sheet, false, "", -1, 0},
      {"sizes in a data descriptor", sheet, true, "", -1, 0},
      {"claims less than the data holds: the claimed bytes", sheet, false, "", static_cast<long>(sheet.size() - 1000), 0},
      {"damaged after half", sheet, false, test::RawDeflateThenDamage(half), -1, half.size()},
      {"ends short of its claim", half, false, "", static_cast<long>(half.size() + 100), half.size()},
  };
  TZipBuilder b;
  for (const TEntryCase& c : cases) {
    test::TTestEntry& e = b.Add(c.what, c.content);
    e.descriptor = c.descriptor;
    if (!c.data.empty()) {
      e.data = c.data;
      e.compressed = static_cast<std::uint32_t>(c.data.size());
    }
    if (c.claimed >= 0) e.uncompressed = static_cast<std::uint32_t>(c.claimed);
  }
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::string expected, expected_error;
    try {
      expected = ExtractText(zip, static_cast<int>(i));
    } catch (const EXLSError& error) {
      expected_error = error.what();
    }
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, TInflatingPart::kDefaultChunk}) {
      SCOPED_TRACE(std::string(cases[i].what) + ", chunk " + std::to_string(chunk));
      TInflatingPart part(zip, zip.Entries().Items(static_cast<int>(i)), chunk);
      ASSERT_EQ(part.Size(), zip.Entries().Items(static_cast<int>(i)).UncompressedSize());
      if (expected_error.empty()) {
        EXPECT_EQ(part.WaitReady(part.Size()), part.Size());
        EXPECT_EQ(std::string(part.Data(), part.Size()), expected);
        EXPECT_EQ(part.Finish(), nullptr);
        continue;
      }
      // The chunks before the one that meets the damage are delivered (zlib may meet it in
      // the call that gives the last sound byte); the failure comes when more is needed.
      const std::size_t delivered = (cases[i].good_bytes - 1) / chunk * chunk;
      EXPECT_GE(part.WaitReady(delivered), delivered);
      EXPECT_EQ(std::string(part.Data(), delivered), cases[i].content.substr(0, delivered));
      EXPECT_ZIP_ERROR(part.WaitReady(part.Size()), EXLSError, expected_error);
      std::exception_ptr failure = part.Finish();
      ASSERT_NE(failure, nullptr);
      EXPECT_ZIP_ERROR(std::rethrow_exception(failure), EXLSError, expected_error);
    }
  }
  EXPECT_EQ(cases[3].content, sheet);
}

TEST(InflatingPart, ChecksTheEntryBeforeAnyThreadStarts) {
  TZipBuilder b;
  b.Add("xl/encrypted.xml", "a").flags = 1;
  b.Add("xl/bzip2.xml", "b").method = 12;
  b.Add("xl/too-large.xml", "c").uncompressed = 1u << 20;  // beyond what 3 deflated bytes can give
  b.Add("xl/stored.xml", "d", 0);
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  const std::size_t threads = test::ThreadCountBefore();
  for (int i = 0; i < 3; ++i) {
    std::string expected;
    try {
      ExtractText(zip, i);
    } catch (const EXLSError& error) {
      expected = error.what();
    }
    ASSERT_NE(expected, "") << i;
    EXPECT_ZIP_ERROR(TInflatingPart(zip, zip.Entries().Items(i)), EXLSError, expected);
  }
  EXPECT_ZIP_ERROR(TInflatingPart(zip, zip.Entries().Items(3)), EXLSError,
                   "Zip entry \"xl/stored.xml\" is not deflated");
  EXPECT_EQ(test::ThreadCount(), threads);
  // Which entries go to a worker at all.
  EXPECT_FALSE(TInflatingPart::Suits(zip, zip.Entries().Items(3), 0)) << "stored";
  EXPECT_FALSE(TInflatingPart::Suits(zip, zip.Entries().Items(2), 2u << 20)) << "below the size";
  EXPECT_TRUE(TInflatingPart::Suits(zip, zip.Entries().Items(2), 1u << 20));
  zip.OnDecompressFile = [](TQuillZip&, std::uint64_t, std::uint64_t) {};
  EXPECT_FALSE(TInflatingPart::Suits(zip, zip.Entries().Items(2), 0)) << "a progress event stays on its thread";
}

TEST(InflatingPart, APartDroppedWhileInflatingLeavesNoThread) {
  TZipBuilder b;
  b.Add("xl/worksheets/sheet1.xml", Rows(200000));  // about 9 MB
  const std::string bytes = b.Build();
  TQuillZip zip;
  zip.OpenMemory(Bytes(bytes), bytes.size());
  const std::size_t threads = test::ThreadCountBefore();
  {
    TInflatingPart part(zip, zip.Entries().Items(0), 4096);
    EXPECT_GE(part.WaitReady(100), 100u);
    EXPECT_EQ(std::string(part.Data(), 11), "<sheetData>");
  }
  EXPECT_EQ(test::ThreadCount(), threads);
  {
    TInflatingPart part(zip, zip.Entries().Items(0), 4096);
    part.Stop();
    EXPECT_EQ(test::ThreadCount(), threads);
    EXPECT_EQ(part.Finish(), nullptr) << "stopped, not failed";
  }
}

}  // namespace
}  // namespace gridport
