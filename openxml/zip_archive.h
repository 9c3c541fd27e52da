// TQuillZip: a read-only zip archive component (stored and deflated entries).
//
// The archive's bytes are held in memory whole: either the caller's bytes
// (OpenMemory: not copied, they must outlive the archive or its next
// Open/Close), or one owned block read from a file or a std::istream in a
// single read. Entries are read from there without further copies, and a
// deflated entry is inflated straight into the caller's TZipPartBuffer, which
// is grown once to the entry's final size.
//
// Every field of the archive is treated as a claim:
// - an entry whose uncompressed size exceeds MaxPartSize() (1 GiB unless set;
//   the largest real worksheet parts we know are about 400 MB), or a deflated
//   entry claiming more than 1032 bytes per compressed byte (the most deflate
//   can produce), is refused with an EXLSError before anything is allocated;
// - a central directory, local header or entry data that lies outside the
//   archive ends with an EXLSError naming the entry and offsets;
// - zip64 and multi-disk archives are refused with an EXLSError saying so.
// A stream that is no archive at all is not an error: IsZipFile() stays false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "openxml/zip_part_buffer.h"
#include "openxml/zip_records.h"

namespace gridport {

class TQuillZip;

enum TZipCompressionType { ctNormal, ctMaximum, ctFast, ctSuperFast, ctNone, ctUnknown };

// Where the data of a stored or deflated entry lies, once every check of extraction passed.
// Points into the archive's bytes: valid while the archive stays open.
struct TZipEntryData {
  const TCentralDirectoryFile* Central = nullptr;  // the entry's record; names it in messages
  const std::uint8_t* Source = nullptr;            // the stored or deflated bytes
  std::size_t CompressedSize = 0;
  std::size_t Size = 0;  // the uncompressed size the central record claims
  bool Deflated = false;
};
enum class TZipSaveMethod { FastSave, RebuildAll };
enum TOverwriteAction { oaSkip, oaSkipAll, oaOverwrite, oaOverwriteAll };

// One entry of the archive: its central directory record and its local header.
class TQuillZipEntriesEntry {
 public:
  const TCentralDirectoryFile& CentralDirectory() const { return central_; }
  // All zero (Signature 0) when no valid local header was found for the entry.
  const TLocalFile& LocalFile() const { return local_; }
  // The stored name, raw bytes.
  const std::string& FileName() const { return central_.Name; }
  bool Encrypted() const { return encrypted_; }
  bool Folder() const { return folder_; }
  // Days since 1899-12-30, time as the fraction; 0 for an impossible stamp.
  double ModifiedDate() const { return modified_; }
  TZipCompressionType CompressionType() const { return compression_; }
  std::uint32_t CompressedSize() const { return central_.CompressedSize; }
  std::uint32_t UncompressedSize() const { return central_.UncompressedSize; }
  std::size_t CentralRecordSize() const { return central_.RecordSize(); }
  bool Selected = false;

  // Appends the entry's uncompressed bytes to stream (Size() grows by
  // UncompressedSize()). Throws EXLSError "Cannot process this file: <name> "
  // for methods other than stored and deflated or an encrypted entry, and
  // EXLSError/EDecompressionError for damaged data; on failure stream keeps
  // its previous contents.
  void ExtractToStream(TZipPartBuffer& stream) const;

 private:
  friend class TQuillZip;
  friend class TQuillZipEntries;
  TQuillZipEntriesEntry(TQuillZip* owner, TCentralDirectoryFile central);

  TQuillZip* owner_;
  TCentralDirectoryFile central_;
  TLocalFile local_;
  std::string key_;  // NormaliseZipName(stored name)
  bool encrypted_;
  bool folder_;
  double modified_;
  TZipCompressionType compression_;
};

// The entries of an archive, in central directory order.
class TQuillZipEntries {
 public:
  explicit TQuillZipEntries(TQuillZip& owner) : owner_(owner) {}
  TQuillZip& Owner() const { return owner_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // Throws EListError for an index outside 0..Count()-1.
  const TQuillZipEntriesEntry& Items(int index) const;
  TQuillZipEntriesEntry& Items(int index);
  // Index of the first entry whose name equals name after both are normalised
  // (backslashes, drive and share prefixes, a leading "/", ASCII letter case);
  // -1 when none or when the normalised name is empty.
  int IndexOf(std::string_view name) const;
  bool IsZipFile() const { return is_zip_file_; }
  // Local headers found by the recovery scan (0 when the end record was found).
  int LocalHeadersFound() const { return local_headers_found_; }

 private:
  friend class TQuillZip;
  TQuillZip& owner_;
  std::vector<TQuillZipEntriesEntry> items_;
  bool is_zip_file_ = false;
  int local_headers_found_ = 0;
};

class TQuillZip {
 public:
  using TNotifyEvent = std::function<void(TQuillZip& sender)>;
  using TZipOpenEvent = std::function<void(TQuillZip& sender, int index, int total)>;
  using TDecompressEvent =
      std::function<void(TQuillZip& sender, std::uint64_t position, std::uint64_t total)>;

  static constexpr std::uint64_t kDefaultMaxPartSize = std::uint64_t{1} << 30;
  // The largest expansion deflate can achieve: 258 bytes from one 2-bit code pair.
  static constexpr std::uint64_t kMaxDeflateRatio = 1032;

