// The shared string table TSST: every distinct cell string of a workbook once,
// as a reference-counted entry found by content through a hash index, plus
// the by-position index that BIFF LABELSST records and Open XML shared-string
// cells refer to while a file is read.
//
// Ownership and lifetimes:
// - TSST owns every entry; entries live in one byte arena (no allocation
//   per string), and the memory of a removed entry returns to the system
//   only with ClearTable. A TStringCell holds one reference (AddString,
//   AddReference) and gives it back with Release; the entry lives while it
//   has references or while the by-position index holds it, and until
//   ClearTable at the latest. Entries read from a file that no cell uses keep
//   0 references and stay until the table is cleared.
// - TSST refers to the workbook's font list (not owned) for rich-text runs;
//   the font list must outlive the table's entries (the workbook clears the
//   table before its fonts).
// - A TSSTTextView is valid as long as its entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/cell_pools.h"
#include "workbook/ext_sst.h"
#include "workbook/hash_index.h"

namespace gridport {

class TRecordSource;
class TXFont;
class TXFonts;

// Flag bits of an entry.
enum TSSTFlags : std::uint8_t {
  sstWide = 0x01,      // 2 bytes per character (UTF-16), else Latin-1 bytes
  sstPhonetic = 0x04,  // phonetic data follows
  sstRich = 0x08,      // rich-text runs follow
};

// A rich-text run: from character Position on, the text uses Font.
struct TSSTRun {
  std::uint32_t Position = 0;
  TXFont* Font = nullptr;
};

// The text of an entry without a copy: Latin-1 bytes (each byte is one UTF-16
// code unit of equal value) or UTF-16 code units.
struct TSSTTextView {
  const void* Data = nullptr;
  std::uint32_t Length = 0;  // characters (UTF-16 code units)
  bool Wide = false;

  std::u16string_view Utf16() const {  // only when Wide
    return {static_cast<const char16_t*>(Data), Length};
  }
  std::string_view Latin1() const {  // only when !Wide
    return {static_cast<const char*>(Data), Length};
  }
  // Replaces `out` with the text (reuses out's capacity).
  void AssignTo(std::u16string& out) const;
  void AppendTo(std::u16string& out) const;
  std::u16string ToU16String() const;
};

// One distinct string: a single allocation holding this header, the runs,
// the text and the phonetic bytes.
class TSSTEntry {
 public:
  std::uint32_t Slot() const { return slot_; }
  std::int32_t References() const { return references_; }
  std::uint32_t Characters() const { return characters_; }
  std::uint8_t Flags() const { return flags_; }
  bool IsWide() const { return flags_ & sstWide; }
  bool IsRich() const { return flags_ & sstRich; }

  TSSTTextView Text() const;
  // Runs; empty for an entry without runs.
  std::span<const TSSTRun> Runs() const;
  // Run index; "String is not formatted" without runs, "FormatIndedx out of
  // range" at or above the run count.
  const TSSTRun& RunAt(std::size_t index) const;
  std::span<const std::uint8_t> Phonetic() const;
  // A hash of the text as stored, seeded once per process (the index's key).
  std::uint64_t HashKey() const { return hash_; }

 private:
  friend class TSST;
  TSSTEntry() = default;

  std::uint64_t hash_ = 0;
  std::uint32_t slot_ = 0xFFFF;
  std::int32_t references_ = 0;
  std::uint32_t characters_ = 0;
  std::uint32_t run_count_ = 0;
  std::uint32_t phonetic_size_ = 0;
  std::uint8_t flags_ = 0;
  bool indexed_ = false;  // held by the by-position index: not removed at 0 references
  bool released_ = false;  // fell to 0 references while indexed: DropIndex removes it
};

struct TSSTEntryKey {
  std::uint64_t operator()(const TSSTEntry& entry) const { return entry.HashKey(); }
};

// A piece of a formatted Open XML string: its text and its font.
struct TRichTextPiece {
  std::u16string_view Text;
  TXFont* Font = nullptr;
};

class TSST {
 public:
  // fonts: the workbook's font list (not owned). maxRecordSize: the
  // workbook's MaxRecordSize (kept for writers; reading does not use it).
  explicit TSST(TXFonts& fonts, std::uint32_t maxRecordSize = 8224);
  ~TSST();
  TSST(const TSST&) = delete;
  TSST& operator=(const TSST&) = delete;

