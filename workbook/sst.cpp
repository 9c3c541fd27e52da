#include "workbook/sst.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <type_traits>

#include "workbook/byte_view.h"
#include "workbook/fonts.h"
#include "workbook/record_source.h"
#include "workbook/xls_error.h"

namespace gridport {

namespace {

constexpr std::uint16_t kContinueId = 0x003C;
constexpr std::size_t kHeaderSize =
    (sizeof(TSSTEntry) + alignof(TSSTRun) - 1) / alignof(TSSTRun) * alignof(TSSTRun);

// Reads the SST body and its CONTINUE records, counting the bytes left in the
// current record so that no read runs into the next record's header.
class TSSTReader {
 public:
  TSSTReader(TRecordSource& source, std::uint32_t size) : source_(source), remaining_(size) {}

  std::uint32_t Remaining() const { return remaining_; }

  // True when the current record is used up and no CONTINUE record follows:
  // the table's data ends here. The next record stays unread.
  bool DataEnded() { return remaining_ == 0 && source_.PeekRecordId() != kContinueId; }

  // Moves to the next record, which must be a CONTINUE record.
  void NextRecord() {
    TBiffRecordHeader header;
    if (source_.ReadHeader(header) != 4 || header.Id != kContinueId)
      throw EXLSError("CONTINUE record is missing in SST");
    remaining_ = header.Length;
  }

  // Reads n bytes of the current record (n <= Remaining()).
  void ReadHere(void* buffer, std::size_t n) {
    if (n == 0) return;
    if (source_.Read(buffer, n) != n) throw EXLSError("Unexpected end of SST data");
    remaining_ -= static_cast<std::uint32_t>(n);
  }

  // Reads n bytes that may go on in CONTINUE records (no option byte).
  void ReadContinued(std::uint8_t* buffer, std::size_t n) {
    while (n > 0) {
      if (remaining_ == 0) NextRecord();
      std::size_t k = std::min<std::size_t>(n, remaining_);
      ReadHere(buffer, k);
      buffer += k;
      n -= k;
    }
  }

  // The same, appending to `out` record by record: the buffer grows only with
  // bytes that exist, whatever size a field claims.
  void AppendContinued(std::vector<std::uint8_t>& out, std::size_t n) {
    while (n > 0) {
      if (remaining_ == 0) NextRecord();
      std::size_t k = std::min<std::size_t>(n, remaining_);
      std::size_t at = out.size();
      out.resize(at + k);
      ReadHere(out.data() + at, k);
      n -= k;
    }
  }

  void SkipRest(std::vector<std::uint8_t>& scratch) {
    while (remaining_ > 0) {
      std::size_t k = std::min<std::size_t>(remaining_, 4096);
      scratch.resize(k);
      ReadHere(scratch.data(), k);
    }
  }

 private:
  TRecordSource& source_;
  std::uint32_t remaining_;
};

[[noreturn]] void UnhandledStringType(std::uint8_t flags) {
  char message[64];
  std::snprintf(message, sizeof message, "STT: Unhandled string type in Read (%.2X)", flags);
  throw EXLSError(message);
}

std::uint32_t CheckedLength(std::size_t n) {
  if (n > std::numeric_limits<std::uint32_t>::max()) throw EXLSError("String too long");
  return static_cast<std::uint32_t>(n);
}

// The text hash of the shared strings (see TKey::ComputeHash): a
// multiply-rotate step per 8-byte word, then a final mix so that every bit
// of the key depends on every input bit.
constexpr std::uint64_t kHashMulA = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kHashMulB = 0xC2B2AE3D27D4EB4Full;

std::uint64_t HashSeed() {
  static const std::uint64_t seed = [] {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
  }();
  return seed;
}

inline std::uint64_t HashStep(std::uint64_t h, std::uint64_t word) {
  return std::rotl(h ^ (word * kHashMulB), 31) * kHashMulA;
}

inline std::uint64_t HashFinish(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 33);
}

std::uint64_t HashBytes(const std::uint8_t* p, std::size_t n) {
  std::uint64_t h = HashSeed() ^ (n * kHashMulA);
  for (; n >= 8; p += 8, n -= 8) h = HashStep(h, GetU64(p));
  if (n > 0) {
    std::uint64_t tail = 0;
    for (std::size_t i = 0; i < n; ++i) tail |= std::uint64_t{p[i]} << (8 * i);
    h = HashStep(h, tail);
  }
  return HashFinish(h);
}

// The same hash for a text of code units up to 0xFF, taken as the bytes an
// 8-bit entry stores: equal to HashBytes over those bytes.
std::uint64_t HashNarrowed(const char16_t* text, std::size_t n) {
  std::uint64_t h = HashSeed() ^ (n * kHashMulA);
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word = 0;
    for (std::size_t k = 0; k < 8; ++k) word |= std::uint64_t{static_cast<std::uint8_t>(text[i + k])} << (8 * k);
    h = HashStep(h, word);
  }
  if (i < n) {
    std::uint64_t tail = 0;
    for (std::size_t k = 0; i + k < n; ++k) tail |= std::uint64_t{static_cast<std::uint8_t>(text[i + k])} << (8 * k);
    h = HashStep(h, tail);
  }
  return HashFinish(h);
}

