#include "workbook/sheets.h"

#include <algorithm>
#include <bit>
#include <utility>
#include <vector>

#include "workbook/byte_view.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {

// ---- text views -------------------------------------------------------------

void TCellTextView::AppendTo(std::u16string& out) const {
  const std::size_t start = out.size();
  out.resize(start + Length);
  const auto* p = static_cast<const unsigned char*>(Data);
  char16_t* dest = out.data() + start;
  if (Wide) {
    for (std::uint32_t i = 0; i < Length; ++i) dest[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  } else {
    for (std::uint32_t i = 0; i < Length; ++i) dest[i] = p[i];
  }
}

namespace {

static_assert(std::endian::native == std::endian::little,
              "text views hand out native char16_t buffers as little-endian code units");

TCellTextView WideView(std::u16string_view text) {
  return {text.data(), static_cast<std::uint32_t>(text.size()), true};
}

TCellTextView NumberView(double value, TNumberTextBuffer& buffer) {
  return {buffer.data(), static_cast<std::uint32_t>(FormatNumberText(value, buffer.data())), true};
}

TCellTextView BooleanView(std::uint8_t value) { return WideView(value != 0 ? StrTRUE() : StrFALSE()); }

// Codes above 7 never come from the readers' checked paths; they read as 0.
TCellTextView ErrorView(std::uint8_t code) {
  return WideView(CellErrorTexts[code < kCellErrorCount ? code : 0]);
}

}  // namespace

// Messages are UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8Of(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// ---- sheet ------------------------------------------------------------------

TSheet::TSheet(TSheets& owner, std::uint8_t kind, std::uint32_t id, TCellValues& cells)
    : owner_(&owner), kind_(kind), id_(id), cells_(&cells) {}

std::size_t TSheet::Index() const {
  for (std::size_t i = 0; i < owner_->items_.size(); ++i)
    if (owner_->items_[i].get() == this) return i;
  return owner_->items_.size();
}

void TSheet::SetName(std::u16string_view name) {
  const std::u16string upperNew = UpperCaseWide(name);
  if (UpperCaseWide(name_) == upperNew) return;
  for (const auto& other : owner_->items_) {
    if (other.get() != this && UpperCaseWide(other->name_) == upperNew) {
      throw EXLSError("Sheet name \"" + Utf8Of(name) + "\" allready exists");
    }
  }
  name_.assign(name);
  const std::size_t index = Index();
  if (index < owner_->sheetNames_.size()) owner_->sheetNames_[index] = name_;
}

// The stored first row/column are capped at 65535/255 and the "last + 1"
// values follow the stored first one, as the DIMENSIONS record keeps them.
void TSheet::SetFirstUsedRow(std::int32_t value) {
  firstUsedRow_ = value;
  const auto v = static_cast<std::uint32_t>(value);
  records_.SetDimFirstRow(v > 65535 ? 65535 : v);
}
void TSheet::SetLastUsedRow(std::int32_t value) {
  lastUsedRow_ = value;
  const bool capped = static_cast<std::uint32_t>(firstUsedRow_) > 65534;
  records_.SetDimLastRowPlus1(capped ? 65535 : static_cast<std::uint32_t>(value) + 1);
}
void TSheet::SetFirstUsedCol(std::int32_t value) {
  firstUsedCol_ = value;
  const auto v = static_cast<std::uint32_t>(value);
  records_.SetDimFirstCol(static_cast<std::uint16_t>(v > 255 ? 255 : v));
}
void TSheet::SetLastUsedCol(std::int32_t value) {
  lastUsedCol_ = value;
  const bool capped = static_cast<std::uint32_t>(firstUsedCol_) > 254;
  records_.SetDimLastColPlus1(static_cast<std::uint16_t>(capped ? 255 : static_cast<std::uint32_t>(value) + 1));
}

void TSheet::ComputeUsedArea() {
  cells_->ScanUsedArea();
  SetFirstUsedCol(cells_->MinCol());
  SetLastUsedCol(cells_->MaxCol());
  SetFirstUsedRow(cells_->MinRow());
  SetLastUsedRow(cells_->MaxRow());
}

TCellTextView TSheet::CellTextView(const TCell* cell, TNumberTextBuffer& buffer) const {
  if (cell == nullptr) return {};
  switch (cell->CellKind()) {
    case ckNumber:
      return NumberView(static_cast<const TFloatCell*>(cell)->Value(), buffer);
    case ckString: {
      const TSSTTextView text = static_cast<const TStringCell*>(cell)->Entry()->Text();
      return {text.Data, text.Length, text.Wide};
    }
    case ckBoolean:
      return BooleanView(static_cast<const TBooleanCell*>(cell)->Value());
    case ckError:
      return ErrorView(static_cast<const TErrorCell*>(cell)->ErrorCode());
    case ckNumberFormula:
    case ckNumberArrayFormula:
      return NumberView(static_cast<const TFormulaCell*>(cell)->Formula().Number, buffer);
    case ckStringFormula:
    case ckStringArrayFormula: {
      const TFormulaData& data = static_cast<const TFormulaCell*>(cell)->Formula();
      return {data.Text, data.TextLength, true};
    }
    case ckBooleanFormula:
      return BooleanView(static_cast<const TFormulaCell*>(cell)->Formula().ResultByte);
    case ckErrorFormula:
      return ErrorView(static_cast<const TFormulaCell*>(cell)->Formula().ResultByte);
    default:  // blank
      return {};
  }
}

std::u16string TSheet::CellText(std::uint16_t col, std::uint32_t row) {
  TNumberTextBuffer buffer;
  return CellTextView(cells_->Find(col, row), buffer).ToString();
}

TCellKind TSheet::CellKind(std::uint16_t col, std::uint32_t row) {
  const TCell* cell = cells_->Find(col, row);
  return cell == nullptr ? ckNone : cell->CellKind();
}

double TSheet::CellNumber(std::uint16_t col, std::uint32_t row) {
  const TCell* cell = cells_->Find(col, row);
  if (cell == nullptr) return 0;
  switch (cell->CellKind()) {
    case ckNumber:
      return static_cast<const TFloatCell*>(cell)->Value();
    case ckNumberFormula:
    case ckNumberArrayFormula:
      return static_cast<const TFormulaCell*>(cell)->Formula().Number;
    default:
      return 0;
  }
}

void TSheet::DeleteCell(std::uint16_t col, std::uint32_t row) {
  try {
    const TCell* cell = cells_->Find(col, row);
    if (cell == nullptr) return;
    TSSTEntry* entry = cell->CellKind() == ckString ? static_cast<const TStringCell*>(cell)->Entry() : nullptr;
    const std::uint16_t format = cell->FormatIndex();
    // The cell goes first: a shared-formula cell whose removal fails stays
    // whole, with its string and format uses untouched.
    cells_->DeleteCell(col, row);
    if (entry != nullptr) Workbook().SST().Release(entry);
    TCellFormats& formats = Workbook().CellFormats();
    if (format < formats.Count()) formats.ReleaseUsage(*formats.Item(format));
  } catch (...) {
    throw EXLSError("Error on deleting cell " + std::to_string(col) + ":" + std::to_string(row));
  }
}

void TSheet::DeleteCells(std::uint16_t firstCol, std::uint32_t firstRow, std::uint16_t lastCol,
                         std::uint32_t lastRow) {
  if (firstCol > lastCol || firstRow > lastRow || firstRow > kMaxRow) return;
  lastRow = std::min(lastRow, kMaxRow);
  std::vector<std::pair<std::uint16_t, std::uint32_t>> positions;
  for (std::uint32_t row = firstRow;; ++row) {
    cells_->Row(row).ForEachCell(firstCol, lastCol, [&](const TCell& cell) { positions.emplace_back(cell.Col(), row); });
    if (row == lastRow) break;
  }
  std::sort(positions.begin(), positions.end());  // columns outer, rows inner
  for (const auto& [col, row] : positions) DeleteCell(col, row);
  // Of the range-bound sheet objects the model keeps merged areas: those
  // wholly inside the range go with its cells; the others stay as they are.
  std::erase_if(layout_.MergedAreas, [&](const TMergedArea& area) {
    return area.FirstCol >= firstCol && area.LastCol <= lastCol && area.FirstRow >= firstRow &&
           area.LastRow <= lastRow;
  });
}

std::optional<TFormattedObject> TSheet::Formatting(std::uint16_t col, std::uint32_t row) {
  TCell* cell = cells_->Find(col, row);
  if (cell == nullptr) return std::nullopt;
  return TFormattedObject(Workbook().CellFormats(), *cell);
}

void TSheet::Reset() {
  cells_->ClearCells();
  cells_->SharedFormulas.clear();
  firstUsedRow_ = lastUsedRow_ = firstUsedCol_ = lastUsedCol_ = 0;
  records_.Reset();
  layout_.Clear();
  savedTags_.Clear();
  packageRelations_.Clear();
}

// ---- sheet collection -------------------------------------------------------

TSheet& TSheets::operator[](std::size_t index) const {
  if (index >= items_.size()) throw EListError(static_cast<long long>(index));
  return *items_[index];
}

TSheet& TSheets::AddSheet(std::uint8_t kind) {
  sheetNames_.emplace_back();
  TCellValues& cells = workbook_.FormulaHandler().CellValues().Add();
  const std::uint32_t id = nextId_++;
  items_.push_back(std::make_unique<TSheet>(*this, kind, id, cells));
  TSheet& sheet = *items_.back();
  const std::string number = std::to_string(static_cast<std::uint64_t>(id) + 1);
  sheet.name_ = u"Sheet";
  for (char c : number) sheet.name_.push_back(static_cast<char16_t>(c));
  sheetNames_.back() = sheet.name_;
  return sheet;
}

void TSheets::ResetSheets() {
  for (auto& sheet : items_) sheet->Reset();
  workbook_.ClearSharedStrings();
  workbook_.FormulaHandler().CellValues().Clear();
  sheetNames_.clear();
  items_.clear();
}

void TSheets::ResetToDefault() {
  ResetSheets();
  AddSheet(0);
}

TSheet* TSheets::FindSheet(std::u16string_view name) const {
  const std::u16string upper = UpperCaseWide(name);
  for (const auto& sheet : items_)
    if (UpperCaseWide(sheet->name_) == upper) return sheet.get();
  return nullptr;
}

// ---- case ------------------------------------------------------------------

std::u16string UpperCaseWide(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c < 0x80) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 0x20);
    } else if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
               (c >= 0x430 && c <= 0x44F)) {
      c = static_cast<char16_t>(c - 0x20);
    } else if (c == 0xFF) {
      c = 0x178;
    } else if (c == 0x3C2) {
      c = 0x3A3;
    } else if (c >= 0x450 && c <= 0x45F) {
      c = static_cast<char16_t>(c - 0x50);
    } else if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) || (c >= 0x460 && c <= 0x4BF) ||
               (c >= 0x4D0 && c <= 0x52F)) {
      if (c & 1) c = static_cast<char16_t>(c - 1);  // pairs: even upper, odd lower
    } else if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
      if (!(c & 1)) c = static_cast<char16_t>(c - 1);  // pairs: odd upper, even lower
    }
  }
  return out;
}

}  // namespace gridport
