// Reads the input as an Excel 2007 package held in memory into a fresh workbook and produces
// every cell's text, as a conversion does. Failures must be the library's exceptions.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "openxml/package_reader.h"
#include "workbook/workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gridport;
  TXLSWorkbook workbook;
  try {
    TPackageReader reader(workbook);
    reader.ReadPackage(data, size);
  } catch (const EXLSError&) {
  } catch (const EListError&) {
  }
  std::size_t total = 0;
  for (std::size_t i = 0; i < workbook.Sheets().Count(); ++i) {
    TSheet& sheet = workbook.Sheets()[i];
    sheet.ComputeUsedArea();
    for (std::int32_t r = sheet.FirstUsedRow(); r <= sheet.LastUsedRow() && r < sheet.FirstUsedRow() + 64; ++r)
      for (std::int32_t c = sheet.FirstUsedCol(); c <= sheet.LastUsedCol() && c < sheet.FirstUsedCol() + 64; ++c)
        total += sheet.CellText(static_cast<std::uint16_t>(c), static_cast<std::uint32_t>(r)).size();
  }
  return static_cast<int>(total & 0);
}
