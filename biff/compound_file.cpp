#include "biff/compound_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "text/in_out_error.h"
#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr unsigned kMiniShift = 6;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::size_t kDirEntrySize = 128;

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

std::string Utf16ToAsciiForMessage(std::u16string_view name) {
  std::string out;
  for (char16_t c : name) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  return out;
}

[[noreturn]] void Fail(const std::string& message) { throw EXLSError("Compound file: " + message); }

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

}  // namespace

// ---------------------------------------------------------------- TCompoundStream

TCompoundStream::TCompoundStream(const std::uint8_t* data, std::uint64_t size)
    : file_(data), size_(size) {}

TCompoundStream::TCompoundStream(const std::uint8_t* file, std::vector<std::uint64_t> piece_offsets,
                                 unsigned piece_shift, std::uint64_t size)
    : file_(file), pieces_(std::move(piece_offsets)), shift_(piece_shift), size_(size) {
  // Writers usually store a stream in consecutive sectors: then it is one
  // run of bytes and reads need no piece arithmetic (the caller checked that
  // every byte of the stream lies in the file).
  bool consecutive = !pieces_.empty();
  for (std::size_t i = 1; consecutive && i < pieces_.size(); ++i)
    consecutive = pieces_[i] == pieces_[i - 1] + (std::uint64_t{1} << shift_);
  if (consecutive) {
    file_ += pieces_[0];
    pieces_.clear();
  }
}

std::size_t TCompoundStream::ReadPieces(void* buffer, std::size_t count) {
  if (position_ >= size_) return 0;
  std::uint64_t left = size_ - position_;
  if (count > left) count = static_cast<std::size_t>(left);
  auto* out = static_cast<std::uint8_t*>(buffer);
  if (pieces_.empty()) {
    std::memcpy(out, file_ + position_, count);
    position_ += count;
    return count;
  }
  const std::uint64_t mask = (std::uint64_t{1} << shift_) - 1;
  std::size_t done = 0;
  while (done < count) {
    std::uint64_t within = position_ & mask;
    std::size_t take = static_cast<std::size_t>(
        std::min<std::uint64_t>(count - done, (mask + 1) - within));
    std::memcpy(out + done, file_ + pieces_[position_ >> shift_] + within, take);
    done += take;
    position_ += take;
  }
  return count;
}

std::uint64_t TCompoundStream::Seek(std::int64_t offset, int origin) {
  std::int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<std::int64_t>(position_)
                                                    : static_cast<std::int64_t>(size_);
  std::int64_t target = base + offset;
  if (target < 0) target = 0;
  if (static_cast<std::uint64_t>(target) > size_) target = static_cast<std::int64_t>(size_);
  position_ = static_cast<std::uint64_t>(target);
  return position_;
}

// ---------------------------------------------------------------- TFileBytes

TFileBytes::TFileBytes(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EInOutError::ForFile("Cannot open", path, errno);
  struct stat info {};
  const bool stat_failed = ::fstat(fd, &info) != 0;
  if (stat_failed || !S_ISREG(info.st_mode)) {
    // Only regular files are mapped: a directory or device is no workbook.
    int error = stat_failed ? errno : S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    throw EInOutError::ForFile("Cannot open", path, error);
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
  if (size_ > 0) {
    void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map != MAP_FAILED) {
      map_ = map;
      data_ = static_cast<const std::uint8_t*>(map);
    }
  }
  ::close(fd);
  if (map_ == nullptr) {
    // Mapping can fail on special file systems; read the file instead.
    std::ifstream in(path, std::ios::binary);
    copy_.resize(static_cast<std::size_t>(size_));
    if (!in.read(reinterpret_cast<char*>(copy_.data()), static_cast<std::streamsize>(size_)))
      throw EInOutError::ForFile("Cannot read", path, errno);
    data_ = copy_.data();
  }
}

TFileBytes::~TFileBytes() {
  if (map_ != nullptr) ::munmap(map_, size_);
}

// ---------------------------------------------------------------- TCompoundFile

TCompoundFile::TCompoundFile() = default;
TCompoundFile::~TCompoundFile() = default;

bool TCompoundFile::HasSignature(const std::uint8_t* data, std::size_t size) {
  return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

bool TCompoundFile::IsCompoundFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::uint8_t head[8];
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
  return HasSignature(head, sizeof head);
}

void TCompoundFile::Close() {
  file_.reset();
  bytes_.clear();
  bytes_.shrink_to_fit();
  data_ = nullptr;
  size_ = 0;
  fat_.clear();
  mini_fat_.clear();
  mini_stream_sectors_.clear();
  mini_stream_size_ = 0;
  mini_error_.clear();
  root_entries_.clear();
}

