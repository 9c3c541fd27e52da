#include "workbook/hash_trie.h"
#include "workbook/hash_index.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace gridport {
namespace {

struct TItem {
  TItem* HashNext = nullptr;
  std::uint64_t Key = 0;
  int Value = 0;
};

// Inserts every item, checks each is found (by value) and then removes them
// one by one, checking that the others stay findable.
template <int KeyBytes>
void InsertFindRemove(std::vector<TItem>& items) {
  THashTrie<TItem, KeyBytes> trie;
  auto key_of = [](const TItem& i) { return i.Key; };
  for (TItem& item : items) {
    ASSERT_EQ(trie.Find(item.Key, [&](const TItem& o) { return o.Value == item.Value; }), nullptr);
    trie.Insert(&item, item.Key, key_of);
  }
  EXPECT_EQ(trie.Count(), items.size());
  std::set<int> seen;
  trie.ForEach([&seen](TItem* i) { EXPECT_TRUE(seen.insert(i->Value).second); });
  EXPECT_EQ(seen.size(), items.size());
  for (std::size_t r = 0; r < items.size(); ++r) {
    // Remove from the middle outwards so chains and nodes empty in mixed order.
    TItem& gone = items[(r * 7) % items.size()];
    ASSERT_TRUE(trie.Remove(&gone, gone.Key));
    EXPECT_FALSE(trie.Remove(&gone, gone.Key));
    EXPECT_EQ(trie.Find(gone.Key, [&](const TItem& o) { return o.Value == gone.Value; }), nullptr);
    for (std::size_t k = r + 1; k < items.size(); ++k) {
      TItem& still = items[(k * 7) % items.size()];
      ASSERT_EQ(trie.Find(still.Key, [&](const TItem& o) { return o.Value == still.Value; }), &still);
    }
  }
  EXPECT_EQ(trie.Count(), 0u);
}

TEST(HashTrie, ManyItemsWithOneKeyKeepALongChain) {
  // 7 is coprime with 40: the removal order visits every item once.
  std::vector<TItem> items(40);
  for (int i = 0; i < 40; ++i) items[i] = {nullptr, 0xAABBCCDDu, i};
  InsertFindRemove<4>(items);
  for (int i = 0; i < 40; ++i) items[i] = {nullptr, 0x1122334455667788u, i};
  InsertFindRemove<8>(items);
}

TEST(HashTrie, KeysSharingLeadingBytesSplitLevelByLevel) {
  std::vector<TItem> items(73);  // coprime with 7, the removal step
  for (int i = 0; i < 73; ++i) {
    std::uint64_t key = 0x00CCBBAAu;                        // same low three bytes ...
    key |= static_cast<std::uint64_t>(i % 10) << 24;       // ... split on the fourth,
    key |= static_cast<std::uint64_t>(i / 10) << 40;       // and for 8 bytes on the sixth
    items[i] = {nullptr, key, i};
  }
  InsertFindRemove<8>(items);
  InsertFindRemove<4>(items);  // the high half is ignored: up to 8 items per full key
}

struct TItemKey {
  std::uint64_t operator()(const TItem& i) const { return i.Key; }
};

// The flat index under the same load: equal keys, keys that differ in a few
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
      items[i] = {nullptr, key, i};
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