bool AllLatin1(std::u16string_view text) {
  char16_t any = 0;
  for (char16_t c : text) any |= c;
  return any <= 0xFF;
}

}  // namespace

// ---- text view ----

void TSSTTextView::AssignTo(std::u16string& out) const {
  if (Wide) {
    out.assign(Utf16());
    return;
  }
  out.resize(Length);
  const auto* bytes = static_cast<const std::uint8_t*>(Data);
  for (std::uint32_t i = 0; i < Length; ++i) out[i] = bytes[i];
}

void TSSTTextView::AppendTo(std::u16string& out) const {
  if (Wide) {
    out.append(Utf16());
    return;
  }
  std::size_t at = out.size();
  out.resize(at + Length);
  const auto* bytes = static_cast<const std::uint8_t*>(Data);
  for (std::uint32_t i = 0; i < Length; ++i) out[at + i] = bytes[i];
}

std::u16string TSSTTextView::ToU16String() const {
  std::u16string out;
  AssignTo(out);
  return out;
}

// ---- entry ----
// Memory of an entry: header (padded to kHeaderSize), runs, text, phonetic.

std::span<const TSSTRun> TSSTEntry::Runs() const {
  const auto* base = reinterpret_cast<const std::uint8_t*>(this) + kHeaderSize;
  return {reinterpret_cast<const TSSTRun*>(base), run_count_};
}

TSSTTextView TSSTEntry::Text() const {
  const auto* text =
      reinterpret_cast<const std::uint8_t*>(this) + kHeaderSize + run_count_ * sizeof(TSSTRun);
  return {text, characters_, IsWide()};
}

std::span<const std::uint8_t> TSSTEntry::Phonetic() const {
  const auto* text =
      reinterpret_cast<const std::uint8_t*>(this) + kHeaderSize + run_count_ * sizeof(TSSTRun);
  return {text + static_cast<std::size_t>(characters_) * (IsWide() ? 2 : 1), phonetic_size_};
}

const TSSTRun& TSSTEntry::RunAt(std::size_t index) const {
  if (!IsRich()) throw EXLSError("String is not formatted");
  if (index >= run_count_) throw EXLSError("FormatIndedx out of range");
  return Runs()[index];
}

// ---- key: a string to add, described by views into the caller's buffers ----

struct TSST::TKey {
  std::uint8_t Flags = 0;
  std::uint32_t Length = 0;
  const char16_t* U16 = nullptr;    // the characters as code units, or
  const std::uint8_t* U8 = nullptr;  // as Latin-1 bytes (8-bit entries only)
  std::span<const TSSTRun> Runs;
  std::span<const std::uint8_t> Phonetic;
  std::uint64_t Hash = 0;

  // A 64-bit hash of the text as stored (1 or 2 bytes per character),
  // taken eight bytes per step: reading a table of hundreds of thousands of
  // strings hashes every byte of it, and a byte-serial CRC was the largest
  // cost there. The seed is drawn once per process, so a file cannot be
  // made to give many different strings one key (which would turn the
  // index's probing quadratic).
  void ComputeHash() {
    if (Flags & sstWide) {
      Hash = HashBytes(reinterpret_cast<const std::uint8_t*>(U16), std::size_t{Length} * 2);
    } else if (U8) {
      Hash = HashBytes(U8, Length);
    } else {
      Hash = HashNarrowed(U16, Length);
    }
  }

  bool Same(const TSSTEntry& e) const {
    if (e.flags_ != Flags || e.characters_ != Length || e.hash_ != Hash) return false;
    TSSTTextView text = e.Text();
    if (Flags & sstWide) {
      if (std::memcmp(text.Data, U16, Length * sizeof(char16_t)) != 0) return false;
    } else if (U8) {
      if (std::memcmp(text.Data, U8, Length) != 0) return false;
    } else {
      const auto* bytes = static_cast<const std::uint8_t*>(text.Data);
      for (std::uint32_t i = 0; i < Length; ++i)
        if (bytes[i] != U16[i]) return false;
    }
    auto runs = e.Runs();
    if (runs.size() != Runs.size()) return false;
    for (std::size_t i = 0; i < runs.size(); ++i)
      if (runs[i].Position != Runs[i].Position || runs[i].Font != Runs[i].Font) return false;
    auto phonetic = e.Phonetic();
    return phonetic.size() == Phonetic.size() &&
           (Phonetic.empty() || std::memcmp(phonetic.data(), Phonetic.data(), Phonetic.size()) == 0);
  }
};

