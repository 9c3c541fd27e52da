#include "openxml/zip_archive.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>

#include "openxml/zip_inflate_stream.h"
#include "openxml/zip_names.h"
#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

[[noreturn]] void EntryError(const TCentralDirectoryFile& c, const std::string& what) {
  throw EXLSError("Zip entry " + Quoted(c.Name) + ": " + what);
}

// Reads the whole of a stream from its current position into one block.
std::unique_ptr<std::uint8_t[]> ReadAll(std::istream& stream, std::size_t& size) {
  const std::istream::pos_type start = stream.tellg();
  if (start == std::istream::pos_type(-1)) throw EXLSError("Zip archive stream is not seekable");
  stream.seekg(0, std::ios::end);
  const std::istream::pos_type end = stream.tellg();
  stream.seekg(start);
  if (end == std::istream::pos_type(-1) || end < start)
    throw EXLSError("Zip archive stream is not seekable");
  size = static_cast<std::size_t>(end - start);
  auto block = std::make_unique_for_overwrite<std::uint8_t[]>(size == 0 ? 1 : size);
  stream.read(reinterpret_cast<char*>(block.get()), static_cast<std::streamsize>(size));
  if (static_cast<std::size_t>(stream.gcount()) != size)
    throw EXLSError("Zip archive stream: read " + std::to_string(stream.gcount()) + " of " +
                    std::to_string(size) + " bytes");
  return block;
}

TZipCompressionType CompressionTypeOf(std::uint16_t method, std::uint16_t flags) {
  if (method != kZipMethodDeflated && method != kZipMethodDeflate64) return ctUnknown;
  switch (flags & kZipFlagLevelMask) {
    case 2: return ctMaximum;
    case 4: return ctFast;
    case 6: return ctSuperFast;
    default: return ctNormal;
  }
}

}  // namespace

// ---------------------------------------------------------------- entries

TQuillZipEntriesEntry::TQuillZipEntriesEntry(TQuillZip* owner, TCentralDirectoryFile central)
    : owner_(owner),
      central_(std::move(central)),
      key_(NormaliseZipName(central_.Name)),
      encrypted_((central_.Flags & kZipFlagEncrypted) != 0),
      folder_((central_.ExternalAttributes & kZipAttributeDirectory) != 0),
      modified_(ZipDosDateTimeToDays(central_.DateTime)),
      compression_(CompressionTypeOf(central_.Method, central_.Flags)) {}

void TQuillZipEntriesEntry::ExtractToStream(TZipPartBuffer& stream) const {
  owner_->Extract(*this, stream);
}

const TQuillZipEntriesEntry& TQuillZipEntries::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(index);
  return items_[static_cast<std::size_t>(index)];
}

TQuillZipEntriesEntry& TQuillZipEntries::Items(int index) {
  if (index < 0 || index >= Count()) throw EListError(index);
  return items_[static_cast<std::size_t>(index)];
}

int TQuillZipEntries::IndexOf(std::string_view name) const {
  const std::string key = NormaliseZipName(name);
  if (key.empty()) return -1;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].key_ == key) return static_cast<int>(i);
  }
  return -1;
}

// ---------------------------------------------------------------- archive

TQuillZip::TQuillZip() : entries_(*this) {}

TQuillZip::~TQuillZip() = default;

void TQuillZip::OpenMemory(const std::uint8_t* data, std::size_t size) {
  Close();
  data_ = size == 0 ? nullptr : data;
  size_ = data_ ? size : 0;
  OpenData();
}

void TQuillZip::OpenStream(std::istream& stream) {
  Close();
  std::size_t size = 0;
  owned_ = ReadAll(stream, size);
  data_ = owned_.get();
  size_ = size;
  OpenData();
}

void TQuillZip::OpenFile(const std::string& file_name) {
  Close();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file_name, ec))
    throw EXLSError("File \"" + file_name + "\" not found!");
  const bool read_only = ::access(file_name.c_str(), W_OK) != 0;
  std::ifstream file(file_name, std::ios::binary);
  if (!file) throw EXLSError("Cannot open file \"" + file_name + "\": " + std::strerror(errno));
  std::size_t size = 0;
  owned_ = ReadAll(file, size);
  data_ = owned_.get();
  size_ = size;
  file_name_ = file_name;
  from_file_ = true;
  read_only_ = read_only;
  OpenData();
}