void TCompoundFile::OpenFile(const std::filesystem::path& path) {
  Close();
  file_ = std::make_unique<TFileBytes>(path);
  data_ = file_->Data();
  size_ = file_->Size();
  try {
    Parse();
  } catch (...) {
    Close();
    throw;
  }
}

void TCompoundFile::OpenBytes(std::vector<std::uint8_t> bytes) {
  Close();
  bytes_ = std::move(bytes);
  data_ = bytes_.data();
  size_ = bytes_.size();
  try {
    Parse();
  } catch (...) {
    Close();
    throw;
  }
}

std::uint64_t TCompoundFile::SectorOffset(std::uint32_t sector) const {
  return (static_cast<std::uint64_t>(sector) + 1) << sector_shift_;
}

void TCompoundFile::Parse() {
  if (data_ == nullptr || size_ < 512) Fail("the header is truncated (" + std::to_string(size_) + " bytes)");
  if (!HasSignature(data_, 8)) Fail("signature missing");
  sector_shift_ = GetU16(data_ + 30);
  if (sector_shift_ != 9 && sector_shift_ != 12)
    Fail("unsupported sector size 2^" + std::to_string(sector_shift_));
  if (GetU16(data_ + 32) != kMiniShift) Fail("unsupported mini sector size 2^" + std::to_string(GetU16(data_ + 32)));
  const std::uint64_t sector_size = std::uint64_t{1} << sector_shift_;
  if (size_ <= sector_size) Fail("no sectors after the header");
  std::uint64_t sectors = (size_ - sector_size + sector_size - 1) / sector_size;
  if (sectors > kMaxRegularSector) Fail("file too large");
  sector_count_ = static_cast<std::uint32_t>(sectors);

  const std::uint32_t fat_sectors = GetU32(data_ + 44);
  mini_cutoff_ = GetU32(data_ + 56);
  const std::uint32_t first_difat = GetU32(data_ + 68);
  if (fat_sectors == 0 || fat_sectors > sector_count_)
    Fail("FAT sector count " + std::to_string(fat_sectors) + " does not fit the file's " +
         std::to_string(sector_count_) + " sectors");

  // The FAT's own sectors: 109 in the header, the rest in the DIFAT chain.
  std::vector<std::uint32_t> fat_list;
  fat_list.reserve(fat_sectors);
  for (std::size_t i = 0; i < kHeaderDifatEntries && fat_list.size() < fat_sectors; ++i)
    fat_list.push_back(GetU32(data_ + 76 + 4 * i));
  const std::size_t per_difat = (sector_size / 4) - 1;
  std::vector<bool> difat_seen(sector_count_);
  std::uint32_t difat = first_difat;
  while (fat_list.size() < fat_sectors) {
    if (difat == kEndOfChain || difat == kFreeSector)
      Fail("the DIFAT lists " + std::to_string(fat_list.size()) + " FAT sectors, the header " +
           std::to_string(fat_sectors));
    if (difat >= sector_count_) Fail("DIFAT sector " + Hex(difat) + " lies beyond the file");
    if (difat_seen[difat]) Fail("the DIFAT chain loops at sector " + Hex(difat));
    difat_seen[difat] = true;
    std::uint64_t offset = SectorOffset(difat);
    if (offset + sector_size > size_) Fail("DIFAT sector " + Hex(difat) + " is truncated");
    const std::uint8_t* p = data_ + offset;
    for (std::size_t i = 0; i < per_difat && fat_list.size() < fat_sectors; ++i)
      fat_list.push_back(GetU32(p + 4 * i));
    difat = GetU32(p + 4 * per_difat);
  }

  const std::size_t per_sector = sector_size / 4;
  fat_.assign(fat_list.size() * per_sector, kFreeSector);
  for (std::size_t i = 0; i < fat_list.size(); ++i) {
    std::uint32_t sector = fat_list[i];
    if (sector >= sector_count_) Fail("FAT sector " + Hex(sector) + " lies beyond the file");
    std::uint64_t offset = SectorOffset(sector);
    // The file's last sector may be cut short; its missing entries stay free.
    std::uint64_t available = std::min<std::uint64_t>(sector_size, size_ - offset) / 4;
    for (std::size_t k = 0; k < available; ++k) fat_[i * per_sector + k] = GetU32(data_ + offset + 4 * k);
  }

  ReadDirectory();
}

