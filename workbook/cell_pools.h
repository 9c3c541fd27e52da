// Bulk storage behind a cell storage: the cell pool, the block pool and the
// byte arena. Everything here is freed at once when its owner is cleared;
// nothing allocates per cell except when a 64 KiB chunk fills up. Chunks
// come from growing regions (chunk_regions.h), in huge pages for large sheets.
//
// Pools hand out 32-bit handles; handle 0 is never used, so a zero-filled
// block means "nothing here". A handle stays valid until it is freed or the
// pool is cleared; pointers from Get() stay valid as long as the handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "workbook/cells.h"
#include "workbook/chunk_regions.h"

namespace gridport {

// Fixed-size slots of T-sized raw memory, in chunks of 2^Shift slots, with a
// free list of released slots.
template <std::size_t SlotSize, unsigned Shift>
class TSlotPool {
 public:
  static constexpr std::uint32_t kChunkSlots = 1u << Shift;

  void* Get(std::uint32_t handle) const {
    return chunks_[handle >> Shift] + static_cast<std::size_t>(handle & (kChunkSlots - 1)) * SlotSize;
  }
  // A fresh slot, zero-filled when zeroed is true. The common case (no
  // freed slot to reuse, room in the last chunk) is inline: readers take
  // one slot per cell.
  std::uint32_t Allocate(bool zeroed) {
    if (free_ == 0 && next_ != 0 && (next_ >> Shift) < chunks_.size()) {
      const std::uint32_t handle = next_++;
      if (zeroed) std::memset(Get(handle), 0, SlotSize);
      ++live_;
      return handle;
    }
    return AllocateSlow(zeroed);
  }
  void Free(std::uint32_t handle);
  void Clear() {
    chunks_.clear();
    regions_.Clear();
    next_ = 1;
    free_ = 0;
    live_ = 0;
  }
  std::size_t LiveCount() const { return live_; }
  std::size_t ReservedBytes() const { return chunks_.size() * (static_cast<std::size_t>(kChunkSlots) * SlotSize); }

 private:
  std::uint32_t AllocateSlow(bool zeroed);

  std::vector<unsigned char*> chunks_;  // in regions_
  TChunkRegions regions_;
  std::uint32_t next_ = 1;  // next never-used handle; 0 is reserved
  std::uint32_t free_ = 0;  // head of the free list, 0 when empty
  std::size_t live_ = 0;
};

// Bump allocator for the variable-sized data of formula cells.
class TByteArena {
 public:
  void* Allocate(std::size_t size);  // 8-byte aligned
  void Clear();
  std::size_t ReservedBytes() const { return reserved_; }

 private:
  static constexpr std::size_t kChunkSize = 64 * 1024;
  TChunkRegions regions_;  // the 64 KiB chunks
  std::vector<std::unique_ptr<unsigned char[]>> large_;  // buffers above a quarter chunk
  unsigned char* current_ = nullptr;
  std::size_t left_ = 0;
  std::size_t reserved_ = 0;
};

// Cells: 16-byte slots in 64 KiB chunks.
using TCellPool = TSlotPool<sizeof(TCell), 12>;

}  // namespace gridport
