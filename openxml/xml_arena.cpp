#include "openxml/xml_arena.h"

#include <string>

#include "workbook/xls_error.h"

namespace gridport {

void* TXMLArena::AllocateSlow(std::size_t size) {
  // Move on to the next chunk (the current one, when nothing was ever allocated), replacing
  // a kept chunk that is too small for this request.
  std::size_t next = chunks_.empty() ? 0 : chunk_ + 1;
  if (next < chunks_.size() && chunks_[next].Size < size) {
    reserved_ -= chunks_[next].Size;
    chunks_[next].Data.reset();
    chunks_[next].Size = 0;
  }
  if (next == chunks_.size()) chunks_.emplace_back();
  TChunk& chunk = chunks_[next];
  if (chunk.Size == 0) {
    std::size_t chunk_size = size > kChunkSize ? size : kChunkSize;
    if (reserved_ + chunk_size > kMaxBytes)
      throw EXLSError("XML part too complex: its element tree needs more than " +
                      std::to_string(kMaxBytes >> 20) + " MB");
    chunk.Data = std::make_unique<std::byte[]>(chunk_size);
    chunk.Size = chunk_size;
    reserved_ += chunk_size;
  }
  chunk_ = next;
  start_ = chunk.Data.get();
  next_ = start_ + size;
  limit_ = start_ + chunk.Size;
  return chunk.Data.get();
}

}  // namespace gridport
