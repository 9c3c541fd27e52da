#include "openxml/xml_tag.h"

#include <cstdio>

#include "openxml/xml_excel_reader.h"
#include "openxml/xml_text.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

[[noreturn]] void NotAnInteger(std::string_view text) {
  throw EXLSError("'" + std::string(text) + "' is not a valid integer value");
}

}  // namespace

TXMLCellRef ParseXMLCellRefGeneral(std::string_view ref) {
  std::size_t digits = ref.size();
  while (digits > 0 && ref[digits - 1] >= '0' && ref[digits - 1] <= '9') --digits;
  std::string_view row_text = ref.substr(digits);
  // More than ten digits cannot be a row of any sheet; treat it like a non-number.
  if (row_text.empty() || row_text.size() > 10) NotAnInteger(row_text);
  std::int64_t row = 0;
  for (char c : row_text) row = row * 10 + (c - '0');
  if (row > INT32_MAX) NotAnInteger(row_text);
  std::size_t letters = digits;
  while (letters > 0 && ref[letters - 1] >= 'A' && ref[letters - 1] <= 'Z') --letters;
  std::int64_t col = 0;
  for (std::size_t i = letters; i < digits; ++i) {
    col = col * 26 + (ref[i] - 'A' + 1);
    if (col > INT32_MAX) col = INT32_MAX;  // far beyond any column limit; the model rejects it
  }
  return {static_cast<std::int32_t>(col - 1), static_cast<std::int32_t>(row - 1)};
}

TXMLAreaRef ParseXMLAreaRef(std::string_view ref) {
  std::size_t colon = ref.find(':');
  if (colon == std::string_view::npos) {
    TXMLCellRef cell = ParseXMLCellRef(ref);
    return {cell, cell};
  }
  return {ParseXMLCellRef(ref.substr(0, colon)), ParseXMLCellRef(ref.substr(colon + 1))};
}

void TExXMLTag::ValueIdOutOfRange() { throw EXLSError("XML value id out of range"); }

void TExXMLTag::RequiredMissing(int attr) {
  throw EXLSError("Required value missing: " + std::string(XMLAttrName(attr)));
}

bool TExXMLTag::Bool(int attr, bool def) const {
  const TExXMLValue* v = Value(attr);
  return v ? v->Raw == "1" : def;
}

std::int32_t TExXMLTag::Int(int attr, std::int32_t def) const {
  const TExXMLValue* v = Value(attr);
  if (v == nullptr) return def;
  std::int32_t value = 0;
  ParseXMLInt(v->Raw, value);
  return value;
}

double TExXMLTag::Float(int attr, double def) const {
  const TExXMLValue* v = Value(attr);
  if (v == nullptr) return def;
  double value = 0;
  ParseXMLFloat(v->Raw, value);
  return value;
}

std::string_view TExXMLTag::String(int attr, std::string_view def) const {
  const TExXMLValue* v = Value(attr);
  return v ? v->Raw : def;
}

std::u16string TExXMLTag::DecodedString(int attr, std::u16string_view def) const {
  const TExXMLValue* v = Value(attr);
  return v ? DecodeXMLText(v->Raw) : std::u16string(def);
}

std::u16string TExXMLTag::RequiredDecodedString(int attr) const {
  return DecodeXMLText(RequiredString(attr));
}

std::int32_t TExXMLTag::RequiredInt(int attr) const {
  return ParseXMLInt(RequiredString(attr)).value_or(0);
}

double TExXMLTag::RequiredFloat(int attr) const {
  return ParseXMLFloat(RequiredString(attr)).value_or(0.0);
}

int TExXMLTag::Enumerated(int attr, int def, std::initializer_list<std::string_view> names) const {
  const TExXMLValue* v = Value(attr);
  if (v == nullptr) return def;
  int i = 0;
  for (std::string_view name : names) {
    if (name == v->Raw) return i;
    ++i;
  }
  return def;
}

