#include "text/string_list.h"

#include <cerrno>
#include <fstream>

#include "text/in_out_error.h"
#include "workbook/xls_error.h"

namespace gridport {

const std::u16string& TStringList::Strings(int index) const {
  if (index < 0 || index >= Count()) throw EListError(index);
  return lines_[static_cast<std::size_t>(index)];
}

std::u16string TStringList::Text() const {
  std::size_t size = 0;
  for (const auto& line : lines_) size += line.size() + 2;
  std::u16string text;
  text.reserve(size);
  for (const auto& line : lines_) {
    text += line;
    text += u"\r\n";
  }
  return text;
}

void TStringList::SetText(std::u16string_view text) {
  lines_.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) {
      lines_.emplace_back(text.substr(start));
      break;
    }
    lines_.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == u'\r' && start < text.size() && text[start] == u'\n') ++start;
  }
}

void TStringList::LoadFile(const std::filesystem::path& name, const TEncoding* encoding) {
  std::ifstream file(name, std::ios::binary);
  if (!file.is_open()) throw EInOutError::ForFile("Cannot open", name, errno);
  try {
    LoadStream(file, encoding);
  } catch (const EInOutError&) {
    throw EInOutError::ForFile("Cannot read", name, errno);
  }
}

void TStringList::LoadStream(std::istream& stream, const TEncoding* encoding) {
  std::string data;
  char chunk[64 * 1024];
  errno = 0;
  while (stream.read(chunk, sizeof chunk) || stream.gcount() > 0) {
    data.append(chunk, static_cast<std::size_t>(stream.gcount()));
    if (stream.eof()) break;
  }
  if (stream.bad()) throw EInOutError("Stream read error");
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
  const std::size_t preamble = static_cast<std::size_t>(TEncoding::DetectEncoding(bytes, encoding));
  SetText(encoding->DecodeWideBytes(bytes.subspan(preamble)));
}

void TStringList::SaveFile(const std::filesystem::path& name, const TEncoding* encoding) const {
  errno = 0;
  std::ofstream file(name, std::ios::binary | std::ios::trunc);
  if (!file.is_open()) throw EInOutError::ForFile("Cannot create", name, errno);
  try {
    SaveStream(file, encoding);
  } catch (const EInOutError&) {
    throw EInOutError::ForFile("Cannot write", name, errno);
  }
  file.close();
  if (file.fail()) throw EInOutError::ForFile("Cannot write", name, errno);
}

void TStringList::SaveStream(std::ostream& stream, const TEncoding* encoding) const {
  if (encoding == nullptr) encoding = TEncoding::Default();
  const TBytes preamble = encoding->Preamble();
  std::string bytes(preamble.begin(), preamble.end());
  encoding->AppendWide(bytes, Text());
  errno = 0;
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  stream.flush();
  if (!stream) throw EInOutError("Stream write error");
}

}  // namespace gridport
