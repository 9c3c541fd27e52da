// The tree-building reader of package parts: turns the tokenizer's callbacks into TExXMLTag
// elements with tag and attribute ids and hands each element to TagBegun/TagEnded. Derived
// readers consume elements in TagEnded; answering true frees the siblings, which keeps the
// tree of a sheet to one row.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "openxml/xml_arena.h"
#include "openxml/xml_digits.h"
#include "openxml/xml_part_feed.h"
#include "openxml/xml_reader.h"
#include "openxml/xml_tag.h"

namespace gridport {

class TExcelXMLReader : public TXMLStreamReader {
 public:
  // The callbacks an element gets (SetTagEvents).
  enum TTagEvents : std::uint8_t { teNone = 0, teBegun = 1, teEnded = 2, teBoth = 3 };

  TExcelXMLReader();
  ~TExcelXMLReader() override = default;

  // Parses the source set with SetSource to its end. The part's elements are freed when the
  // parse ends (normally or by an exception), since they point into the source buffer.
  void ParsePart(std::string_view part_name);
  // Sets the source and parses it.
  void ParsePart(std::string_view part_name, const char* data, std::size_t size);
  // Parses a part while its bytes become ready, with exactly the callbacks and tree that
  // parsing the whole part gives. The reader's end stays just before the last "<" of the ready
  // bytes, so every tag and text before it is complete; a token that is not complete there (a
  // comment, CDATA or quoted value holding that "<", or a tag cut by the end) is read again
  // from its start once the end has moved on. The feed's error is raised when the parse needs
  // bytes the producer did not deliver.
  void ParsePart(std::string_view part_name, TXMLPartFeed& feed);

  // The element whose start was reported last and whose end has not been reported yet.
  TExXMLTag* CurrentElement() const { return current_; }
  TExXMLTag& Root() { return root_; }
  const std::string& PartName() const { return part_name_; }

  // Whether tags of the common shape are read by the direct scan into the tree (the default)
  // or every tag by the general rules; both give the same tree. Off only for comparisons.
  void SetDirectScan(bool on) { direct_scan_ = on; }

 protected:
  // Called after a known element and its attributes were added to the tree.
  virtual void TagBegun(int tag_id) = 0;
  // Called when an element (known or not) ends, while it is still the current element; true
  // frees all children of its parent, the ended element included.
  virtual bool TagEnded(int tag_id) = 0;

  // ParseXMLCellRef and ParseXMLFloat for the texts and values of the part's elements, with
  // the same results: where the part holds the bytes after a text that a word-wise read takes
  // (everywhere but at its very end), the digits are read eight at a time.
  TXMLCellRef CellRefOf(std::string_view ref) const {
    return HoldsWordRead(ref.data()) ? ParseXMLCellRefWord(ref) : ParseXMLCellRef(ref);
  }
  bool FloatOf(std::string_view text, double& value) const {
    return HoldsWordRead(text.data()) ? ParseXMLFloatWord(text, value) : ParseXMLFloat(text, value);
  }
  // TExXMLTag::TextFloat read so.
  double TextFloatOf(const TExXMLTag& tag) const {
    double value = 0;
    FloatOf(tag.RawText(), value);
    return value;
  }

  // Which callbacks the elements of an id get; every id, xtUnknown included, starts with both.
  // A reader that acts on a few ids turns the others off: a sheet has millions of elements,
  // and an end not reported keeps the siblings, as TagEnded answering false does. TagBegun
  // never comes for xtUnknown.
  void SetTagEvents(int tag_id, TTagEvents events) {
    if (tag_id >= 0 && tag_id <= xtUnknown) tag_events_[static_cast<std::size_t>(tag_id)] = events;
  }
  void SetAllTagEvents(TTagEvents events) { tag_events_.fill(events); }

  void TagStart(std::string_view name, std::string_view text, bool empty) final;
  void TagEnd(std::string_view name, bool empty) final;
  void TagAttribute(std::string_view name, std::string_view value) final;
  char* TagScratch(std::size_t size) final;

 private:
  friend class TExXMLTag;
  class TTreeClearer;
  // Reads one tag of the common shape and the text after it straight into the tree; false,
  // with nothing changed, for any other tag.
  bool ReadTagDirect();
  bool ReadStartTagDirect(const char* p);
  bool ReadEndTagDirect(const char* p);
  bool ReadCellStartDirect(const char* p);
  bool ReadRowStartDirect(const char* p);
  void OpenStartTag(int id, std::string_view name, const char* text_start, bool empty);
  void ReadCellValueDirect();
  // Files a value by its attribute id (names outside the table are dropped); false, filing
  // nothing, when the tag already has a value with that id.
  bool CollectValue(std::string_view name, std::string_view value);
  bool CollectValue(int id, std::string_view value);
  [[noreturn]] void DuplicateValue(std::string_view name) const;
  void OpenElement(std::string_view name, std::string_view text);
  void OpenElement(int id, std::string_view name, std::string_view text);
  void CloseElement();
  void FreeChildren(TExXMLTag* parent);
  void ClearTree();
  void ClearCollector() { collected_count_ = 0; }

  // Whether kXMLWordReadSize bytes from p lie in the part (a value copied to scratch memory
  // does not).
  bool HoldsWordRead(const char* p) const {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    return at >= reinterpret_cast<std::uintptr_t>(begin_) &&
           at + kXMLWordReadSize <= reinterpret_cast<std::uintptr_t>(end_);
  }
  // An element's id is a known one or xtUnknown: it indexes the table without a check.
  bool ReportsBegun(int tag_id) const {
    return tag_id != xtUnknown && (tag_events_[static_cast<std::size_t>(tag_id)] & teBegun) != 0;
  }
  bool ReportsEnded(int tag_id) const { return (tag_events_[static_cast<std::size_t>(tag_id)] & teEnded) != 0; }

  TXMLArena arena_;
  std::array<std::uint8_t, xtUnknown + 1> tag_events_;
  TExXMLTag root_;
  TExXMLTag* current_ = &root_;
  std::string part_name_;
  // Attribute values of the tag being read, in id order.
  std::array<TExXMLValue, XMLAttrCount> collected_{};
  int collected_count_ = 0;
  bool direct_scan_ = true;
};

}  // namespace gridport
