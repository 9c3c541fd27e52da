// Opens a compound file from memory and reads every record of its workbook
// stream through TXLSStream, as the BIFF reader does: BOF bodies unencrypted,
// FILEPASS with the default password, drawing groups joined with their
// CONTINUE records. Any failure must be an EXLSError.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "biff/xls_stream.h"
#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gridport;
  std::stringstream source(std::string(reinterpret_cast<const char*>(data), size));
  TExtraObjects extras;
  TXLSStream stream(&extras);
  stream.SetSourceStream(&source);
  try {
    stream.OpenWorkbook("");
    std::vector<std::uint8_t> body(65536);
    TBiffRecordHeader header;
    int records = 0;
    while (stream.ReadHeader(header) == 4 && ++records < 200000) {
      if ((header.Id & 0xFF) == 0x09) {
        stream.ReadUnencrypted(body.data(), header.Length);
      } else if (header.Id == 0x00EB) {
        stream.BeginContinueJoin();
        // A joined run longer than the record, as a drawing group reads it.
        std::size_t got = stream.Read(body.data(), std::size_t{header.Length} * 3);
        stream.EndContinueJoin();
        if (got == 0) break;
      } else {
        std::size_t got = stream.Read(body.data(), header.Length);
        if (header.Id == 0x002F && got >= 6 && GetU16(body.data()) == 1)
          stream.StartDecryption(body.data(), got, u"VelvetSweatshop");
      }
      stream.PeekRecordId();
    }
    stream.Seek(0, 0);
    std::size_t consumed = 0;
    stream.ReadFlaggedString(40, consumed);
  } catch (const EXLSError&) {
  }
  return 0;
}
