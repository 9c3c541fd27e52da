// TInflatingPart: a deflated zip entry inflated on a worker thread while its reader takes the
// bytes that are ready, so that parsing a large part overlaps its inflation.
//
// The entry is inflated into one buffer of its final size (the uncompressed size of its
// central record, after every check TQuillZip::LocateEntryData makes), chunk bytes at a time;
// after each chunk the count of ready bytes is published. The buffer never moves.
//
// Errors: the checks fail in the constructor, before any thread starts. An error of the worker
// (damaged deflate data, data that ends short) is kept and raised on the reader's thread by
// WaitReady, once the reader needs bytes that were not delivered, or answered by Finish: the
// message is the one extracting the whole entry gives.
//
// Lifetime: the destructor tells the worker to stop after its current chunk and joins it
// before the buffer is freed, so no thread outlives the part, however the reader ended. The
// archive must stay open and unchanged while the part exists.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

#include "openxml/xml_part_feed.h"
#include "openxml/zip_archive.h"
#include "openxml/zip_part_buffer.h"

namespace gridport {

class TInflatingPart final : public TXMLPartFeed {
 public:
  static constexpr std::size_t kDefaultChunk = std::size_t{1} << 20;

  // Whether the entry suits a worker: deflated, at least min_size bytes, and no progress event
  // set on the archive (it would be called from the worker thread). Smaller and stored entries
  // cost less to extract whole.
  static bool Suits(const TQuillZip& zip, const TQuillZipEntriesEntry& entry, std::size_t min_size);

  // Checks the entry and starts the worker. Throws what LocateEntryData throws, and
  // std::system_error when no thread can be started.
  TInflatingPart(TQuillZip& zip, const TQuillZipEntriesEntry& entry, std::size_t chunk = kDefaultChunk);
  ~TInflatingPart() override;
  TInflatingPart(const TInflatingPart&) = delete;
  TInflatingPart& operator=(const TInflatingPart&) = delete;

  const char* Data() const override { return reinterpret_cast<const char*>(buffer_.Data()); }
  std::size_t Size() const override { return buffer_.Size(); }
  std::size_t WaitReady(std::size_t want) override;

  // Waits until the worker has inflated the whole entry or failed, joins it and answers its
  // error (null when it succeeded or was stopped).
  std::exception_ptr Finish();
  // Tells the worker to stop after its current chunk and joins it.
  void Stop();

 private:
  void Run(std::size_t chunk);

  TQuillZip& zip_;
  TZipEntryData entry_;
  TZipPartBuffer buffer_;
  std::uint8_t* out_ = nullptr;  // buffer_'s bytes, written by the worker only
  std::atomic<std::size_t> ready_{0};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  bool finished_ = false;          // under mutex_
  std::exception_ptr error_;       // under mutex_ until finished_
  std::thread worker_;             // last: started once everything above exists
};

}  // namespace gridport
