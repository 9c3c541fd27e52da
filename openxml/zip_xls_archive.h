// TXLSZipArchive: the package reader's view of a zip archive: open it, look a
// part up by its name, extract a part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "openxml/zip_archive.h"
#include "openxml/zip_part_buffer.h"

namespace gridport {

class TXLSZipArchive {
 public:
  TXLSZipArchive();
  ~TXLSZipArchive();
  TXLSZipArchive(const TXLSZipArchive&) = delete;
  TXLSZipArchive& operator=(const TXLSZipArchive&) = delete;

  // The caller's bytes, not copied: they must outlive the archive.
  void Open(const std::uint8_t* data, std::size_t size);
  // The rest of the stream, read once into memory the archive owns.
  void Open(std::istream& stream);
  // The file, read once into memory the archive owns.
  void OpenFile(const std::string& file_name);

  // False when what was opened is no zip archive; every part is then missing.
  bool IsZipFile() const { return zip_->IsZipFile(); }

  // Index of the part, or -1. The name is converted to UTF-8, the encoding
  // package writers use for part names, and looked up as TQuillZipEntries::IndexOf.
  int IndexOf(std::u16string_view name) const;
  // The same for a name in UTF-8 already (part names taken from the package's own parts).
  int IndexOfUtf8(std::string_view name) const;

  // Appends the part's bytes to stream and sets its position to 0; pass an
  // empty (Clear()ed) buffer to hold exactly the part, padded as
  // TZipPartBuffer promises. A missing part fails with
  // "Can not find file <name> in ZIP".
  void ReadPart(std::u16string_view name, TZipPartBuffer& stream);
  // The same for the part at an index that IndexOf gave.
  void ReadPart(int index, TZipPartBuffer& stream);

  TQuillZip& Zip() { return *zip_; }
  const TQuillZip& Zip() const { return *zip_; }

 private:
  std::unique_ptr<TQuillZip> zip_;
};

// UTF-16 to UTF-8; an unpaired surrogate becomes "?".
std::string ZipNameToUtf8(std::u16string_view name);

}  // namespace gridport
