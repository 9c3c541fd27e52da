// The built-in engine: workbooks read into the workbook model (TXLSWorkbook)
// by the library's own readers.
#pragma once

#include <memory>

#include "app/engine.h"

namespace gridport {

class TXLSWorkbook;

class TBuiltInEngine : public TEngine {
 public:
  // Uses `workbook` (kept by the caller, like the main window's XLSRW), or a
  // workbook of its own when none is given.
  explicit TBuiltInEngine(TXLSWorkbook* workbook = nullptr);
  ~TBuiltInEngine() override;

  void OpenWorkbook(const std::string& path) override;
  uint32_t SheetCount() override;
  // Computes the sheet's used area; significant when the rectangle from A1
  // to its last used cell holds 2 or more cells, or A1's text is not empty.
  bool IsSheetSignificant(uint32_t sheet) override;
  // Rows and columns up to the used area computed last for the sheet.
  TSheetSize ExportSize(uint32_t sheet) override;
  void CellText(uint32_t sheet, uint32_t row, uint32_t col, std::u16string& text) override;
  // Walks the stored cells row by row; gaps become empty fields.
  void WriteCells(uint32_t sheet, TSheetSize size, TCsvWriter& out) override;
  // ClearWorkbook; a single-file run then shows "Закрытие исходного файла".
  void CloseWorkbook(TRunKind kind, TRunContext& context) override;
  void EndRun(TRunKind kind, TRunContext& context) override;
  // The built-in batch leaves out names containing ".xlsx".
  bool SkipsBatchEntry(std::string_view name) const override;

  TXLSWorkbook& Workbook() { return *workbook_; }

 private:
  std::unique_ptr<TXLSWorkbook> own_;
  TXLSWorkbook* workbook_;
};

}  // namespace gridport
