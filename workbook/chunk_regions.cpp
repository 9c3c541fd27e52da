#include "workbook/chunk_regions.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <system_error>

namespace gridport {

std::size_t HugePageSpan(std::size_t size) { return (size + kHugePage - 1) & ~(kHugePage - 1); }

// Maps one huge page more than needed and unmaps the ends, since mmap aligns
// to 4 KiB only.
void* MapHugePages(std::size_t size) {
  size = HugePageSpan(size);
  const std::size_t span = size + kHugePage;
  void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::size_t head = aligned - start;
  const std::size_t tail = span - head - size;
  if (head != 0) ::munmap(raw, head);
  if (tail != 0) ::munmap(reinterpret_cast<void*>(aligned + size), tail);
  // Advice only: without huge pages the memory works with small ones.
  ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void UnmapHugePages(void* memory, std::size_t size) { ::munmap(memory, HugePageSpan(size)); }

void TChunkRegions::StartPrefault(unsigned char* from, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
  try {
    prefault_ = std::thread([from, size] { ::madvise(from, size, MADV_POPULATE_WRITE); });
  } catch (const std::system_error&) {
    // No thread to be had: the pages are faulted in where they are first written.
  }
#else
  (void)from;
  (void)size;
#endif
}

void TChunkRegions::JoinPrefault() {
  if (prefault_.joinable()) prefault_.join();
}

void TChunkRegions::NewRegion(std::size_t at_least) {
  JoinPrefault();
  std::size_t size = std::max(at_least, std::min(region_bytes_, kLargestRegion));
  regions_.reserve(regions_.size() + 1);  // no allocation may fail after the region's
  TRegion region{};
  if (size >= kHugePagesFrom) {
    size = HugePageSpan(size);
    region = {static_cast<unsigned char*>(MapHugePages(size)), size, true};
  } else {
    region = {new unsigned char[size], size, false};
  }
  regions_.push_back(region);
  region_bytes_ += size;
  next_ = region.Base;
  left_ = size;
  // The first huge page is written at once by the caller; the helper takes the rest.
  if (region.Mapped && size > kHugePage) StartPrefault(region.Base + kHugePage, size - kHugePage);
}

void TChunkRegions::Clear() {
  JoinPrefault();
  for (const TRegion& region : regions_) {
    if (region.Mapped)
      UnmapHugePages(region.Base, region.Size);
    else
      delete[] region.Base;
  }
  regions_.clear();
  next_ = nullptr;
  left_ = 0;
  region_bytes_ = 0;
}

}  // namespace gridport