void TQuillZip::SetActive(bool active) {
  if (file_name_.empty()) return;
  if (active) {
    OpenFile(file_name_);
  } else {
    Close();
  }
}

void TQuillZip::ReleaseData() {
  entries_.items_.clear();
  entries_.is_zip_file_ = false;
  entries_.local_headers_found_ = 0;
  owned_.reset();
  data_ = nullptr;
  size_ = 0;
  from_file_ = false;
  is_zip_file_ = false;
  has_bad_entries_ = false;
  read_only_ = false;
  end_record_ = TZipEndRecord();
  end_record_position_ = 0;
  comment_position_ = 0;
}

void TQuillZip::Close() {
  ReleaseData();
  file_names_dirty_ = true;
  if (OnZipChange) OnZipChange(*this);
}

void TQuillZip::OpenData() {
  try {
    if (FindEndRecord()) {
      ReadCentralDirectory();
      ReadLocalHeaders();
      is_zip_file_ = true;
    } else {
      RecoveryScan();
      is_zip_file_ = entries_.local_headers_found_ > 0;
      has_bad_entries_ = is_zip_file_;
    }
  } catch (...) {
    ReleaseData();
    file_names_dirty_ = true;
    throw;
  }
  entries_.is_zip_file_ = is_zip_file_;
  if (!is_zip_file_) ReleaseData();
  file_names_dirty_ = true;
  if (OnZipChange) OnZipChange(*this);
}

bool TQuillZip::FindEndRecord() {
  if (size_ <= 21) return false;
  // Windows searched backwards, each given as (distance of its first position
  // from the end, length). A record without a comment is met at the first
  // position; the last window reaches the longest possible comment (65535).
  // Windows are clipped at the start of the archive, so a small archive with a
  // comment is still recognised by its end record.
  struct TWindow {
    std::size_t from_end;
    std::size_t length;
  };
  static constexpr TWindow kWindows[] = {{22, 256}, {278, 1024}, {1046, 65536}};
  for (const TWindow& w : kWindows) {
    if (w.from_end > size_) break;
    const std::ptrdiff_t start = static_cast<std::ptrdiff_t>(size_ - w.from_end);
    const std::ptrdiff_t stop = std::max<std::ptrdiff_t>(start - static_cast<std::ptrdiff_t>(w.length) + 1, 0);
    std::ptrdiff_t pos = start;
    while (pos >= stop) {
      const std::uint8_t* p = data_ + pos;
      if (p[0] != 'P') {
        pos -= 1;
      } else if (GetU32(p) == kZipEndOfCentralDirSignature) {
        end_record_ = ReadZipEndRecord(p, size_ - static_cast<std::size_t>(pos));
        end_record_position_ = static_cast<std::size_t>(pos);
        comment_position_ = end_record_position_ + kZipEndRecordSize;
        return true;
      } else {
        // "K", 5 and 6 cannot be "P": no signature starts at the next three positions back.
        pos -= 4;
      }
    }
  }
  return false;
}