std::vector<std::uint32_t> TCompoundFile::Chain(std::uint32_t start, std::uint64_t max_sectors,
                                                std::string_view what) const {
  std::vector<std::uint32_t> chain;
  chain.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(max_sectors, sector_count_)));
  std::vector<bool> seen(sector_count_);
  std::uint32_t sector = start;
  while (max_sectors == 0 || chain.size() < max_sectors) {
    if (sector == kEndOfChain) break;
    if (sector >= sector_count_ || sector >= fat_.size())
      Fail(std::string(what) + " chain points at sector " + Hex(sector) + " outside the file's " +
           std::to_string(sector_count_) + " sectors");
    if (seen[sector]) Fail(std::string(what) + " chain loops at sector " + Hex(sector));
    seen[sector] = true;
    chain.push_back(sector);
    sector = fat_[sector];
  }
  if (max_sectors != 0 && chain.size() < max_sectors)
    Fail(std::string(what) + " chain ends after " + std::to_string(chain.size()) + " sectors, " +
         std::to_string(max_sectors) + " needed");
  return chain;
}

std::vector<std::uint32_t> TCompoundFile::MiniChain(std::uint32_t start, std::uint64_t max_sectors) const {
  const std::uint64_t mini_count = (mini_stream_size_ + 63) >> kMiniShift;
  std::vector<std::uint32_t> chain;
  chain.reserve(static_cast<std::size_t>(std::min(max_sectors, mini_count)));
  std::vector<bool> seen(static_cast<std::size_t>(mini_count));
  std::uint32_t sector = start;
  while (chain.size() < max_sectors) {
    if (sector == kEndOfChain) break;
    if (sector >= mini_count || sector >= mini_fat_.size())
      Fail("mini stream chain points at mini sector " + Hex(sector) + " outside the mini stream");
    if (seen[sector]) Fail("mini stream chain loops at mini sector " + Hex(sector));
    seen[sector] = true;
    chain.push_back(sector);
    sector = mini_fat_[sector];
  }
  if (chain.size() < max_sectors)
    Fail("mini stream chain ends after " + std::to_string(chain.size()) + " mini sectors, " +
         std::to_string(max_sectors) + " needed");
  return chain;
}

void TCompoundFile::ReadDirectory() {
  const std::uint64_t sector_size = std::uint64_t{1} << sector_shift_;
  std::vector<std::uint32_t> dir_chain = Chain(GetU32(data_ + 48), 0, "directory");
  if (dir_chain.empty()) Fail("the directory is empty");
  // The directory in one buffer: bytes cut off by the end of the file read as
  // zero, which is an unused entry.
  std::vector<std::uint8_t> dir(dir_chain.size() * sector_size, 0);
  for (std::size_t i = 0; i < dir_chain.size(); ++i) {
    std::uint64_t offset = SectorOffset(dir_chain[i]);
    std::uint64_t available = std::min<std::uint64_t>(sector_size, size_ - offset);
    std::memcpy(dir.data() + i * sector_size, data_ + offset, static_cast<std::size_t>(available));
  }
  const std::uint32_t entry_count = static_cast<std::uint32_t>(dir.size() / kDirEntrySize);
  const bool version3 = sector_shift_ == 9;

  auto parse = [&](std::uint32_t index) {
    const std::uint8_t* p = dir.data() + std::size_t{index} * kDirEntrySize;
    TCompoundEntry entry;
    std::uint8_t type = p[66];
    if (type != 1 && type != 2 && type != 5)
      Fail("directory entry " + std::to_string(index) + " has type " + std::to_string(type));
    entry.Type = static_cast<TCompoundEntryType>(type);
    std::size_t name_bytes = std::min<std::size_t>(GetU16(p + 64), 64);
    for (std::size_t k = 0; k + 1 < name_bytes; k += 2) {
      char16_t c = GetU16(p + k);
      if (c == 0) break;
      entry.Name.push_back(c);
    }
    entry.StartSector = GetU32(p + 116);
    entry.Size = GetU64(p + 120);
    // Version 3 files may leave garbage in the size's high half.
    if (version3) entry.Size &= 0xFFFFFFFFu;
    entry.DirectoryIndex = index;
    return entry;
  };

  TCompoundEntry root = parse(0);
  if (root.Type != TCompoundEntryType::Root) Fail("the first directory entry is not the root");

  // The mini stream lives in the root entry's chain; the mini FAT has its own.
  // A broken mini stream only matters to the streams stored in it, so its
  // failure is kept and raised when such a stream is opened.
  mini_stream_size_ = root.Size;
  if (mini_stream_size_ > 0) {
    try {
      std::uint64_t needed = (mini_stream_size_ + sector_size - 1) >> sector_shift_;
      if (needed > sector_count_) Fail("the mini stream is larger than the file");
      mini_stream_sectors_ = Chain(root.StartSector, needed, "mini stream");
      std::vector<std::uint32_t> mini_fat_chain = Chain(GetU32(data_ + 60), 0, "mini FAT");
      const std::size_t per_sector = sector_size / 4;
      mini_fat_.assign(mini_fat_chain.size() * per_sector, kFreeSector);
      for (std::size_t i = 0; i < mini_fat_chain.size(); ++i) {
        std::uint64_t offset = SectorOffset(mini_fat_chain[i]);
        std::uint64_t available = std::min<std::uint64_t>(sector_size, size_ - offset) / 4;
        for (std::size_t k = 0; k < available; ++k)
          mini_fat_[i * per_sector + k] = GetU32(data_ + offset + 4 * k);
      }
    } catch (const EXLSError& error) {
      mini_error_ = error.what();
      mini_stream_sectors_.clear();
      mini_fat_.clear();
    }
  }

  // The root's children form a red-black tree; an in-order walk with an
  // explicit stack lists them in directory order. Every index is checked and
  // each entry may be visited once, so a cyclic tree cannot loop.
  std::vector<bool> visited(entry_count);
  visited[0] = true;
  std::vector<std::uint32_t> stack;
  auto check = [&](std::uint32_t from, std::uint32_t to) {
    if (to == kNoStream) return false;
    if (to >= entry_count)
      Fail("directory entry " + std::to_string(from) + " links to entry " + std::to_string(to) +
           " beyond the directory's " + std::to_string(entry_count) + " entries");
    if (visited[to]) Fail("the directory tree links entry " + std::to_string(to) + " twice");
    visited[to] = true;
    return true;
  };
  auto descend_left = [&](std::uint32_t from, std::uint32_t node) {
    while (check(from, node)) {
      stack.push_back(node);
      from = node;
      node = GetU32(dir.data() + std::size_t{node} * kDirEntrySize + 68);
    }
  };
  descend_left(0, GetU32(dir.data() + 76));
  while (!stack.empty()) {
    std::uint32_t node = stack.back();
    stack.pop_back();
    TCompoundEntry entry = parse(node);
    if (entry.Type == TCompoundEntryType::Root)
      Fail("directory entry " + std::to_string(node) + " is a second root");
    if (entry.Type == TCompoundEntryType::Storage) entry.Size = 0;
    root_entries_.push_back(std::move(entry));
    descend_left(node, GetU32(dir.data() + std::size_t{node} * kDirEntrySize + 72));
  }
}

