// The CSV writer of the sheet export: one field per cell, ";" after every field
// but the last of its line, CR LF after the last, no quoting. Texts are encoded
// straight into one buffer that goes to the file in large pieces; ASCII runs
// are copied inline, other text goes through the encoders of text/. The host
// gets one progress event per cell.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "app/csv_file.h"
#include "app/host.h"

namespace gridport {

enum TCsvEncoding { ceWindows1251 = 0, ceUtf8 = 1 };

class TCsvWriter {
 public:
  // `cols` fields make a line. Writes the UTF-8 preamble at once. `host` (may
  // be null) receives the progress events, which carry `file_name`, `sheet`
  // and the cell total `total`, unless it follows no progress.
  TCsvWriter(TCsvFile& file, TCsvEncoding encoding, uint32_t cols, THost* host,
             const std::string& file_name, uint32_t sheet, uint64_t total);
  // Writes what the buffer holds; a writer dropped by a failure keeps the
  // converted cells in a Windows-1251 file this way.
  ~TCsvWriter();
  TCsvWriter(const TCsvWriter&) = delete;
  TCsvWriter& operator=(const TCsvWriter&) = delete;

  // One cell each. Text: UTF-16; WideBytes: UTF-16 as little-endian byte
  // pairs at any alignment (count in code units); Latin1: 8-bit text whose
  // bytes are the characters U+0000 to U+00FF; Ascii: 7-bit text.
  void Text(std::u16string_view text);
  void WideBytes(const unsigned char* bytes, size_t count);
  void Latin1(std::string_view text);
  void Ascii(std::string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size());
    size_ += text.size();
    EndCell();
  }
  // One cell of 7-bit text that write(char* space) puts straight into the
  // output and whose length it returns; the space holds at least `limit`
  // bytes (numbers are formatted in place, with no copy).
  template <typename Write>
  void AsciiInPlace(size_t limit, Write&& write) {
    size_ += write(Room(limit));
    EndCell();
  }
  void Empty() { EndCell(); }
  void Empties(uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) EndCell();
  }

  // Writes the buffer to the file; Finish also commits the file.
  void Flush();
  void Finish();

  uint64_t CellsWritten() const { return cell_; }
  TCsvEncoding Encoding() const { return encoding_; }

 private:
  // 256 KiB: large enough that writes are few, small enough to stay in the
  // processor's cache between filling and writing, and few fresh pages.
  static constexpr size_t kFlushSize = 1 << 18;

  // Room for `n` bytes of text plus a separator or line end after them.
  char* Room(size_t n) {
    if (capacity_ - size_ < n + 2) MakeRoom(n + 2);
    return data_ + size_;
  }
  void MakeRoom(size_t n);
  // Encodes wide_ through text/ (the part of a field after its ASCII start).
  void AppendWide();

  void EndCell() {
    ++cell_;
    if (host_ != nullptr) host_->CellProgress(TCellProgress{file_name_, sheet_, cell_, total_});
    if (capacity_ - size_ < 2) MakeRoom(2);
    if (++col_ == cols_) {
      col_ = 0;
      data_[size_++] = '\r';
      data_[size_++] = '\n';
      if (size_ >= kFlushSize) Flush();
    } else {
      data_[size_++] = ';';
    }
  }

  TCsvFile& file_;
  TCsvEncoding encoding_;
  uint32_t cols_;
  uint32_t col_ = 0;
  uint64_t cell_ = 0;
  THost* host_;
  const std::string* file_name_;
  uint32_t sheet_;
  uint64_t total_;
  bool finished_ = false;
  std::unique_ptr<char[]> buffer_;  // storage of the output bytes; size_ of them are used
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  std::u16string wide_;  // reused for text that is not ASCII
  std::string encoded_;
};

}  // namespace gridport
