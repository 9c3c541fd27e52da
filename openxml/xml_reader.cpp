#include "openxml/xml_reader.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "openxml/xml_scan.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

inline bool IsQuote(char c) { return c == '"' || c == '\''; }

// Bytes that matter while a tag is scanned: the double quote, ">" and "/".
constexpr std::array<bool, 256> kTagStops = [] {
  std::array<bool, 256> t{};
  t['"'] = t['>'] = t['/'] = true;
  return t;
}();

const char* Find(const char* from, const char* end, char c) { return FindXMLByte(from, end, c); }

const char* FindSeq(const char* from, const char* end, std::string_view seq) {
  while (const char* p = Find(from, end, seq[0])) {
    if (static_cast<std::size_t>(end - p) < seq.size()) return nullptr;
    if (std::memcmp(p, seq.data(), seq.size()) == 0) return p;
    from = p + 1;
  }
  return nullptr;
}

}  // namespace

void TXMLReader::Reset() {
  values_.clear();
  preserve_space_ = false;
}

void TXMLReader::TagStart(std::string_view, std::string_view, bool) {}
bool TXMLReader::KeepsTextSpace(std::string_view) const { return false; }
void TXMLReader::TagEnd(std::string_view, bool) {}

void TXMLReader::TagAttribute(std::string_view name, std::string_view value) {
  std::string line;
  line.reserve(name.size() + value.size() + 1);
  line.append(name).append(1, '=').append(value);
  values_.push_back(std::move(line));
}

char* TXMLReader::TagScratch(std::size_t size) {
  scratch_.resize(size);
  return scratch_.data();
}

// Comments, processing instructions, CDATA sections and document type declarations carry
// nothing the package reader uses; they are stepped over whole so that they neither open an
// element that is never closed nor end early at a ">" inside them. p points after "<".
bool TXMLReader::SkipMarkup(const char* p) {
  std::string_view close = ">";
  std::size_t avail = static_cast<std::size_t>(end_ - p);
  if (*p == '?') {
    close = "?>";
  } else if (avail >= 3 && std::memcmp(p, "!--", 3) == 0) {
    close = "-->";
    p += 3;
  } else if (avail >= 8 && std::memcmp(p, "![CDATA[", 8) == 0) {
    close = "]]>";
    p += 8;
  }
  const char* q = FindSeq(p, end_, close);
  if (q == nullptr) {
    cur_ = end_;
    return false;
  }
  kind_ = tkDeclaration;
  cur_ = q + close.size();
  return true;
}

bool TXMLReader::ReadNext() {
  kind_ = tkNone;
  const char* p = cur_;
  if (p >= end_ || *p != '<') p = Find(p, end_, '<');
  if (p == nullptr || ++p >= end_) {
    cur_ = end_;
    return false;
  }
  if (*p == '?' || *p == '!') return SkipMarkup(p);
  if (*p == '/') {
    kind_ = tkEndTag;
    if (--depth_ < 0) throw EXLSError("XML level < 0");
    ++p;
  }
  return ReadTagFast(p) || ReadTag(p);
}

// The common shape of a tag, name (space name="value")* [/]>, scanned in one pass with the
// same result the general rules give; anything else (a quote out of place, an unquoted value,
// a slash inside the tag, control bytes) answers false and the general scan reads the tag.
bool TXMLReader::ReadTagFast(const char* p) {
  constexpr int kMaxAttributes = 24;
  struct TPair {  // trivial on purpose: the array is not cleared for every tag
    const char* name;
    const char* value;
    std::uint32_t name_size;
    std::uint32_t value_size;
  };
  TPair pairs[kMaxAttributes];
  int count = 0;
  const char* const end = end_;
  const char* name_start = p;
  while (p < end && XMLByteClass(*p) == kcName) ++p;
  if (p == name_start) return false;
  std::string_view name(name_start, static_cast<std::size_t>(p - name_start));
  bool empty = false;
  for (;;) {
    if (p >= end) return false;
    unsigned char cls = XMLByteClass(*p);
    if (cls == kcGt) break;
    if (cls == kcSlash) {
      if (p + 1 >= end || p[1] != '>') return false;
      empty = true;
      ++p;
      break;
    }
    if (cls != kcSpace) return false;
    while (p < end && XMLByteClass(*p) == kcSpace) ++p;
    if (p >= end) return false;
    cls = XMLByteClass(*p);
    if (cls == kcGt || cls == kcSlash) continue;
    const char* attr = p;
    while (p < end && XMLByteClass(*p) == kcName) ++p;
    if (p == attr || p + 1 >= end || p[0] != '=' || p[1] != '"' || count == kMaxAttributes)
      return false;
    const char* value = p + 2;
    const char* quote = Find(value, end, '"');
    if (quote == nullptr) return false;
    pairs[count++] = {attr, value, static_cast<std::uint32_t>(p - attr),
                      static_cast<std::uint32_t>(quote - value)};
    p = quote + 1;
  }
  cur_ = p + 1;
  if (empty) {
    kind_ = tkEmptyTag;
  } else if (kind_ == tkNone) {
    kind_ = tkStartTag;
    ++depth_;
  }
  name_ = name;
  values_.clear();
  for (int i = 0; i < count; ++i) {
    std::string_view attr_name(pairs[i].name, pairs[i].name_size);
    std::string_view attr_value(pairs[i].value, pairs[i].value_size);
    preserve_space_ = attr_name == "xml:space" && attr_value == "preserve";
    TagAttribute(attr_name, attr_value);
  }
  ReportTag();
  return true;
}

