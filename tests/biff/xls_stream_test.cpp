// TXLSStream over workbooks built in the test: the choice of stream and
// version, plain BIFF2-4 files, peeking, CONTINUE joining and RC4 decryption
// checked against an encryption written here from the published scheme.
#include "biff/xls_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "biff/md5.h"
#include "biff/rc4.h"
#include "tests/biff/cfb_builder.h"
#include "text/in_out_error.h"
#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

using test::BuildCfb;
using test::TCfbElement;

struct TRecord {
  std::uint16_t Id;
  std::vector<std::uint8_t> Body;
};

std::vector<std::uint8_t> Body(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> body(size);
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<std::uint8_t>(seed + 3 * i);
  return body;
}

std::vector<std::uint8_t> Serialize(const std::vector<TRecord>& records) {
  std::vector<std::uint8_t> out;
  for (const TRecord& r : records) {
    std::uint16_t length = static_cast<std::uint16_t>(r.Body.size());
    out.insert(out.end(), {std::uint8_t(r.Id), std::uint8_t(r.Id >> 8), std::uint8_t(length), std::uint8_t(length >> 8)});
    out.insert(out.end(), r.Body.begin(), r.Body.end());
  }
  return out;
}

class TTempFile {
 public:
  TTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes)
      : path_(std::filesystem::temp_directory_path() / ("gridport_xls_stream_" + name)) {
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ~TTempFile() { std::filesystem::remove(path_); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

const std::vector<std::uint8_t> kBof8 = Serialize({{0x0809, Body(16, 1)}, {0x000A, {}}});
const std::vector<std::uint8_t> kBof5 = Serialize({{0x0809, Body(8, 2)}, {0x000A, {}}});

TEST(XLSStream, ChoosesTheWorkbookStreamByName) {
  struct TCase {
    const char* Name;
    std::vector<TCfbElement> Elements;
    TExcelVersion Version;
    std::vector<std::uint8_t> Stream;
  };
  const TCase cases[] = {
      {"Workbook", {{u"Workbook", kBof8, false}}, xvExcel97, kBof8},
      {"Book", {{u"Book", kBof5, false}}, xvExcel50, kBof5},
      {"both: Workbook wins", {{u"Book", kBof5, false}, {u"Workbook", kBof8, false}}, xvExcel97, kBof8},
      {"letter case ignored", {{u"WORKBOOK", kBof8, false}}, xvExcel97, kBof8},
      {"bOOK", {{u"bOOK", kBof5, false}}, xvExcel50, kBof5},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFile file("choice.xls", BuildCfb(c.Elements).Bytes);
    TXLSStream stream;
    EXPECT_EQ(stream.OpenWorkbook(file.Path()), c.Version);
    EXPECT_EQ(stream.StreamSize(), static_cast<std::int32_t>(c.Stream.size()));
    std::vector<std::uint8_t> read(c.Stream.size());
    EXPECT_EQ(stream.Read(read.data(), read.size()), c.Stream.size());
    EXPECT_EQ(read, c.Stream);
  }
}

TEST(XLSStream, CompoundFileWithoutWorkbookIsRejected) {
  TTempFile file("none.xls", BuildCfb({{u"WordDocument", kBof8, false}, {u"Workbook", {}, true}}).Bytes);
  TXLSStream stream;
  try {
    stream.OpenWorkbook(file.Path());
    FAIL() << "opened";
  } catch (const EXLSError& error) {
    EXPECT_STREQ(error.what(), "The file is not an Excel workbook");
  }
}

class TRecordingVBA : public TXLSVBA {
 public:
  void ReadProject(const TCompoundFile&, const TCompoundEntry& storage) override { Seen.push_back(storage.Name); }
  std::vector<std::u16string> Seen;
};

TEST(XLSStream, KeepsOtherRootElementsAndHandsOverTheMacroStorage) {
  TTempFile file("extras.xls", BuildCfb({{u"Workbook", kBof8, false},
                                         {u"\x05SummaryInformation", Body(200, 1), false},
                                         {u"_VBA_PROJECT_CUR", {}, true},
                                         {u"_vba_project_cur", {}, true},
                                         {u"book", kBof5, false}})
                                   .Bytes);
  TExtraObjects extras;
  TRecordingVBA vba;
  TXLSStream stream(&extras, &vba, true);
  EXPECT_EQ(stream.OpenWorkbook(file.Path()), xvExcel97);
  EXPECT_EQ(vba.Seen, std::vector<std::u16string>{u"_VBA_PROJECT_CUR"});  // exact case only
  ASSERT_EQ(extras.Elements().size(), 2u);
  EXPECT_EQ(extras.Elements()[0].Name, u"\x05SummaryInformation");
  EXPECT_EQ(extras.Elements()[0].Size, 200u);
  EXPECT_EQ(extras.Elements()[1].Name, u"_vba_project_cur");

  TRecordingVBA ignored;
  TXLSStream no_macros(nullptr, &ignored, false);
  no_macros.OpenWorkbook(file.Path());
  EXPECT_TRUE(ignored.Seen.empty());
}

TEST(XLSStream, ReadsACompoundFileFromTheSourceStream) {
  std::vector<std::uint8_t> bytes = BuildCfb({{u"Workbook", kBof8, false}}).Bytes;
  std::stringstream source(std::string(bytes.begin(), bytes.end()));
  source.seekg(100);
  TXLSStream stream;
  stream.SetSourceStream(&source);
  EXPECT_EQ(stream.OpenWorkbook("/nonexistent/ignored.xls"), xvExcel97);
  EXPECT_EQ(source.tellg(), 0);
  TBiffRecordHeader header;
  ASSERT_EQ(stream.ReadHeader(header), 4);
  EXPECT_EQ(header.Id, 0x0809);
  EXPECT_EQ(header.Length, 16);
}

TEST(XLSStream, PlainFilesTakeTheirVersionFromTheFirstRecord) {
  struct TCase {
    std::vector<std::uint8_t> Bytes;
    TExcelVersion Version;
  };
  const TCase cases[] = {
      {{0x09, 0x00, 0x04, 0x00, 2, 0, 0x10, 0}, xvExcel21},
      {{0x09, 0x02, 0x06, 0x00, 0, 0, 0x10, 0, 0, 0}, xvExcel30},
      {{0x09, 0x04, 0x06, 0x00, 0, 0, 0x10, 0, 0, 0}, xvExcel40},
      {{0x09, 0x08, 0x08, 0x00, 0, 5, 0x10, 0, 0, 0, 0, 0}, xvNone},  // BIFF5/8 BOF outside a compound file
  };
  for (const TCase& c : cases) {
    TTempFile file("plain.xls", c.Bytes);
    TXLSStream stream;
    EXPECT_EQ(stream.OpenWorkbook(file.Path()), c.Version) << c.Bytes.size();
    EXPECT_EQ(stream.StreamSize(), static_cast<std::int32_t>(c.Bytes.size()));
    EXPECT_EQ(stream.Position(), 0);
  }
}

// A plain file whose first bytes are no BOF record header is not read as
// records: text, an EOF first, a BOF id of no BIFF version, a cut header, nothing.
TEST(XLSStream, PlainFileWithoutBofIsNotAWorkbook) {
  const std::vector<std::vector<std::uint8_t>> cases = {
      {'N', 'a', 'm', 'e', ';', 'V', 'a', 'l', 'u', 'e', '\r', '\n'},
      {'\t', 'a', '\t', 'b', '\r', '\n'},  // a tab-separated text: 0x09 first, no BOF
      {0x0A, 0x00, 0x00, 0x00},
      {0x09, 0x06, 0x04, 0x00, 0, 0, 0x10, 0},
      {0x09, 0x00},
      {},
  };
  for (const std::vector<std::uint8_t>& bytes : cases) {
    TTempFile file("plain.xls", bytes);
    TXLSStream stream;
    try {
      stream.OpenWorkbook(file.Path());
      ADD_FAILURE() << "opened " << bytes.size() << " bytes";
    } catch (const EXLSError& error) {
      EXPECT_STREQ(error.what(), "The file is not an Excel workbook") << bytes.size() << " bytes";
    }
    EXPECT_EQ(stream.Version(), xvNone);
  }
}

TEST(XLSStream, MissingFileFailsWithItsName) {
  TXLSStream stream;
  try {
    stream.OpenWorkbook("/nonexistent/missing.xls");
    FAIL();
  } catch (const EInOutError& error) {
    EXPECT_NE(std::string(error.what()).find("missing.xls"), std::string::npos);
  }
}

TEST(XLSStream, PeekAndSeek) {
  TTempFile file("peek.xls", Serialize({{0x0009, Body(4, 0)}, {0x0201, Body(6, 1)}, {0x000A, {}}}));
  TXLSStream stream;
  ASSERT_EQ(stream.OpenWorkbook(file.Path()), xvExcel21);
  EXPECT_EQ(stream.PeekRecordId(), 0x0009);
  EXPECT_EQ(stream.PeekRecordLength(), 4);
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(stream.Seek(8, 0), 8);
  EXPECT_EQ(stream.PeekRecordId(), 0x0201);
  EXPECT_EQ(stream.Seek(-4, 2), 18);
  EXPECT_EQ(stream.PeekRecordId(), 0x000A);
  EXPECT_EQ(stream.Seek(2, 1), 20);
  EXPECT_EQ(stream.PeekRecordId(), 0);  // two bytes left
  EXPECT_EQ(stream.Position(), 22);     // the short read stays consumed
  TBiffRecordHeader header;
  EXPECT_EQ(stream.ReadHeader(header), 0);
}

// A workbook stream read from a compound file held in memory.
struct TOpened {
  std::stringstream Source;
  TXLSStream Stream;
  explicit TOpened(const std::vector<std::uint8_t>& workbook) {
    std::vector<std::uint8_t> bytes = BuildCfb({{u"Workbook", workbook, false}}).Bytes;
    Source.str(std::string(bytes.begin(), bytes.end()));
    Stream.SetSourceStream(&Source);
    EXPECT_EQ(Stream.OpenWorkbook(""), xvExcel97);
  }
};

TEST(XLSStream, JoinsContinueRecords) {
  // Every record of a chain but the last is full; the length fields are not consulted.
  const std::vector<std::uint8_t> first = Body(8224, 1), second = Body(8224, 2), third = Body(50, 3);
  std::vector<std::uint8_t> picture = Body(14, 9);
  picture.insert(picture.end(), third.begin(), third.end());
  TOpened opened(Serialize({{0x00EB, first}, {0x003C, second}, {0x0866, picture}, {0x0042, Body(2, 4)}}));
  TXLSStream& stream = opened.Stream;
  TBiffRecordHeader header;
  ASSERT_EQ(stream.ReadHeader(header), 4);
  stream.BeginContinueJoin();
  std::vector<std::uint8_t> joined(8224 + 8224 + 50);
  ASSERT_EQ(stream.Read(joined.data(), joined.size()), joined.size());
  std::vector<std::uint8_t> expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  expected.insert(expected.end(), third.begin(), third.end());  // HFPicture's 14 leading bytes dropped
  EXPECT_EQ(joined, expected);
  stream.EndContinueJoin();
  ASSERT_EQ(stream.ReadHeader(header), 4);
  EXPECT_EQ(header.Id, 0x0042);
}

TEST(XLSStream, ExactlyOneFullRecordLeavesTheNextHeaderForTheNextRead) {
  const std::vector<std::uint8_t> first = Body(8224, 1), second = Body(100, 2);
  TOpened opened(Serialize({{0x00EB, first}, {0x003C, second}}));
  TXLSStream& stream = opened.Stream;
  TBiffRecordHeader header;
  stream.ReadHeader(header);
  stream.BeginContinueJoin();
  std::vector<std::uint8_t> data(8224);
  ASSERT_EQ(stream.Read(data.data(), data.size()), 8224u);
  EXPECT_EQ(data, first);
  EXPECT_EQ(stream.Position(), 4 + 8224);  // the CONTINUE header is not touched yet
  std::vector<std::uint8_t> more(60);
  ASSERT_EQ(stream.Read(more.data(), more.size()), 60u);
  EXPECT_TRUE(std::equal(more.begin(), more.end(), second.begin()));
}

TEST(XLSStream, JoinWithoutContinuationFails) {
  TOpened opened(Serialize({{0x00EB, Body(8224, 1)}, {0x0042, Body(100, 2)}}));
  TBiffRecordHeader header;
  opened.Stream.ReadHeader(header);
  opened.Stream.BeginContinueJoin();
  std::vector<std::uint8_t> data(8300);
  try {
    opened.Stream.Read(data.data(), data.size());
    FAIL();
  } catch (const EXLSError& error) {
    EXPECT_STREQ(error.what(), "CONTINUE record is missing");
  }
}

// ------------------------------------------------------------------ RC4

// The encrypting side of the scheme, written from its description: password
// digest, salted digest, one RC4 key per 1024-byte block of the stream.
struct TEncryptor {
  std::uint8_t Base[5];
  std::vector<std::uint8_t> Filepass;

  TEncryptor(std::u16string password, std::uint8_t salt_seed) {
    std::vector<std::uint8_t> text;
    for (char16_t c : password.substr(0, 31)) text.insert(text.end(), {std::uint8_t(c), std::uint8_t(c >> 8)});
    TMD5Digest h0 = TMD5::Digest(text.data(), text.size());
    std::vector<std::uint8_t> salt = Body(16, salt_seed), mix;
    for (int i = 0; i < 16; ++i) {
      mix.insert(mix.end(), h0.begin(), h0.begin() + 5);
      mix.insert(mix.end(), salt.begin(), salt.end());
    }
    TMD5Digest h1 = TMD5::Digest(mix.data(), mix.size());
    std::copy(h1.begin(), h1.begin() + 5, Base);
    std::vector<std::uint8_t> verifier = Body(16, 77);
    TMD5Digest hash = TMD5::Digest(verifier.data(), 16);
    std::vector<std::uint8_t> secret = verifier;
    secret.insert(secret.end(), hash.begin(), hash.end());
    std::vector<std::uint8_t> keystream = Keystream(0);
    for (int i = 0; i < 32; ++i) secret[i] ^= keystream[i];
    Filepass = {1, 0, 1, 0, 1, 0};
    Filepass.insert(Filepass.end(), salt.begin(), salt.end());
    Filepass.insert(Filepass.end(), secret.begin(), secret.end());
  }

  std::vector<std::uint8_t> Keystream(std::uint32_t block) const {
    std::uint8_t message[9] = {Base[0], Base[1], Base[2], Base[3], Base[4], std::uint8_t(block),
                               std::uint8_t(block >> 8), std::uint8_t(block >> 16), std::uint8_t(block >> 24)};
    TMD5Digest key = TMD5::Digest(message, 9);
    TRC4 rc4;
    rc4.SetKey(key.data(), 16);
    std::vector<std::uint8_t> bytes(1024, 0);
    rc4.Process(bytes.data(), bytes.size());
    return bytes;
  }

  // Encrypts the bodies of the records after FILEPASS, except BOF bodies.
  std::vector<std::uint8_t> Encrypt(const std::vector<TRecord>& records) const {
    std::vector<std::uint8_t> stream = Serialize(records);
    std::size_t offset = 0;
    bool after_filepass = false;
    std::vector<std::vector<std::uint8_t>> blocks;
    auto keystream = [&](std::size_t at) {
      while (blocks.size() <= at / 1024) blocks.push_back(Keystream(static_cast<std::uint32_t>(blocks.size())));
      return blocks[at / 1024][at % 1024];
    };
    for (const TRecord& r : records) {
      offset += 4;
      if (after_filepass && (r.Id & 0xFF) != 0x09)
        for (std::size_t i = 0; i < r.Body.size(); ++i)
          stream[offset + i] ^= keystream(offset + i);
      if (r.Id == 0x002F) after_filepass = true;
      offset += r.Body.size();
    }
    return stream;
  }
};

// Globals BOF, FILEPASS, then records laid so that a body crosses the
// 1024-byte boundary, a header straddles the boundary at 2048, a sheet BOF
// body crosses 3072, and one long body crosses several blocks.
std::vector<TRecord> EncryptedWorkbook(const std::vector<std::uint8_t>& filepass) {
  std::vector<TRecord> records = {{0x0809, Body(16, 1)}, {0x002F, filepass}};
  std::size_t offset = 4 + 16 + 4 + filepass.size();
  auto add = [&](std::uint16_t id, std::size_t length) {
    records.push_back({id, Body(length, static_cast<std::uint8_t>(records.size()))});
    offset += 4 + length;
  };
  add(0x0042, 1100 - offset);        // body across 1024
  add(0x00FC, 2046 - offset - 4);    // next header starts at 2046, across 2048
  add(0x0031, 1000);                 // ends at 3050
  add(0x0809, 30);                   // sheet BOF body across 3072, never encrypted
  add(0x0204, 5000);                 // several blocks
  add(0x000A, 0);
  return records;
}

TEST(XLSStream, DecryptsAcrossBlockBoundaries) {
  struct TCase {
    const char* Name;
    std::u16string WriterPassword, ReaderPassword;
    bool Accepted;
  };
  const std::u16string p31 = u"abcdefghijklmnopqrstuvwxyz01234";
  const TCase cases[] = {
      {"default password", u"VelvetSweatshop", u"VelvetSweatshop", true},
      {"15 characters", u"fifteen-chars!!", u"fifteen-chars!!", true},
      {"31 characters", p31, p31, true},
      {"a 32nd character is ignored", p31, p31 + u"X", true},
      {"Cyrillic", u"пароль", u"пароль", true},
      {"wrong password", u"secret", u"Secret", false},
      {"31 characters are not 30", p31, p31.substr(0, 30), false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TEncryptor encryptor(c.WriterPassword, 5);
    std::vector<TRecord> records = EncryptedWorkbook(encryptor.Filepass);
    TOpened opened(encryptor.Encrypt(records));
    TXLSStream& stream = opened.Stream;
    std::vector<std::uint8_t> body(8224);
    TBiffRecordHeader header;
    for (std::size_t r = 0; r < records.size(); ++r) {
      SCOPED_TRACE(r);
      ASSERT_EQ(stream.ReadHeader(header), 4);
      ASSERT_EQ(header.Id, records[r].Id);
      ASSERT_EQ(header.Length, records[r].Body.size());
      std::size_t length = header.Length;
      if ((header.Id & 0xFF) == 0x09) {
        ASSERT_EQ(stream.ReadUnencrypted(body.data(), length), length);
      } else {
        // In two reads, the second one starting mid-record.
        std::size_t half = length / 3;
        ASSERT_EQ(stream.Read(body.data(), half), half);
        ASSERT_EQ(stream.Read(body.data() + half, length - half), length - half);
      }
      if (header.Id == 0x002F) {
        ASSERT_EQ(stream.StartDecryption(body.data(), length, c.ReaderPassword), c.Accepted);
        if (!c.Accepted) {
          EXPECT_FALSE(stream.Encrypted());
          break;
        }
        continue;
      }
      EXPECT_TRUE(std::equal(records[r].Body.begin(), records[r].Body.end(), body.begin()));
    }
  }
}

TEST(XLSStream, ShortFilepassIsRejected) {
  TXLSStream stream;
  std::uint8_t body[20] = {1, 0, 1, 0, 1, 0};
  EXPECT_THROW(stream.StartDecryption(body, sizeof body, u"x"), EXLSError);
}

TEST(XLSStream, ReadFlaggedString) {
  TOpened opened(Serialize({{0x0001, {1, 0x41, 0x04, 0x42, 0x00, 0, 0xC0, 0xE9, 0x41}}}));
  TXLSStream& stream = opened.Stream;
  stream.Seek(4, 0);
  std::size_t consumed = 0;
  EXPECT_EQ(stream.ReadFlaggedString(2, consumed), u"\u0441B");
  EXPECT_EQ(consumed, 5u);
  EXPECT_EQ(stream.ReadFlaggedString(3, consumed), u"\u0410\u0439A");  // Windows-1251
  EXPECT_EQ(consumed, 4u);
}

}  // namespace
}  // namespace gridport
