// The insert operations through which the readers put cells into a sheet.
#include <cstring>
#include <limits>

#include "workbook/sheets.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {

std::uint16_t TSheet::ResolveFormat(std::uint16_t formatIndex) const {
  // Past the list's end: entry 15, the default cell format; entry 0 while
  // the list is shorter than that (a file that defines fewer formats).
  TCellFormats& formats = Workbook().CellFormats();
  const std::size_t count = static_cast<std::size_t>(formats.Count());
  const std::uint16_t index = formatIndex < count ? formatIndex : count > 15 ? 15 : 0;
  // A counted format (one a formatting setter made) gains a user, so that no
  // other cell's change can remove it under this one.
  if (index >= formats.FirstDeletable() && index < count) formats.AddUsage(*formats.Item(index));
  return index;
}

TFormulaData& TSheet::NewFormulaData(std::uint32_t expressionSize, std::span<const std::uint8_t> formulaData) {
  if (formulaData.size() > std::numeric_limits<std::uint32_t>::max())
    throw EXLSError("Formula data too large: " + std::to_string(formulaData.size()) + " bytes");
  if (expressionSize > formulaData.size())
    throw EXLSError("Formula expression size " + std::to_string(expressionSize) + " exceeds its data size " +
                    std::to_string(formulaData.size()));
  auto* data = new (cells_->AllocateData(sizeof(TFormulaData))) TFormulaData{};
  if (!formulaData.empty()) {
    auto* bytes = static_cast<std::uint8_t*>(cells_->AllocateData(formulaData.size()));
    std::memcpy(bytes, formulaData.data(), formulaData.size());
    data->FormulaData = bytes;
  }
  data->DataSize = static_cast<std::uint32_t>(formulaData.size());
  data->ExpressionSize = expressionSize;
  return *data;
}

TFormulaData& TSheet::NewFormulaText(std::uint16_t sharedIndex, std::uint8_t flags, std::string_view formulaText) {
  TFormulaData& data =
      NewFormulaData(0, {reinterpret_cast<const std::uint8_t*>(formulaText.data()), formulaText.size()});
  data.IsText = 1;
  data.Flags = flags;
  data.SharedIndex = static_cast<std::int16_t>(sharedIndex);  // 0xFFFF: none (-1)
  return data;
}

void TSheet::SetResultText(TFormulaData& data, std::u16string_view result) {
  if (result.size() > std::numeric_limits<std::uint32_t>::max())
    throw EXLSError("Formula result text too long: " + std::to_string(result.size()) + " characters");
  if (!result.empty()) {
    auto* text = static_cast<char16_t*>(cells_->AllocateData(result.size() * sizeof(char16_t)));
    std::memcpy(text, result.data(), result.size() * sizeof(char16_t));
    data.Text = text;
  }
  data.TextLength = static_cast<std::uint32_t>(result.size());
}

void TSheet::SetArrayData(TFormulaData& data, std::uint8_t isContinuation, std::span<const std::uint8_t> arrayData) {
  if (arrayData.size() > std::numeric_limits<std::uint32_t>::max())
    throw EXLSError("Array formula data too large: " + std::to_string(arrayData.size()) + " bytes");
  if (!arrayData.empty()) {
    auto* bytes = static_cast<std::uint8_t*>(cells_->AllocateData(arrayData.size()));
    std::memcpy(bytes, arrayData.data(), arrayData.size());
    data.ArrayData = bytes;
  }
  data.ArrayDataSize = static_cast<std::uint32_t>(arrayData.size());
  data.IsContinuation = isContinuation;
}

void TSheet::InsertBlank(std::uint16_t col, std::uint32_t row, std::uint16_t formatIndex) {
  cells_->InsertNew<TBlankCell>(col, row, ResolveFormat(formatIndex));
}

void TSheet::InsertNumber(std::uint16_t col, std::uint32_t row, double value, std::uint16_t formatIndex) {
  cells_->InsertNew<TFloatCell>(col, row, ResolveFormat(formatIndex), value);
}

void TSheet::InsertSharedString(std::uint16_t col, std::uint32_t row, std::uint32_t sstIndex,
                                std::uint16_t formatIndex) {
  TSST& sst = Workbook().SST();
  TSSTEntry* entry = sst.EntryAt(sstIndex);
  cells_->InsertNew<TStringCell>(col, row, ResolveFormat(formatIndex), entry);
  sst.AddReference(entry);
}

