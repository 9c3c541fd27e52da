#include "biff/biff_text.h"

#include <algorithm>

#include "text/code_pages.h"
#include "text/cp1251.h"

namespace gridport {

std::size_t DecodeBiff8Text(const std::uint8_t* p, std::size_t available, std::size_t count,
                            std::u16string& out) {
  out.clear();
  if (available == 0) return 0;
  const bool wide = p[0] == 1;
  ++p;
  --available;
  if (wide) {
    count = std::min(count, available / 2);
    out.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      out[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    }
    return 1 + 2 * count;
  }
  count = std::min(count, available);
  out.assign(p, p + count);
  return 1 + count;
}

std::size_t Decode8BitText(const std::uint8_t* p, std::size_t available, std::size_t count,
                           std::u16string& out) {
  count = std::min(count, available);
  out.assign(p, p + count);
  return count;
}

std::size_t DecodeAnsiText(const std::uint8_t* p, std::size_t available, std::size_t count,
                           std::uint16_t codePage, std::u16string& out) {
  count = std::min(count, available);
  // Files without a page of their own, and those naming one we have no table
  // for, read as Windows-1252 (bytes outside 0x80-0x9F widened).
  static const TCodePage& fallback = *FindCodePage(1252);
  const TCodePage* page = FindCodePage(codePage);
  DecodeCodePage(page != nullptr ? *page : fallback, p, count, out);
  return count;
}

void DecodeCodePageText(const std::uint8_t* p, std::size_t count, std::u16string& out) {
  out.resize(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = Cp1251ToChar(p[i]);
}

}  // namespace gridport
