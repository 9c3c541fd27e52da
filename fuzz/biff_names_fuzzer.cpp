// Feeds record bodies to the name tables and the record stores as the BIFF
// reader does: the first byte of each chunk picks the record, the next two
// its length. Any failure must be an EXLSError.
#include <cstddef>
#include <cstdint>

#include "biff/names.h"
#include "biff/record_storage.h"
#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gridport;
  TInternalNames names;
  TExternalNames external;
  TRecordStorageGlobals globals;
  TRecordStorageSheet sheet;
  std::size_t at = 0;
  while (at + 3 <= size) {
    const std::uint8_t kind = data[at];
    std::size_t length = GetU16(data + at + 1);
    at += 3;
    if (length > size - at) length = size - at;
    const std::uint8_t* body = data + at;
    at += length;
    try {
      switch (kind % 8) {
        case 0: names.AddFromRecord(body, length); break;
        case 1: external.AddSupBook(body, length); break;
        case 2: external.AddExternName(body, length); break;
        case 3: external.AddExternSheet(body, length); break;
        case 4: external.AddCRN(kind >> 3, body, length); break;
        case 5: if (length >= 2) globals.SetDefaultRecord(GetU16(body), static_cast<std::uint16_t>(length - 2), body + 2); break;
        case 6: if (length >= 2) sheet.SetDefaultRecord(GetU16(body), static_cast<std::uint16_t>(length - 2), body + 2); break;
        case 7: if (length >= 2) sheet.MarkPosition(GetU16(body)); break;
      }
    } catch (const EXLSError&) {
    }
  }
  sheet.DimLastColPlus1();
  sheet.SetDimensions(1, 2, 3, 4);
  sheet.Delta();
  globals.Date1904();
  return 0;
}
