// One element of the tree that TExcelXMLReader builds, with the typed accessors the package
// reader uses. Elements, their values and their texts live in the reader's arena and point into
// the part's buffer: they are valid until their parent's children are freed or the part ends.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "openxml/xml_arena.h"
#include "openxml/xml_names.h"
#include "openxml/xml_text.h"
#include "workbook/saved_tags.h"

namespace gridport {

class TExcelXMLReader;

// One attribute value: its id and its raw (undecoded) text.
struct TExXMLValue {
  int Id = 0;
  std::string_view Raw;
};

// A cell position from a reference such as B12, counted from 0.
struct TXMLCellRef {
  std::int32_t Col = 0;
  std::int32_t Row = 0;
};
struct TXMLAreaRef {
  TXMLCellRef First;
  TXMLCellRef Last;
};

// Column and row of a cell reference: the trailing digits are the row number, the capitals
// before them the column in base 26 (A = 1). A reference without digits throws.
TXMLCellRef ParseXMLCellRefGeneral(std::string_view ref);
// Inline for the usual form, one to three capitals and one to seven digits, read byte by byte
// as nothing past the reference may be read; where that is allowed, ParseXMLCellRefWord
// (xml_digits.h) reads the digits eight at a time.
inline TXMLCellRef ParseXMLCellRef(std::string_view ref) {
  const std::size_t n = ref.size();
  std::size_t i = 0;
  std::int32_t col = 0;
  for (unsigned letter; i < std::min<std::size_t>(n, 3) && (letter = static_cast<unsigned char>(ref[i]) - unsigned{'A'}) < 26; ++i)
    col = col * 26 + static_cast<std::int32_t>(letter) + 1;
  const std::size_t letters = i;
  const std::size_t digits_end = std::min(n, letters + 7);
  std::int32_t row = 0;
  for (unsigned digit; i < digits_end && (digit = static_cast<unsigned char>(ref[i]) - unsigned{'0'}) <= 9; ++i)
    row = row * 10 + static_cast<std::int32_t>(digit);
  if (letters > 0 && i > letters && i == n) return {col - 1, row - 1};
  return ParseXMLCellRefGeneral(ref);
}
// "A1:C3", or a single reference given twice.
TXMLAreaRef ParseXMLAreaRef(std::string_view ref);

class TExXMLTag {
 public:
  TExXMLTag() = default;
  // Every field set one by one: a zero-fill of the whole element (a block store) would cost
  // more than the rest of reading a cell.
  TExXMLTag(TExcelXMLReader* owner, TExXMLTag* parent, int id, std::string_view name,
            std::string_view text)
      : owner_(owner), parent_(parent), first_(nullptr), last_(nullptr), next_(nullptr),
        iter_(nullptr), values_(nullptr), name_(name), text_(text), id_(id), expected_(-1),
        value_count_(0), open_(true), iterating_(false) {}
  TExXMLTag(const TExXMLTag&) = delete;
  TExXMLTag& operator=(const TExXMLTag&) = delete;

  int Id() const { return id_; }
  std::string_view Name() const { return name_; }
  TExXMLTag* Parent() const { return parent_; }
  TExXMLTag* FirstChild() const { return first_; }
  TExXMLTag* NextSibling() const { return next_; }
  bool HasChildren() const { return first_ != nullptr; }

