#include "app/engine.h"

#include "app/csv_writer.h"

namespace gridport {

void TEngine::WriteCells(uint32_t sheet, TSheetSize size, TCsvWriter& out) {
  std::u16string text;
  for (uint32_t row = 1; row <= size.rows; ++row) {
    for (uint32_t col = 1; col <= size.cols; ++col) {
      text.clear();
      CellText(sheet, row, col, text);
      out.Text(text);
    }
  }
}

}  // namespace gridport