std::uint32_t TExXMLTag::Hex(int attr) const {
  std::uint32_t value = 0;
  for (char c : String(attr)) {
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : -1;
    if (d >= 0) value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return value;
}

TXMLAreaRef TExXMLTag::AreaRef(int attr) const { return ParseXMLAreaRef(RequiredString(attr)); }

std::u16string TExXMLTag::DecodedText() const { return DecodeXMLText(text_); }
std::int32_t TExXMLTag::TextInt() const {
  std::int32_t value = 0;
  ParseXMLInt(text_, value);
  return value;
}

const TExXMLValue* TExXMLTag::ChildValue(int tag, int attr) const {
  for (TExXMLTag* c = first_; c != nullptr; c = c->next_) {
    if (c->id_ != tag) continue;
    if (const TExXMLValue* v = c->Value(attr)) return v;
  }
  return nullptr;
}

const TExXMLValue& TExXMLTag::RequiredChildValue(int tag, int attr) const {
  const TExXMLValue* v = ChildValue(tag, attr);
  if (v == nullptr)
    throw EXLSError("Tag value " + std::string(XMLTagName(tag)) + ":" +
                    std::string(XMLAttrName(attr)) + " missing");
  return *v;
}

bool TExXMLTag::ChildFlag(int tag, bool def) const {
  TExXMLTag* c = Child(tag);
  if (c == nullptr) return false;
  const TExXMLValue* v = c->Value(xaVal);
  return v ? v->Raw == "1" : def;
}

void TExXMLTag::IterateChildren(int expected) {
  expected_ = expected;
  iter_ = first_;
  iterating_ = true;
}

TExXMLTag* TExXMLTag::NextChild() {
  if (!iterating_) return nullptr;
  TExXMLTag* c = iter_;
  if (c == nullptr) {
    iterating_ = false;
    expected_ = -1;
    FreeChildren();
    return nullptr;
  }
  if (expected_ != -1 && c->id_ != expected_)
    throw EXLSError("Unexpected tag " + std::to_string(c->id_) + ", " + std::string(c->name_));
  iter_ = c->next_;
  return c;
}

void TExXMLTag::FreeChildren() {
  if (owner_ != nullptr) {
    owner_->FreeChildren(this);
  } else {
    first_ = last_ = iter_ = nullptr;
  }
}

// Written without recursion: the walk goes down to the first child, across to the next
// sibling, and up through the parents, so deeply nested input cannot exhaust the stack.
void TExXMLTag::SerialiseTo(std::string& out) const {
  auto open = [&out](const TExXMLTag* t) {
    out += '<';
    out += t->name_;
    if (t->value_count_ != 0) {
      out += ' ';
      for (std::uint16_t i = 0; i < t->value_count_; ++i) {
        out += XMLAttrName(t->values_[i].Id);
        out += "=\"";
        out += t->values_[i].Raw;
        out += "\" ";
      }
    }
    if (t->text_.empty() && t->first_ == nullptr) {
      out += "/>\r";
    } else {
      out += '>';
      out += t->text_;
    }
  };
  auto close = [&out](const TExXMLTag* t) {
    if (t->text_.empty() && t->first_ == nullptr) return;
    out += "</";
    out += t->name_;
    out += ">\r";
  };
  const TExXMLTag* node = this;
  for (;;) {
    open(node);
    if (node->first_ != nullptr) {
      node = node->first_;
      continue;
    }
    for (;;) {
      close(node);
      if (node == this) return;
      if (node->next_ != nullptr) {
        node = node->next_;
        break;
      }
      node = node->parent_;
    }
  }
}

std::string TExXMLTag::Serialise() const {
  std::string out;
  SerialiseTo(out);
  return out;
}

std::string TExXMLTag::Marker(int tag) {
  // Built by appending: GCC 12 warns falsely (-Wrestrict) on the operator+ chain at -O2.
  std::string marker = "<";
  marker += XMLTagName(tag);
  marker += " />";
  return marker;
}

}  // namespace gridport
