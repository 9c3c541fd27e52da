#include "app/csv_writer.h"

#include "text/cp1251.h"
#include "text/utf8.h"

namespace gridport {

TCsvWriter::TCsvWriter(TCsvFile& file, TCsvEncoding encoding, uint32_t cols, THost* host,
                       const std::string& file_name, uint32_t sheet, uint64_t total)
    : file_(file),
      encoding_(encoding),
      cols_(cols),
      host_(host != nullptr && host->FollowsCellProgress() ? host : nullptr),
      file_name_(&file_name),
      sheet_(sheet),
      total_(total) {
  // Not zero-filled: only the pages the text reaches are ever touched.
  capacity_ = kFlushSize + (kFlushSize >> 2);
  buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
  data_ = buffer_.get();
  if (encoding_ == ceUtf8) {
    std::memcpy(data_, "\xEF\xBB\xBF", 3);
    size_ = 3;
  }
}

TCsvWriter::~TCsvWriter() {
  if (finished_ || encoding_ != ceWindows1251) return;
  try {
    Flush();
  } catch (...) {
    // The failure that dropped the writer is the one reported.
  }
}

void TCsvWriter::MakeRoom(size_t n) {
  Flush();
  if (capacity_ < n) {  // the buffer is empty after the flush: nothing to keep
    capacity_ = n + kFlushSize;
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    data_ = buffer_.get();
  }
}

void TCsvWriter::AppendWide() {
  encoded_.clear();
  if (encoding_ == ceUtf8)
    AppendUtf8(encoded_, wide_);
  else
    AppendCp1251(encoded_, wide_);
  std::memcpy(Room(encoded_.size()), encoded_.data(), encoded_.size());
  size_ += encoded_.size();
}

void TCsvWriter::Text(std::u16string_view text) {
  char* out = Room(text.size());
  size_t i = 0;
  for (; i < text.size() && text[i] < 0x80; ++i) out[i] = static_cast<char>(text[i]);
  size_ += i;
  if (i < text.size()) {
    wide_.assign(text.substr(i));
    AppendWide();
  }
  EndCell();
}

void TCsvWriter::WideBytes(const unsigned char* bytes, size_t count) {
  char* out = Room(count);
  size_t i = 0;
  for (; i < count && bytes[2 * i + 1] == 0 && bytes[2 * i] < 0x80; ++i) out[i] = static_cast<char>(bytes[2 * i]);
  size_ += i;
  if (i < count) {
    wide_.clear();
    for (; i < count; ++i) wide_ += static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    AppendWide();
  }
  EndCell();
}

void TCsvWriter::Latin1(std::string_view text) {
  char* out = Room(text.size());
  size_t i = 0;
  // Most shared strings are ASCII: copy them eight bytes at a time while no
  // byte has its high bit set.
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080ull) break;
    std::memcpy(out + i, &word, 8);
  }
  for (; i < text.size() && static_cast<unsigned char>(text[i]) < 0x80; ++i) out[i] = text[i];
  size_ += i;
  if (i < text.size() && encoding_ == ceUtf8) {
    // U+0080 to U+00FF are two UTF-8 bytes each: encoded here, without the
    // round trip through UTF-16 that other text takes.
    out = Room(2 * (text.size() - i));
    std::size_t n = 0;
    for (; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c < 0x80) {
        out[n++] = static_cast<char>(c);
      } else {
        out[n++] = static_cast<char>(0xC0 | (c >> 6));
        out[n++] = static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    size_ += n;
  } else if (i < text.size()) {
    wide_.clear();
    for (; i < text.size(); ++i) wide_ += static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    AppendWide();
  }
  EndCell();
}

void TCsvWriter::Flush() {
  if (size_ == 0) return;
  file_.Write(data_, size_);
  size_ = 0;
}

void TCsvWriter::Finish() {
  Flush();
  finished_ = true;
  file_.Commit();
}

}  // namespace gridport