const TCompoundEntry* TCompoundFile::FindRootEntry(std::u16string_view name) const {
  for (const TCompoundEntry& entry : root_entries_) {
    if (entry.Name.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i)
      same = AsciiLower(entry.Name[i]) == AsciiLower(name[i]);
    if (same) return &entry;
  }
  return nullptr;
}

TCompoundStream TCompoundFile::OpenStream(const TCompoundEntry& entry) const {
  const std::string name = Utf16ToAsciiForMessage(entry.Name);
  if (entry.Type != TCompoundEntryType::Stream) Fail("\"" + name + "\" is not a stream");
  std::uint64_t size = entry.Size;
  if (size == 0) return TCompoundStream(data_, 0);
  const bool in_mini_stream = size < mini_cutoff_;
  const unsigned shift = in_mini_stream ? kMiniShift : sector_shift_;
  const std::uint64_t piece = std::uint64_t{1} << shift;
  const std::uint64_t count = (size + piece - 1) >> shift;
  std::vector<std::uint64_t> offsets;
  if (in_mini_stream) {
    if (!mini_error_.empty()) throw EXLSError(mini_error_);
    if (size > mini_stream_size_) Fail("stream \"" + name + "\" is larger than the mini stream");
    std::vector<std::uint32_t> chain = MiniChain(entry.StartSector, count);
    offsets.reserve(chain.size());
    const std::uint64_t mask = (std::uint64_t{1} << sector_shift_) - 1;
    for (std::uint32_t mini : chain) {
      std::uint64_t position = std::uint64_t{mini} << kMiniShift;
      std::size_t big = static_cast<std::size_t>(position >> sector_shift_);
      if (big >= mini_stream_sectors_.size()) Fail("stream \"" + name + "\" lies outside the mini stream");
      offsets.push_back(SectorOffset(mini_stream_sectors_[big]) + (position & mask));
    }
  } else {
    if (count > sector_count_) Fail("stream \"" + name + "\" is larger than the file");
    std::vector<std::uint32_t> chain = Chain(entry.StartSector, count, "stream \"" + name + "\"");
    offsets.reserve(chain.size());
    for (std::uint32_t sector : chain) offsets.push_back(SectorOffset(sector));
  }
  // Every byte of the stream must lie in the file. A file whose last sector is
  // cut short (some writers omit its unused tail) ends the stream there.
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    std::uint64_t needed = std::min(piece, size - i * piece);
    std::uint64_t available = offsets[i] < size_ ? size_ - offsets[i] : 0;
    if (available < needed) {
      if (i + 1 != offsets.size()) Fail("stream \"" + name + "\" runs past the end of the file");
      size = i * piece + available;
    }
  }
  return TCompoundStream(data_, std::move(offsets), shift, size);
}

}  // namespace gridport
