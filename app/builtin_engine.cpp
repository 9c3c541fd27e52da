#include "app/builtin_engine.h"

#include "app/csv_writer.h"
#include "app/run_context.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {

namespace {

// Sheet n (1-based) of the workbook; sheet 0, asked for when a workbook has no
// significant sheet, is index -1 and out of bounds like any other.
TSheet& SheetOf(TXLSWorkbook& workbook, uint32_t sheet) {
  if (sheet == 0) throw EListError(-1);
  return workbook.Sheets()[sheet - 1];
}

// The number a cell shows, for the cells whose text is a number.
bool NumberOf(const TCell& cell, double& number) {
  switch (cell.CellKind()) {
    case ckNumber:
      number = static_cast<const TFloatCell&>(cell).Value();
      return true;
    case ckNumberFormula:
    case ckNumberArrayFormula:
      number = static_cast<const TFormulaCell&>(cell).Formula().Number;
      return true;
    default:
      return false;
  }
}

}  // namespace

TBuiltInEngine::TBuiltInEngine(TXLSWorkbook* workbook) {
  if (workbook == nullptr) {
    own_ = std::make_unique<TXLSWorkbook>();
    own_->ApplyFormResource();
    workbook = own_.get();
  }
  workbook_ = workbook;
}

TBuiltInEngine::~TBuiltInEngine() = default;

void TBuiltInEngine::OpenWorkbook(const std::string& path) {
  workbook_->SetFilename(path);
  workbook_->ReadWorkbook();
}

uint32_t TBuiltInEngine::SheetCount() { return static_cast<uint32_t>(workbook_->Sheets().Count()); }

bool TBuiltInEngine::IsSheetSignificant(uint32_t sheet) {
  TSheet& item = SheetOf(*workbook_, sheet);
  item.ComputeUsedArea();
  const int64_t cells = (int64_t{item.LastUsedCol()} + 1) * (int64_t{item.LastUsedRow()} + 1);
  if (cells >= 2) return true;
  TNumberTextBuffer buffer;
  return !item.CellTextView(item.GetCell(0, 0), buffer).Empty();
}

TSheetSize TBuiltInEngine::ExportSize(uint32_t sheet) {
  const TSheet& item = SheetOf(*workbook_, sheet);
  return {static_cast<uint32_t>(item.LastUsedRow()) + 1, static_cast<uint32_t>(item.LastUsedCol()) + 1};
}

void TBuiltInEngine::CellText(uint32_t sheet, uint32_t row, uint32_t col, std::u16string& text) {
  TSheet& item = SheetOf(*workbook_, sheet);
  TNumberTextBuffer buffer;
  text.clear();
  if (col == 0 || row == 0 || col - 1 > kMaxColumn) return;
  item.CellTextView(item.GetCell(static_cast<uint16_t>(col - 1), row - 1), buffer).AppendTo(text);
}

void TBuiltInEngine::WriteCells(uint32_t sheet, TSheetSize size, TCsvWriter& out) {
  const TSheet& item = SheetOf(*workbook_, sheet);
  if (size.cols == 0) return;
  // Columns past the storage's last column hold no cells: empty fields.
  const uint16_t last_col = static_cast<uint16_t>(size.cols - 1 > kMaxColumn ? kMaxColumn : size.cols - 1);
  TNumberTextBuffer buffer;
  const char16_t separator = DecimalSeparator();
  const bool ascii_numbers = separator < 0x80;
  for (uint32_t row = 0; row < size.rows; ++row) {
    const TRowCells cells = item.Row(row);
    uint32_t next = 0;  // the column the next field belongs to
    cells.ForEachCell(0, last_col, [&](const TCell& cell) {
      out.Empties(cell.Col() - next);
      next = cell.Col() + 1u;
      double number = 0;
      if (ascii_numbers && NumberOf(cell, number)) {
        out.AsciiInPlace(kNumberTextCapacity, [&](char* space) {
          return FormatNumberTextAscii(number, static_cast<char>(separator), space);
        });
        return;
      }
      const TCellTextView text = item.CellTextView(&cell, buffer);
      if (text.Wide)
        out.WideBytes(static_cast<const unsigned char*>(text.Data), text.Length);
      else
        out.Latin1(std::string_view(static_cast<const char*>(text.Data), text.Length));
    });
    out.Empties(size.cols - next);
  }
}

void TBuiltInEngine::CloseWorkbook(TRunKind kind, TRunContext& context) {
  workbook_->ClearWorkbook();
  if (kind == rkSingle) context.Status("Закрытие исходного файла");
}

void TBuiltInEngine::EndRun(TRunKind kind, TRunContext&) {
  // After a failed batch the workbook still holds the failed file: free it.
  if (kind == rkBatch) workbook_->ClearWorkbook();
}

bool TBuiltInEngine::SkipsBatchEntry(std::string_view name) const {
  return name.find(".xlsx") != std::string_view::npos;
}

}  // namespace gridport
