// The CSV writer of the sheet export: one field per cell, ";" after every field
// but the last of its line, CR LF after the last, no quoting. Texts are encoded
// into one growing buffer that goes to the file in large pieces; the host gets
// one progress event per cell.
#pragma once

#include <cstdint>
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
  // and the cell total `total`.
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
  void Text(std::u16string_view text) {
    AppendText(text);
    EndCell();
  }
  void WideBytes(const unsigned char* bytes, size_t count);
  void Latin1(std::string_view text);
  void Ascii(std::string_view text) {
    buffer_.append(text.data(), text.size());
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
  static constexpr size_t kFlushSize = 1 << 20;

  void AppendText(std::u16string_view text);
  void EndCell() {
    ++cell_;
    if (host_ != nullptr) host_->CellProgress(progress_(cell_));
    if (++col_ == cols_) {
      col_ = 0;
      buffer_ += "\r\n";
      if (buffer_.size() >= kFlushSize) Flush();
    } else {
      buffer_ += ';';
    }
  }
  TCellProgress progress_(uint64_t cell) const { return {file_name_, sheet_, cell, total_}; }

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
  std::string buffer_;
};

}  // namespace gridport
