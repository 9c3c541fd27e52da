#include "workbook/cell_pools.h"

#include <cstring>

#include "workbook/xls_error.h"

namespace gridport {

template <std::size_t SlotSize, unsigned Shift>
std::uint32_t TSlotPool<SlotSize, Shift>::AllocateSlow(bool zeroed) {
  std::uint32_t handle;
  if (free_ != 0) {
    handle = free_;
    std::memcpy(&free_, Get(handle), sizeof free_);
  } else {
    if (next_ == 0) throw EXLSError("Too many cells or blocks in one sheet");  // 2^32 wrapped
    if ((next_ >> Shift) == chunks_.size()) {
      chunks_.reserve(chunks_.size() + 1);
      chunks_.push_back(static_cast<unsigned char*>(regions_.Take(static_cast<std::size_t>(kChunkSlots) * SlotSize)));
    }
    handle = next_++;
  }
  if (zeroed) std::memset(Get(handle), 0, SlotSize);
  ++live_;
  return handle;
}

template <std::size_t SlotSize, unsigned Shift>
void TSlotPool<SlotSize, Shift>::Free(std::uint32_t handle) {
  std::memcpy(Get(handle), &free_, sizeof free_);
  free_ = handle;
  --live_;
}

template class TSlotPool<sizeof(TCell), 12>;  // cells; also the 16-byte short column groups
template class TSlotPool<64, 10>;    // middle column groups
template class TSlotPool<2048, 6>;   // full column groups
template class TSlotPool<128, 10>;   // cell blocks

void* TByteArena::Allocate(std::size_t size) {
  size = (size + 7) & ~static_cast<std::size_t>(7);
  if (size == 0) size = 8;
  if (size > kChunkSize / 4) {  // large buffers get a chunk of their own
    large_.push_back(std::make_unique_for_overwrite<unsigned char[]>(size));
    reserved_ += size;
    return large_.back().get();
  }
  if (size > left_) {
    current_ = static_cast<unsigned char*>(regions_.Take(kChunkSize));
    reserved_ += kChunkSize;
    left_ = kChunkSize;
  }
  void* p = current_;
  current_ += size;
  left_ -= size;
  return p;
}

void TByteArena::Clear() {
  regions_.Clear();
  large_.clear();
  current_ = nullptr;
  left_ = 0;
  reserved_ = 0;
}

}  // namespace gridport
