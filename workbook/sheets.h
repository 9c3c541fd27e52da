// The sheets of a workbook and what the converter and the readers do with
// them: names, dimension fields, cell text, the insert operations.
//
// Ownership: TSheets (held by TXLSWorkbook) owns its TSheet objects; a
// sheet's cells live in a TCellValues owned by the workbook's formula
// handler (TCellValuesList) and are freed when the sheets are reset.
// Positions are (column, row), 0-based.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "biff/record_storage.h"
#include "workbook/cell_storage.h"
#include "workbook/cells.h"
#include "workbook/formatted_object.h"
#include "workbook/number_text.h"
#include "workbook/package_relations.h"
#include "workbook/saved_tags.h"
#include "workbook/sheet_layout.h"

namespace gridport {

class TXLSWorkbook;
class TSheets;

// Whether a sheet's tab shows (BOUNDSHEET's low two option bits).
enum THiddenState : std::uint8_t { hsVisible = 0, hsHidden = 1, hsVeryHidden = 2 };

// A cell's text without copying it: the entry text of a string cell, the
// result text of a string formula, a fixed text, or a number formatted into
// the caller's TNumberTextBuffer. Valid until that cell or buffer changes.
struct TCellTextView {
  const void* Data = nullptr;
  std::uint32_t Length = 0;  // code units
  bool Wide = true;          // 16-bit little-endian code units (may be unaligned); else 8-bit, byte = code unit

  bool Empty() const { return Length == 0; }
  char16_t operator[](std::size_t i) const {
    const auto* p = static_cast<const unsigned char*>(Data);
    return Wide ? static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8)) : static_cast<char16_t>(p[i]);
  }
  void AppendTo(std::u16string& out) const;
  std::u16string ToString() const {
    std::u16string s;
    AppendTo(s);
    return s;
  }
};

using TNumberTextBuffer = std::array<char16_t, kNumberTextCapacity>;

class TSheet {
 public:
  TSheet(TSheets& owner, std::uint8_t kind, std::uint32_t id, TCellValues& cells);
  TSheet(const TSheet&) = delete;
  TSheet& operator=(const TSheet&) = delete;

  const std::u16string& Name() const { return name_; }
  // Renames; a change of letter case alone is ignored; a name another sheet
  // has (ignoring case) fails with: Sheet name "<name>" allready exists.
  void SetName(std::u16string_view name);
  std::uint8_t SheetKind() const { return kind_; }  // 0 worksheet, 1 module, 2 macro sheet
  std::uint32_t Id() const { return id_; }
  std::size_t Index() const;
  TXLSWorkbook& Workbook() const;

  // Dimension fields. The setters also rewrite the stored DIMENSIONS body.
  std::int32_t FirstUsedRow() const { return firstUsedRow_; }
  std::int32_t LastUsedRow() const { return lastUsedRow_; }
  std::int32_t FirstUsedCol() const { return firstUsedCol_; }
  std::int32_t LastUsedCol() const { return lastUsedCol_; }
  void SetFirstUsedRow(std::int32_t value);
  void SetLastUsedRow(std::int32_t value);
  void SetFirstUsedCol(std::int32_t value);
  void SetLastUsedCol(std::int32_t value);
  // Sets the four fields from the cells (all 0 for a sheet without cells).
  void ComputeUsedArea();

  // The converter's reading side.
  std::u16string CellText(std::uint16_t col, std::uint32_t row);
  TCellKind CellKind(std::uint16_t col, std::uint32_t row);
  double CellNumber(std::uint16_t col, std::uint32_t row);
  TCell* GetCell(std::uint16_t col, std::uint32_t row) { return cells_->Find(col, row); }
  // The text of a cell without copying it (cell may be nullptr: empty text).
  TCellTextView CellTextView(const TCell* cell, TNumberTextBuffer& buffer) const;
  // The stored cells of one row, for walking a rectangle (see TRowCells).
  TRowCells Row(std::uint32_t row) const { return cells_->Row(row); }
  TCellValues& Cells() const { return *cells_; }
  // The sheet's stored records: settings (calculation, DIMENSIONS, WINDOW2)
  // and the records the model keeps without interpreting them.
  TRecordStorageSheet& Records() { return records_; }
  const TRecordStorageSheet& Records() const { return records_; }
  // Rows, columns and merged areas as the file described them.
  TSheetLayout& Layout() { return layout_; }
  const TSheetLayout& Layout() const { return layout_; }
  // From an Excel 2007 package: the worksheet part's elements kept as XML text, and the
  // sheet's relationships (hyperlinks, drawings, comments...).
  TXLSSavedTags& SavedTags() { return savedTags_; }
  const TXLSSavedTags& SavedTags() const { return savedTags_; }
  TXMLRelations& PackageRelations() { return packageRelations_; }
  const TXMLRelations& PackageRelations() const { return packageRelations_; }

