// The record-level byte source that model tables read BIFF records from.
//
// The shared-string table reads an SST body and its CONTINUE records itself;
// the BIFF record stream implements this interface (decrypting as it reads).
#pragma once

#include <cstddef>
#include <cstdint>

namespace gridport {

struct TBiffRecordHeader {
  std::uint16_t Id = 0;
  std::uint16_t Length = 0;
};

class TRecordSource {
 public:
  virtual ~TRecordSource() = default;
  // Reads the next 4-byte record header (never decrypted, never joined).
  // Returns the count of header bytes read: 4, or less at the end of the stream.
  virtual int ReadHeader(TBiffRecordHeader& header) = 0;
  // Reads up to count body bytes into buffer and returns the count read.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // The id of the next record header without consuming it; 0 at the end of
  // the stream.
  virtual std::uint16_t PeekRecordId() = 0;
};

}  // namespace gridport
