#include "workbook/hash_index.h"

#include <gtest/gtest.h>

#include <vector>

namespace gridport {
namespace {

struct TItem {
  std::uint64_t Key = 0;
  int Value = 0;
};

struct TItemKey {
  std::uint64_t operator()(const TItem& i) const { return i.Key; }
};

// The flat index under load: equal keys, keys that differ in a few
// bits, removals from the middle of clusters (including clusters that wrap
// around the end of the array).
TEST(HashIndex, EqualAndNearKeysStayFindableThroughRemovals) {
  for (int variant = 0; variant < 3; ++variant) {
    SCOPED_TRACE(variant);
    std::vector<TItem> items(307);  // prime: the removal step 7 visits every item
    for (int i = 0; i < 307; ++i) {
      std::uint64_t key = variant == 0   ? 42u                                       // one key for all
                          : variant == 1 ? static_cast<std::uint64_t>(i % 5) << 60  // five keys
                                         : static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ull;
      items[i] = {key, i};
    }
    THashIndex<TItem, TItemKey> index;
    for (TItem& item : items) {
      ASSERT_EQ(index.Find(item.Key, [&](const TItem& o) { return o.Value == item.Value; }), nullptr);
      index.Insert(&item);
    }
    EXPECT_EQ(index.Count(), items.size());
    for (std::size_t r = 0; r < items.size(); ++r) {
      TItem& gone = items[(r * 7) % items.size()];
      ASSERT_TRUE(index.Remove(&gone));
      EXPECT_FALSE(index.Remove(&gone));
      for (std::size_t k = r + 1; k < items.size(); k += 13) {
        TItem& still = items[(k * 7) % items.size()];
        ASSERT_EQ(index.Find(still.Key, [&](const TItem& o) { return o.Value == still.Value; }), &still);
      }
    }
    EXPECT_EQ(index.Count(), 0u);
  }
}

}  // namespace
}  // namespace gridport