// The general scan: the tag runs to a ">" outside double quotes; slashes outside quotes are
// not part of it, and one right before ">" makes it an empty-element tag.
bool TXMLReader::ReadTag(const char* p) {
  const char* start = p;
  bool quoted = false;
  int slashes = 0;
  for (;;) {
    while (p < end_ && !kTagStops[static_cast<unsigned char>(*p)]) ++p;
    if (p == end_) {
      cur_ = end_;
      return false;
    }
    char c = *p;
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      if (c == '>') break;
      ++slashes;
    }
    ++p;
  }
  const char* gt = p;
  bool last_slash = gt > start && gt[-1] == '/';
  std::string_view content;
  if (slashes == 0) {
    content = std::string_view(start, static_cast<std::size_t>(gt - start));
  } else if (slashes == 1 && last_slash) {
    content = std::string_view(start, static_cast<std::size_t>(gt - 1 - start));
  } else {
    char* out = TagScratch(static_cast<std::size_t>(gt - start));
    std::size_t n = 0;
    bool q = false;
    for (const char* s = start; s < gt; ++s) {
      if (*s == '"') q = !q;
      if (*s == '/' && !q) continue;
      out[n++] = *s;
    }
    content = std::string_view(out, n);
  }
  cur_ = gt + 1;
  if (content.substr(0, 4) == "?xml") {
    kind_ = tkDeclaration;
    return true;
  }
  if (last_slash) {
    kind_ = tkEmptyTag;
  } else if (kind_ == tkNone) {
    kind_ = tkStartTag;
    ++depth_;
  }
  std::size_t space = 0;
  while (space < content.size() && !IsSpace(content[space])) ++space;
  name_ = Trim(content.substr(0, space));
  values_.clear();
  if (space < content.size()) ReportAttributes(Trim(content.substr(space + 1)));
  ReportTag();
  return true;
}

// Reads the text after the tag (up to the next "<", which stays unread) and calls back.
void TXMLReader::ReportTag() {
  const char* text_start = cur_;
  const char* lt = cur_;
  if (lt < end_ && *lt != '<') {
    lt = Find(lt, end_, '<');
    if (lt == nullptr) lt = end_;
  }
  cur_ = lt;
  if (kind_ == tkEndTag) {
    text_ = {};
    TagEnd(name_, false);
    return;
  }
  std::string_view text(text_start, static_cast<std::size_t>(lt - text_start));
  bool spaced = !text.empty() && (static_cast<unsigned char>(text.front()) <= 32 ||
                                  static_cast<unsigned char>(text.back()) <= 32);
  text_ = !spaced || preserve_space_ || KeepsTextSpace(name_) ? text : Trim(text);
  TagStart(name_, text_, kind_ == tkEmptyTag);
  if (kind_ == tkEmptyTag) TagEnd(name_, true);
}

// Cuts the attribute text at spaces outside double quotes; each piece is name=value, with one
// leading and one trailing quote (double or single) taken off the value.
void TXMLReader::ReportAttributes(std::string_view rest) {
  while (!rest.empty()) {
    std::size_t i = 0;
    bool quoted = false;
    for (; i < rest.size(); ++i) {
      char c = rest[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && IsSpace(c)) {
        break;
      }
    }
    std::string_view piece = rest.substr(0, i);
    rest = i < rest.size() ? rest.substr(i + 1) : std::string_view();
    std::size_t eq = piece.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view name = Trim(piece.substr(0, eq));
    std::string_view value = Trim(piece.substr(eq + 1));
    if (value.empty()) continue;
    if (IsQuote(value.front())) value.remove_prefix(1);
    if (!value.empty() && IsQuote(value.back())) value.remove_suffix(1);
    preserve_space_ = name == "xml:space" && value == "preserve";
    TagAttribute(name, value);
  }
}

}  // namespace gridport