void TQuillZip::ReadCentralDirectory() {
  const TZipEndRecord& e = end_record_;
  const bool zip64_locator =
      end_record_position_ >= kZip64EndLocatorSize &&
      GetU32(data_ + end_record_position_ - kZip64EndLocatorSize) == kZip64EndLocatorSignature;
  if (e.CentralDirOffset == 0xFFFFFFFF || e.CentralDirSize == 0xFFFFFFFF ||
      (zip64_locator && (e.EntriesOnDisk == 0xFFFF || e.EntriesTotal == 0xFFFF)))
    throw EXLSError("Zip64 archives are not supported");
  if (e.DiskNumber != 0 || e.CentralDirDisk != 0 || e.EntriesOnDisk != e.EntriesTotal)
    throw EXLSError("Multi-disk zip archives are not supported (disk " +
                    std::to_string(e.DiskNumber) + ", central directory on disk " +
                    std::to_string(e.CentralDirDisk) + ")");
  if (e.CentralDirOffset > end_record_position_)
    throw EXLSError("Zip central directory offset " + std::to_string(e.CentralDirOffset) +
                    " lies outside the archive (end record at " +
                    std::to_string(end_record_position_) + ")");
  const int count = e.EntriesOnDisk;
  // Every record needs 46 bytes: the count cannot exceed what lies before the end record.
  const std::size_t room = end_record_position_ - e.CentralDirOffset;
  entries_.items_.reserve(std::min<std::size_t>(count, room / kZipCentralFileFixedSize));
  std::size_t pos = e.CentralDirOffset;
  for (int i = 0; i < count; ++i) {
    TCentralDirectoryFile c;
    try {
      c = ReadCentralDirectoryFile(data_ + pos, size_ - pos);
    } catch (const EXLSError& error) {
      throw EXLSError("Zip central directory record " + std::to_string(i) + " of " +
                      std::to_string(count) + " at offset " + std::to_string(pos) +
                      " runs past the end of the archive: " + error.what());
    }
    if (c.Signature != kZipCentralFileSignature)
      throw EXLSError("Zip central directory record " + std::to_string(i) + " of " +
                      std::to_string(count) + " at offset " + std::to_string(pos) +
                      " has no signature");
    if (c.CompressedSize == 0xFFFFFFFF || c.UncompressedSize == 0xFFFFFFFF ||
        c.LocalHeaderOffset == 0xFFFFFFFF)
      throw EXLSError("Zip64 archives are not supported (entry " + Quoted(c.Name) + ")");
    pos += c.RecordSize();
    entries_.items_.push_back(TQuillZipEntriesEntry(this, std::move(c)));
    if (OnZipOpen) OnZipOpen(*this, i, count);
  }
}

void TQuillZip::ReadLocalHeaders() {
  const int count = entries_.Count();
  for (int i = 0; i < count; ++i) {
    if (OnZipOpen) OnZipOpen(*this, i, count);
    TQuillZipEntriesEntry& entry = entries_.items_[static_cast<std::size_t>(i)];
    const std::size_t offset = entry.central_.LocalHeaderOffset;
    // A header that is missing, damaged or outside the archive stays all zero;
    // extracting such an entry fails with a message saying which.
    bool valid = false;
    if (offset <= size_ && size_ - offset >= 4 && GetU32(data_ + offset) == kZipLocalFileSignature) {
      try {
        entry.local_ = ReadLocalFile(data_ + offset, size_ - offset);
        valid = true;
      } catch (const EXLSError&) {
      }
    }
    if (!valid) {
      entry.local_ = TLocalFile();
      has_bad_entries_ = true;
    }
  }
}

