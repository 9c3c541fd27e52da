#include "app/csv_writer.h"

#include "text/cp1251.h"
#include "text/utf8.h"

namespace gridport {

TCsvWriter::TCsvWriter(TCsvFile& file, TCsvEncoding encoding, uint32_t cols, THost* host,
                       const std::string& file_name, uint32_t sheet, uint64_t total)
    : file_(file),
      encoding_(encoding),
      cols_(cols),
      host_(host),
      file_name_(&file_name),
      sheet_(sheet),
      total_(total) {
  buffer_.reserve(kFlushSize + (kFlushSize >> 2));
  if (encoding_ == ceUtf8) buffer_ += "\xEF\xBB\xBF";
}

TCsvWriter::~TCsvWriter() {
  if (finished_ || encoding_ != ceWindows1251) return;
  try {
    Flush();
  } catch (...) {
    // The failure that dropped the writer is the one reported.
  }
}

void TCsvWriter::AppendText(std::u16string_view text) {
  if (encoding_ == ceUtf8)
    AppendUtf8(buffer_, text);
  else
    AppendCp1251(buffer_, text);
}

void TCsvWriter::WideBytes(const unsigned char* bytes, size_t count) {
  // Through a stack buffer in pieces; a piece never ends between the two
  // halves of a surrogate pair.
  constexpr size_t kPiece = 256;
  char16_t piece[kPiece];
  while (count > 0) {
    size_t units = count < kPiece ? count : kPiece;
    for (size_t i = 0; i < units; ++i)
      piece[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    if (units < count && units > 1 && piece[units - 1] >= 0xD800 && piece[units - 1] <= 0xDBFF) --units;
    AppendText(std::u16string_view(piece, units));
    bytes += 2 * units;
    count -= units;
  }
  EndCell();
}

void TCsvWriter::Latin1(std::string_view text) {
  size_t ascii = 0;
  while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
  buffer_.append(text.data(), ascii);
  for (const char byte : text.substr(ascii)) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x80) {
      buffer_ += byte;
    } else if (encoding_ == ceUtf8) {
      buffer_ += static_cast<char>(0xC0 | (c >> 6));
      buffer_ += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      const char16_t wide = c;
      AppendCp1251(buffer_, std::u16string_view(&wide, 1));
    }
  }
  EndCell();
}

void TCsvWriter::Flush() {
  if (buffer_.empty()) return;
  file_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void TCsvWriter::Finish() {
  Flush();
  finished_ = true;
  file_.Commit();
}

}  // namespace gridport
