// A flat hash index of items the owner allocates: open addressing with
// linear probing over one array of pointers, keyed by a 64-bit hash that
// each item keeps (KeyOf(item)). The shared string table files every
// distinct string here: one array step per look-up on average and 8 to 16
// bytes per item, where 256-way trie nodes cost kilobytes per split and a
// cache miss per level.
//
// Items with equal keys sit next to each other in the probe sequence, so any
// number of them stays correct (they are told apart by the caller's
// sameness test); the shared strings' key joins two independent hashes of
// the text, so files cannot make many strings share one key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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
      Item* item = slots_[i];
      if (!item) return nullptr;
      if (KeyOf()(*item) == key && same(*item)) return item;
    }
  }

  // Files `item` (not yet in the index) under KeyOf(item).
  void Insert(Item* item) {
    if ((count_ + 1) * 4 > slots_.size() * 3) Grow();
    Place(item);
    ++count_;
  }

  // Takes `item` (by identity) out of the index; false when it is not there.
  bool Remove(const Item* item) {
    if (slots_.empty()) return false;
    std::size_t i = Home(KeyOf()(*item));
    while (slots_[i] != item) {
      if (!slots_[i]) return false;
      i = (i + 1) & mask_;
    }
    // Close the gap: move later items of the cluster back when their home
    // slot does not lie between the gap and themselves.
    for (std::size_t j = (i + 1) & mask_; slots_[j]; j = (j + 1) & mask_) {
      std::size_t home = Home(KeyOf()(*slots_[j]));
      bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (!stays) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i] = nullptr;
    --count_;
    return true;
  }

  template <typename F>
  void ForEach(F&& f) const {
    for (Item* item : slots_)
      if (item) f(item);
  }

  void Clear() {
    std::vector<Item*>().swap(slots_);
    mask_ = 0;
    shift_ = 64;
    count_ = 0;
  }

 private:
  // Fibonacci hashing: the top bits of key * 2^64/phi, so every key bit counts.
  std::size_t Home(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_) & mask_;
  }
  void Place(Item* item) {
    std::size_t i = Home(KeyOf()(*item));
    while (slots_[i]) i = (i + 1) & mask_;
    slots_[i] = item;
  }
  void Grow() {
    std::vector<Item*> old;
    old.swap(slots_);
    std::size_t capacity = old.empty() ? 64 : old.size() * 2;
    slots_.assign(capacity, nullptr);
    mask_ = capacity - 1;
    int bits = 0;
    while ((std::size_t{1} << bits) < capacity) ++bits;
    shift_ = 64 - bits;
    for (Item* item : old)
      if (item) Place(item);
  }

  std::vector<Item*> slots_;
  std::size_t mask_ = 0;
  int shift_ = 64;
  std::size_t count_ = 0;
};

}  // namespace gridport