  // Insert operations (the readers' calls). Each builds the cell, resolves
  // formatIndex (an index at or past the format list's end becomes the
  // default format) and stores it at (col, row), replacing a cell there
  // (the new cell keeps the replaced one's format). Buffers are copied.
  // Positions beyond column 16383 or row 1048575 throw EXLSError.
  void InsertBlank(std::uint16_t col, std::uint32_t row, std::uint16_t formatIndex);
  void InsertNumber(std::uint16_t col, std::uint32_t row, double value, std::uint16_t formatIndex);
  // The string at position sstIndex of the shared strings' by-position index
  // (one more reference on it); outside: "List index out of bounds (%d)".
  void InsertSharedString(std::uint16_t col, std::uint32_t row, std::uint32_t sstIndex, std::uint16_t formatIndex);
  // The text's shared string entry (added, or found and counted once more).
  void InsertText(std::uint16_t col, std::uint32_t row, std::u16string_view text, std::uint16_t formatIndex);
  void InsertBoolean(std::uint16_t col, std::uint32_t row, std::uint8_t value, std::uint16_t formatIndex);
  // code: cell error code 1..7; anything else throws "Invalid cell error value".
  void InsertError(std::uint16_t col, std::uint32_t row, std::uint8_t code, std::uint16_t formatIndex);
  // BIFF formulas: formulaData is the parsed expression (expressionSize
  // bytes) followed by any additional data.
  void InsertNumberFormula(std::uint16_t col, std::uint32_t row, double result, std::uint32_t expressionSize,
                           std::span<const std::uint8_t> formulaData, std::uint16_t formatIndex);
  void InsertStringFormula(std::uint16_t col, std::uint32_t row, std::u16string_view result,
                           std::uint32_t expressionSize, std::span<const std::uint8_t> formulaData,
                           std::uint16_t formatIndex);
  void InsertBooleanFormula(std::uint16_t col, std::uint32_t row, std::uint8_t result, std::uint32_t expressionSize,
                            std::span<const std::uint8_t> formulaData, std::uint16_t formatIndex);
  // errorByte as a BIFF file stores it; the result is ErrorCodeFromFile of it.
  void InsertErrorFormula(std::uint16_t col, std::uint32_t row, std::uint8_t errorByte, std::uint32_t expressionSize,
                          std::span<const std::uint8_t> formulaData, std::uint16_t formatIndex);
  void InsertNumberArrayFormula(std::uint16_t col, std::uint32_t row, std::uint8_t isContinuation,
                                std::span<const std::uint8_t> arrayData, double result, std::uint32_t expressionSize,
                                std::span<const std::uint8_t> formulaData, std::uint16_t formatIndex);
  void InsertStringArrayFormula(std::uint16_t col, std::uint32_t row, std::uint8_t isContinuation,
                                std::span<const std::uint8_t> arrayData, std::u16string_view result,
                                std::uint32_t expressionSize, std::span<const std::uint8_t> formulaData,
                                std::uint16_t formatIndex);
  // Open XML formulas: the formula text as 8-bit characters; sharedIndex
  // 0xFFFF for none.
  void InsertNumberFormulaText(std::uint16_t col, std::uint32_t row, std::uint16_t sharedIndex, std::uint8_t flags,
                               double result, std::string_view formulaText, std::uint16_t formatIndex);
  void InsertStringFormulaText(std::uint16_t col, std::uint32_t row, std::uint16_t sharedIndex, std::uint8_t flags,
                               std::u16string_view result, std::string_view formulaText, std::uint16_t formatIndex);
  void InsertBooleanFormulaText(std::uint16_t col, std::uint32_t row, std::uint16_t sharedIndex, std::uint8_t flags,
                                std::uint8_t result, std::string_view formulaText, std::uint16_t formatIndex);
  // result: cell error code 0..7 (a larger code reads as code 0).
  void InsertErrorFormulaText(std::uint16_t col, std::uint32_t row, std::uint16_t sharedIndex, std::uint8_t flags,
                              std::uint8_t result, std::string_view formulaText, std::uint16_t formatIndex);