  // A cell's string: the entry with this text, counted once for the caller.
  // Characters all at most 0xFF make an 8-bit entry.
  TSSTEntry* AddString(std::u16string_view text);
  // The next string of an Open XML shared-string part: appended to the
  // by-position index (a repeat of an earlier text counts one reference).
  TSSTEntry* AddSharedString(std::u16string_view text);
  // The same for a formatted string; its text is the pieces' texts in order
  // and each piece gives a run (its start and font; the font gains a usage).
  TSSTEntry* AddRichSharedString(std::span<const TRichTextPiece> pieces);

  // Reads an SST record body of `size` bytes and its CONTINUE records from
  // `stream`, which stands at the body's first byte. Leaves the stream after
  // the body's last byte (the current record's unused bytes are skipped).
  // Errors: "CONTINUE record is missing in SST", "STT: Unhandled string type
  // in Read (%.2X)", the font list's index error for a run's font, and
  // "Unexpected end of SST data" when the stream ends inside a record.
  void ReadSST(TRecordSource& stream, std::uint32_t size);

  // The entry at a position of the by-position index; outside it: "List
  // index out of bounds (%d)".
  TSSTEntry* EntryAt(long long position) const;
  std::size_t IndexCount() const { return by_position_.size(); }

  void AddReference(TSSTEntry* entry) { ++entry->references_; }
  // One reference fewer; at 0 the entry is removed (unless the by-position
  // index still holds it) and gives back its runs' font usages.
  void Release(TSSTEntry* entry);

  static std::u16string TextOf(const TSSTEntry* entry) { return entry->Text().ToU16String(); }

  // Ends a read: empties the by-position index. The entries stay, except
  // those whose last reference was released while the index held them.
  void DropIndex();
  // Frees every entry; empties both indices; total count 0. Fonts are
  // not touched.
  void ClearTable();

  // The SST record's total number of string references, or the number of
  // strings added otherwise.
  std::uint32_t TotalCount() const { return total_count_; }
  void SetTotalCount(std::uint32_t count) { total_count_ = count; }
  std::uint32_t MaxRecordSize() const { return max_record_size_; }
  void SetMaxRecordSize(std::uint32_t size) { max_record_size_ = size; }
  // Number of distinct entries.
  std::size_t UniqueCount() const { return index_.Count(); }
  // The extended index (the EXTSST record's content); reading leaves it
  // empty, ClearTable empties it.
  TExtSST& ExtSST() { return ext_sst_; }
  const TExtSST& ExtSST() const { return ext_sst_; }

 private:
  struct TKey;
  static TKey KeyOf(const TSSTEntry& entry);
  // A new entry in the arena, not yet in the hash index.
  TSSTEntry* NewEntry(const TKey& key, std::int32_t references);
  TSSTEntry* AddOrFind(const TKey& key, std::int32_t references);
  // ReadSST's body: appends a new entry per string to the by-position index.
  void ReadStrings(TRecordSource& stream, std::uint32_t size);
  // Files the entries of the by-position index from `first` on in the hash
  // index; a repeat of a filed string is replaced by that entry.
  void IndexRead(std::size_t first);
  TSSTEntry* AddToIndex(const TKey& key);
  void FreeEntry(TSSTEntry* entry);
  void RemoveEntry(TSSTEntry* entry);

  TXFonts& fonts_;
  THashIndex<TSSTEntry, TSSTEntryKey> index_;  // every entry, by content
  TByteArena arena_;                            // the entries' memory
  std::vector<TSSTEntry*> by_position_;
  TExtSST ext_sst_;
  std::uint32_t total_count_ = 0;
  std::uint32_t max_record_size_;

  // Scratch buffers reused by every read and rich add (no allocation per string).
  std::vector<std::uint8_t> narrow_;
  std::u16string wide_;
  std::vector<TSSTRun> runs_;
  std::vector<std::uint8_t> phonetic_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace gridport