void TQuillZip::RecoveryScan() {
  std::size_t pos = 0;
  std::size_t directory_size = 0;
  int found = 0;
  while (size_ - pos >= 4 && GetU32(data_ + pos) == kZipLocalFileSignature) {
    TLocalFile local;
    try {
      local = ReadLocalFile(data_ + pos, size_ - pos);
    } catch (const EXLSError&) {
      break;
    }
    const std::size_t data_start = pos + local.HeaderSize();
    std::size_t next;
    if (local.Flags & kZipFlagDataDescriptor) {
      // The sizes follow the data in a descriptor: look for a descriptor
      // signature whose compressed size equals the bytes in front of it.
      // Without one the end of the data is unknown and the scan stops here.
      std::size_t at = data_start;
      bool descriptor = false;
      while (size_ - at >= kZipDataDescriptorSize) {
        const void* hit = std::memchr(data_ + at, 'P', size_ - at - kZipDataDescriptorSize + 1);
        if (!hit) break;
        at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data_);
        if (GetU32(data_ + at) == kZipDataDescriptorSignature &&
            GetU32(data_ + at + 8) == at - data_start) {
          local.Crc32 = GetU32(data_ + at + 4);
          local.CompressedSize = GetU32(data_ + at + 8);
          local.UncompressedSize = GetU32(data_ + at + 12);
          descriptor = true;
          break;
        }
        ++at;
      }
      if (!descriptor) break;
      next = at + kZipDataDescriptorSize;
    } else {
      next = data_start + local.CompressedSize;
    }
    TCentralDirectoryFile c;
    c.Signature = kZipCentralFileSignature;
    c.VersionMadeBy = 20;
    c.VersionNeeded = local.VersionNeeded;
    c.Flags = local.Flags;
    c.Method = local.Method;
    c.DateTime = local.DateTime;
    c.Crc32 = local.Crc32;
    c.CompressedSize = local.CompressedSize;
    c.UncompressedSize = local.UncompressedSize;
    c.NameLength = local.NameLength;
    c.ExtraLength = local.ExtraLength;
    c.InternalAttributes = local.VersionNeeded;
    c.ExternalAttributes =
        !local.Name.empty() && local.Name.back() == '/' ? kZipAttributeDirectory : kZipAttributeArchive;
    c.LocalHeaderOffset = static_cast<std::uint32_t>(pos);
    c.Name = local.Name;
    c.Extra = local.Extra;
    directory_size += c.RecordSize();
    TQuillZipEntriesEntry entry(this, std::move(c));
    entry.local_ = std::move(local);
    entries_.items_.push_back(std::move(entry));
    ++found;
    if (next > size_ || pos > 0xFFFFFFFF) break;  // data runs past the end: nothing follows
    pos = next;
  }
  entries_.local_headers_found_ = found;
  end_record_ = TZipEndRecord();
  end_record_.Signature = kZipEndOfCentralDirSignature;
  end_record_.EntriesOnDisk = static_cast<std::uint16_t>(std::min(found, 0xFFFF));
  end_record_.EntriesTotal = end_record_.EntriesOnDisk;
  end_record_.CentralDirSize = static_cast<std::uint32_t>(std::min<std::size_t>(directory_size, 0xFFFFFFFF));
  end_record_.CentralDirOffset = static_cast<std::uint32_t>(std::min<std::size_t>(pos, 0xFFFFFFFF));
  end_record_position_ = 0;
  comment_position_ = 0;
}

TZipEntryData TQuillZip::LocateEntryData(const TQuillZipEntriesEntry& entry) {
  const TCentralDirectoryFile& c = entry.central_;
  if ((c.Method != kZipMethodStored && c.Method != kZipMethodDeflated) || entry.encrypted_)
    throw EXLSError("Cannot process this file: " + c.Name + " ");
  const std::size_t offset = c.LocalHeaderOffset;
  if (entry.local_.Signature != kZipLocalFileSignature) {
    if (offset >= size_ || size_ - offset < kZipLocalFileFixedSize)
      EntryError(c, "local header offset " + std::to_string(offset) +
                        " lies outside the archive (" + std::to_string(size_) + " bytes)");
    EntryError(c, "no valid local header at offset " + std::to_string(offset));
  }
  const std::size_t data_start = offset + entry.local_.HeaderSize();  // within size_: checked at open
  if (c.CompressedSize > size_ - data_start)
    EntryError(c, std::to_string(c.CompressedSize) + " compressed bytes at offset " +
                      std::to_string(data_start) + " run past the end of the archive (" +
                      std::to_string(size_) + " bytes)");
  current_size_ = c.UncompressedSize;
  if (c.UncompressedSize > max_part_size_)
    EntryError(c, "uncompressed size " + std::to_string(c.UncompressedSize) +
                      " is above the limit of " + std::to_string(max_part_size_) +
                      " bytes for one part");
  if (c.Method == kZipMethodStored) {
    if (c.UncompressedSize > c.CompressedSize)
      EntryError(c, "stored entry claims " + std::to_string(c.UncompressedSize) +
                        " bytes but holds " + std::to_string(c.CompressedSize));
  } else if (c.UncompressedSize > kMaxDeflateRatio * c.CompressedSize) {
    EntryError(c, "claims " + std::to_string(c.UncompressedSize) + " bytes from " +
                      std::to_string(c.CompressedSize) +
                      " compressed bytes, more than deflate can produce");
  }
  TZipEntryData data;
  data.Central = &c;
  data.Source = data_ + data_start;
  data.CompressedSize = c.CompressedSize;
  data.Size = c.UncompressedSize;
  data.Deflated = c.Method == kZipMethodDeflated;
  return data;
}

