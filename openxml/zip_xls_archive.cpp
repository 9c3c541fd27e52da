#include "openxml/zip_xls_archive.h"

#include "workbook/xls_error.h"

namespace gridport {

std::string ZipNameToUtf8(std::u16string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    char32_t c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
        name[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (name[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = '?';
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

TXLSZipArchive::TXLSZipArchive() : zip_(std::make_unique<TQuillZip>()) {}

TXLSZipArchive::~TXLSZipArchive() = default;

void TXLSZipArchive::Open(const std::uint8_t* data, std::size_t size) { zip_->OpenMemory(data, size); }

void TXLSZipArchive::Open(std::istream& stream) { zip_->OpenStream(stream); }

void TXLSZipArchive::OpenFile(const std::string& file_name) { zip_->OpenFile(file_name); }

int TXLSZipArchive::IndexOf(std::u16string_view name) const { return IndexOfUtf8(ZipNameToUtf8(name)); }

int TXLSZipArchive::IndexOfUtf8(std::string_view name) const { return zip_->Entries().IndexOf(name); }

void TXLSZipArchive::ReadPart(std::u16string_view name, TZipPartBuffer& stream) {
  const int index = IndexOf(name);
  if (index < 0) throw EXLSError("Can not find file " + ZipNameToUtf8(name) + " in ZIP");
  ReadPart(index, stream);
}

void TXLSZipArchive::ReadPart(int index, TZipPartBuffer& stream) {
  zip_->Entries().Items(index).ExtractToStream(stream);
  stream.SetPosition(0);
}

}  // namespace gridport