  // Destroys the cell at (col, row), then gives back a string cell's shared
  // string reference and the cell's usage of a counted format; failures
  // become "Error on deleting cell %d:%d" (column, row).
  void DeleteCell(std::uint16_t col, std::uint32_t row);
  // DeleteCell for every stored cell of the rectangle from (firstCol,
  // firstRow) to (lastCol, lastRow), both corners included, columns in the
  // outer order and rows in the inner. A first corner past the last one
  // selects nothing. Walks only the stored cells, so a whole-sheet range
  // costs one pass over the rows, not one step per position. Merged areas
  // wholly inside the range are removed too.
  void DeleteCells(std::uint16_t firstCol, std::uint32_t firstRow, std::uint16_t lastCol, std::uint32_t lastRow);

  // Stores at (col, row) of this sheet a copy of the cell at (fromCol,
  // fromRow) of `from`, a sheet of the same workbook (another workbook's
  // sheet fails with EXLSError): same kind, value and format, with one more
  // usage of a counted format and one more reference on a string's shared
  // entry; formula bytes, array data and result text are copied. A cell at
  // the target is deleted first (DeleteCell). Returns the copy, or nullptr
  // when the source holds no cell (the target is then left alone). A cell
  // copied onto its own position stays as it is.
  TCell* MakeCopy(TSheet& from, std::uint16_t fromCol, std::uint32_t fromRow, std::uint16_t col, std::uint32_t row);

  // The formatting setters of the cell at (col, row), or nothing when there
  // is no cell (formatted_object.h).
  std::optional<TFormattedObject> Formatting(std::uint16_t col, std::uint32_t row);

  // Destroys the cells, zeroes the dimension fields, resets the records, the layout, the
  // kept package elements and the relationships.
  void Reset();

  // Sheet settings kept for completeness; reading does not use them.
  THiddenState Hidden = hsVisible;
  bool RecalcFormulas = true;
  std::uint8_t TabColor = 64;  // colour index of the sheet's tab
  bool ProtectAll = true;  // every sheet protection option set

 private:
  friend class TSheets;
  friend class TXLSWorkbook;  // AfterLoad sets the fields without the setters
  std::uint16_t ResolveFormat(std::uint16_t formatIndex) const;
  TFormulaData& NewFormulaData(std::uint32_t expressionSize, std::span<const std::uint8_t> formulaData);
  TFormulaData& NewFormulaText(std::uint16_t sharedIndex, std::uint8_t flags, std::string_view formulaText);
  void SetResultText(TFormulaData& data, std::u16string_view result);
  void SetArrayData(TFormulaData& data, std::uint8_t isContinuation, std::span<const std::uint8_t> arrayData);

  TSheets* owner_;
  std::u16string name_;
  std::uint8_t kind_;
  std::uint32_t id_;
  TCellValues* cells_;
  TRecordStorageSheet records_;
  TSheetLayout layout_;
  TXLSSavedTags savedTags_;
  TXMLRelations packageRelations_;
  std::int32_t firstUsedRow_ = 0, lastUsedRow_ = 0, firstUsedCol_ = 0, lastUsedCol_ = 0;
};

class TSheets {
 public:
  explicit TSheets(TXLSWorkbook& workbook) : workbook_(workbook) {}
  TSheets(const TSheets&) = delete;
  TSheets& operator=(const TSheets&) = delete;

  std::size_t Count() const { return items_.size(); }
  // The sheet at a 0-based index; EListError "List index out of bounds (%d)" outside.
  TSheet& operator[](std::size_t index) const;
  // Appends a sheet of the kind (0 worksheet, 1 module sheet, 2 macro sheet),
  // named "Sheet" + (its running identifier + 1).
  TSheet& AddSheet(std::uint8_t kind);
  // Resets every sheet, empties the shared strings and the storages, removes all sheets.
  void ResetSheets();
  // ResetSheets() then AddSheet(0).
  void ResetToDefault();
  // The first sheet whose name equals name ignoring case, or nullptr.
  TSheet* FindSheet(std::u16string_view name) const;

  // The sheets' names, beside the collection, for the formula decoder.
  const std::vector<std::u16string>& SheetNames() const { return sheetNames_; }
  TXLSWorkbook& Workbook() const { return workbook_; }

 private:
  friend class TSheet;
  TXLSWorkbook& workbook_;
  std::vector<std::unique_ptr<TSheet>> items_;
  std::vector<std::u16string> sheetNames_;
  std::uint32_t nextId_ = 0;
};

inline TXLSWorkbook& TSheet::Workbook() const { return owner_->workbook_; }

// UTF-8 form of UTF-16 text, for exception messages.
std::string Utf8Of(std::u16string_view text);

// Upper-cases UTF-16 text for name comparisons (Latin, Greek, Cyrillic).
std::u16string UpperCaseWide(std::u16string_view text);

}  // namespace gridport