bool TQuillZip::InflateEntryData(const TZipEntryData& data, std::uint8_t* out, std::size_t step,
                                 const std::function<bool(std::size_t produced)>& after_step) {
  const std::size_t size = data.Size;
  if (size == 0) return true;
  if (step == 0) step = size;
  const std::uint8_t header[2] = {0x78, ZlibHeaderFlagForZipFlags(data.Central->Flags)};
  TZipInflateStream inflater(header, sizeof header, data.Source, data.CompressedSize, true);
  if (OnDecompressFile) {
    inflater.OnProgress = [this, size](std::uint64_t inflated) {
      OnDecompressFile(*this, inflated, size);
    };
  }
  // zlib resumes where the previous step left off, so the bytes and any error are those of
  // one call over the whole size.
  std::size_t produced = 0;
  while (produced < size) {
    const std::size_t want = std::min(step, size - produced);
    const std::size_t got = inflater.Read(out + produced, want);
    produced += got;
    if (after_step && !after_step(produced)) return false;
    if (got < want) break;
  }
  if (produced != size)
    EntryError(*data.Central, "deflated data ends after " + std::to_string(produced) + " of " +
                                  std::to_string(size) + " bytes");
  return true;
}

void TQuillZip::Extract(const TQuillZipEntriesEntry& entry, TZipPartBuffer& stream) {
  const TZipEntryData data = LocateEntryData(entry);
  const std::size_t size = data.Size;
  if (size == 0) return;
  if (!data.Deflated) {
    std::memcpy(stream.Extend(size), data.Source, size);
    return;
  }
  std::uint8_t* out = stream.Extend(size);
  try {
    InflateEntryData(data, out, size, nullptr);
  } catch (...) {
    stream.Shrink(size);
    throw;
  }
}

// ---------------------------------------------------------------- comment and names

std::vector<std::string> TQuillZip::Comment() const {
  std::vector<std::string> lines;
  if (!is_zip_file_ || end_record_.CommentLength == 0 || comment_position_ >= size_) return lines;
  // A comment length beyond the archive's end gives what is there.
  const std::size_t length = std::min<std::size_t>(end_record_.CommentLength, size_ - comment_position_);
  const char* p = reinterpret_cast<const char*>(data_ + comment_position_);
  std::string line;
  for (std::size_t i = 0; i < length; ++i) {
    if (p[i] == '\r' || p[i] == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (p[i] == '\r' && i + 1 < length && p[i + 1] == '\n') ++i;
    } else {
      line += p[i];
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

void TQuillZip::SetComment(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  std::string current;
  for (const std::string& line : Comment()) current += line + "\r\n";
  if (text == current) return;
  if (!is_zip_file_ || !from_file_ || read_only_ || end_record_.Signature == 0 ||
      comment_position_ == 0)
    throw EXLSError("Cannot write the comment: the archive is not an open, writable archive file");
  if (text.size() > 0xFFFF) throw EXLSError("Zip comment is longer than 65535 bytes");
  std::uint8_t record[kZipEndRecordSize];
  std::memcpy(record, data_ + end_record_position_, kZipEndRecordSize);
  record[20] = static_cast<std::uint8_t>(text.size() & 0xFF);
  record[21] = static_cast<std::uint8_t>(text.size() >> 8);
  {
    std::fstream file(file_name_, std::ios::binary | std::ios::in | std::ios::out);
    if (!file) throw EXLSError("Cannot open file \"" + file_name_ + "\" for writing");
    file.seekp(static_cast<std::streamoff>(end_record_position_));
    file.write(reinterpret_cast<const char*>(record), kZipEndRecordSize);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!file) throw EXLSError("Cannot write file \"" + file_name_ + "\"");
  }
  std::error_code ec;
  std::filesystem::resize_file(file_name_, comment_position_ + text.size(), ec);
  if (ec) throw EXLSError("Cannot truncate file \"" + file_name_ + "\": " + ec.message());
  OpenFile(file_name_);
}

const std::vector<std::string>& TQuillZip::FileNames() {
  if (file_names_dirty_) {
    file_names_.clear();
    file_names_.reserve(entries_.items_.size());
    for (const TQuillZipEntriesEntry& entry : entries_.items_)
      file_names_.push_back(ZipListingName(entry.central_.Name));
    file_names_dirty_ = false;
  }
  return file_names_;
}

}  // namespace gridport
