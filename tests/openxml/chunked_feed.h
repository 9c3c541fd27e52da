// A part that becomes ready a few bytes at a time on the caller's own thread: each wait makes
// chunk more bytes ready, as often as the wait needs. It may fail, as a damaged entry does,
// once fail_at bytes are ready. Under AddressSanitizer the bytes that are not ready yet are
// poisoned, so a parser that looks past the ready bytes (which would race with a producer
// thread) is caught; the copy is exactly the part's size, so reads past the end are caught too.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "openxml/xml_part_feed.h"
#include "workbook/xls_error.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define GRIDPORT_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define GRIDPORT_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define GRIDPORT_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define GRIDPORT_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#endif
#endif
#ifndef GRIDPORT_POISON
#define GRIDPORT_POISON(p, n) ((void)(p), (void)(n))
#define GRIDPORT_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace gridport::test {

class TChunkedFeed : public TXMLPartFeed {
 public:
  TChunkedFeed(const char* data, std::size_t size, std::size_t chunk, std::size_t fail_at = SIZE_MAX,
               std::string error = "ZLib decompress error")
      : bytes_(new char[size == 0 ? 1 : size]),
        size_(size),
        chunk_(chunk == 0 ? 1 : chunk),
        limit_(std::min(size, fail_at)),
        error_(std::move(error)) {
    if (size != 0) std::memcpy(bytes_.get(), data, size);
    GRIDPORT_POISON(bytes_.get(), size_);
  }
  ~TChunkedFeed() override { GRIDPORT_UNPOISON(bytes_.get(), size_); }

  const char* Data() const override { return bytes_.get(); }
  std::size_t Size() const override { return size_; }
  std::size_t WaitReady(std::size_t want) override {
    ++waits_;
    while (ready_ < want) {
      if (ready_ >= limit_) throw EXLSError(error_);
      const std::size_t next = std::min(limit_, ready_ + chunk_);
      GRIDPORT_UNPOISON(bytes_.get() + ready_, next - ready_);
      ready_ = next;
    }
    return ready_;
  }
  std::size_t Waits() const { return waits_; }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_;
  std::size_t chunk_;
  std::size_t limit_;
  std::string error_;
  std::size_t ready_ = 0;
  std::size_t waits_ = 0;
};

}  // namespace gridport::test