  // Attribute values. An id outside 0..198 throws "XML value id out of range".
  const TExXMLValue* Value(int attr) const {
    if (attr < 0 || attr >= XMLAttrCount) ValueIdOutOfRange();
    for (std::uint16_t i = 0; i < value_count_; ++i) {
      if (values_[i].Id == attr) return &values_[i];
      if (values_[i].Id > attr) break;
    }
    return nullptr;
  }
  bool HasValue(int attr) const { return Value(attr) != nullptr; }
  bool HasValues() const { return value_count_ != 0; }
  // All values, in id order.
  std::span<const TExXMLValue> Values() const { return {values_, value_count_}; }
  // Present: true exactly when the text is "1".
  bool Bool(int attr, bool def) const;
  // Present: the decimal (or "."-separated float) value, 0 when the text is not a number.
  std::int32_t Int(int attr, std::int32_t def) const;
  double Float(int attr, double def) const;
  std::string_view String(int attr, std::string_view def = {}) const;
  std::u16string DecodedString(int attr, std::u16string_view def = {}) const;
  // Absent: "Required value missing: " + attribute name.
  std::string_view RequiredString(int attr) const {
    const TExXMLValue* v = Value(attr);
    if (v == nullptr) RequiredMissing(attr);
    return v->Raw;
  }
  std::u16string RequiredDecodedString(int attr) const;
  std::int32_t RequiredInt(int attr) const;
  double RequiredFloat(int attr) const;
  // Position of the text in names (exact comparison); def when absent or not listed.
  int Enumerated(int attr, int def, std::initializer_list<std::string_view> names) const;
  // The hexadecimal digits of the text in order, other characters skipped; 0 when absent.
  std::uint32_t Hex(int attr) const;
  TXMLCellRef CellRef(int attr) const { return ParseXMLCellRef(RequiredString(attr)); }
  TXMLAreaRef AreaRef(int attr) const;

  // The text between the start tag and the next tag, raw and decoded.
  std::string_view RawText() const { return text_; }
  std::u16string DecodedText() const;
  bool TextBool() const { return text_ == "1"; }
  std::int32_t TextInt() const;
  double TextFloat() const {
    double value = 0;
    ParseXMLFloat(text_, value);
    return value;
  }

  // First child with that id, or none.
  TExXMLTag* Child(int tag) const {
    for (TExXMLTag* c = first_; c != nullptr; c = c->next_)
      if (c->id_ == tag) return c;
    return nullptr;
  }
  // Value of the first child with that id that has the attribute, or none.
  const TExXMLValue* ChildValue(int tag, int attr) const;
  // As ChildValue; absent throws "Tag value %s:%s missing".
  const TExXMLValue& RequiredChildValue(int tag, int attr) const;
  // No such child: false; a child: def, unless it has "val", then true exactly when "1".
  bool ChildFlag(int tag, bool def = true) const;

  // Child iteration: NextChild returns the children in order and throws
  // "Unexpected tag %d, %s" when expected is not -1 and a child has another id; after the
  // last child the iteration ends, expected becomes -1 and all children are freed.
  void IterateChildren(int expected);
  TExXMLTag* NextChild();
  // Frees all children (and their subtrees).
  void FreeChildren();

  // The element as XML text: name, filled attributes in id order, raw text, children.
  std::string Serialise() const;
  void SerialiseTo(std::string& out) const;
  // The marker kept for an element whose content is not stored: "<name />".
  static std::string Marker(int tag);

 private:
  friend class TExcelXMLReader;
  [[noreturn]] static void ValueIdOutOfRange();
  [[noreturn]] static void RequiredMissing(int attr);

  TExcelXMLReader* owner_ = nullptr;
  TExXMLTag* parent_ = nullptr;
  TExXMLTag* first_ = nullptr;
  TExXMLTag* last_ = nullptr;
  TExXMLTag* next_ = nullptr;
  TExXMLTag* iter_ = nullptr;
  const TExXMLValue* values_ = nullptr;  // sorted by id
  std::string_view name_;
  std::string_view text_;
  TXMLArena::TMark mark_;  // arena position after this element: where its subtree begins
  int id_ = xtUnknown;
  int expected_ = -1;
  std::uint16_t value_count_ = 0;
  bool open_ = false;  // start seen, end not yet: everything allocated after it is its subtree
  bool iterating_ = false;
};

// Keeps the element in the list as its serialised text with its tag id; a marker keeps only
// "<name />" for an element whose content the model holds elsewhere (cells, columns).
inline void SaveElement(TXLSSavedTags& tags, const TExXMLTag& tag) { tags.Add(tag.Serialise(), tag.Id()); }
inline void SaveMarker(TXLSSavedTags& tags, int tag_id) { tags.Add(TExXMLTag::Marker(tag_id), tag_id); }

}  // namespace gridport
