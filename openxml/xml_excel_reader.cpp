#include "openxml/xml_excel_reader.h"

#include <algorithm>
#include <new>

#include "workbook/xls_error.h"

namespace gridport {

TExcelXMLReader::TExcelXMLReader() {
  root_.owner_ = this;
  root_.name_ = "PARENT";
  root_.open_ = true;
}

void TExcelXMLReader::ParsePart(std::string_view part_name, const char* data, std::size_t size) {
  SetSource(data, size);
  ParsePart(part_name);
}

void TExcelXMLReader::ParsePart(std::string_view part_name) {
  part_name_.assign(part_name);
  try {
    while (ReadNext()) {
    }
  } catch (...) {
    ClearTree();
    throw;
  }
  ClearTree();
}

// Elements point into the part's buffer, so none may outlive the parse; the next part starts
// again at the root and depth 0, even after a part with unclosed elements.
void TExcelXMLReader::ClearTree() {
  root_.first_ = root_.last_ = root_.iter_ = nullptr;
  root_.iterating_ = false;
  root_.expected_ = -1;
  current_ = &root_;
  arena_.Clear();
  ClearCollector();
  ResetDepth();
}

void TExcelXMLReader::ClearCollector() {
  for (int i = 0; i < collected_count_; ++i) slot_[static_cast<std::size_t>(collected_[static_cast<std::size_t>(i)].Id)] = 0;
  collected_count_ = 0;
}

void TExcelXMLReader::TagAttribute(std::string_view name, std::string_view value) {
  int id = XMLAttrIdOf(name);
  if (id < 0) return;
  std::uint8_t& slot = slot_[static_cast<std::size_t>(id)];
  if (slot != 0)
    throw EXLSError("Duplicate tag value: " + std::string(name) + "; Doc=" + part_name_ +
                    "; Tag=" + std::string(LastName()));
  collected_[static_cast<std::size_t>(collected_count_)] = {id, value};
  slot = static_cast<std::uint8_t>(++collected_count_);
}

char* TExcelXMLReader::TagScratch(std::size_t size) {
  return static_cast<char*>(arena_.Allocate(size == 0 ? 1 : size));
}

void TExcelXMLReader::TagStart(std::string_view name, std::string_view text, bool) {
  int id = XMLTagIdOf(name);
  auto* tag = new (arena_.Allocate(sizeof(TExXMLTag))) TExXMLTag(this, current_, id, name, text);
  if (current_->last_ != nullptr) {
    current_->last_->next_ = tag;
  } else {
    current_->first_ = tag;
  }
  current_->last_ = tag;
  if (id != xtUnknown && collected_count_ > 0) {
    auto* values = static_cast<TExXMLValue*>(
        arena_.Allocate(sizeof(TExXMLValue) * static_cast<std::size_t>(collected_count_)));
    // Insertion sort by id: a tag has a handful of attributes, often already in id order.
    for (int i = 0; i < collected_count_; ++i) {
      TExXMLValue v = collected_[static_cast<std::size_t>(i)];
      int j = i;
      for (; j > 0 && values[j - 1].Id > v.Id; --j) values[j] = values[j - 1];
      values[j] = v;
    }
    tag->values_ = values;
    tag->value_count_ = static_cast<std::uint16_t>(collected_count_);
  }
  ClearCollector();
  tag->mark_ = arena_.Mark();
  current_ = tag;
  if (id != xtUnknown) TagBegun(id);
}

void TExcelXMLReader::TagEnd(std::string_view, bool) {
  ClearCollector();  // attributes written in an end tag belong to no element
  if (current_ == &root_) throw EXLSError("XML level < 0");
  TExXMLTag* ended = current_;
  bool free_siblings = TagEnded(ended->id_);
  ended->open_ = false;
  current_ = ended->parent_;
  if (free_siblings) FreeChildren(current_);
}

void TExcelXMLReader::FreeChildren(TExXMLTag* parent) {
  parent->first_ = parent->last_ = parent->iter_ = nullptr;
  // An open element's subtree is everything allocated after it, so its memory can be reused.
  // A closed one may have later siblings above it in the arena; its children are only unlinked
  // and their memory returns when an open ancestor frees its children.
  if (parent->open_) {
    if (parent == &root_) {
      arena_.Clear();
    } else {
      arena_.Release(parent->mark_);
    }
  }
}

}  // namespace gridport
