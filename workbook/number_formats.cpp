#include "workbook/number_formats.h"

#include <algorithm>

#include "workbook/xls_error.h"

namespace gridport {

namespace {

struct TBuiltIn {
  std::int32_t Id;
  const char16_t* Text;
};

constexpr TBuiltIn kBuiltInTexts[] = {
    {1, u"0"},
    {2, u"0.00"},
    {3, u"#,##0"},
    {4, u"#,##0.00"},
    {5, u"_($#,##0_);($#,##0)"},
    {6, u"_($#,##0_);[Red]($#,##0)"},
    {7, u"_($#,##0.00_);($#,##0.00)"},
    {8, u"_($#,##0.00_);[Red]($#,##0.00)"},
    {9, u"0%"},
    {10, u"0.00%"},
    {11, u"0.00E+00"},
    {12, u"# ?/?"},
    {13, u"# ?\?/?\?"},
    {14, u"m/d/yy"},
    {15, u"d-mmm-y"},
    {16, u"d-mmm"},
    {17, u"mmmm-yy"},
    {18, u"h:mm AM/PM"},
    {19, u"h:mm:ss AM/PM"},
    {20, u"h:mm"},
    {21, u"h:mm:SS"},
    {22, u"m/d/yy h:mm"},
    {37, u"_(#,##0_);(#,##0)"},
    {38, u"_(#,##0_);[Red](#,##0)"},
    {39, u"_(#,##0.00_);(#,##0.00)"},
    {40, u"_(#,##0.00_);[Red](#,##0.00)"},
    {41, u"_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)"},
    {42, u"_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)"},
    {43, u"_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"?\?_);_(@_)"},
    {44, u"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"?\?_);_(@_)"},
    {45, u"mm:ss"},
    {46, u"[h]:mm:ss"},
    {47, u"mm:ss.0"},
    {48, u"# #0.0E+0"},
    {49, u"@"},
};

[[noreturn]] void NotFound(std::int32_t id) {
  throw EXLSError("Can not find number format# " + std::to_string(id));
}

}  // namespace

std::uint16_t TNumberFormats::HashOf(std::u16string_view text) {
  std::uint16_t h = 0;
  auto step = [&h](std::uint8_t b) {
    h = static_cast<std::uint16_t>((h << 5) | (h >> 11));
    h = static_cast<std::uint16_t>(h ^ b);
  };
  for (char16_t c : text) {
    step(static_cast<std::uint8_t>(c & 0xFF));
    step(static_cast<std::uint8_t>(c >> 8));
  }
  return h;
}

std::u16string_view TNumberFormats::BuiltInText(std::int32_t id) {
  for (const TBuiltIn& b : kBuiltInTexts)
    if (b.Id == id) return b.Text;
  return {};
}

bool TNumberFormats::IsWellKnownPackageId(std::int32_t id) {
  return (id >= 0 && id <= 4) || (id >= 9 && id <= 22) || (id >= 37 && id <= 40) ||
         (id >= 45 && id <= 49);
}

TNumberFormat* TNumberFormats::Item(long long index) const {
  if (index < 0 || index >= static_cast<long long>(formats_.size())) throw EListError(index);
  return formats_[static_cast<std::size_t>(index)].get();
}

void TNumberFormats::AddDefaults() {
  highest_id_ = 0;
  for (std::int32_t id = 0; id < kBuiltInNumberFormats; ++id) AddWithId(BuiltInText(id), id, -1);
}

void TNumberFormats::Clear() {
  formats_.clear();
  highest_id_ = 0;
  sorted_ = false;
}

TNumberFormat* TNumberFormats::Insert(std::u16string_view text, std::int32_t id, std::int32_t usage) {
  auto format = std::make_unique<TNumberFormat>();
  format->Text.assign(text);
  format->Hash = HashOf(text);
  format->Id = id;
  format->Usage = usage;
  TNumberFormat* raw = format.get();
  // After the entries with a lower or equal id: the list stays ordered by id.
  auto at = std::upper_bound(formats_.begin(), formats_.end(), id,
                             [](std::int32_t v, const std::unique_ptr<TNumberFormat>& f) { return v < f->Id; });
  formats_.insert(at, std::move(format));
  highest_id_ = std::max(highest_id_, id);
  return raw;
}

TNumberFormat* TNumberFormats::AddByText(std::u16string_view text) {
  int found = FindByText(text);
  if (found >= 0) {
    TNumberFormat* f = formats_[static_cast<std::size_t>(found)].get();
    ++f->Usage;
    return f;
  }
  return Insert(text, highest_id_ + 1, 1);
}

TNumberFormat* TNumberFormats::AddWithId(std::u16string_view text, std::int32_t id, std::int32_t usage) {
  sorted_ = false;
  TNumberFormat* f = ItemById(id);
  if (!f) return Insert(text, id, usage);
  f->Text.assign(text);
  f->Hash = HashOf(text);
  f->Usage = f->Usage < 0 ? usage : f->Usage + usage;
  highest_id_ = std::max(highest_id_, id);
  return f;
}

void TNumberFormats::AddPackageFormat(std::u16string_view text, std::int32_t id) {
  if (IsWellKnownPackageId(id)) return;
  Insert(text, id, 1);
}

void TNumberFormats::AddUse(std::int32_t id) {
  if (id < kBuiltInNumberFormats) return;
  TNumberFormat* f = ItemById(id);
  if (!f) NotFound(id);
  ++f->Usage;
}

void TNumberFormats::Release(std::int32_t id) {
  if (id < kBuiltInNumberFormats) return;
  int index = FindById(id);
  if (index < 0) NotFound(id);
  TNumberFormat* f = formats_[static_cast<std::size_t>(index)].get();
  if (f->Usage < 0) return;
  if (--f->Usage == 0) formats_.erase(formats_.begin() + index);
}

int TNumberFormats::FindById(std::int32_t id) const {
  if (id < 0 || formats_.empty()) return -1;
  auto after = std::upper_bound(formats_.begin(), formats_.end(), id,
                                [](std::int32_t v, const std::unique_ptr<TNumberFormat>& f) { return v < f->Id; });
  if (after == formats_.begin() || (*(after - 1))->Id != id) return -1;
  return static_cast<int>(after - 1 - formats_.begin());
}

TNumberFormat* TNumberFormats::ItemById(std::int32_t id) const {
  int index = FindById(id);
  return index < 0 ? nullptr : formats_[static_cast<std::size_t>(index)].get();
}

int TNumberFormats::FindByText(std::u16string_view text) const {
  if (text.empty()) return formats_.empty() ? -1 : 0;
  std::uint16_t hash = HashOf(text);
  for (std::size_t i = 0; i < formats_.size(); ++i)
    if (formats_[i]->Hash == hash && formats_[i]->Text == text) return static_cast<int>(i);
  return -1;
}

void TNumberFormats::SortById() { sorted_ = true; }

}  // namespace gridport