TSST::TKey TSST::KeyOf(const TSSTEntry& entry) {
  TKey key;
  key.Flags = entry.flags_;
  key.Length = entry.characters_;
  const TSSTTextView text = entry.Text();
  if (text.Wide) {
    key.U16 = static_cast<const char16_t*>(text.Data);
  } else {
    key.U8 = static_cast<const std::uint8_t*>(text.Data);
  }
  key.Runs = entry.Runs();
  key.Phonetic = entry.Phonetic();
  key.Hash = entry.hash_;
  return key;
}

// ---- table ----

TSST::TSST(TXFonts& fonts, std::uint32_t maxRecordSize)
    : fonts_(fonts), max_record_size_(maxRecordSize) {}

TSST::~TSST() { ClearTable(); }

void TSST::FreeEntry(TSSTEntry* entry) {
  // The memory stays in the arena until ClearTable: entries are removed
  // one by one only when cells are deleted or replaced, which reading
  // never does in bulk.
  entry->~TSSTEntry();
}

TSSTEntry* TSST::NewEntry(const TKey& key, std::int32_t references) {
  std::size_t text_bytes = static_cast<std::size_t>(key.Length) * ((key.Flags & sstWide) ? 2 : 1);
  std::size_t size =
      kHeaderSize + key.Runs.size() * sizeof(TSSTRun) + text_bytes + key.Phonetic.size();
  void* memory = arena_.Allocate(size);
  auto* entry = new (memory) TSSTEntry();
  entry->hash_ = key.Hash;
  entry->references_ = references;
  entry->characters_ = key.Length;
  entry->flags_ = key.Flags;
  entry->run_count_ = static_cast<std::uint32_t>(key.Runs.size());
  entry->phonetic_size_ = static_cast<std::uint32_t>(key.Phonetic.size());
  auto* runs = reinterpret_cast<TSSTRun*>(static_cast<std::uint8_t*>(memory) + kHeaderSize);
  for (std::size_t i = 0; i < key.Runs.size(); ++i) new (runs + i) TSSTRun(key.Runs[i]);
  auto* text = reinterpret_cast<std::uint8_t*>(runs + key.Runs.size());
  if (key.Flags & sstWide) {
    if (text_bytes) std::memcpy(text, key.U16, text_bytes);
  } else if (key.U8) {
    if (text_bytes) std::memcpy(text, key.U8, text_bytes);
  } else {
    for (std::uint32_t i = 0; i < key.Length; ++i) text[i] = static_cast<std::uint8_t>(key.U16[i]);
  }
  if (!key.Phonetic.empty()) std::memcpy(text + text_bytes, key.Phonetic.data(), key.Phonetic.size());
  return entry;
}

TSSTEntry* TSST::AddOrFind(const TKey& key, std::int32_t references) {
  TSSTEntry* found = index_.Find(key.Hash, [&key](const TSSTEntry& e) { return key.Same(e); });
  if (found) {
    ++found->references_;
    return found;
  }
  TSSTEntry* entry = NewEntry(key, references);
  index_.Insert(entry);
  // The runs' fonts are counted by the entry that keeps them; a repeated
  // string that is found instead of added takes no usage.
  for (const TSSTRun& run : key.Runs) TXFonts::AddUsage(*run.Font);
  return entry;
}

void TSST::IndexRead(std::size_t first) {
  const std::size_t end = by_position_.size();
  if (first >= end) return;
  // Room for every string read, so that no growth moves the slots between
  // a prefetch and its use; the strings exist, this is no claimed count.
  index_.Reserve(index_.Count() + (end - first));
  // Each look-up misses the cache in a table of many strings: ask for the
  // slots of the strings a few places ahead while this one is filed.
  constexpr std::size_t kAhead = 8;
  for (std::size_t i = first; i < end && i < first + kAhead; ++i) index_.Prefetch(by_position_[i]->hash_);
  for (std::size_t i = first; i < end; ++i) {
    if (i + kAhead < end) index_.Prefetch(by_position_[i + kAhead]->hash_);
    TSSTEntry* entry = by_position_[i];
    const TKey key = KeyOf(*entry);
    TSSTEntry* found = index_.Find(key.Hash, [&key](const TSSTEntry& e) { return key.Same(e); });
    if (found) {
      // A repeat of an earlier string: that entry takes one reference and
      // the position; the repeat's memory stays unused in the arena.
      ++found->references_;
      FreeEntry(entry);
      entry = found;
      by_position_[i] = found;
    } else {
      index_.Insert(entry);
      entry->slot_ = static_cast<std::uint32_t>(i);
      for (const TSSTRun& run : entry->Runs()) TXFonts::AddUsage(*run.Font);
    }
    entry->indexed_ = true;
  }
}

