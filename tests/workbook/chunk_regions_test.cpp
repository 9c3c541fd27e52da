#include "workbook/chunk_regions.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/openxml/thread_count.h"

namespace gridport {
namespace {

// Chunks of several sizes, past the size where regions come from huge-page
// mappings: every chunk is aligned, writable over its whole length and
// disjoint from the others (each keeps the bytes written into it), and the
// regions stay within twice what was taken plus one huge page.
TEST(ChunkRegions, ChunksAreAlignedDisjointAndBounded) {
  for (std::size_t chunk : {std::size_t{24}, std::size_t{64} << 10, std::size_t{1} << 20}) {
    SCOPED_TRACE(chunk);
    TChunkRegions regions;
    std::vector<unsigned char*> taken;
    std::size_t total = 0;
    while (total < (std::size_t{40} << 20)) {
      auto* p = static_cast<unsigned char*>(regions.Take(chunk));
      ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
      std::memset(p, static_cast<int>(taken.size() & 0xFF), chunk);
      taken.push_back(p);
      total += (chunk + 15) & ~std::size_t{15};
      if (chunk < 1024 && taken.size() > 10000) break;  // small chunks: enough regions seen
    }
    for (std::size_t i = 0; i < taken.size(); ++i) {
      const auto expected = static_cast<unsigned char>(i & 0xFF);
      ASSERT_EQ(taken[i][0], expected) << i;
      ASSERT_EQ(taken[i][chunk - 1], expected) << i;
    }
    EXPECT_GE(regions.RegionBytes(), total);
    EXPECT_LE(regions.RegionBytes(), 2 * total + kHugePage);
    regions.Clear();
    EXPECT_EQ(regions.RegionBytes(), 0u);
    // Usable again after Clear.
    auto* again = static_cast<unsigned char*>(regions.Take(chunk));
    std::memset(again, 1, chunk);
  }
}

// A request larger than the next region would be gets a region of its own size.
TEST(ChunkRegions, OversizedRequestGetsItsOwnRegion) {
  TChunkRegions regions;
  regions.Take(100);
  const std::size_t big = (std::size_t{5} << 20) + 3;
  auto* p = static_cast<unsigned char*>(regions.Take(big));
  std::memset(p, 7, big);
  EXPECT_EQ(p[big - 1], 7);
  EXPECT_GE(regions.RegionBytes(), big + 100);
}

// Pages of [from, from + size) that are resident.
std::size_t ResidentPages(unsigned char* from, std::size_t size) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident(size / page);
  if (::mincore(from, size, resident.data()) != 0) return 0;
  std::size_t count = 0;
  for (unsigned char r : resident) count += r & 1;
  return count;
}

// A region of several huge pages is faulted in by a helper before anything is written to it
// past its first huge page, and the helper never outlives the regions: neither a Clear right
// after the region was made nor the destruction leaves a thread behind.
TEST(ChunkRegions, LargeRegionsArePrefaultedByAHelperThatIsJoined) {
  {
    void* probe = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(probe, MAP_FAILED);
#ifdef MADV_POPULATE_WRITE
    const bool supported = ::madvise(probe, 4096, MADV_POPULATE_WRITE) == 0;
#else
    const bool supported = false;
#endif
    ::munmap(probe, 4096);
    if (!supported) GTEST_SKIP() << "the kernel cannot prefault pages";
  }
  const std::size_t threads = test::ThreadCountBefore();
  const std::size_t size = std::size_t{8} << 20;
  {
    TChunkRegions regions;
    regions.Take(size);
    regions.Clear();
    EXPECT_EQ(test::ThreadCount(), threads);
    auto* p = static_cast<unsigned char*>(regions.Take(size));
    const std::size_t rest = (size - kHugePage) / static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::size_t resident = 0;
    for (int wait = 0; wait < 1000 && (resident = ResidentPages(p + kHugePage, size - kHugePage)) < rest; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(resident, rest) << "pages past the first huge page were not faulted in";
    std::memset(p, 3, size);
    EXPECT_EQ(p[size - 1], 3);
  }
  EXPECT_EQ(test::ThreadCount(), threads);
}

// A vector on the allocator: small and huge-page arrays alike start zeroed,
// keep their elements through growth across the huge-page size and free
// (each size is unmapped with the span it was mapped with).
TEST(ChunkRegions, HugePageVectorsGrowAndKeepTheirElements) {
  std::vector<std::uint64_t, THugePageAllocator<std::uint64_t>> values(1000);
  for (std::size_t size : {std::size_t{1000}, kHugePagesFrom / 8, kHugePage / 8 + 1, 3 * kHugePage / 8}) {
    const std::size_t before = values.size();
    values.resize(size);
    for (std::size_t i = before; i < size; ++i) ASSERT_EQ(values[i], 0u) << i;
    for (std::size_t i = before; i < size; ++i) values[i] = i * 7;
    values.shrink_to_fit();
  }
  for (std::size_t i = 0; i < 1000; ++i) ASSERT_EQ(values[i], 0u);
  for (std::size_t i = 1000; i < values.size(); ++i) ASSERT_EQ(values[i], i * 7) << i;
}

}  // namespace
}  // namespace gridport
