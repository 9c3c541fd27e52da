// A 256-way hash trie keyed by the bytes of a hash key (the font table's
// hash index), and the CRC-32 register the shared strings and the fonts hash
// with.
//
// The trie indexes items it does not own: the owner (the shared string table,
// the font list) allocates and frees them. Items are linked into their chain
// through their own `HashNext` member, so indexing an item costs no allocation
// of its own; only nodes (256 slots each) are allocated, and only where chains
// fill up.
//
// A node at level L (0 for the root) picks its slot by byte L of the key. A
// chain holds at most 8 items; a ninth item turns it into a child node one
// level down. At the last level every byte of the key has been used, so the
// items of a chain there all share one key and no split can separate them:
// that chain grows without a bound instead.
//
// KeyBytes is 4 for a 32-bit hash (the font index); up to 8 key bytes give
// up to 8 levels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace gridport {

namespace crc_detail {
constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
    table[i] = c;
  }
  return table;
}
inline constexpr std::array<std::uint32_t, 256> kTable = MakeTable();
}  // namespace crc_detail

// The register starts at kCrcStart; there is no final inversion (the result is
// the complement of the usual CRC-32), so an empty input hashes to 0xFFFFFFFF.
inline constexpr std::uint32_t kCrcStart = 0xFFFFFFFFu;

inline std::uint32_t CrcByte(std::uint32_t reg, std::uint8_t b) {
  return crc_detail::kTable[(reg ^ b) & 0xFF] ^ (reg >> 8);
}
inline std::uint32_t CrcBytes(std::uint32_t reg, const std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) reg = CrcByte(reg, p[i]);
  return reg;
}
// UTF-16 code units hashed as little-endian byte pairs.
inline std::uint32_t CrcUtf16(std::uint32_t reg, const char16_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    reg = CrcByte(reg, static_cast<std::uint8_t>(p[i] & 0xFF));
    reg = CrcByte(reg, static_cast<std::uint8_t>(p[i] >> 8));
  }
  return reg;
}

// Item must have a member `Item* HashNext` that only the trie touches.
template <typename Item, int KeyBytes = 4>
class THashTrie {
  static_assert(KeyBytes >= 1 && KeyBytes <= 8);

 public:
  static constexpr int kChainLimit = 8;
  static constexpr int kLastLevel = KeyBytes - 1;

  THashTrie() = default;
  THashTrie(const THashTrie&) = delete;
  THashTrie& operator=(const THashTrie&) = delete;
  ~THashTrie() { Clear(); }

  std::size_t Count() const { return count_; }

  // The first item filed under `hash` for which same(item) holds, or nullptr.
  template <typename Same>
  Item* Find(std::uint64_t hash, Same&& same) const {
    const TTreeItem* node = root_.get();
    while (node) {
      const TSlot& slot = node->Slots[SlotOf(hash, node->Level)];
      if (slot.Child) {
        node = slot.Child.get();
        continue;
      }
      for (Item* item = slot.Chain; item; item = item->HashNext)
        if (same(*item)) return item;
      return nullptr;
    }
    return nullptr;
  }

  // Files `item` under `hash`. Call only after Find reported it absent. The
  // trie keeps `hash` only through the path it takes, so Remove needs the same
  // value again: the owner keeps it (hash_of(item) must return it).
  template <typename HashOf>
  void Insert(Item* item, std::uint64_t hash, HashOf&& hash_of) {
    if (!root_) root_ = std::make_unique<TTreeItem>(0);
    TTreeItem* node = root_.get();
    for (;;) {
      TSlot& slot = node->Slots[SlotOf(hash, node->Level)];
      if (slot.Child) {
        node = slot.Child.get();
        continue;
      }
      if (!slot.Chain) ++node->Used;
      if (node->Level < kLastLevel && ChainLength(slot.Chain) >= kChainLimit) {
        // Split: move the chain's items one level down, then place the new one there.
        auto child = std::make_unique<TTreeItem>(node->Level + 1);
        Item* chain = slot.Chain;
        slot.Chain = nullptr;
        while (chain) {
          Item* next = chain->HashNext;
          TSlot& to = child->Slots[SlotOf(hash_of(*chain), child->Level)];
          if (!to.Chain) ++child->Used;
          chain->HashNext = to.Chain;
          to.Chain = chain;
          chain = next;
        }
        slot.Child = std::move(child);
        node = slot.Child.get();
        continue;
      }
      item->HashNext = slot.Chain;
      slot.Chain = item;
      ++count_;
      return;
    }
  }

  // Unlinks `item` (by identity) filed under `hash`; frees nodes left empty.
  // Returns false when the item is not in the trie.
  bool Remove(Item* item, std::uint64_t hash) {
    TTreeItem* path[kLastLevel + 1];
    TTreeItem* node = root_.get();
    int depth = 0;
    while (node) {
      path[depth++] = node;
      TSlot& slot = node->Slots[SlotOf(hash, node->Level)];
      if (slot.Child) {
        node = slot.Child.get();
        continue;
      }
      Item** link = &slot.Chain;
      while (*link && *link != item) link = &(*link)->HashNext;
      if (!*link) return false;
      *link = item->HashNext;
      item->HashNext = nullptr;
      --count_;
      if (slot.Chain) return true;
      // The slot is empty now: free every node that has no used slot left.
      for (int d = depth - 1; d >= 0; --d) {
        TTreeItem* n = path[d];
        if (--n->Used > 0) return true;
        if (d == 0) {
          root_.reset();
        } else {
          path[d - 1]->Slots[SlotOf(hash, path[d - 1]->Level)].Child.reset();
        }
      }
      return true;
    }
    return false;
  }

  // Calls f(item) for every item; f may free the item (the link is read first).
  template <typename F>
  void ForEach(F&& f) const {
    if (root_) Walk(root_.get(), f);
  }

  // Forgets every item (the items themselves are the owner's) and frees the nodes.
  void Clear() {
    root_.reset();
    count_ = 0;
  }

 private:
  struct TTreeItem;
  struct TSlot {
    Item* Chain = nullptr;
    std::unique_ptr<TTreeItem> Child;
  };
  struct TTreeItem {
    explicit TTreeItem(int level) : Level(level) {}
    int Level;
    int Used = 0;  // slots holding a chain or a child
    TSlot Slots[256];
  };

  static unsigned SlotOf(std::uint64_t hash, int level) {
    return static_cast<unsigned>(hash >> (8 * level)) & 0xFFu;
  }
  static int ChainLength(const Item* chain) {
    int n = 0;
    for (; chain && n < kChainLimit; chain = chain->HashNext) ++n;
    return n;
  }
  template <typename F>
  static void Walk(const TTreeItem* node, F& f) {
    // Depth is at most KeyBytes levels, fixed by the key width, not by the input.
    for (const TSlot& slot : node->Slots) {
      if (slot.Child) {
        Walk(slot.Child.get(), f);
        continue;
      }
      for (Item* item = slot.Chain; item;) {
        Item* next = item->HashNext;
        f(item);
        item = next;
      }
    }
  }
  std::unique_ptr<TTreeItem> root_;
  std::size_t count_ = 0;
};

}  // namespace gridport
