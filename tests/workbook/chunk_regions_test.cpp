#include "workbook/chunk_regions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

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
