// Elements of an Excel 2007 package that the reader keeps without interpreting them, each as
// its serialised XML text with its tag id, in the order the part gave them. The workbook holds
// one list for the workbook part and each sheet one for its worksheet part; both are emptied
// when the workbook is cleared or loaded.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace gridport {

class TXLSSavedTags {
 public:
  struct TEntry {
    std::string Text;
    int TagId = 0;
  };
  void Add(std::string text, int tag_id) { entries_.push_back({std::move(text), tag_id}); }
  std::size_t Count() const { return entries_.size(); }
  const TEntry& operator[](std::size_t i) const { return entries_[i]; }
  void Clear() { entries_.clear(); }

 private:
  std::vector<TEntry> entries_;
};

}  // namespace gridport
