// TExtSST: the shared string table's extended index, the content of a BIFF
// EXTSST record. For every bucket of StringsPerBucket strings of the SST it
// says where the bucket's first string starts: the stream position of that
// string and its offset inside its record. Writers use it to find strings
// without walking the SST; reading drops the record, so a table filled from
// a file leaves this list empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gridport {

struct TExtSSTItem {
  std::uint32_t StreamPosition = 0;  // stream offset of the bucket's first string
  std::uint16_t RecordOffset = 0;    // offset of that string in its record (header included)
};

class TExtSST {
 public:
  std::uint16_t StringsPerBucket = 8;

  std::size_t Count() const { return items_.size(); }
  // The item at a 0-based index; outside: "List index out of bounds (%d)".
  const TExtSSTItem& operator[](long long index) const;
  void Add(std::uint32_t streamPosition, std::uint16_t recordOffset);
  // Empties the list; StringsPerBucket goes back to 8.
  void Clear();
  // Replaces the content with an EXTSST record body: strings per bucket
  // (16-bit), then one 8-byte item per bucket (32-bit stream position, 16-bit
  // record offset, 16 reserved bits). A body shorter than 2 bytes, or one
  // whose items do not fill it exactly, fails with EXLSError and changes
  // nothing.
  void Load(const std::uint8_t* body, std::size_t size);

 private:
  std::vector<TExtSSTItem> items_;
};

}  // namespace gridport
