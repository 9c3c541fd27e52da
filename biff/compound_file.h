// A reader of compound files (the OLE2 structured-storage container of .xls
// workbooks): header, sector allocation table with its DIFAT, directory, mini
// stream. It lists the elements of the root storage and opens its streams.
//
// A file on disk is memory-mapped and never copied; bytes given in memory are
// kept by the object. Every sector index, chain, size and directory link is
// checked when it is used: a broken file ends with EXLSError saying what is
// wrong, never with a read outside the file, a loop or an allocation larger
// than the file justifies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gridport {

enum class TCompoundEntryType : std::uint8_t { Storage = 1, Stream = 2, Root = 5 };

// One element of a storage as the directory describes it.
struct TCompoundEntry {
  std::u16string Name;
  TCompoundEntryType Type = TCompoundEntryType::Stream;
  std::uint64_t Size = 0;          // stream size in bytes (0 for storages)
  std::uint32_t StartSector = 0;   // first sector (or mini sector) of the stream
  std::uint32_t DirectoryIndex = 0;
};

// A stream opened in a compound file: its bytes lie in sectors scattered over
// the file; the chain is resolved once at opening into the file offset of each
// piece, so reading is a copy from the file's bytes. Also serves a plain byte
// range (a non-compound BIFF file) as one stream.
// Valid while the TCompoundFile (or mapped file) it came from stays open.
class TCompoundStream {
 public:
  TCompoundStream() = default;
  // A contiguous stream: size bytes at data.
  TCompoundStream(const std::uint8_t* data, std::uint64_t size);
  // A stream made of pieces of 2^piece_shift bytes at the given offsets of file;
  // all pieces but the last are whole and inside the file (checked by the caller).
  TCompoundStream(const std::uint8_t* file, std::vector<std::uint64_t> piece_offsets,
                  unsigned piece_shift, std::uint64_t size);

  std::uint64_t Size() const { return size_; }
  std::uint64_t Position() const { return position_; }
  // Copies up to count bytes from the position; returns the count copied
  // (less at the end of the stream).
  std::size_t Read(void* buffer, std::size_t count) {
    // Record headers and bodies of a stream stored in one run of sectors:
    // a plain copy, inlined so that a 4-byte header read is a load.
    if (pieces_.empty() && position_ < size_ && count <= size_ - position_) {
      std::memcpy(buffer, file_ + position_, count);
      position_ += count;
      return count;
    }
    return ReadPieces(buffer, count);
  }
  // origin: 0 from the beginning, 1 from the position, 2 from the end. The new
  // position is clamped to [0, Size()] and returned.
  std::uint64_t Seek(std::int64_t offset, int origin);

 private:
  std::size_t ReadPieces(void* buffer, std::size_t count);

  const std::uint8_t* file_ = nullptr;
  std::vector<std::uint64_t> pieces_;  // empty for a contiguous stream
  unsigned shift_ = 0;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
};

// Read-only bytes of a file, memory-mapped (or read whole when mapping fails).
class TFileBytes {
 public:
  explicit TFileBytes(const std::filesystem::path& path);
  ~TFileBytes();
  TFileBytes(const TFileBytes&) = delete;
  TFileBytes& operator=(const TFileBytes&) = delete;
  const std::uint8_t* Data() const { return data_; }
  std::uint64_t Size() const { return size_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::uint64_t size_ = 0;
  void* map_ = nullptr;
  std::vector<std::uint8_t> copy_;
};

class TCompoundFile {
 public:
  TCompoundFile();
  ~TCompoundFile();
  TCompoundFile(const TCompoundFile&) = delete;
  TCompoundFile& operator=(const TCompoundFile&) = delete;

  // True when the bytes start with the compound-file signature.
  static bool HasSignature(const std::uint8_t* data, std::size_t size);
  // True when the file exists and starts with the signature.
  static bool IsCompoundFile(const std::filesystem::path& path);

  // Opens a file on disk (mapped, not copied). Throws EInOutError when the file
  // cannot be opened, EXLSError when it is no sound compound file.
  void OpenFile(const std::filesystem::path& path);
  // Opens a compound file held in memory; the object keeps the bytes.
  void OpenBytes(std::vector<std::uint8_t> bytes);
  void Close();
  bool IsOpen() const { return data_ != nullptr; }

  // The elements directly under the root storage, in directory-tree order.
  const std::vector<TCompoundEntry>& RootEntries() const { return root_entries_; }
  // The root element whose name matches ignoring ASCII letter case, or null.
  const TCompoundEntry* FindRootEntry(std::u16string_view name) const;
  // Opens a stream element. Throws EXLSError for a storage or a broken chain.
  TCompoundStream OpenStream(const TCompoundEntry& entry) const;

  unsigned SectorSize() const { return 1u << sector_shift_; }

 private:
  void Parse();
  std::uint64_t SectorOffset(std::uint32_t sector) const;
  // Follows a FAT chain from start; stops after max_sectors sectors (when
  // non-zero) or at its end. Rejects loops and sectors outside the file.
  std::vector<std::uint32_t> Chain(std::uint32_t start, std::uint64_t max_sectors,
                                   std::string_view what) const;
  std::vector<std::uint32_t> MiniChain(std::uint32_t start, std::uint64_t max_sectors) const;
  void ReadDirectory();

  std::unique_ptr<TFileBytes> file_;
  std::vector<std::uint8_t> bytes_;
  const std::uint8_t* data_ = nullptr;
  std::uint64_t size_ = 0;

  unsigned sector_shift_ = 9;
  std::uint32_t sector_count_ = 0;      // sectors that begin inside the file
  std::uint32_t mini_cutoff_ = 4096;
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> mini_fat_;
  std::vector<std::uint32_t> mini_stream_sectors_;
  std::uint64_t mini_stream_size_ = 0;
  std::string mini_error_;  // why the mini stream cannot be read, if it cannot
  std::vector<TCompoundEntry> root_entries_;
};

}  // namespace gridport
