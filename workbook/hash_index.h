// A flat hash index of items the owner allocates: open addressing with
// linear probing over one array of (key, pointer) slots, keyed by a 64-bit
// hash that each item keeps (KeyOf(item)). The shared string table files
// every distinct string here, the font table its fonts: one array step per
// look-up on average and 16
// to 32 bytes per item, where 256-way trie nodes cost kilobytes per split
// and a cache miss per level. The key sits in the slot so that probing and
// growing never touch the items themselves (a cache miss each in a table of
// hundreds of thousands of strings).
//
// Items with equal keys sit next to each other in the probe sequence, so any
// number of them stays correct (they are told apart by the caller's
// sameness test); the shared strings' key joins two independent hashes of
// the text, so files cannot make many strings share one key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "workbook/chunk_regions.h"

namespace gridport {

template <typename Item, typename KeyOf>
class THashIndex {
 public:
  std::size_t Count() const { return count_; }

  // The first item with key `key` for which same(item) holds, or nullptr.
  template <typename Same>
  Item* Find(std::uint64_t key, Same&& same) const {
    if (slots_.empty()) return nullptr;
    for (std::size_t i = Home(key);; i = (i + 1) & mask_) {
      const TSlot& slot = slots_[i];
      if (!slot.item) return nullptr;
      if (slot.key == key && same(*slot.item)) return slot.item;
    }
  }

  // Starts loading the slot where a look-up of `key` begins (a hint).
  void Prefetch(std::uint64_t key) const {
    if (!slots_.empty()) __builtin_prefetch(slots_.data() + Home(key));
  }

  // Room for `count` items without growing (a hint; the caller caps it).
  void Reserve(std::size_t count) {
    if (count * 4 <= slots_.size() * 3) return;
    // One rehash to the final size: growing step by step would allocate,
    // fill and drop every smaller table on the way.
    std::size_t capacity = DoubledCapacity();
    while (count * 4 > capacity * 3) capacity *= 2;
    Rehash(capacity);
  }

  // Files `item` (not yet in the index) under KeyOf(item).
  void Insert(Item* item) {
    if ((count_ + 1) * 4 > slots_.size() * 3) Rehash(DoubledCapacity());
    Place(item);
    ++count_;
  }

  // Takes `item` (by identity) out of the index; false when it is not there.
  bool Remove(const Item* item) {
    if (slots_.empty()) return false;
    std::size_t i = Home(KeyOf()(*item));
    while (slots_[i].item != item) {
      if (!slots_[i].item) return false;
      i = (i + 1) & mask_;
    }
    // Close the gap: move later items of the cluster back when their home
    // slot does not lie between the gap and themselves.
    for (std::size_t j = (i + 1) & mask_; slots_[j].item; j = (j + 1) & mask_) {
      std::size_t home = Home(slots_[j].key);
      bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (!stays) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i] = TSlot{};
    --count_;
    return true;
  }

  template <typename F>
  void ForEach(F&& f) const {
    for (const TSlot& slot : slots_)
      if (slot.item) f(slot.item);
  }

  void Clear() {
    TSlots().swap(slots_);
    mask_ = 0;
    shift_ = 64;
    count_ = 0;
  }

 private:
  // Fibonacci hashing: the top bits of key * 2^64/phi, so every key bit counts.
  std::size_t Home(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_) & mask_;
  }
  struct TSlot {
    std::uint64_t key = 0;
    Item* item = nullptr;  // nullptr: free
  };

  void Place(TSlot slot) {
    std::size_t i = Home(slot.key);
    while (slots_[i].item) i = (i + 1) & mask_;
    slots_[i] = slot;
  }
  void Place(Item* item) { Place(TSlot{KeyOf()(*item), item}); }
  // The next table size: 64 slots to start with, then twice the last.
  std::size_t DoubledCapacity() const { return slots_.empty() ? 64 : slots_.size() * 2; }
  // capacity: a power of two.
  void Rehash(std::size_t capacity) {
    TSlots old;
    old.swap(slots_);
    slots_.assign(capacity, TSlot{});
    mask_ = capacity - 1;
    int bits = 0;
    while ((std::size_t{1} << bits) < capacity) ++bits;
    shift_ = 64 - bits;
    for (const TSlot& slot : old)
      if (slot.item) Place(slot);
  }

  // A table of a million strings is 16 MiB or more: in huge pages.
  using TSlots = std::vector<TSlot, THugePageAllocator<TSlot>>;
  TSlots slots_;
  std::size_t mask_ = 0;
  int shift_ = 64;
  std::size_t count_ = 0;
};

}  // namespace gridport
