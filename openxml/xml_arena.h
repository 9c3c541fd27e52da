// A bump allocator for the element tree: allocation moves a position forward, and releasing
// to a mark frees everything allocated after it at once. Chunks are kept for reuse, so a
// sheet parsed row by row reuses the same memory for every row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace gridport {

class TXMLArena {
 public:
  struct TMark {
    std::size_t Chunk = 0;
    std::size_t Offset = 0;
  };

  // Memory of 8-byte alignment, valid until a release to an earlier mark.
  void* Allocate(std::size_t size) {
    size = (size + 7) & ~static_cast<std::size_t>(7);
    if (static_cast<std::size_t>(limit_ - next_) >= size) {
      void* p = next_;
      next_ += size;
      return p;
    }
    return AllocateSlow(size);
  }
  TMark Mark() const { return {chunk_, static_cast<std::size_t>(next_ - start_)}; }
  void Release(TMark mark) {
    // Mostly the mark lies in the current chunk (a row's cells are freed after every cell).
    if (mark.Chunk == chunk_ && start_ != nullptr) {
      next_ = start_ + mark.Offset;
      return;
    }
    chunk_ = mark.Chunk;
    if (chunk_ < chunks_.size()) {
      start_ = chunks_[chunk_].Data.get();
      next_ = start_ + mark.Offset;
      limit_ = start_ + chunks_[chunk_].Size;
    } else {
      start_ = next_ = limit_ = nullptr;
    }
  }
  void Clear() { Release({}); }
  std::size_t ReservedBytes() const { return reserved_; }

  // The tree of one part never needs more than this; beyond it the part is rejected.
  static constexpr std::size_t kMaxBytes = std::size_t{512} << 20;

 private:
  struct TChunk {
    std::unique_ptr<std::byte[]> Data;
    std::size_t Size = 0;
  };
  void* AllocateSlow(std::size_t size);

  static constexpr std::size_t kChunkSize = 64 * 1024;
  std::vector<TChunk> chunks_;
  std::size_t chunk_ = 0;
  // The current chunk and its free part: allocation bumps next_ towards limit_.
  std::byte* start_ = nullptr;
  std::byte* next_ = nullptr;
  std::byte* limit_ = nullptr;
  std::size_t reserved_ = 0;
};

}  // namespace gridport
