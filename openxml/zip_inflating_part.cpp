#include "openxml/zip_inflating_part.h"

#include <string>

#include "workbook/xls_error.h"

namespace gridport {

bool TInflatingPart::Suits(const TQuillZip& zip, const TQuillZipEntriesEntry& entry, std::size_t min_size) {
  return entry.CentralDirectory().Method == kZipMethodDeflated && !zip.OnDecompressFile &&
         entry.UncompressedSize() > 0 && entry.UncompressedSize() >= min_size;
}

TInflatingPart::TInflatingPart(TQuillZip& zip, const TQuillZipEntriesEntry& entry, std::size_t chunk)
    : zip_(zip), entry_(zip.LocateEntryData(entry)) {
  if (!entry_.Deflated) throw EXLSError("Zip entry \"" + entry.FileName() + "\" is not deflated");
  if (entry_.Size != 0) out_ = buffer_.Extend(entry_.Size);
  worker_ = std::thread(&TInflatingPart::Run, this, chunk);
}

TInflatingPart::~TInflatingPart() { Stop(); }

void TInflatingPart::Run(std::size_t chunk) {
  std::exception_ptr error;
  try {
    zip_.InflateEntryData(entry_, out_, chunk, [this](std::size_t produced) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_.store(produced, std::memory_order_release);
      }
      changed_.notify_all();
      return !stop_.load(std::memory_order_relaxed);
    });
  } catch (...) {
    error = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    error_ = error;
    finished_ = true;
  }
  changed_.notify_all();
}

std::size_t TInflatingPart::WaitReady(std::size_t want) {
  std::size_t ready = ready_.load(std::memory_order_acquire);
  if (ready >= want) return ready;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return ready_.load(std::memory_order_relaxed) >= want || finished_; });
  ready = ready_.load(std::memory_order_relaxed);
  if (ready >= want) return ready;
  if (error_) std::rethrow_exception(error_);
  throw EXLSError("Zip entry \"" + entry_.Central->Name + "\": inflation was stopped after " +
                  std::to_string(ready) + " of " + std::to_string(entry_.Size) + " bytes");
}

std::exception_ptr TInflatingPart::Finish() {
  if (worker_.joinable()) worker_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void TInflatingPart::Stop() {
  stop_.store(true, std::memory_order_relaxed);
  if (worker_.joinable()) worker_.join();
}

}  // namespace gridport
