#include "biff/xls_stream.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <limits>

#include "biff/md5.h"
#include "text/cp1251.h"
#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

constexpr std::size_t kBlockSize = 1024;
constexpr std::uint16_t kMsoDrawingGroup = 0x00EB;
constexpr std::uint16_t kHFPicture = 0x0866;
constexpr std::uint16_t kGelFrame = 0x1066;
// HFPicture continuations start with a future-record header and flags that
// are not part of the joined data.
constexpr std::size_t kHFPictureSkip = 14;

bool IsNamed(const TCompoundEntry& entry, std::u16string_view lower_name) {
  if (entry.Name.size() != lower_name.size()) return false;
  for (std::size_t i = 0; i < lower_name.size(); ++i) {
    char16_t c = entry.Name[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != lower_name[i]) return false;
  }
  return true;
}

}  // namespace

TXLSStream::TXLSStream(TExtraObjects* extras, TXLSVBA* vba, bool preserve_macros)
    : extras_(extras), vba_(vba), preserve_macros_(preserve_macros) {}

TXLSStream::~TXLSStream() = default;

void TXLSStream::Close() {
  stream_ = TCompoundStream();
  compound_.Close();
  plain_file_.reset();
  version_ = xvNone;
  stream_size_ = 0;
  joining_ = false;
  join_position_ = 0;
  encrypted_ = false;
  key_block_ = -1;
  keystream_offset_ = 0;
}

TExcelVersion TXLSStream::OpenWorkbook(const std::filesystem::path& file_name) {
  Close();
  try {
    if (source_ != nullptr) {
      // The whole compound file from the caller's stream, then back to its start.
      std::vector<std::uint8_t> bytes;
      source_->clear();
      source_->seekg(0, std::ios::end);
      std::streamoff size = source_->tellg();
      source_->seekg(0, std::ios::beg);
      if (size > 0) {
        bytes.resize(static_cast<std::size_t>(size));
        source_->read(reinterpret_cast<char*>(bytes.data()), size);
        bytes.resize(static_cast<std::size_t>(source_->gcount()));
      }
      source_->clear();
      source_->seekg(0, std::ios::beg);
      compound_.OpenBytes(std::move(bytes));
      OpenCompound();
    } else if (TCompoundFile::IsCompoundFile(file_name)) {
      compound_.OpenFile(file_name);
      OpenCompound();
    } else {
      OpenPlain(file_name);
    }
  } catch (...) {
    Close();
    throw;
  }
  return version_;
}