TSSTEntry* TSST::AddToIndex(const TKey& key) {
  auto position = static_cast<std::uint32_t>(by_position_.size());
  by_position_.push_back(nullptr);  // make room first: a failing push adds no entry
  TSSTEntry* entry;
  try {
    entry = AddOrFind(key, 0);
  } catch (...) {
    by_position_.pop_back();
    throw;
  }
  if (entry->references_ == 0) entry->slot_ = position;  // made by this call
  entry->indexed_ = true;
  by_position_.back() = entry;
  return entry;
}

TSSTEntry* TSST::AddString(std::u16string_view text) {
  TKey key;
  key.Length = CheckedLength(text.size());
  key.U16 = text.data();
  key.Flags = AllLatin1(text) ? 0 : sstWide;
  key.ComputeHash();
  ++total_count_;
  return AddOrFind(key, 1);
}

TSSTEntry* TSST::AddSharedString(std::u16string_view text) {
  TKey key;
  key.Length = CheckedLength(text.size());
  key.U16 = text.data();
  key.Flags = AllLatin1(text) ? 0 : sstWide;
  key.ComputeHash();
  TSSTEntry* entry = AddToIndex(key);
  ++total_count_;
  return entry;
}

TSSTEntry* TSST::AddRichSharedString(std::span<const TRichTextPiece> pieces) {
  wide_.clear();
  runs_.clear();
  for (const TRichTextPiece& piece : pieces) {
    if (!piece.Font) throw EXLSError("Rich text run without a font");
    runs_.push_back({CheckedLength(wide_.size()), piece.Font});
    wide_.append(piece.Text);
  }
  TKey key;
  key.Length = CheckedLength(wide_.size());
  key.U16 = wide_.data();
  key.Flags = static_cast<std::uint8_t>(sstRich | (AllLatin1(wide_) ? 0 : sstWide));
  key.Runs = runs_;
  key.ComputeHash();
  TSSTEntry* entry = AddToIndex(key);
  ++total_count_;
  return entry;
}

void TSST::ReadSST(TRecordSource& stream, std::uint32_t size) {
  // The strings are made as they are read and filed in the hash index
  // afterwards in one pass, which can prefetch; strings read before a
  // failure are filed too.
  const std::size_t first = by_position_.size();
  try {
    ReadStrings(stream, size);
  } catch (...) {
    IndexRead(first);
    throw;
  }
  IndexRead(first);
}

