// Stands in for the BIFF reader until biff/ defines RunBiffReader; delete
// this file (and its CMakeLists line) then. See reader_entry.h.
#include "workbook/reader_entry.h"
#include "workbook/xls_error.h"

namespace gridport {

void RunBiffReader(TXLSWorkbook&, std::istream*) {
  throw EXLSError("Reading Excel 97-2003 (BIFF) workbooks is not supported yet");
}

}  // namespace gridport
