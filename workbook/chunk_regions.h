// Memory in transparent huge pages, for the large blocks of a workbook model.
//
// A large sheet's cells, cell blocks and shared strings are tens of MiB that
// are written once, front to back. Faulted in one 4 KiB page at a time, they
// made a tenth of the time of converting a 65,000-row sheet; in 2 MiB pages
// the faults are few. Where huge pages are off, the advice changes nothing.
// Pages that are never written cost address space only.
#pragma once

#include <cstddef>
#include <thread>
#include <vector>

namespace gridport {

inline constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Blocks from one huge page on are mapped in huge pages. A smaller block
// would still take a whole 2 MiB page, which the kernel zeroes in full on
// the first write: with the pools of ten sheets that cost more than the
// faults it saved (xls_multi 1.10 s with a 256 KiB threshold, 0.88 s with
// this one, 0.97 s without huge pages; xls_large alike with either).
inline constexpr std::size_t kHugePagesFrom = kHugePage;

// size rounded up to whole huge pages.
std::size_t HugePageSpan(std::size_t size);
// HugePageSpan(size) bytes on a 2 MiB boundary, zero-filled, advised for huge
// pages; throws std::bad_alloc. Free with UnmapHugePages and the same size.
void* MapHugePages(std::size_t size);
void UnmapHugePages(void* memory, std::size_t size);

// Allocator of std::vector for arrays that may grow large (the hash index's
// slots): from kHugePagesFrom bytes on, in huge pages.
template <typename T>
struct THugePageAllocator {
  using value_type = T;
  THugePageAllocator() = default;
  template <typename U>
  THugePageAllocator(const THugePageAllocator<U>&) {}
  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    return static_cast<T*>(bytes >= kHugePagesFrom ? MapHugePages(bytes) : ::operator new(bytes));
  }
  void deallocate(T* p, std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes >= kHugePagesFrom)
      UnmapHugePages(p, bytes);
    else
      ::operator delete(p);
  }
  template <typename U>
  bool operator==(const THugePageAllocator<U>&) const {
    return true;
  }
};

// Chunks for the cell pools and byte arenas, taken from regions that grow with
// their owner: the first region holds one chunk, every later one is as large
// as all before it together (at most 32 MiB), so a small sheet takes little
// and a large one few regions. Regions from kHugePagesFrom on are whole huge
// pages.
//
// A region of more than one huge page is faulted in by a helper thread while
// the owner fills its first page: on a virtual machine that returns freed
// memory to its host, the first write to a page costs about as much as
// filling it with cells (xlsx_wide: an eighth of the reading thread's time).
// The helper only asks the kernel for the pages; it is joined before the next
// region is made and before any region is unmapped.
//
// Ownership: everything handed out lives until Clear or destruction; memory
// is not handed back piece by piece. Memory is not zero-filled.
class TChunkRegions {
 public:
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
  // Faults in [from, from + size) on the helper thread, when one can be started.
  void StartPrefault(unsigned char* from, std::size_t size);
  void JoinPrefault();

  struct TRegion {
    unsigned char* Base;
    std::size_t Size;
    bool Mapped;  // from mmap, else from operator new
  };
  std::vector<TRegion> regions_;
  unsigned char* next_ = nullptr;
  std::size_t left_ = 0;
  std::size_t region_bytes_ = 0;
  std::thread prefault_;
};

}  // namespace gridport
