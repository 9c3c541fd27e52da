// TXLSStream: the record source of the BIFF reader.
//
// Opens a workbook (a compound file on disk, a compound file held in a
// caller's std::istream, or a plain BIFF2-BIFF4 file), tells its version, and
// hands out records: ReadHeader gives the 4-byte header, Read the body. Read
// decrypts once StartDecryption has accepted the FILEPASS password (RC4 with
// MD5-derived keys, one key per 1024-byte block of the workbook stream) and,
// between BeginContinueJoin and EndContinueJoin, joins a record with the
// CONTINUE records that follow it into one run of bytes.
//
// Reading copies straight from the file's mapped bytes into the caller's
// buffer; no call allocates. A body cut short by the end of the stream is not
// an error: Read returns the count it could read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "biff/compound_file.h"
#include "biff/rc4.h"
#include "workbook/excel_version.h"
#include "workbook/record_source.h"

namespace gridport {

// The root elements of an opened compound file other than the workbook
// streams and the macro storage: kept by the workbook so that a writer could
// carry them over. Reading only lists them.
class TExtraObjects {
 public:
  struct TElement {
    std::u16string Name;
    TCompoundEntryType Type = TCompoundEntryType::Stream;
    std::uint64_t Size = 0;
  };
  void Clear() { elements_.clear(); }
  void Add(const TCompoundEntry& entry) { elements_.push_back({entry.Name, entry.Type, entry.Size}); }
  const std::vector<TElement>& Elements() const { return elements_; }

 private:
  std::vector<TElement> elements_;
};

// Receives the "_VBA_PROJECT_CUR" storage when macros are preserved. A failure
// it raises fails the opening.
class TXLSVBA {
 public:
  virtual ~TXLSVBA() = default;
  virtual void ReadProject(const TCompoundFile& file, const TCompoundEntry& storage) = 0;
};

class TXLSStream final : public TRecordSource {
 public:
  static constexpr std::uint16_t kContinue = 0x003C;
  static constexpr std::size_t kJoinedRecordData = 8224;

  // extras and vba belong to the workbook and may be null.
  explicit TXLSStream(TExtraObjects* extras = nullptr, TXLSVBA* vba = nullptr,
                      bool preserve_macros = true);
  ~TXLSStream() override;
  TXLSStream(const TXLSStream&) = delete;
  TXLSStream& operator=(const TXLSStream&) = delete;

  // A caller's stream holding a whole compound file; when set, OpenWorkbook
  // reads the workbook from it and ignores the file name. Not owned.
  void SetSourceStream(std::istream* source) { source_ = source; }

  // Closes what is open and opens the workbook. Throws EXLSError ("The file is
  // not an Excel workbook" for a compound file without a workbook stream, or
  // what is wrong with the compound file), EInOutError for a file that cannot
  // be opened.
  // A plain file yields its version from its first record: xvExcel21 to
  // xvExcel40 for a BIFF2-BIFF4 BOF, xvNone for a BIFF5/BIFF8 BOF. A plain
  // file that does not start with a BOF record throws "The file is not an
  // Excel workbook".
  TExcelVersion OpenWorkbook(const std::filesystem::path& file_name);
  TExcelVersion Version() const { return version_; }
  void Close();

  // Reads the next record header raw (headers are never encrypted or joined).
  // Returns 4, or less at the end of the stream.
  int ReadHeader(TBiffRecordHeader& header) override;
  // Reads up to count body bytes, decrypting and joining as switched on.
  std::size_t Read(void* buffer, std::size_t count) override;
  // Reads bytes the file never encrypts (BOF bodies); the keystream still
  // moves past them.
  std::size_t ReadUnencrypted(void* buffer, std::size_t count);
  // The id / length field of the next header without consuming it; 0 when
  // fewer than 4 bytes remain (the position then stays after the short read).
  std::uint16_t PeekRecordId() override;
  std::uint16_t PeekRecordLength();

  // origin: 0 begin, 1 current, 2 end. Returns the new position.
  std::int64_t Seek(std::int64_t offset, int origin);
  std::int64_t Position() const { return static_cast<std::int64_t>(stream_.Position()); }
  std::int32_t StreamSize() const { return stream_size_; }

  void BeginContinueJoin() {
    joining_ = true;
    join_position_ = 0;
  }
  void EndContinueJoin() {
    joining_ = false;
    join_position_ = 0;
  }

  // Checks the password against a FILEPASS body of the RC4 scheme (type 1);
  // on success decryption is on from the current position. Only the first 31
  // characters of the password count. Throws for a body too short to hold the
  // salt and verifier.
  bool StartDecryption(const std::uint8_t* body, std::size_t size, std::u16string_view password);
  bool Encrypted() const { return encrypted_; }

  // Reads a flags byte and count characters: UTF-16LE when the flags byte is
  // 1, else 8-bit Windows-1251. consumed receives the bytes read.
  std::u16string ReadFlaggedString(std::size_t count, std::size_t& consumed);

  // The compound file of the open workbook (empty for a plain file).
  const TCompoundFile& CompoundFile() const { return compound_; }

 private:
  std::size_t ReadPlain(std::uint8_t* buffer, std::size_t count);
  std::size_t ReadJoined(std::uint8_t* buffer, std::size_t count);
  void OpenCompound();
  void OpenPlain(const std::filesystem::path& file_name);
  void KeyBlock(std::int64_t block);
  void PositionKeystream(std::uint64_t offset);
  void DecryptRun(std::uint8_t* data, std::size_t count);

  TCompoundFile compound_;
  std::unique_ptr<TFileBytes> plain_file_;
  TCompoundStream stream_;
  std::istream* source_ = nullptr;
  TExtraObjects* extras_;
  TXLSVBA* vba_;
  bool preserve_macros_;
  TExcelVersion version_ = xvNone;
  std::int32_t stream_size_ = 0;

  bool joining_ = false;
  std::size_t join_position_ = 0;

  bool encrypted_ = false;
  std::uint8_t key_base_[5] = {};      // the first 5 bytes of the password-derived digest
  TRC4 rc4_;
  std::int64_t key_block_ = -1;        // block the keystream is keyed for; -1 none
  std::uint64_t keystream_offset_ = 0; // stream offset the keystream stands at
};

}  // namespace gridport