void TSST::ReadStrings(TRecordSource& stream, std::uint32_t size) {
  TSSTReader in(stream, size);
  std::uint8_t counts[8];
  in.ReadContinued(counts, sizeof counts);
  total_count_ = GetU32(counts);
  std::uint32_t unique = GetU32(counts + 4);
  // The count is a claim: every string takes at least 3 bytes, so the first
  // record bounds what a reservation may assume.
  by_position_.reserve(by_position_.size() + std::min<std::size_t>(unique, size / 3));

  for (std::uint32_t i = 0; i < unique; ++i) {
    // Some writers claim more strings than they store (a 1996 build's table
    // of 15 holding 12; a table of 1761 with no string at all): the strings
    // that are there are kept, and a cell that refers past them fails on its own.
    if (in.DataEnded()) break;
    if (in.Remaining() == 0) in.NextRecord();
    // Character count and option flags. These and the run count and phonetic
    // size never straddle a record end in files Excel writes; should they,
    // they continue in the next CONTINUE record rather than read its header.
    std::uint8_t head[3];
    in.ReadContinued(head, sizeof head);
    std::uint16_t characters = GetU16(head);
    std::uint8_t flags = head[2];
    if (flags & ~(sstWide | sstPhonetic | sstRich)) UnhandledStringType(flags);
    std::uint32_t run_count = 0;
    std::uint32_t phonetic_size = 0;
    if (flags & sstRich) {
      std::uint8_t b[2];
      in.ReadContinued(b, 2);
      run_count = GetU16(b);
    }
    if (flags & sstPhonetic) {
      std::uint8_t b[4];
      in.ReadContinued(b, 4);
      phonetic_size = GetU32(b);
    }

    // The text, in pieces: a piece that reaches the end of a record goes on
    // in a CONTINUE record whose first byte says its width. One 16-bit piece
    // makes the whole text 16-bit.
    narrow_.clear();
    wide_.clear();
    bool piece_wide = flags & sstWide;
    bool text_wide = piece_wide;
    std::uint32_t missing = characters;
    bool first_piece = true;
    while (missing > 0) {
      if (!first_piece || in.Remaining() == 0) {
        // A 16-bit piece that left one byte of its record would split a character.
        if (in.Remaining() != 0) throw EXLSError("SST string character split by a record end");
        do in.NextRecord();
        while (in.Remaining() == 0);
        std::uint8_t option;
        in.ReadHere(&option, 1);
        piece_wide = option & 0x01;
      }
      first_piece = false;
      std::uint32_t width = piece_wide ? 2 : 1;
      std::uint32_t take = std::min(missing, in.Remaining() / width);
      if (take == 0) throw EXLSError("SST string character split by a record end");
      bytes_.resize(static_cast<std::size_t>(take) * width);
      in.ReadHere(bytes_.data(), bytes_.size());
      if (piece_wide && !text_wide) {
        wide_.assign(narrow_.begin(), narrow_.end());
        text_wide = true;
      }
      if (text_wide) {
        std::size_t at = wide_.size();
        wide_.resize(at + take);
        for (std::uint32_t k = 0; k < take; ++k)
          wide_[at + k] = piece_wide ? static_cast<char16_t>(GetU16(&bytes_[2 * k])) : bytes_[k];
      } else {
        narrow_.insert(narrow_.end(), bytes_.begin(), bytes_.end());
      }
      missing -= take;
    }

    // Runs and phonetic data follow the text at its final width; they go on
    // in CONTINUE records without an option byte.
    runs_.clear();
    if (run_count) {
      bytes_.resize(static_cast<std::size_t>(run_count) * 4);
      in.ReadContinued(bytes_.data(), bytes_.size());
      for (std::uint32_t k = 0; k < run_count; ++k) {
        const std::uint8_t* p = &bytes_[4 * k];
        runs_.push_back({GetU16(p), fonts_.Item(GetU16(p + 2))});
      }
    }
    phonetic_.clear();
    in.AppendContinued(phonetic_, phonetic_size);

    TKey key;
    key.Flags = static_cast<std::uint8_t>((flags & ~sstWide) | (text_wide ? sstWide : 0));
    key.Length = characters;
    if (text_wide) {
      key.U16 = wide_.data();
    } else {
      key.U8 = narrow_.data();
    }
    key.Runs = runs_;
    key.Phonetic = phonetic_;
    key.ComputeHash();
    by_position_.push_back(NewEntry(key, 0));
  }
  in.SkipRest(bytes_);
}

TSSTEntry* TSST::EntryAt(long long position) const {
  if (position < 0 || position >= static_cast<long long>(by_position_.size()))
    throw EListError(position);
  return by_position_[static_cast<std::size_t>(position)];
}

void TSST::Release(TSSTEntry* entry) {
  if (--entry->references_ >= 1) return;
  // The by-position index may still hand the entry to a later cell of the
  // read: it stays until the index is dropped.
  if (entry->indexed_) {
    entry->released_ = true;
    return;
  }
  RemoveEntry(entry);
}

void TSST::RemoveEntry(TSSTEntry* entry) {
  for (const TSSTRun& run : entry->Runs()) fonts_.ReleaseUsage(*run.Font);
  index_.Remove(entry);
  FreeEntry(entry);
  if (total_count_ > 0) --total_count_;
}

void TSST::DropIndex() {
  // An entry may sit at several positions: collect first, remove after.
  std::vector<TSSTEntry*> released;
  for (TSSTEntry* entry : by_position_) {
    entry->indexed_ = false;
    if (entry->released_) {
      entry->released_ = false;
      released.push_back(entry);
    }
  }
  std::vector<TSSTEntry*>().swap(by_position_);
  for (TSSTEntry* entry : released)
    if (entry->references_ < 1) RemoveEntry(entry);
}

void TSST::ClearTable() {
  // Entries need no destruction: the arena frees them all in a few steps.
  static_assert(std::is_trivially_destructible_v<TSSTEntry> && std::is_trivially_destructible_v<TSSTRun>);
  index_.Clear();
  arena_.Clear();
  std::vector<TSSTEntry*>().swap(by_position_);
  ext_sst_.Clear();
  total_count_ = 0;
}

}  // namespace gridport
