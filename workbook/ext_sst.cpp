#include "workbook/ext_sst.h"

#include <string>

#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {

const TExtSSTItem& TExtSST::operator[](long long index) const {
  if (index < 0 || index >= static_cast<long long>(items_.size())) throw EListError(index);
  return items_[static_cast<std::size_t>(index)];
}

void TExtSST::Add(std::uint32_t streamPosition, std::uint16_t recordOffset) {
  items_.push_back({streamPosition, recordOffset});
}

void TExtSST::Clear() {
  items_.clear();
  StringsPerBucket = 8;
}

void TExtSST::Load(const std::uint8_t* body, std::size_t size) {
  if (size < 2 || (size - 2) % 8 != 0)
    throw EXLSError("EXTSST record of " + std::to_string(size) + " bytes is not 2 bytes plus 8 per bucket");
  // The item count follows from the checked length, never from a field.
  std::vector<TExtSSTItem> items((size - 2) / 8);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::uint8_t* item = body + 2 + 8 * i;
    items[i] = {GetU32(item), GetU16(item + 4)};
  }
  StringsPerBucket = GetU16(body);
  items_.swap(items);
}

}  // namespace gridport
