// The reading engine behind a conversion run: the built-in workbook model or
// Excel. The run and the export are written once against this interface;
// each engine adds only its own steps (starting and ending Excel, clearing the
// workbook component) and its own significance rule and cell texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gridport {

class TCsvWriter;
struct TRunContext;

enum TRunKind { rkSingle, rkBatch };

// The rectangle exported from a sheet: rows x columns from A1.
struct TSheetSize {
  uint32_t rows = 0;
  uint32_t cols = 0;
};

class TEngine {
 public:
  virtual ~TEngine() = default;

  // Before the first workbook of a run (Excel starts here).
  virtual void BeginRun(TRunKind kind) { (void)kind; }
  virtual void OpenWorkbook(const std::string& path) = 0;
  virtual uint32_t SheetCount() = 0;
  // The engine's significance rule for 1-based sheet n; the built-in engine
  // computes the sheet's used area first, which the export then uses.
  virtual bool IsSheetSignificant(uint32_t sheet) = 0;
  // The rectangle of 1-based sheet n; raises for a sheet that does not exist.
  virtual TSheetSize ExportSize(uint32_t sheet) = 0;
  // The text of the cell at 1-based row and column, into a reused buffer.
  virtual void CellText(uint32_t sheet, uint32_t row, uint32_t col, std::u16string& text) = 0;
  // Hands every cell of the rectangle to `out`, row by row. The default asks
  // CellText for each position; an engine with direct access to its storage
  // walks it instead.
  virtual void WriteCells(uint32_t sheet, TSheetSize size, TCsvWriter& out);
  // After each workbook: in a single-file run also after a failure. The
  // context takes the engine's own status texts.
  virtual void CloseWorkbook(TRunKind kind, TRunContext& context) = 0;
  // After the last workbook of a run, also after a failure (Excel ends here).
  virtual void EndRun(TRunKind kind, TRunContext& context) { (void)kind; (void)context; }
  // True for a batch entry this engine leaves out.
  virtual bool SkipsBatchEntry(std::string_view name) const { (void)name; return false; }
};

}  // namespace gridport
