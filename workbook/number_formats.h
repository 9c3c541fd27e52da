// The workbook's number formats: the 59 built-in formats (ids 0-58) and the
// formats a file defines, each with its usage count. The converter never
// applies a number format; the readers only keep them.
//
// TNumberFormats owns its entries. A pointer returned by an Add operation is
// valid until the entry is released to zero, the table is cleared or sorted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gridport {

inline constexpr int kBuiltInNumberFormats = 59;  // ids 0 to 58

struct TNumberFormat {
  std::uint16_t Hash = 0;
  std::u16string Text;
  std::int32_t Id = 0;
  std::int32_t Usage = 0;  // -1: a built-in entry that nothing uses
};

class TNumberFormats {
 public:
  TNumberFormats() = default;
  TNumberFormats(const TNumberFormats&) = delete;
  TNumberFormats& operator=(const TNumberFormats&) = delete;

  int Count() const { return static_cast<int>(formats_.size()); }
  // The entry at a list index; outside the list: "List index out of bounds (%d)".
  TNumberFormat* Item(long long index) const;

  // Highest id = 0, then the 59 built-in formats with usage -1.
  void AddDefaults();
  void Clear();

  // The entry with equal text (hash first), its usage raised by one; or a new
  // entry with the next free id (highest id + 1) and usage 1.
  TNumberFormat* AddByText(std::u16string_view text);
  // A FORMAT record's format: a new entry, or the entry with this id takes the
  // text and the usage (replacing a negative usage, else adding to it).
  TNumberFormat* AddWithId(std::u16string_view text, std::int32_t id, std::int32_t usage);
  // A number format of an Excel 2007 styles part: ignored for the 28
  // well-known ids, otherwise added as a new entry with usage 1.
  void AddPackageFormat(std::u16string_view text, std::int32_t id);

  // A cell format started (AddUse) or stopped (Release) using an id. Ids of
  // built-in formats are not counted. An id without entry fails with "Can
  // not find number format# %d". Release deletes an entry whose count
  // reaches 0 (an entry with a negative count is left alone).
  void AddUse(std::int32_t id);
  void Release(std::int32_t id);

  // List index of the entry with this id (binary search), or -1. Where a
  // package defines an id twice, the later definition answers.
  int FindById(std::int32_t id) const;
  TNumberFormat* ItemById(std::int32_t id) const;  // nullptr when absent
  // List index of the first entry with this text, or -1; the empty text
  // answers 0 (General).
  int FindByText(std::u16string_view text) const;

  // The list is kept in ascending id order at every insertion, so that
  // look-ups by id always work; SortById only records that the reader asked.
  void SortById();
  bool Sorted() const { return sorted_; }
  std::int32_t HighestId() const { return highest_id_; }

  // Rotate left by 5 in 16 bits, then XOR the low byte with each byte of the
  // UTF-16LE text.
  static std::uint16_t HashOf(std::u16string_view text);
  // The built-in text of an id (empty for ids without one and above 58).
  static std::u16string_view BuiltInText(std::int32_t id);
  // Ids 0-4, 9-22, 37-40 and 45-49, which a package never redefines.
  static bool IsWellKnownPackageId(std::int32_t id);

 private:
  TNumberFormat* Insert(std::u16string_view text, std::int32_t id, std::int32_t usage);

  std::vector<std::unique_ptr<TNumberFormat>> formats_;
  std::int32_t highest_id_ = 0;
  bool sorted_ = false;
};

}  // namespace gridport