void TXLSStream::OpenCompound() {
  const TCompoundEntry* book = nullptr;
  const TCompoundEntry* workbook = nullptr;
  if (extras_ != nullptr) extras_->Clear();
  for (const TCompoundEntry& entry : compound_.RootEntries()) {
    const bool is_stream = entry.Type == TCompoundEntryType::Stream;
    if (IsNamed(entry, u"book")) {
      if (is_stream && book == nullptr) book = &entry;
    } else if (IsNamed(entry, u"workbook")) {
      if (is_stream && workbook == nullptr) workbook = &entry;
    } else if (entry.Name == u"_VBA_PROJECT_CUR") {
      if (entry.Type == TCompoundEntryType::Storage && preserve_macros_ && vba_ != nullptr)
        vba_->ReadProject(compound_, entry);
    } else if (extras_ != nullptr) {
      extras_->Add(entry);
    }
  }
  const TCompoundEntry* chosen = workbook != nullptr ? workbook : book;
  if (chosen == nullptr) throw EXLSError("The file is not an Excel workbook");
  if (chosen->Size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
    throw EXLSError("The workbook stream is larger than 2 GiB");
  stream_ = compound_.OpenStream(*chosen);
  stream_size_ = static_cast<std::int32_t>(stream_.Size());
  version_ = workbook != nullptr ? xvExcel97 : xvExcel50;
}

void TXLSStream::OpenPlain(const std::filesystem::path& file_name) {
  plain_file_ = std::make_unique<TFileBytes>(file_name);
  if (plain_file_->Size() > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
    throw EXLSError("The workbook file is larger than 2 GiB");
  stream_ = TCompoundStream(plain_file_->Data(), plain_file_->Size());
  stream_size_ = static_cast<std::int32_t>(plain_file_->Size());
  // A plain workbook starts with a BOF record: 0x0009, 0x0209 or 0x0409 name
  // the BIFF2 to BIFF4 file; 0x0809 (a BIFF5 or BIFF8 stream outside a
  // compound file) is read without a known version. Anything else, such as
  // a text file named .xls, is no workbook: reading it as records would fail
  // later with a message that says nothing about the file.
  const std::uint8_t* head = plain_file_->Data();
  if (plain_file_->Size() < 4 || head[0] != 0x09 ||
      (head[1] != 0x00 && head[1] != 0x02 && head[1] != 0x04 && head[1] != 0x08))
    throw EXLSError("The file is not an Excel workbook");
  switch (head[1]) {
    case 0x00: version_ = xvExcel21; break;
    case 0x02: version_ = xvExcel30; break;
    case 0x04: version_ = xvExcel40; break;
    default: version_ = xvNone; break;
  }
}

int TXLSStream::ReadHeader(TBiffRecordHeader& header) {
  std::uint8_t bytes[4];
  std::size_t got = stream_.Read(bytes, 4);
  if (got == 4) {
    header.Id = GetU16(bytes);
    header.Length = GetU16(bytes + 2);
  }
  if (encrypted_) PositionKeystream(stream_.Position());
  return static_cast<int>(got);
}

std::size_t TXLSStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  return joining_ ? ReadJoined(out, count) : ReadPlain(out, count);
}

std::size_t TXLSStream::ReadPlain(std::uint8_t* buffer, std::size_t count) {
  std::size_t got = stream_.Read(buffer, count);
  if (encrypted_ && got != 0) DecryptRun(buffer, got);
  return got;
}

std::size_t TXLSStream::ReadJoined(std::uint8_t* buffer, std::size_t count) {
  if (join_position_ + count <= kJoinedRecordData) {
    std::size_t got = ReadPlain(buffer, count);
    join_position_ += got;
    return got;
  }
  // Each record of the chain carries 8224 bytes of data, the last one fewer.
  std::size_t done = 0;
  while (true) {
    std::size_t want = std::min(kJoinedRecordData - std::min(join_position_, kJoinedRecordData), count - done);
    std::size_t got = ReadPlain(buffer + done, want);
    done += got;
    join_position_ += got;
    if (got < want || done == count) break;
    join_position_ = 0;
    TBiffRecordHeader header;
    if (ReadHeader(header) < 4) break;
    if (header.Id != kContinue && header.Id != kMsoDrawingGroup && header.Id != kHFPicture &&
        header.Id != kGelFrame)
      throw EXLSError("CONTINUE record is missing");
    if (header.Id == kHFPicture) {
      std::uint8_t skipped[kHFPictureSkip];
      if (ReadPlain(skipped, kHFPictureSkip) < kHFPictureSkip) break;
    }
  }
  return done;
}

std::size_t TXLSStream::ReadUnencrypted(void* buffer, std::size_t count) {
  std::size_t got = stream_.Read(buffer, count);
  if (encrypted_) PositionKeystream(stream_.Position());
  return got;
}

std::uint16_t TXLSStream::PeekRecordId() {
  std::uint8_t bytes[4];
  if (stream_.Read(bytes, 4) < 4) return 0;
  stream_.Seek(-4, 1);
  return GetU16(bytes);
}

std::uint16_t TXLSStream::PeekRecordLength() {
  std::uint8_t bytes[4];
  if (stream_.Read(bytes, 4) < 4) return 0;
  stream_.Seek(-4, 1);
  return GetU16(bytes + 2);
}

std::int64_t TXLSStream::Seek(std::int64_t offset, int origin) {
  return static_cast<std::int64_t>(stream_.Seek(offset, origin));
}

std::u16string TXLSStream::ReadFlaggedString(std::size_t count, std::size_t& consumed) {
  std::u16string text;
  consumed = 0;
  std::uint8_t flags = 0;
  if (Read(&flags, 1) < 1) return text;
  consumed = 1;
  const std::size_t unit = flags == 1 ? 2 : 1;
  std::uint8_t chunk[256];
  std::size_t left = count;
  while (left > 0) {
    std::size_t take = std::min(left, sizeof chunk / unit);
    std::size_t got = Read(chunk, take * unit);
    consumed += got;
    for (std::size_t i = 0; i + unit <= got; i += unit)
      text.push_back(unit == 2 ? static_cast<char16_t>(GetU16(chunk + i)) : Cp1251ToChar(chunk[i]));
    if (got < take * unit) break;
    left -= take;
  }
  return text;
}

// ------------------------------------------------------------- decryption

void TXLSStream::KeyBlock(std::int64_t block) {
  std::uint8_t message[9];
  std::memcpy(message, key_base_, 5);
  const auto number = static_cast<std::uint32_t>(block);
  for (int i = 0; i < 4; ++i) message[5 + i] = static_cast<std::uint8_t>(number >> (8 * i));
  TMD5Digest key = TMD5::Digest(message, sizeof message);
  rc4_.SetKey(key.data(), key.size());
  key_block_ = block;
}

// Brings the keystream to the given stream offset: a new block is keyed and
// its keystream advanced to the offset within the block; inside the keyed
// block the keystream moves forward by the bytes passed. Going backwards
// (after a Seek) rekeys the block.
void TXLSStream::PositionKeystream(std::uint64_t offset) {
  const auto block = static_cast<std::int64_t>(offset / kBlockSize);
  if (block != key_block_ || offset < keystream_offset_) {
    KeyBlock(block);
    rc4_.Skip(offset % kBlockSize);
  } else {
    rc4_.Skip(static_cast<std::size_t>(offset - keystream_offset_));
  }
  keystream_offset_ = offset;
}

// Decrypts count bytes that end at the stream's position, rekeying at every
// 1024-byte boundary they cross.
void TXLSStream::DecryptRun(std::uint8_t* data, std::size_t count) {
  const std::uint64_t end = stream_.Position();
  std::uint64_t start = end - count;
  PositionKeystream(start);
  while (static_cast<std::int64_t>(end / kBlockSize) != key_block_) {
    std::size_t rest = kBlockSize - static_cast<std::size_t>(start % kBlockSize);
    rc4_.Process(data, rest);
    data += rest;
    start += rest;
    KeyBlock(key_block_ + 1);
  }
  rc4_.Process(data, static_cast<std::size_t>(end - start));
  keystream_offset_ = end;
}

bool TXLSStream::StartDecryption(const std::uint8_t* body, std::size_t size,
                                 std::u16string_view password) {
  constexpr std::size_t kSaltOffset = 6, kVerifierOffset = 22, kVerifierHashOffset = 38;
  if (size < kVerifierHashOffset + 16)
    throw EXLSError("FILEPASS record too short: " + std::to_string(size) + " bytes, 54 needed");
  // H0: the digest of the password's first 31 characters as UTF-16LE.
  std::uint8_t text[62];
  const std::size_t length = std::min<std::size_t>(password.size(), 31);
  for (std::size_t i = 0; i < length; ++i) {
    text[2 * i] = static_cast<std::uint8_t>(password[i]);
    text[2 * i + 1] = static_cast<std::uint8_t>(password[i] >> 8);
  }
  TMD5Digest h0 = TMD5::Digest(text, 2 * length);
  // H1: the digest of 16 repetitions of (5 bytes of H0, the 16-byte salt).
  std::uint8_t mix[16 * 21];
  for (int i = 0; i < 16; ++i) {
    std::memcpy(mix + 21 * i, h0.data(), 5);
    std::memcpy(mix + 21 * i + 5, body + kSaltOffset, 16);
  }
  TMD5Digest h1 = TMD5::Digest(mix, sizeof mix);

  std::uint8_t saved_base[5];
  std::memcpy(saved_base, key_base_, 5);
  const TRC4 saved_rc4 = rc4_;
  const std::int64_t saved_block = key_block_;

  std::memcpy(key_base_, h1.data(), 5);
  KeyBlock(0);
  std::uint8_t verifier[32];
  std::memcpy(verifier, body + kVerifierOffset, 16);
  std::memcpy(verifier + 16, body + kVerifierHashOffset, 16);
  rc4_.Process(verifier, sizeof verifier);
  TMD5Digest check = TMD5::Digest(verifier, 16);
  if (std::memcmp(check.data(), verifier + 16, 16) != 0) {
    std::memcpy(key_base_, saved_base, 5);
    rc4_ = saved_rc4;
    key_block_ = saved_block;
    return false;
  }
  encrypted_ = true;
  key_block_ = -1;
  PositionKeystream(stream_.Position());
  return true;
}

}  // namespace gridport
