// Stands in for the Open XML reader until openxml/ defines
// RunOpenXmlReader; delete this file (and its CMakeLists line) then. See
// reader_entry.h.
#include "workbook/reader_entry.h"
#include "workbook/xls_error.h"

namespace gridport {

void RunOpenXmlReader(TXLSWorkbook&, std::istream&, std::iostream&) {
  throw EXLSError("Reading Excel 2007 (Open XML) workbooks is not supported yet");
}

}  // namespace gridport
