// Memory for the chunks of the cell pools and byte arenas, taken from regions
// that grow with their owner: the first region holds one chunk, every later
// one is as large as all before it together (at most 32 MiB), so a small
// sheet takes little and a large one few regions.
//
// Regions of 1 MiB and more are mapped in whole 2 MiB units on 2 MiB
// boundaries and advised for transparent huge pages: a large sheet's cells
// then fault in 2 MiB at a time instead of one 4 KiB page each (those
// faults were a tenth of the time of converting a 65,000-row sheet). Where
// huge pages are off, the advice changes nothing. Pages of a region that are
// never written cost address space only.
//
// Ownership: everything handed out lives until Clear or destruction; memory
// is not handed back piece by piece. Memory is not zero-filled.
#pragma once

#include <cstddef>
#include <vector>

namespace gridport {

class TChunkRegions {
 public:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  static constexpr std::size_t kLargestRegion = std::size_t{32} << 20;

  TChunkRegions() = default;
  ~TChunkRegions() { Clear(); }
  TChunkRegions(const TChunkRegions&) = delete;
  TChunkRegions& operator=(const TChunkRegions&) = delete;

  // size bytes at a 16-byte boundary. Throws std::bad_alloc when the system
  // has no memory.
  void* Take(std::size_t size) {
    size = (size + 15) & ~std::size_t{15};
    if (size > left_) NewRegion(size);
    void* chunk = next_;
    next_ += size;
    left_ -= size;
    return chunk;
  }
  // Frees every region.
  void Clear();
  // Bytes of all regions (address space, not all of it touched).
  std::size_t RegionBytes() const { return region_bytes_; }

 private:
  void NewRegion(std::size_t at_least);

  struct TRegion {
    unsigned char* Base;
    std::size_t Size;
    bool Mapped;  // from mmap, else from operator new
  };
  std::vector<TRegion> regions_;
  unsigned char* next_ = nullptr;
  std::size_t left_ = 0;
  std::size_t region_bytes_ = 0;
};

}  // namespace gridport
