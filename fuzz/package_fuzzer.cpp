// Reads the input as an Excel 2007 package held in memory into a fresh workbook and produces
// every cell's text, as a conversion does. Failures must be the library's exceptions.
// Each input is read twice: every part extracted whole before it is parsed, and every deflated
// part inflated on a worker thread in chunks of 1 to 7 bytes (from the input's last byte) while
// it is parsed. Both reads must fail with the same message, or give the same cell texts.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "openxml/package_reader.h"
#include "workbook/workbook.h"

namespace {

using namespace gridport;

std::string Read(const std::uint8_t* data, std::size_t size, std::size_t worker_min_size, std::size_t chunk) {
  TXLSWorkbook workbook;
  std::string out;
  try {
    TPackageReader reader(workbook);
    reader.SetPartWorker(worker_min_size, chunk);
    reader.ReadPackage(data, size);
  } catch (const EXLSError& e) {
    return std::string("error ") + e.what();
  } catch (const EListError& e) {
    return std::string("error ") + e.what();
  }
  for (std::size_t i = 0; i < workbook.Sheets().Count(); ++i) {
    TSheet& sheet = workbook.Sheets()[i];
    sheet.ComputeUsedArea();
    for (std::int32_t r = sheet.FirstUsedRow(); r <= sheet.LastUsedRow() && r < sheet.FirstUsedRow() + 64; ++r) {
      for (std::int32_t c = sheet.FirstUsedCol(); c <= sheet.LastUsedCol() && c < sheet.FirstUsedCol() + 64; ++c) {
        for (char16_t ch : sheet.CellText(static_cast<std::uint16_t>(c), static_cast<std::uint32_t>(r)))
          out += static_cast<char>(ch & 0xFF);
        out += ';';
      }
      out += '\n';
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t chunk = size == 0 ? 1 : 1 + data[size - 1] % 7;
  if (Read(data, size, SIZE_MAX, 0) != Read(data, size, 0, chunk)) __builtin_trap();
  return 0;
}
