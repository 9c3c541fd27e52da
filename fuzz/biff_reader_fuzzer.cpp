// Reads arbitrary bytes as a compound file held in memory through the whole
// BIFF workbook reader. Any exception other than the library's own is a fault.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "biff/biff_reader.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream source(std::string(reinterpret_cast<const char*>(data), size));
  gridport::TXLSWorkbook workbook;
  try {
    gridport::TBiffReader reader(workbook);
    reader.ReadBiffStream(&source);
  } catch (const gridport::EXLSError&) {
  } catch (const gridport::EListError&) {
  }
  return 0;
}
