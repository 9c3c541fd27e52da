#include "openxml/xml_excel_reader.h"

#include <string.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "openxml/xml_scan.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

inline bool IsLowByte(char c) { return static_cast<unsigned char>(c) <= 32; }

inline std::string_view TrimLowBytes(std::string_view s) {
  while (!s.empty() && IsLowByte(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsLowByte(s.back())) s.remove_suffix(1);
  return s;
}

// Whether p starts a cell's start tag ("<c " or "<c>").
inline bool IsCellStart(const char* p, const char* end) {
  return end - p >= 3 && p[0] == '<' && p[1] == 'c' && (p[2] == ' ' || p[2] == '>');
}

// Whether p starts a row's start tag ("<row " or "<row>").
inline bool IsRowStart(const char* p, const char* end) {
  return end - p >= 5 && p[0] == '<' && p[1] == 'r' && p[2] == 'o' && p[3] == 'w' && (p[4] == ' ' || p[4] == '>');
}

// The four bytes at p (which exist) as one number, to match short fixed tags in one compare.
inline std::uint32_t Bytes4(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
constexpr std::uint32_t Bytes4(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

// The next "<" at or after p, or end.
inline const char* NextTag(const char* p, const char* end) {
  if (p < end && *p != '<') {
    p = FindXMLByte(p, end, '<');
    if (p == nullptr) p = end;
  }
  return p;
}

}  // namespace

TExcelXMLReader::TExcelXMLReader() {
  tag_events_.fill(teBoth);
  root_.owner_ = this;
  root_.name_ = "PARENT";
  root_.open_ = true;
}

void TExcelXMLReader::ParsePart(std::string_view part_name, const char* data, std::size_t size) {
  SetSource(data, size);
  ParsePart(part_name);
}

// Frees the part's elements when a parse ends, normally or by an exception.
class TExcelXMLReader::TTreeClearer {
 public:
  explicit TTreeClearer(TExcelXMLReader& reader) : reader_(reader) {}
  ~TTreeClearer() { reader_.ClearTree(); }
  TTreeClearer(const TTreeClearer&) = delete;
  TTreeClearer& operator=(const TTreeClearer&) = delete;

 private:
  TExcelXMLReader& reader_;
};

void TExcelXMLReader::ParsePart(std::string_view part_name) {
  part_name_.assign(part_name);
  TTreeClearer clearer(*this);
  for (;;) {
    if (direct_scan_ && ReadTagDirect()) continue;
    if (!ReadNext()) break;
  }
}

void TExcelXMLReader::ParsePart(std::string_view part_name, TXMLPartFeed& feed) {
  const char* const data = feed.Data();
  const std::size_t size = feed.Size();
  SetSource(data, 0);
  part_name_.assign(part_name);
  std::size_t ready = 0;
  TTreeClearer clearer(*this);
  for (;;) {
    // A token read in full before the end is read as over the whole part: the scans look at
    // no byte past the token and the text after it, which ends at the "<" at the end. One
    // that reaches the end answers false; the state it started from is restored.
    const char* const start = cur_;
    const int depth = depth_;
    const int kind = kind_;
    if (direct_scan_ && ReadTagDirect()) continue;
    if (ReadNext()) continue;
    if (end_ == data + size) break;
    cur_ = start;
    depth_ = depth;
    kind_ = kind;
    // Move the end to just before the last "<" of the ready bytes (none lies between the
    // end and the bytes ready before, so only the new ones are searched), or to the part's
    // end once all are ready. It must move on at least as far again as this attempt
    // reached, so that a long token (a large comment) is scanned a bounded number of times.
    const std::size_t from = static_cast<std::size_t>(start - data);
    std::size_t end = static_cast<std::size_t>(end_ - data);
    const std::size_t target = end + std::max<std::size_t>(end - from, 1);
    while (end < target && end < size) {
      const std::size_t searched = ready;
      ready = feed.WaitReady(std::min(size, std::max(ready, target) + 1));
      if (ready >= size) {
        end = size;
      } else if (const void* lt = memrchr(data + searched, '<', ready - searched)) {
        end = static_cast<std::size_t>(static_cast<const char*>(lt) - data);
      }
    }
    end_ = data + end;
  }
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


void TExcelXMLReader::TagAttribute(std::string_view name, std::string_view value) {
  if (!CollectValue(name, value)) DuplicateValue(name);
}

// The values are kept in id order as they come: a tag has a handful of attributes, mostly
// written in that order already, and a repeated id shows up where it would be inserted. At
// most one value per id is kept, so the array never holds more than XMLAttrCount.
inline bool TExcelXMLReader::CollectValue(std::string_view name, std::string_view value) {
  const int id = XMLAttrIdOf(name);
  return id < 0 || CollectValue(id, value);
}

inline bool TExcelXMLReader::CollectValue(int id, std::string_view value) {
  const int count = collected_count_;
  if (count == 0 || collected_[static_cast<std::size_t>(count - 1)].Id < id) {
    collected_[static_cast<std::size_t>(count)] = {id, value};
    collected_count_ = count + 1;
    return true;
  }
  int i = count;
  while (i > 0 && collected_[static_cast<std::size_t>(i - 1)].Id > id) --i;
  if (i > 0 && collected_[static_cast<std::size_t>(i - 1)].Id == id) return false;
  for (int j = collected_count_; j > i; --j)
    collected_[static_cast<std::size_t>(j)] = collected_[static_cast<std::size_t>(j - 1)];
  collected_[static_cast<std::size_t>(i)] = {id, value};
  ++collected_count_;
  return true;
}

void TExcelXMLReader::DuplicateValue(std::string_view name) const {
  throw EXLSError("Duplicate tag value: " + std::string(name) + "; Doc=" + part_name_ +
                  "; Tag=" + std::string(LastName()));
}

char* TExcelXMLReader::TagScratch(std::size_t size) {
  return static_cast<char*>(arena_.Allocate(size == 0 ? 1 : size));
}

void TExcelXMLReader::OpenElement(std::string_view name, std::string_view text) {
  OpenElement(XMLTagIdOf(name), name, text);
}

inline void TExcelXMLReader::OpenElement(int id, std::string_view name, std::string_view text) {
  auto* tag = new (arena_.Allocate(sizeof(TExXMLTag))) TExXMLTag(this, current_, id, name, text);
  if (current_->last_ != nullptr) {
    current_->last_->next_ = tag;
  } else {
    current_->first_ = tag;
  }
  current_->last_ = tag;
  const int count = collected_count_;
  if (count > 0) {
    if (id != xtUnknown) {
      auto* values = static_cast<TExXMLValue*>(arena_.Allocate(sizeof(TExXMLValue) * static_cast<std::size_t>(count)));
      for (int i = 0; i < count; ++i) values[i] = collected_[static_cast<std::size_t>(i)];
      tag->values_ = values;
      tag->value_count_ = static_cast<std::uint16_t>(count);
    }
    ClearCollector();
  }
  tag->mark_ = arena_.Mark();
  current_ = tag;
  if (ReportsBegun(id)) TagBegun(id);
}

inline void TExcelXMLReader::CloseElement() {
  if (collected_count_ != 0) ClearCollector();  // attributes written in an end tag belong to no element
  if (current_ == &root_) throw EXLSError("XML level < 0");
  TExXMLTag* ended = current_;
  const bool free_siblings = ReportsEnded(ended->id_) && TagEnded(ended->id_);
  ended->open_ = false;
  current_ = ended->parent_;
  if (free_siblings) FreeChildren(current_);
}

void TExcelXMLReader::TagStart(std::string_view name, std::string_view text, bool) {
  OpenElement(name, text);
}

void TExcelXMLReader::TagEnd(std::string_view, bool) { CloseElement(); }

// The tags of a package part are almost all of one shape: name, attributes written as
// name="value" with single spaces, then ">" or "/>"; end tags are "</name>". Such a tag is
// scanned once and its element built at once, with the same result the general rules give.
bool TExcelXMLReader::ReadTagDirect() {
  const char* p = cur_;
  if (end_ - p < 3 || *p != '<') return false;
  if (p[1] == '/') return ReadEndTagDirect(p + 2);
  if (p[1] == '?' || p[1] == '!') return false;
  if (IsCellStart(p, end_)) {
    if (!ReadCellStartDirect(p)) return ReadStartTagDirect(p + 1);
    // The cells of a row follow one another: read on while the next tag is one.
    while (IsCellStart(cur_, end_) && ReadCellStartDirect(cur_)) {
    }
    return true;
  }
  if (IsRowStart(p, end_) && ReadRowStartDirect(p)) return true;
  return ReadStartTagDirect(p + 1);
}

bool TExcelXMLReader::ReadStartTagDirect(const char* p) {
  const char* const end = end_;
  const char* const name_start = p;
  p = ScanXMLShortName(p, end);
  if (p == name_start) return false;
  const std::string_view name(name_start, static_cast<std::size_t>(p - name_start));
  bool empty = false;
  bool preserve = preserve_space_;
  // A repeated value fails only once the tag is known to be complete: a part that ends inside
  // the tag ends the parse without a message, as under the general rules.
  std::string_view duplicate;
  for (;;) {
    unsigned char cls = p < end ? XMLByteClass(*p) : static_cast<unsigned char>(kcOther);
    if (cls == kcGt) break;
    if (cls == kcSlash && p + 1 < end && p[1] == '>') {
      empty = true;
      ++p;
      break;
    }
    if (cls != kcSpace) break;
    do ++p;
    while (p < end && XMLByteClass(*p) == kcSpace);
    if (p < end && (XMLByteClass(*p) == kcGt || XMLByteClass(*p) == kcSlash)) continue;
    const char* const attr = p;
    p = ScanXMLShortName(p, end);
    if (p == attr || end - p < 2 || p[0] != '=' || p[1] != '"') break;
    const char* const value = p + 2;
    const char* const quote = FindXMLByte(value, end, '"');
    if (quote == nullptr) break;
    const std::string_view attr_name(attr, static_cast<std::size_t>(p - attr));
    const std::string_view attr_value(value, static_cast<std::size_t>(quote - value));
    preserve = attr_name.size() == 9 && attr_name == "xml:space" && attr_value == "preserve";
    if (!CollectValue(attr_name, attr_value) && duplicate.empty()) duplicate = attr_name;
    p = quote + 1;
  }
  if (p >= end || (*p != '>')) {
    // Not of the common shape: the general scan reads the tag from its start.
    ClearCollector();
    return false;
  }
  name_ = name;  // the duplicate-value message names the tag being read
  if (!duplicate.empty()) DuplicateValue(duplicate);
  preserve_space_ = preserve;
  OpenStartTag(XMLTagIdOf(name), name, p + 1, empty);
  return true;
}

// A cell's start tag whose attributes all have one-letter names (r, s, t), each after a single
// space: <c r="B2" s="3" t="s">. They are matched byte for byte, without scanning names; any
// other shape, and a repeated attribute, is left to the general reading of the tag (p is at "<").
bool TExcelXMLReader::ReadCellStartDirect(const char* p) {
  const char* const end = end_;
  const char* const name = p + 1;
  const auto& letters = kXMLOneLetterIds.Attr;
  bool read_any = false;
  p += 2;
  while (p < end && *p == ' ') {
    if (end - p < 4 || (Bytes4(p) & 0xFFFF0000) != Bytes4(0, 0, '=', '"') || XMLByteClass(p[1]) != kcName) break;
    const char* const value = p + 4;
    const char* const quote = FindXMLByte(value, end, '"');
    if (quote == nullptr) break;
    const int id = letters[static_cast<unsigned char>(p[1])];
    if (id >= 0 && !CollectValue(id, std::string_view(value, static_cast<std::size_t>(quote - value)))) break;
    read_any = true;
    p = quote + 1;
  }
  bool empty = false;
  if (end - p >= 2 && p[0] == '/' && p[1] == '>') {
    empty = true;
    ++p;
  } else if (p >= end || *p != '>') {
    ClearCollector();
    return false;
  }
  // Every value read resets the preserve-space flag; none of them is xml:space.
  if (read_any) preserve_space_ = false;
  name_ = std::string_view(name, 1);
  OpenStartTag(xtC, name_, p + 1, empty);
  return true;
}

// A row's start tag, <row r="2" spans="1:3" ht="15">, whose attributes each follow a single
// space and are written name="value": the name is known, and so is the end of each attribute
// name. xml:space, a repeated attribute and any other shape are left to the general reading of
// the tag (p is at "<").
bool TExcelXMLReader::ReadRowStartDirect(const char* p) {
  const char* const end = end_;
  const char* const name = p + 1;
  bool read_any = false;
  p += 4;
  while (p < end && *p == ' ') {
    const char* const attr = p + 1;
    const char* const attr_end = ScanXMLShortName(attr, end);
    if (attr_end == attr || end - attr_end < 2 || attr_end[0] != '=' || attr_end[1] != '"') break;
    const std::string_view attr_name(attr, static_cast<std::size_t>(attr_end - attr));
    if (attr_name == "xml:space") break;
    const char* const value = attr_end + 2;
    const char* const quote = FindXMLByte(value, end, '"');
    if (quote == nullptr) break;
    const int id = XMLAttrIdOf(attr_name);
    if (id >= 0 && !CollectValue(id, std::string_view(value, static_cast<std::size_t>(quote - value)))) break;
    read_any = true;
    p = quote + 1;
  }
  bool empty = false;
  if (end - p >= 2 && p[0] == '/' && p[1] == '>') {
    empty = true;
    ++p;
  } else if (p >= end || *p != '>') {
    ClearCollector();
    return false;
  }
  // Every value read resets the preserve-space flag; none of them is xml:space.
  if (read_any) preserve_space_ = false;
  name_ = std::string_view(name, 3);
  OpenStartTag(xtRow, name_, p + 1, empty);
  return true;
}

// The rest of a start tag read directly: its text up to the next "<" (trimmed as the general
// rules trim it), the reader's state, and its element; a cell goes on to its value.
void TExcelXMLReader::OpenStartTag(int id, std::string_view name, const char* text_start, bool empty) {
  const char* const lt = NextTag(text_start, end_);
  std::string_view text(text_start, static_cast<std::size_t>(lt - text_start));
  if (!text.empty() && (IsLowByte(text.front()) || IsLowByte(text.back())) && !preserve_space_ &&
      !KeepsTextSpace(name))
    text = TrimLowBytes(text);
  cur_ = lt;
  text_ = text;
  if (empty) {
    kind_ = tkEmptyTag;
  } else {
    kind_ = tkStartTag;
    ++depth_;
  }
  OpenElement(id, name, text);
  if (empty) {
    CloseElement();
  } else if (id == xtC) {
    ReadCellValueDirect();
  }
}

// Most cells hold just a value, <c ...><v>text</v></c>: after the cell's start tag those three
// tags are matched byte for byte and read at once, with the callbacks, state and tree that
// reading them one by one gives. Anything else is left to the tag-by-tag reading.
void TExcelXMLReader::ReadCellValueDirect() {
  const char* p = cur_;
  const char* const end = end_;
  if (end - p < 7 || (Bytes4(p) & 0xFFFFFF) != Bytes4('<', 'v', '>', 0)) return;
  const char* const text_start = p + 3;
  const char* const lt = FindXMLByte(text_start, end, '<');
  if (lt == nullptr || end - lt < 4 || Bytes4(lt) != Bytes4('<', '/', 'v', '>')) return;
  std::string_view text(text_start, static_cast<std::size_t>(lt - text_start));
  if (!text.empty() && (IsLowByte(text.front()) || IsLowByte(text.back())) && !preserve_space_ &&
      !KeepsTextSpace(std::string_view(p + 1, 1)))
    text = TrimLowBytes(text);
  name_ = std::string_view(p + 1, 1);
  text_ = text;
  kind_ = tkStartTag;
  ++depth_;
  cur_ = lt;
  OpenElement(xtV, name_, text);
  name_ = std::string_view(lt + 2, 1);
  text_ = {};
  kind_ = tkEndTag;
  --depth_;
  p = NextTag(lt + 4, end);
  cur_ = p;
  CloseElement();
  // The cell's end tag.
  if (end - p < 4 || Bytes4(p) != Bytes4('<', '/', 'c', '>') || depth_ <= 0) return;
  name_ = std::string_view(p + 2, 1);
  --depth_;
  cur_ = NextTag(p + 4, end);
  CloseElement();
}

bool TExcelXMLReader::ReadEndTagDirect(const char* p) {
  if (depth_ <= 0) return false;  // the general scan fails with its message
  const char* const end = end_;
  const char* const name_start = p;
  // Every row of a sheet ends with </row>.
  p = end - p >= 4 && Bytes4(p) == Bytes4('r', 'o', 'w', '>') ? p + 3 : ScanXMLName(p, end);
  if (p == name_start || p >= end || *p != '>') return false;
  name_ = std::string_view(name_start, static_cast<std::size_t>(p - name_start));
  text_ = {};
  kind_ = tkEndTag;
  --depth_;
  cur_ = NextTag(p + 1, end);
  CloseElement();
  return true;
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
