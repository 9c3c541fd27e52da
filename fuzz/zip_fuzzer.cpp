// Opens an archive held in memory and extracts every entry. Failures must be
// EXLSError (or a subclass); anything else, a crash or a sanitizer report is a finding.
#include <cstddef>
#include <cstdint>

#include "openxml/zip_archive.h"
#include "openxml/zip_xls_archive.h"
#include "workbook/xls_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gridport;
  TQuillZip zip;
  try {
    zip.OpenMemory(data, size);
  } catch (const EXLSError&) {
    return 0;
  }
  // Keep the allocation a hostile size claim could cause well below the RSS limit.
  zip.SetMaxPartSize(64u << 20);
  for (int i = 0; i < zip.Entries().Count(); ++i) {
    TZipPartBuffer part;
    try {
      zip.Entries().Items(i).ExtractToStream(part);
      if (part.Size() != zip.Entries().Items(i).UncompressedSize()) __builtin_trap();
      for (std::size_t k = 0; k < TZipPartBuffer::kPadding; ++k)
        if (part.Data()[part.Size() + k] != 0) __builtin_trap();
    } catch (const EXLSError&) {
    }
    (void)zip.Entries().IndexOf(zip.Entries().Items(i).FileName());
  }
  (void)zip.Comment();
  (void)zip.FileNames();
  return 0;
}