  TQuillZip();
  ~TQuillZip();
  TQuillZip(const TQuillZip&) = delete;
  TQuillZip& operator=(const TQuillZip&) = delete;

  // Opening closes whatever was open, reads the directory, and fires OnZipChange.
  // The caller's bytes; not copied, they must stay valid while the archive is open.
  void OpenMemory(const std::uint8_t* data, std::size_t size);
  // Reads the whole stream (from its current position) into an owned block.
  void OpenStream(std::istream& stream);
  // Reads the file into an owned block; sets FileName() and ReadOnly().
  // A missing file fails with "File "<name>" not found!".
  void OpenFile(const std::string& file_name);
  // Empties the entries, releases owned bytes, fires OnZipChange.
  void Close();

  TQuillZipEntries& Entries() { return entries_; }
  const TQuillZipEntries& Entries() const { return entries_; }
  bool IsZipFile() const { return is_zip_file_; }
  // True when a local header was missing or the recovery scan built the entries.
  bool HasBadEntries() const { return has_bad_entries_; }
  const TZipEndRecord& EndRecord() const { return end_record_; }
  std::size_t EndRecordPosition() const { return end_record_position_; }

  // The archive comment split into lines; empty when closed.
  std::vector<std::string> Comment() const;
  // Rewrites the comment of an archive opened with OpenFile (end record, new
  // comment, file truncated after it). Archives held elsewhere cannot be
  // written and throw EXLSError; an unchanged text writes nothing.
  void SetComment(const std::vector<std::string>& lines);
  // "path\name" of every entry (see ZipListingName); rebuilt after open/close.
  const std::vector<std::string>& FileNames();

  // Extraction limits for one entry (see the header comment).
  std::uint64_t MaxPartSize() const { return max_part_size_; }
  void SetMaxPartSize(std::uint64_t bytes) { max_part_size_ = bytes; }
  // Uncompressed size of the entry extracted last (for progress reports).
  std::uint64_t CurrentUncompressedSize() const { return current_size_; }

  // The two halves of extraction, for a caller that inflates an entry itself (on another
  // thread, into its own buffer). LocateEntryData makes every check of ExtractToStream, with
  // its messages, and tells where the data lies. InflateEntryData inflates a deflated entry's
  // data into out (data.Size bytes), at most step bytes per call into zlib; after each step
  // it calls after_step (when given) with the bytes produced so far, and stops, answering
  // false, when that answers false. Damaged or short data throws as ExtractToStream does.
  // InflateEntryData reads the archive's bytes and changes nothing (it calls OnDecompressFile
  // when set), so it may run on another thread while the archive stays open and unchanged.
  TZipEntryData LocateEntryData(const TQuillZipEntriesEntry& entry);
  bool InflateEntryData(const TZipEntryData& data, std::uint8_t* out, std::size_t step,
                        const std::function<bool(std::size_t produced)>& after_step);

  // The archive's bytes while open.
  const std::uint8_t* ArchiveData() const { return data_; }
  std::size_t ArchiveSize() const { return size_; }

  // Component properties. Only FileName/Active/ReadOnly act on reading;
  // the others are kept for a writer and have no effect here.
  const std::string& FileName() const { return file_name_; }
  void SetFileName(const std::string& name) { file_name_ = name; }
  bool Active() const { return is_zip_file_; }
  // true opens FileName(), false closes; ignored while FileName() is empty.
  void SetActive(bool active);
  bool ReadOnly() const { return read_only_; }
  TZipSaveMethod SaveMethod = TZipSaveMethod::FastSave;
  bool StoreRelativePath = true;
  bool StoreFolders = true;
  TZipCompressionType CompressionType() const { return compression_type_; }
  void SetCompressionType(TZipCompressionType type) {
    compression_type_ = type == ctUnknown ? ctNormal : type;
  }
  bool UseTempFiles = false;
  TOverwriteAction OverwriteAction = oaSkip;
  std::string ComponentVersion() const { return "2.0"; }
  bool ApplyAtributes = true;

  TDecompressEvent OnDecompressFile;  // while an entry is inflated
  TZipOpenEvent OnZipOpen;            // per central record read and local header checked
  TNotifyEvent OnZipChange;           // after open and close

 private:
  friend class TQuillZipEntriesEntry;
  void OpenData();
  void ReleaseData();
  bool FindEndRecord();
  void ReadCentralDirectory();
  void ReadLocalHeaders();
  void RecoveryScan();
  void Extract(const TQuillZipEntriesEntry& entry, TZipPartBuffer& stream);

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::unique_ptr<std::uint8_t[]> owned_;
  bool from_file_ = false;

  TZipEndRecord end_record_;
  std::size_t end_record_position_ = 0;
  std::size_t comment_position_ = 0;
  TQuillZipEntries entries_;
  std::vector<std::string> file_names_;
  bool file_names_dirty_ = true;
  bool is_zip_file_ = false;
  bool has_bad_entries_ = false;
  bool read_only_ = false;
  std::string file_name_;
  TZipCompressionType compression_type_ = ctFast;
  std::uint64_t max_part_size_ = kDefaultMaxPartSize;
  std::uint64_t current_size_ = 0;
};

}  // namespace gridport
