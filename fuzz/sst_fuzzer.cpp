// Feeds arbitrary record bytes to TSST::ReadSST: the first two bytes are the
// SST record's length, the rest is the stream from the SST body on (CONTINUE
// records with their headers). Every failure must be an EXLSError or the
// list index error; the table must stay consistent for the strings kept.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "workbook/fonts.h"
#include "workbook/record_source.h"
#include "workbook/sst.h"
#include "workbook/xls_error.h"

namespace {

class TBytesSource : public gridport::TRecordSource {
 public:
  TBytesSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  int ReadHeader(gridport::TBiffRecordHeader& header) override {
    if (size_ - pos_ < 4) {
      int n = static_cast<int>(size_ - pos_);
      pos_ = size_;
      return n;
    }
    header.Id = static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    header.Length = static_cast<std::uint16_t>(data_[pos_ + 2] | data_[pos_ + 3] << 8);
    pos_ += 4;
    return 4;
  }
  std::size_t Read(void* buffer, std::size_t count) override {
    std::size_t n = count < size_ - pos_ ? count : size_ - pos_;
    if (n) std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
  }
  std::uint16_t PeekRecordId() override {
    if (size_ - pos_ < 4) return 0;
    return static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::uint32_t length = static_cast<std::uint32_t>(data[0] | data[1] << 8);
  gridport::TXFonts fonts;
  gridport::TSST sst(fonts);
  TBytesSource source(data + 2, size - 2);
  try {
    sst.ReadSST(source, length);
  } catch (const gridport::EXLSError&) {
  } catch (const gridport::EListError&) {
  }
  std::u16string text;
  for (std::size_t i = 0; i < sst.IndexCount(); ++i) {
    gridport::TSSTEntry* entry = sst.EntryAt(static_cast<long long>(i));
    entry->Text().AssignTo(text);
    sst.AddReference(entry);
    sst.Release(entry);
  }
  sst.DropIndex();
  sst.ClearTable();
  return 0;
}