void TSheet::InsertText(std::uint16_t col, std::uint32_t row, std::u16string_view text, std::uint16_t formatIndex) {
  TSST& sst = Workbook().SST();
  TSSTEntry* entry = sst.AddString(text);
  try {
    cells_->InsertNew<TStringCell>(col, row, ResolveFormat(formatIndex), entry);
  } catch (...) {
    sst.Release(entry);
    throw;
  }
}

void TSheet::InsertBoolean(std::uint16_t col, std::uint32_t row, std::uint8_t value, std::uint16_t formatIndex) {
  cells_->InsertNew<TBooleanCell>(col, row, ResolveFormat(formatIndex), value);
}

void TSheet::InsertError(std::uint16_t col, std::uint32_t row, std::uint8_t code, std::uint16_t formatIndex) {
  // Code 0 is "no error"; codes above 7 have no text.
  if (code == 0 || code >= kCellErrorCount) throw EXLSError("Invalid cell error value");
  cells_->InsertNew<TErrorCell>(col, row, ResolveFormat(formatIndex), code);
}

// Formula data goes into the storage's arena before the cell is stored; a
// position that fails leaves it unused until the storage is cleared.
void TSheet::InsertNumberFormula(std::uint16_t col, std::uint32_t row, double result, std::uint32_t expressionSize,
                                 std::span<const std::uint8_t> formulaData, std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaData(expressionSize, formulaData);
  data.Number = result;
  cells_->InsertNew<TNumberFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

void TSheet::InsertStringFormula(std::uint16_t col, std::uint32_t row, std::u16string_view result,
                                 std::uint32_t expressionSize, std::span<const std::uint8_t> formulaData,
                                 std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaData(expressionSize, formulaData);
  SetResultText(data, result);
  cells_->InsertNew<TStringFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

void TSheet::InsertBooleanFormula(std::uint16_t col, std::uint32_t row, std::uint8_t result,
                                  std::uint32_t expressionSize, std::span<const std::uint8_t> formulaData,
                                  std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaData(expressionSize, formulaData);
  data.ResultByte = result;
  cells_->InsertNew<TBooleanFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

void TSheet::InsertErrorFormula(std::uint16_t col, std::uint32_t row, std::uint8_t errorByte,
                                std::uint32_t expressionSize, std::span<const std::uint8_t> formulaData,
                                std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaData(expressionSize, formulaData);
  data.ResultByte = ErrorCodeFromFile(errorByte);
  cells_->InsertNew<TErrorFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

void TSheet::InsertNumberArrayFormula(std::uint16_t col, std::uint32_t row, std::uint8_t isContinuation,
                                      std::span<const std::uint8_t> arrayData, double result,
                                      std::uint32_t expressionSize, std::span<const std::uint8_t> formulaData,
                                      std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaData(expressionSize, formulaData);
  SetArrayData(data, isContinuation, arrayData);
  data.Number = result;
  cells_->InsertNew<TNumberArrayFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

void TSheet::InsertStringArrayFormula(std::uint16_t col, std::uint32_t row, std::uint8_t isContinuation,
                                      std::span<const std::uint8_t> arrayData, std::u16string_view result,
                                      std::uint32_t expressionSize, std::span<const std::uint8_t> formulaData,
                                      std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaData(expressionSize, formulaData);
  SetArrayData(data, isContinuation, arrayData);
  SetResultText(data, result);
  cells_->InsertNew<TStringArrayFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

void TSheet::InsertNumberFormulaText(std::uint16_t col, std::uint32_t row, std::uint16_t sharedIndex,
                                     std::uint8_t flags, double result, std::string_view formulaText,
                                     std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaText(sharedIndex, flags, formulaText);
  data.Number = result;
  cells_->InsertNew<TNumberFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

void TSheet::InsertStringFormulaText(std::uint16_t col, std::uint32_t row, std::uint16_t sharedIndex,
                                     std::uint8_t flags, std::u16string_view result, std::string_view formulaText,
                                     std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaText(sharedIndex, flags, formulaText);
  SetResultText(data, result);
  cells_->InsertNew<TStringFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

void TSheet::InsertBooleanFormulaText(std::uint16_t col, std::uint32_t row, std::uint16_t sharedIndex,
                                      std::uint8_t flags, std::uint8_t result, std::string_view formulaText,
                                      std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaText(sharedIndex, flags, formulaText);
  data.ResultByte = result;
  cells_->InsertNew<TBooleanFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

void TSheet::InsertErrorFormulaText(std::uint16_t col, std::uint32_t row, std::uint16_t sharedIndex,
                                    std::uint8_t flags, std::uint8_t result, std::string_view formulaText,
                                    std::uint16_t formatIndex) {
  TFormulaData& data = NewFormulaText(sharedIndex, flags, formulaText);
  data.ResultByte = result;
  cells_->InsertNew<TErrorFormulaCell>(col, row, ResolveFormat(formatIndex), &data);
}

TCell* TSheet::MakeCopy(TSheet& from, std::uint16_t fromCol, std::uint32_t fromRow, std::uint16_t col,
                        std::uint32_t row) {
  if (&from.Workbook() != &Workbook()) throw EXLSError("Cannot copy a cell from another workbook");
  TCell* source = from.cells_->Find(fromCol, fromRow);
  if (source == nullptr) return nullptr;
  if (&from == this && fromCol == col && fromRow == row) return source;
  // The target goes first; its format may go with it, and the cells after
  // it (the source among them) are renumbered, so the format is read after.
  // Deleting another position leaves the source cell where it is.
  DeleteCell(col, row);
  const TCellKind kind = source->CellKind();
  const std::uint16_t format = source->FormatIndex();
  TCell* copy = nullptr;
  if (const auto* formula = source->As<TFormulaCell>()) {
    const TFormulaData& src = formula->Formula();
    TFormulaData& data = NewFormulaData(src.ExpressionSize, {src.FormulaData, src.DataSize});
    data.Evaluated = src.Evaluated;
    data.IsText = src.IsText;
    data.Flags = src.Flags;
    data.SharedIndex = src.SharedIndex;
    data.ResultByte = src.ResultByte;
    data.Number = src.Number;
    SetArrayData(data, src.IsContinuation, {src.ArrayData, src.ArrayDataSize});
    SetResultText(data, {src.Text, src.TextLength});
    switch (kind) {
      case ckNumberFormula: copy = &cells_->PlaceNew<TNumberFormulaCell>(col, row, format, &data); break;
      case ckStringFormula: copy = &cells_->PlaceNew<TStringFormulaCell>(col, row, format, &data); break;
      case ckBooleanFormula: copy = &cells_->PlaceNew<TBooleanFormulaCell>(col, row, format, &data); break;
      case ckErrorFormula: copy = &cells_->PlaceNew<TErrorFormulaCell>(col, row, format, &data); break;
      case ckNumberArrayFormula: copy = &cells_->PlaceNew<TNumberArrayFormulaCell>(col, row, format, &data); break;
      default: copy = &cells_->PlaceNew<TStringArrayFormulaCell>(col, row, format, &data); break;
    }
  } else {
    switch (kind) {
      case ckNumber:
        copy = &cells_->PlaceNew<TFloatCell>(col, row, format, static_cast<const TFloatCell*>(source)->Value());
        break;
      case ckString: {
        TSSTEntry* entry = static_cast<const TStringCell*>(source)->Entry();
        copy = &cells_->PlaceNew<TStringCell>(col, row, format, entry);
        Workbook().SST().AddReference(entry);
        break;
      }
      case ckBoolean:
        copy = &cells_->PlaceNew<TBooleanCell>(col, row, format, static_cast<const TBooleanCell*>(source)->Value());
        break;
      case ckError:
        copy = &cells_->PlaceNew<TErrorCell>(col, row, format, static_cast<const TErrorCell*>(source)->ErrorCode());
        break;
      default:
        copy = &cells_->PlaceNew<TBlankCell>(col, row, format);
        break;
    }
  }
  TCellFormats& formats = Workbook().CellFormats();
  formats.AddUsage(*formats.Item(format));
  return copy;
}

std::uint8_t ErrorCodeFromFile(std::uint8_t errorByte) {
  switch (errorByte) {
    case 0x00: return 1;
    case 0x07: return 2;
    case 0x0F: return 3;
    case 0x17: return 4;
    case 0x1D: return 5;
    case 0x24: return 6;
    case 0x2A: return 7;
    default: return 0;
  }
}

std::uint8_t ErrorCodeFromText(std::u16string_view text) {
  for (std::uint8_t code = 1; code < kCellErrorCount; ++code)
    if (CellErrorNames[code] == text) return code;
  return 0;
}

}  // namespace gridport
